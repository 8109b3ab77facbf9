// The running checksum of the copied bytes, from the checksum library. In Windows the
// library "qvcrc.dll" beside the program is bound (its export "GetCRC") at the first call
// and stays bound until the installer ends; natively the same checksum is linked in.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/run_error.h"

namespace qv {

// Advances the running value over one block, as GetCRC(block, length, running) does.
// False, with the error to report, when the library or its entry point cannot be bound;
// the running value is then left as it was.
[[nodiscard]] bool GetCRC(const void* block, int32_t length, int32_t& running, RunError& error);

// Where the checksum library is loaded from (in Windows, qvcrc.dll beside the program).
std::string ChecksumLibraryPath();

// The errors a missing library reports.
inline RunError DllLoadError() { return {48, "Error in loading DLL"}; }
inline RunError DllEntryPointError() { return {453, "Specified DLL function not found"}; }

// Binds the checksum library now, on this thread, so that other threads may take checksums
// after it. False, with the error, as GetCRC.
[[nodiscard]] bool BindChecksumLibrary(RunError& error);

// The CRC-32 of a whole file through the checksum library, read in large blocks, and its
// size. False, with the error, when the file cannot be read or the library cannot be bound.
// Once the library is bound, threads may call it side by side.
[[nodiscard]] bool FileChecksum(const std::string& path, int64_t& size, int32_t& checksum, RunError& error);

// The checksum as the file lists write it: the decimal text of a signed 32-bit value.
inline std::string ChecksumText(int32_t checksum) { return std::to_string(checksum); }

}  // namespace qv
