// The one map from the system's error codes to what the user is told, and what the
// install log adds: the code and the system's own text; how an exception ends the run;
// the throttle of costly displays.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>

#include <new>
#include <stdexcept>

#include "setup/session/fatal_error.h"
#include "setup/session/run_error.h"
#include "setup/session/throttle.h"

namespace qv {
namespace {

TEST(SystemErrors, EachCodeTellsTheUserOneThingAndKeepsTheCode) {
    const struct {
        uint32_t code;
        int number;
    } kTable[] = {
#ifdef _WIN32
        {ERROR_FILE_NOT_FOUND, 53},   {ERROR_PATH_NOT_FOUND, 76},     {ERROR_INVALID_NAME, 76},
        {ERROR_INVALID_DRIVE, 76},    {ERROR_BAD_NETPATH, 76},        {ERROR_DEV_NOT_EXIST, 68},
        {ERROR_ACCESS_DENIED, 70},    {ERROR_SHARING_VIOLATION, 70},  {ERROR_LOCK_VIOLATION, 70},
        {ERROR_WRITE_PROTECT, 70},    {ERROR_DISK_FULL, 61},          {ERROR_HANDLE_DISK_FULL, 61},
        {ERROR_NOT_READY, 71},        {ERROR_CRC, 57},                {ERROR_GEN_FAILURE, 57},
        {ERROR_SECTOR_NOT_FOUND, 57}, {ERROR_NOT_ENOUGH_MEMORY, 7},   {ERROR_TOO_MANY_OPEN_FILES, 67},
        {ERROR_ALREADY_EXISTS, 58},   {ERROR_INVALID_PARAMETER, 75},
#else
        {ENOENT, 53}, {ENOTDIR, 76}, {ENAMETOOLONG, 76}, {ENXIO, 68}, {EACCES, 70}, {EROFS, 70},
        {EBUSY, 70},  {ENOSPC, 61},  {EDQUOT, 61},       {EIO, 57},   {ENOMEM, 7},  {EMFILE, 67},
        {EEXIST, 58}, {EINVAL, 75},
#endif
    };
    for (const auto& row : kTable) {
        const RunError error = FromSystemError(row.code);
        EXPECT_EQ(error.number, row.number) << "system code " << row.code;
        EXPECT_EQ(error.systemCode, row.code);
        EXPECT_FALSE(error.description.empty());
    }
    EXPECT_EQ(FromSystemError(0).number, 0);  // no error at all

#ifdef _WIN32
    const uint32_t denied = ERROR_ACCESS_DENIED;
#else
    const uint32_t denied = EACCES;
#endif
    const std::string cause = SystemCause(FromSystemError(denied));
    EXPECT_EQ(cause.rfind(" [system error " + std::to_string(denied) + ": ", 0), 0u) << cause;
    EXPECT_GT(cause.size(), std::string(" [system error 5: ]").size()) << "the system's text is missing";
    EXPECT_EQ(cause.back(), ']');
    EXPECT_EQ(SystemCause(err::InputPastEnd()), "");  // not from a system call: nothing to add
}

TEST(FatalErrors, EndTheRunAsAFailedInstallOrAFailedStartUp) {
    Session session;
    FatalError fatal = DescribeFatalError(session, std::make_exception_ptr(std::runtime_error("bad state")));
    EXPECT_EQ(fatal.box.text, "Error : 51\rInternal error");
    EXPECT_EQ(fatal.box.title, kAppTitle);
    EXPECT_EQ(fatal.code, ExitCode::StartupFailed);
    EXPECT_NE(fatal.logLine.find("bad state"), std::string::npos) << fatal.logLine;

    session.InstallRunning = true;
    fatal = DescribeFatalError(session, std::make_exception_ptr(std::bad_alloc()));
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
