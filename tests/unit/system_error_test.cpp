// What the user is told of a system error, and what the install log adds: the code and
// the system's own text; how an exception ends the run; the throttle of costly displays.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>

#include <new>
#include <stdexcept>

#include "setup/engine/install_driver.h"
#include "setup/session/fatal_error.h"
#include "setup/session/run_error.h"
#include "setup/session/throttle.h"

namespace qv {
namespace {

// The faults an install meets, as the user is told of them, and the system's own code and
// text that the log keeps beside.
TEST(SystemErrors, TheUserIsToldTheRunTimeErrorAndTheLogKeepsTheSystemsCodeAndText) {
    const struct {
        uint32_t code;
        int number;
        const char* description;
    } kFaults[] = {
#ifdef _WIN32
        {ERROR_DISK_FULL, 61, "Disk full"},
        {ERROR_SHARING_VIOLATION, 70, "Permission denied"},  // a file held open by another program
        {ERROR_FILE_NOT_FOUND, 53, "File not found"},
        {ERROR_CRC, 57, "Device I/O error"},                 // a damaged CD
        {ERROR_INVALID_PARAMETER, 75, "Path/File access error"},  // any code without a meaning of its own
#else
        {ENOSPC, 61, "Disk full"},
        {EBUSY, 70, "Permission denied"},
        {ENOENT, 53, "File not found"},
        {EIO, 57, "Device I/O error"},
        {EINVAL, 75, "Path/File access error"},
#endif
    };
    for (const auto& fault : kFaults) {
        const RunError error = FromSystemError(fault.code);
        EXPECT_EQ(error.number, fault.number) << "system code " << fault.code;
        EXPECT_EQ(error.description, fault.description);
        const std::string text = SystemErrorText(fault.code);
        EXPECT_NE(text.rfind("Unknown error", 0), 0u) << "the system's text is missing for " << fault.code;
        EXPECT_EQ(SystemCause(error), " [system error " + std::to_string(fault.code) + ": " + text + "]");
    }
    EXPECT_EQ(FromSystemError(0).number, 0);            // no error at all
    EXPECT_EQ(SystemCause(err::InputPastEnd()), "");  // not from a system call: nothing to add
}

TEST(FatalErrors, EndTheRunAsAFailedInstallOrAFailedStartUp) {
    Session session;
    FatalError fatal = DescribeFatalError(session, std::make_exception_ptr(std::runtime_error("bad state")));
    EXPECT_EQ(fatal.box.text, "Error : 51\rInternal error");
    EXPECT_EQ(fatal.box.title, kAppTitle);
    EXPECT_EQ(fatal.code, ExitCode::StartupFailed);
    EXPECT_NE(fatal.logLine.find("bad state"), std::string::npos) << fatal.logLine;

    // An error that leaves a running install: the run's flag stays set while the exception
    // is on its way to the handler that ends the program.
    try {
        const RunningInstall running(session);
        throw std::bad_alloc();
    } catch (...) {
        fatal = DescribeFatalError(session, std::current_exception());
    }
    EXPECT_EQ(fatal.box.text, "Error : 7\rOut of memory");
    EXPECT_EQ(fatal.code, ExitCode::InstallFailed);
}

TEST(Throttle, RunsTheActionOnceAnIntervalAlsoAcrossTheClocksWrap) {
    uint32_t now = 0xFFFFFFF0u;
    Throttle throttle(40, [&] { return now; });
    EXPECT_TRUE(throttle.Due());  // the first time
    now += 39;
    EXPECT_FALSE(throttle.Due());
    now += 1;  // past the wrap of the tick count
    EXPECT_TRUE(throttle.Due());
    now += 30;
    throttle.Restart();  // the action ran for another reason: the interval counts anew
    now += 39;
    EXPECT_FALSE(throttle.Due());
    now += 1;
    EXPECT_TRUE(throttle.Due());
}

}  // namespace
}  // namespace qv
