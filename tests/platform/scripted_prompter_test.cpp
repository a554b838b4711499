#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(ScriptedPrompter, AnswersInQueueOrderAndRecordsEveryBox) {
    ScriptedPrompter prompter;
    prompter.queueYesNo(true);
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Ignore);
    prompter.queueSensorChoice(3);

    prompter.message("hello");
    EXPECT_TRUE(prompter.askYesNo("keep?"));
    EXPECT_EQ(prompter.askAbortRetryIgnore("no device"), AbortRetryIgnore::Ignore);
    EXPECT_EQ(prompter.chooseSensor("TITLE", {"a", "b"}), 3);

    ASSERT_EQ(prompter.shown().size(), 4u);
    EXPECT_EQ(prompter.shown()[0].kind, PromptKind::Message);
    EXPECT_EQ(prompter.shown()[3].entries, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(prompter.textsOf(PromptKind::YesNo), std::vector<std::string>{"keep?"});
    EXPECT_TRUE(prompter.problems().empty());
}

TEST(ScriptedPrompter, UnexpectedQuestionsAndLeftoverAnswersAreProblems) {
    ScriptedPrompter prompter;
    prompter.queueYesNo(true);
    // The queued Yes/No does not answer an Abort/Retry/Ignore box.
    EXPECT_EQ(prompter.askAbortRetryIgnore("scan failed"), AbortRetryIgnore::Abort);
    EXPECT_EQ(prompter.chooseSensor("CCD", {"x"}), std::nullopt);
    const auto problems = prompter.problems();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("scan failed"), std::string::npos);
    EXPECT_NE(problems[2].find("never asked"), std::string::npos);
}

TEST(ScriptedPrompter, ClosedSensorDialogIsAnAnswerOfItsOwn) {
    ScriptedPrompter prompter;
    prompter.queueSensorChoice(std::nullopt);
    EXPECT_EQ(prompter.chooseSensor("CCD", {"x"}), std::nullopt);
    EXPECT_TRUE(prompter.problems().empty());
}
