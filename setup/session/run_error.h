// A run-time error as the installer reports it: a stable number and its description.
// The numbers are the classic run-time error numbers that the messages show.
#pragma once

#include <string>

namespace qv {

struct RunError {
    int number = 0;
    std::string description;
};

namespace err {
inline RunError Overflow() { return {6, "Overflow"}; }
inline RunError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
inline RunError TypeMismatch() { return {13, "Type mismatch"}; }
inline RunError FileNotFound() { return {53, "File not found"}; }
inline RunError DeviceIo() { return {57, "Device I/O error"}; }
inline RunError DiskFull() { return {61, "Disk full"}; }
inline RunError InputPastEnd() { return {62, "Input past end of file"}; }
inline RunError PermissionDenied() { return {70, "Permission denied"}; }
inline RunError PathFileAccess() { return {75, "Path/File access error"}; }
inline RunError PathNotFound() { return {76, "Path not found"}; }
}  // namespace err

}  // namespace qv
