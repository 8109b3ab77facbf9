// A run-time error as the installer reports it: the classic run-time number and its
// description, which the messages show, and the system's own error code behind it, which
// the install log adds. Errors are values until the user sees them.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct RunError {
    int number = 0;  // the classic run-time number; 0: no error
    std::string description;
    // The system's own code (GetLastError in Windows, errno natively); 0 when the error
    // did not come from a system call.
    uint32_t systemCode = 0;
};

// Passes over the result of a call that says whether it succeeded, where a failure changes
// nothing that follows (the reason is given where it is called): a result is never
// dropped by accident.
inline void PassOver(bool /*succeeded*/) {}

namespace err {
inline RunError OutOfMemory() { return {7, "Out of memory"}; }
inline RunError Overflow() { return {6, "Overflow"}; }
inline RunError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
inline RunError TypeMismatch() { return {13, "Type mismatch"}; }
inline RunError BadFileNameOrNumber() { return {52, "Bad file name or number"}; }
inline RunError FileNotFound() { return {53, "File not found"}; }
inline RunError DeviceIo() { return {57, "Device I/O error"}; }
inline RunError FileAlreadyExists() { return {58, "File already exists"}; }
inline RunError DiskFull() { return {61, "Disk full"}; }
inline RunError InputPastEnd() { return {62, "Input past end of file"}; }
inline RunError TooManyFiles() { return {67, "Too many files"}; }
inline RunError DeviceUnavailable() { return {68, "Device unavailable"}; }
inline RunError PermissionDenied() { return {70, "Permission denied"}; }
inline RunError DiskNotReady() { return {71, "Disk not ready"}; }
inline RunError PathFileAccess() { return {75, "Path/File access error"}; }
inline RunError PathNotFound() { return {76, "Path not found"}; }
}  // namespace err

// The one map from the system's error codes to the run-time errors the user is told of,
// with the code kept: Win32 codes in the Windows build, errno values natively.
RunError FromSystemError(uint32_t code);

// The system's own text for its error code ("Access is denied."), without a line end.
std::string SystemErrorText(uint32_t code);

// What the install log adds to a line about the error: " [system error 5: Access is
// denied.]"; empty when the error did not come from a system call.
std::string SystemCause(const RunError& error);

}  // namespace qv
