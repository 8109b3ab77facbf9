#include <gtest/gtest.h>

#include "setup/engine/progress.h"
#include "support/recording_port.h"

namespace qv {
namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kStart = 46000.25;  // some morning, as a date-time value

TEST(ProgressArithmetic, PercentagesRoundHalvesToEvenAndCap) {
    EXPECT_EQ(ModulePercent(1, 8), 12);    // 12.5
    EXPECT_EQ(ModulePercent(3, 8), 38);    // 37.5
    EXPECT_EQ(ModulePercent(99, 100), 99);
    EXPECT_EQ(ModulePercent(996, 1000), 98);  // 99.6 rounds to 100: above 99 shows 98
    EXPECT_EQ(ModulePercent(150, 100), 98);
    EXPECT_EQ(ModulePercent(-30, 100), -30);
    EXPECT_EQ(TotalPercent(1, 8), 12);
    EXPECT_EQ(TotalPercent(100, 100), 100);  // exactly 100 stays
    EXPECT_EQ(TotalPercent(1006, 1000), 99);
    EXPECT_EQ(TotalPercent(5, 0), 99);
    EXPECT_EQ(ModulePercent(0, 0), 0);
}

TEST(ProgressArithmetic, LabelsAndClock) {
    EXPECT_EQ(PercentLabel(45), " 45%");
    EXPECT_EQ(PercentLabel(0), " 0%");
    EXPECT_EQ(PercentLabel(-3), "-3%");
    EXPECT_EQ(FormatClock(0), "00:00:00");
    EXPECT_EQ(FormatClock(3723 * kSecond), "01:02:03");
    EXPECT_EQ(FormatClock(2 + 59 * kSecond), "00:00:59");  // whole days dropped
    EXPECT_EQ(FormatClock(0.4 * kSecond), "00:00:00");
    EXPECT_EQ(FormatClock(86399.6 * kSecond), "00:00:00");  // rounds to the next day
    EXPECT_EQ(FormatClock(-5 * kSecond), "00:00:00");
}

struct ProgressFixture : ::testing::Test {
    Session s;
    qvtest::RecordingPort port;
    double now = kStart;

