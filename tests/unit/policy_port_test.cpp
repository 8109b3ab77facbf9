// The ports of an unattended run: the fixed answers of the policy, and the logging
// port that writes every message box and step to the log while forwarding all calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "setup/session/file_system.h"
#include "setup/session/policy_port.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::RecordingPort;
using qvtest::TempTree;

TEST(Policy, StopsWhereItMayAndConfirmsWhatOnlyInforms) {
    EXPECT_EQ(PolicyAnswer(Buttons::Ok), Answer::Ok);
    EXPECT_EQ(PolicyAnswer(Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(PolicyAnswer(Buttons::AbortRetryIgnore), Answer::Abort);
    EXPECT_EQ(PolicyAnswer(Buttons::YesNo), Answer::No);
    EXPECT_EQ(PolicyAnswer(Buttons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(PolicyAnswer(Buttons::RetryCancel), Answer::Cancel);

    // The policy port answers by the table whatever the default button.
    PolicyPort port;
    EXPECT_EQ(port.ShowMessage({"t", "T", Buttons::AbortRetryIgnore, Icon::Critical, 3}), Answer::Abort);
    EXPECT_EQ(port.ShowMessage({"t", "T", Buttons::YesNo, Icon::Question, 1}), Answer::No);
    // The system's clock, as a day number; it may step back a little between two readings.
    const double before = CurrentDateTime();
    const double now = port.Now();
    EXPECT_LT(std::abs(now - before), 1.0 / 24);
}

class LoggingPortTest : public ::testing::Test {
protected:
    TempTree tree;
    InstallLog log;
    RecordingPort inner;
    LoggingPort port{inner, log};

    LoggingPortTest() {
        log.SetClock([] { return 45658.5; });
        inner.clock = [] { return 12345.25; };
    }
};

TEST_F(LoggingPortTest, MessagesAndStepsAreForwardedAndLogged) {
    std::string error;
    ASSERT_TRUE(log.Open(tree.path("run.log"), error));

    inner.answers = {Answer::Retry};
    const Message box{"File Copy Error\r\nFile Not Found", "Install Error", Buttons::AbortRetryIgnore,
                      Icon::Critical, 1, FromSystemError(2)};  // no such file on either platform
    EXPECT_EQ(port.ShowMessage(box), Answer::Retry);
    EXPECT_EQ(port.ShowMessage({"Done.", "Marrowvale", Buttons::YesNo, Icon::Question, 2}), Answer::No);
    port.LogStep("Copied C:\\MV\\a.dll (1,024 bytes, checksum correct)");

    ASSERT_EQ(inner.messages.size(), 2u);
    EXPECT_EQ(inner.messages[0].text, box.text);
    EXPECT_EQ(inner.messages[0].title, box.title);
    EXPECT_EQ(inner.messages[0].icon, Icon::Critical);
    EXPECT_EQ(inner.messages[1].defaultButton, 2);
    EXPECT_EQ(inner.steps, (std::vector<std::string>{"Copied C:\\MV\\a.dll (1,024 bytes, checksum correct)"}));
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("run.log")),
              "2025-01-01 12:00:00.000  Message box \"Install Error\": File Copy Error\\r\\nFile Not Found -> Retry" +
                  SystemCause(FromSystemError(2)) + "\r\n"
              "2025-01-01 12:00:00.000  Message box \"Marrowvale\": Done. -> No\r\n"
              "2025-01-01 12:00:00.000  Copied C:\\MV\\a.dll (1,024 bytes, checksum correct)\r\n");
}

TEST_F(LoggingPortTest, EveryOtherCallReachesTheInnerPortUnchanged) {
    port.DoEvents();
    port.ShowScanDirectories(4);
    port.ShowScanModules(2, "1,234");
    port.ShowModuleName("Finance");
    port.ShowFileName("C:\\MV\\a.dll");
    port.ShowModulePercent(50, "50%");
    port.ShowTotalPercent(7, "7%");
    port.ShowTimeSpent("00:00:01");
    port.ShowTimeRemaining("00:00:09");
    port.RepaintProgress();
    port.UnloadProgress();
    EXPECT_EQ(port.Now(), 12345.25);

    EXPECT_EQ(inner.doEventsCalls, 1);
    EXPECT_EQ(inner.scanDirectories, std::vector<int>{4});
    EXPECT_EQ(inner.scanModules, (std::vector<std::pair<int, std::string>>{{2, "1,234"}}));
    EXPECT_EQ(inner.moduleNames, std::vector<std::string>{"Finance"});
    EXPECT_EQ(inner.fileNames, std::vector<std::string>{"C:\\MV\\a.dll"});
    EXPECT_EQ(inner.modulePercents, (std::vector<std::pair<int, std::string>>{{50, "50%"}}));
    EXPECT_EQ(inner.totalPercents, (std::vector<std::pair<int, std::string>>{{7, "7%"}}));
    EXPECT_EQ(inner.timesSpent, std::vector<std::string>{"00:00:01"});
    EXPECT_EQ(inner.timesRemaining, std::vector<std::string>{"00:00:09"});
    EXPECT_EQ(inner.repaints, 1);
    EXPECT_EQ(inner.unloads, 1);
    EXPECT_EQ(inner.nowCalls, 1);
}

TEST_F(LoggingPortTest, WithoutAnOpenLogOnlyForwards) {
    EXPECT_EQ(port.ShowMessage({"Informs", "T", Buttons::Ok, Icon::Information, 1}), Answer::Ok);
    port.LogStep("step");
    EXPECT_EQ(inner.messages.size(), 1u);
    EXPECT_EQ(inner.steps, std::vector<std::string>{"step"});
}

// The unattended combination: the policy answers, the log records the answer given.
TEST(PolicyWithLog, LogsThePolicyAnswer) {
    TempTree tree;
    InstallLog log;
    log.SetClock([] { return 2.0; });
    std::string error;
    ASSERT_TRUE(log.Open(tree.path("silent.log"), error));
    PolicyPort policy;
    LoggingPort port(policy, log);
    EXPECT_EQ(port.ShowMessage({"Do you wish to Cancel?", "Cancel", Buttons::YesNoCancel, Icon::Question, 1}),
              Answer::Cancel);
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("silent.log")), "1900-01-01 00:00:00.000  Message box \"Cancel\": Do you wish to Cancel? -> Cancel\r\n");
}

}  // namespace
}  // namespace qv
