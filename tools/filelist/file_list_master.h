// Mastering of a CD's file lists: writes the "QVSETUP.INF" of a product folder, with the
// size and checksum of every file below it, and checks a whole CD against its lists and
// catalogues the way the installer will read them.
//
// Paths are given as the installer's logic takes them: Windows paths with "\" as the
// separator (natively "\" stands for "/", as in qv::fs). Paths in reports are in the
// form of the machine the code runs on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtools {

inline constexpr const char* kFileListName = "QVSETUP.INF";

// The largest file the installer copies: its count of 32767-byte blocks is 16-bit.
inline constexpr uint64_t kMaxListedFileSize = 32768ull * 32767ull - 1;

// A finished checksum (the complement of the running CRC-32 started at -1, as zlib's
// crc32 gives it) in the list's form: the signed 32-bit decimal, "-123", "0", "456".
std::string FormatChecksum(uint32_t crc);

// The CRC-32 and the size of a file's bytes; false when it cannot be read.
bool FileChecksum(const std::string& path, uint32_t& crc, uint64_t& size);

// One entry of a file list without its line end: spec, date, size and checksum joined
// by ",". The spec is relative to the product folder with "\" separators.
std::string FileListLine(const std::string& spec, const std::string& date, uint64_t size, uint32_t crc);

// Why a spec cannot stand in a file list (a comma, a character Windows does not allow in
// a file name, a reserved device name, a name that would not survive the list's reading
// or the copy to Windows); empty text when it can.
std::string SpecProblem(const std::string& spec);

struct FileListEntry {
    std::string spec;   // relative to the product folder, "\" separators
    std::string date;   // modification time, "YYYY-MM-DD hh:mm:ss" (UTC)
    uint64_t size = 0;
    uint32_t crc = 0;   // finished CRC-32
};

// Every file below the product folder except its own "QVSETUP.SKU" and "QVSETUP.INF",
// sorted by spec without regard to case. When the folder's catalogue marks a
// base-plus-delta product, every file must lie below a part folder ("BSE" or a platform
// code). False with a message naming the file when any file cannot be listed.
bool ListProductFiles(const std::string& productDir, std::vector<FileListEntry>& entries, std::string& error);

// Writes productDir\QVSETUP.INF: a "#" comment line, then one line per file, each ended
// by CR LF. Nothing is written when any file cannot be listed.
bool WriteFileList(const std::string& productDir, std::string& error);

// Writes the list of every immediate subfolder of cdDir that holds a "QVSETUP.SKU", as
// a CD is mastered. False with the messages of the folders that failed (one per line);
// the other folders still get their lists.
bool WriteFileLists(const std::string& cdDir, std::string& error);

struct CdProblem {
    std::string file;   // the catalogue or file list concerned
    int line = 0;       // 1-based line of the file list; 0 for the file as a whole
    std::string text;
};

struct CdCheckResult {
    int products = 0;                 // product folders checked
    int entries = 0;                  // file-list entries checked
    std::vector<std::string> notes;   // folders passed over, not errors
    std::vector<CdProblem> problems;
};

// Checks every immediate subfolder of cdDir that holds a "QVSETUP.SKU": the catalogue
// must read without a message on every database platform (language ENG), and every
// entry of its "QVSETUP.INF" must name an existing file with the listed size and
// checksum, in the form the installer compares.
CdCheckResult CheckCd(const std::string& cdDir);

// The same check with its problems as text, one "<file>:<line>: <text>" line each;
// returns the number of problems.
int CheckCd(const std::string& cdDir, std::string& report);

// "<file>:<line>: <text>".
std::string FormatProblem(const CdProblem& problem);

}  // namespace qvtools