    void SetUp() override {
        s.ClusterSize = 16384;
        s.InstallStartTime = kStart;
        s.ProductBytes = 1000;
        s.ModuleBytes = 400;
        port.clock = [this] { return now; };
    }
};

// In an install with a compressed product every counted byte weighs twice, and eleven
// times once the install has reached the tools product; the tools product without a
// compressed one adds no weight. The total never falls below one byte.
TEST_F(ProgressFixture, ACompressedProductWeighsTheBytesTwiceAndElevenTimesFromTheToolsOn) {
    UpdateProgress(s, port, 50);  // no compressed product: bytes as they are
    EXPECT_EQ(s.BytesDone, 50);
    EXPECT_EQ(s.ModuleBytesDone, 50);
    s.HasCompressed = 1;
    UpdateProgress(s, port, 10);  // count 20
    EXPECT_EQ(s.BytesDone, 70);
    s.ToolsInstalled = true;
    UpdateProgress(s, port, 10);  // count 110
    EXPECT_EQ(s.BytesDone, 180);
    UpdateProgress(s, port, -100);  // a retried copy takes its bytes back, weighted too
    EXPECT_EQ(s.BytesDone, 1);
    EXPECT_EQ(s.ModuleBytesDone, -920);
    EXPECT_EQ(port.modulePercents.back(), std::make_pair(0, std::string("-230%")));
    s.HasCompressed = 0;
    UpdateProgress(s, port, 100);  // the tools product alone
    EXPECT_EQ(s.BytesDone, 101);
}

TEST_F(ProgressFixture, TheTotalCountsPastTwoGibibytesAndTheProductsCountSaturates) {
    s.ProductBytes = 4.0 * 1024 * 1024 * 1024;
    s.BytesDone = INT32_MAX - 10;
    s.ModuleBytesDone = INT32_MAX - 10;
    UpdateProgress(s, port, 32768);
    EXPECT_EQ(s.BytesDone, int64_t{INT32_MAX} - 10 + 32768);
    EXPECT_EQ(s.ModuleBytesDone, INT32_MAX);
    for (int i = 0; i < 32768; ++i) UpdateProgress(s, port, 32768);  // another GiB
    EXPECT_EQ(port.totalPercents.back(), std::make_pair(75, std::string(" 75%")));  // no freeze at 50 %
}

TEST_F(ProgressFixture, BarsAndLabelsAreSetOnlyWhenTheyChange) {
    UpdateProgress(s, port, 2);  // 0.5 % and 0.2 %: both round to 0
    UpdateProgress(s, port, 0);
    ASSERT_EQ(port.modulePercents.size(), 1u);
    EXPECT_EQ(port.modulePercents[0], std::make_pair(0, std::string(" 0%")));
    EXPECT_EQ(port.totalPercents.size(), 1u);
    UpdateProgress(s, port, 197);  // module 50 %, total 20 %
    EXPECT_EQ(port.modulePercents.back(), std::make_pair(50, std::string(" 50%")));
    EXPECT_EQ(port.totalPercents.back(), std::make_pair(20, std::string(" 20%")));
    UpdateProgress(s, port, 300);  // module 125 % shows 98
    EXPECT_EQ(port.modulePercents.back(), std::make_pair(98, std::string(" 98%")));
    UpdateProgress(s, port, 600);  // total 110 % shows 99
    EXPECT_EQ(port.totalPercents.back(), std::make_pair(99, std::string(" 99%")));
    EXPECT_EQ(port.modulePercents.size(), 3u);  // 98 again was not set again
}

TEST_F(ProgressFixture, NoEstimateBeforeTimeHasPassed) {
    UpdateProgress(s, port, 100);  // at the start itself
    EXPECT_EQ(s.ElapsedTime, 0);
    EXPECT_EQ(s.SmoothedTotalTime, 0);
    EXPECT_EQ(port.timesSpent, std::vector<std::string>{"00:00:00"});
    EXPECT_EQ(port.timesRemaining, std::vector<std::string>{"00:00:00"});

    now = kStart + 0.4 * kSecond;  // 0.4 s in: a tenth of the bytes done
    UpdateProgress(s, port, 0);
    EXPECT_NEAR(s.ElapsedTime / kSecond, 0.4, 1e-3);
    EXPECT_NEAR(s.SmoothedTotalTime / kSecond, 4, 1e-3);
    EXPECT_EQ(port.timesSpent.back(), "00:00:00");
    EXPECT_EQ(port.timesRemaining.back(), "00:00:04");
}

TEST_F(ProgressFixture, EstimateIsSmoothed) {
    now = kStart + 10 * kSecond;
    UpdateProgress(s, port, 100);  // 10 % in 10 s: 100 s in all
    EXPECT_NEAR(s.EstimatedTotalTime / kSecond, 100, 1e-3);
    EXPECT_NEAR(s.SmoothedTotalTime / kSecond, 100, 1e-3);
    EXPECT_NEAR(s.RemainingTime / kSecond, 90, 1e-3);
    EXPECT_EQ(port.timesSpent.back(), "00:00:10");
    EXPECT_EQ(port.timesRemaining.back(), "00:01:30");

    now = kStart + 20 * kSecond;
    UpdateProgress(s, port, 400);  // 50 % in 20 s: 40 s raw, 0.9 × 100 + 0.1 × 40 = 94 s
    EXPECT_NEAR(s.EstimatedTotalTime / kSecond, 40, 1e-3);
    EXPECT_NEAR(s.SmoothedTotalTime / kSecond, 94, 1e-3);
    EXPECT_EQ(port.timesRemaining.back(), "00:01:14");

    // A smoothed total below the elapsed time shows no time remaining.
    now = kStart + 200 * kSecond;
    UpdateProgress(s, port, 0);
    EXPECT_LT(s.RemainingTime, 0);
    EXPECT_EQ(port.timesSpent.back(), "00:03:20");
    EXPECT_EQ(port.timesRemaining.back(), "00:00:00");
}

TEST_F(ProgressFixture, TimesAreSetOnlyWhenTheShownSecondChanges) {
    now = kStart + 10 * kSecond;
    UpdateProgress(s, port, 100);
    now += 0.2 * kSecond;
    UpdateProgress(s, port, 0);
    EXPECT_EQ(port.timesSpent.size(), 1u);
}

TEST_F(ProgressFixture, LoadStateAndModuleReset) {
    s.InstallAborted = true;
    s.Cancel.Request();
    BeginInstallStatus(s, port);
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_FALSE(s.Cancel.Requested());
    EXPECT_EQ(port.modulePercents.back(), std::make_pair(0, std::string("0%")));
    EXPECT_EQ(port.totalPercents.back(), std::make_pair(0, std::string("0%")));
    EXPECT_EQ(port.timesSpent.back(), "00:00:00");
    UpdateProgress(s, port, 1);
    EXPECT_EQ(port.modulePercents.back().second, " 0%");  // the count's own form follows
    ResetModuleProgress(s, port);
    EXPECT_EQ(port.modulePercents.back().second, "0%");
    UpdateProgress(s, port, 0);
    EXPECT_EQ(port.modulePercents.back().second, " 0%");
}

TEST(ProgressCancel, AsksAndStopsOnlyOnYes) {
    Session s;
    qvtest::RecordingPort port;
    port.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(ConfirmCancel(s, port));
    EXPECT_FALSE(s.Cancel.Requested());
    EXPECT_TRUE(ConfirmCancel(s, port));
    EXPECT_TRUE(s.Cancel.Requested());
    const Message& box = port.messages.at(0);
    EXPECT_EQ(box.title, "Cancel CD-ROM Installation");
    EXPECT_EQ(box.text, "Do you wish to Cancel the Installation Process?\r\rSelect YES to Cancel, or NO to Continue.");
    EXPECT_EQ(box.buttons, Buttons::YesNo);
    EXPECT_EQ(box.icon, Icon::Critical);
    EXPECT_EQ(box.defaultButton, 2);
}

}  // namespace
}  // namespace qv
