#include "analysis/threshold.h"

#include "analysis/document.h"
#include "framework/profile.h"
#include "framework/text.h"

QString ReadThresholdText() {
  return Profile::Instance().GetProfileString(QString::fromLatin1(kOptionsSection),
                                              QString::fromLatin1(kThresholdEntry),
                                              QString::fromLatin1(kThresholdDefault));
}

double ReadThreshold() { return ParseLeadingDouble(ReadThresholdText()); }
