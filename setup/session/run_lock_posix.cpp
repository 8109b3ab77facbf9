// The lock of an install directory on the build machine: an exclusive lock on a file named
// after the directory in the temporary folder, which the system lets go when the process
// ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "setup/session/run_lock.h"

namespace qv {

bool RunLock::TryTake(const Path& dir) {
    Release();
    const char* temp = std::getenv("TMPDIR");
    const std::string path = std::string(temp && *temp ? temp : "/tmp") + "/" + RunLockName(dir) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void RunLock::Release() {
    if (handle_ == kNone) return;
    ::flock(static_cast<int>(handle_), LOCK_UN);
    ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

void SleepMilliseconds(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace qv
