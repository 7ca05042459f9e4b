#include "framework/prompts.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptedPrompts, RecordsQuestionsAndAnswersFromItsQueue) {
  ScriptedPrompts prompts;
  ASSERT_EQ(&Prompts::Current(), &prompts);

  prompts.Answer(QStringLiteral("/data/a.png"));
  prompts.Answer(std::nullopt);
  Prompts::Current().MessageBox(QStringLiteral("There are no png files in this folder"), MessageIcon::Error);
  EXPECT_EQ(Prompts::Current().OpenFile({QString(), QStringLiteral("/data"), QString(), QString()}),
            QStringLiteral("/data/a.png"));
  EXPECT_EQ(Prompts::Current().BrowseForFolder(QStringLiteral("Select folder:"), QStringLiteral("/")), std::nullopt);
  // An empty queue cancels.
  EXPECT_EQ(Prompts::Current().SaveFile({QString(), QString(), QStringLiteral("Results.txt"), QString()}),
            std::nullopt);

  ASSERT_EQ(prompts.records().size(), 4u);
  EXPECT_EQ(prompts.records()[0].kind, ScriptedPrompts::Kind::Message);
  EXPECT_EQ(prompts.records()[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.records()[1].options.initialDir, QStringLiteral("/data"));
  EXPECT_EQ(prompts.records()[2].text, QStringLiteral("Select folder:"));
  EXPECT_EQ(prompts.records()[2].options.initialDir, QStringLiteral("/"));
  EXPECT_EQ(prompts.records()[3].options.fileName, QStringLiteral("Results.txt"));
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("There are no png files in this folder")});
}

TEST(ScriptedPrompts, NestedScriptsRestoreTheOuterOne) {
  Prompts& real = Prompts::Current();
  {
    ScriptedPrompts outer;
    {
      ScriptedPrompts inner;
      EXPECT_EQ(&Prompts::Current(), &inner);
    }
    EXPECT_EQ(&Prompts::Current(), &outer);
  }
  EXPECT_EQ(&Prompts::Current(), &real);
  EXPECT_NE(dynamic_cast<QtPrompts*>(&real), nullptr);
}

}  // namespace
