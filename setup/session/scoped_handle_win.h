// Owners of the two kinds of Win32 handle the installer opens itself: file handles from
// CreateFileA (and process handles), closed with CloseHandle, and search handles from
// FindFirstFileA, closed with FindClose. Each closes its handle when it goes out of
// scope; neither can be copied. Windows builds only.
#pragma once

#include <windows.h>

#include <utility>

namespace qv {

template <typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, Traits::Invalid());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool valid() const { return handle_ != Traits::Invalid() && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // Gives the handle up to the caller, who closes it.
    HANDLE release() { return std::exchange(handle_, Traits::Invalid()); }
    // Closes the handle now; false when the system reports a failure.
    bool Close() {
        if (!valid()) return true;
        return Traits::Close(std::exchange(handle_, Traits::Invalid())) != FALSE;
    }

private:
    HANDLE handle_ = Traits::Invalid();
};

struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HANDLE h) { return CloseHandle(h); }
};

struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HANDLE h) { return FindClose(h); }
};

// A handle of CreateFileA, CreateProcessA and the like.
using ScopedHandle = UniqueHandle<FileHandleTraits>;
// A search of FindFirstFileA.
using ScopedFind = UniqueHandle<FindHandleTraits>;

}  // namespace qv
