#include "shell/StepRunner.h"
#include "shell/ApplicationError.h"
#include "support/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QString Context = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click ");

[[noreturn]] void fail(const char* why) {
    throw Failure(QString::fromLatin1(why));
}

} // namespace

// A small procedure written the way every reporting procedure is: numbered steps, a guarded
// block, a loop whose advance can fail. Each flag records which steps ran.
TEST(StepRunner, ContinuesAfterEachFailureByTheRules) {
    RecordingUserInterface ui;
    StepRunner run(ui, Context);
    QStringList ran;

    run.step(100, [&] {
        fail("first");
        ran << "100";
    });
    run.step(102, [&] { ran << "102"; });
    if (run.test(104, [&]() -> bool { fail("condition"); }))
        run.step(106, [&] { ran << "106 guarded"; });
    const int count = run.value(
        108, [&]() -> int { fail("loop start"); }, 1);
    for (int i = 0; i < count; ++i) {
        run.step(110, [&] { ran << "110 body"; });
        if (!run.step(112, [&] { fail("advance"); }))
            break;
    }
    run.step(114, [&] { ran << "114"; });

    EXPECT_EQ(ran, (QStringList{"102", "106 guarded", "110 body", "114"}));
    ASSERT_EQ(ui.errors.size(), 4) << "every failure gets its own message";
    EXPECT_EQ(ui.errors[0], applicationErrorText(Context, 100, QStringLiteral("first")));
    EXPECT_EQ(ui.errors[1], applicationErrorText(Context, 104, QStringLiteral("condition")));
    EXPECT_EQ(ui.errors[2], applicationErrorText(Context, 108, QStringLiteral("loop start")));
    EXPECT_EQ(ui.errors[3], applicationErrorText(Context, 112, QStringLiteral("advance")));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST(StepRunner, ReportsTheLastNumberedStepAndAnyExceptionKind) {
    RecordingUserInterface ui;
    StepRunner run(ui, Context);
    run.begin(130);
    // An unnumbered piece of work after step 130 reports 130.
    run.step(run.current(), [] { throw std::runtime_error("plain exception"); });
    run.step(132, [] { throw 42; });
    EXPECT_TRUE(run.test(134, [] { return true; }));
    EXPECT_FALSE(run.test(136, [] { return false; })) << "a test that does not fail is kept";
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("plain exception\r\n")));
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("at line 130\r\r")));
    EXPECT_TRUE(ui.errors[1].contains(QStringLiteral("at line 132\r\r")));
}
