#include "analysis/threshold.h"

#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/text.h"

double ReadThreshold() {
  return ParseLeadingDouble(Profile::Instance().GetProfileString(QString::fromLatin1(kOptionsSection),
                                                                 QString::fromLatin1(kThresholdEntry),
                                                                 QString::fromLatin1(kThresholdDefault)));
}
