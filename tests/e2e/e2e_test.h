// The base of the end-to-end tests: the program under test, started from the build's
// bin folder and ended when the test ends however it ends, and the test's numbered
// screenshots, with one more of the screen when the test failed.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

#include "e2e/driver.h"

namespace qve2e {

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        shots_ = std::make_unique<Screenshots>(
            ScreenshotFolder(std::string(info->test_suite_name()) + "." + info->name()));
        ASSERT_TRUE(shots_->error().empty()) << shots_->error();
    }

    void TearDown() override {
        if (HasFailure()) {
            if (app.Started()) std::cerr << "The program under test: " << app.Describe() << "\n";
            Shot("failure");
        }
        app.Kill();
    }

    // Starts a program of the build's bin folder, in that folder.
    void Start(const std::string& exeName, const std::string& arguments, const Environment* environment = nullptr) {
        ASSERT_TRUE(UseUnmanagedWindows(exeName));
        ASSERT_TRUE(app.Start(ProgramFolder() + "\\" + exeName, arguments, ProgramFolder(), environment))
            << app.error();
    }

    // Saves a screenshot of this step; failing to is a failure of the driver.
    void Shot(const std::string& step) { EXPECT_FALSE(shots_->Take(step).empty()) << shots_->error(); }

    // Waits for the program to end and checks its exit code.
    void ExpectExitCode(DWORD expected) {
        const std::optional<DWORD> code = app.WaitForExit(kWindowWait);
        ASSERT_TRUE(code.has_value()) << "the program did not end in time";
        EXPECT_EQ(*code, expected);
    }

    Process app;

private:
    std::unique_ptr<Screenshots> shots_;
};

}  // namespace qve2e
