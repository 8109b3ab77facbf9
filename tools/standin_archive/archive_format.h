// Our stand-in for the self-extracting archive program of a compressed product: a small
// Windows program with the product's files appended to it. Started with the command line
// that the installer passes,
//   <dir>\<CODE>.exe  -silent  -over=all -pass=<password> "<spec>" "<target directory>"
// it checks the password (the product code, its first letter and the code again), finds
// the member named <spec> and writes it, with its time, into the target directory under
// the last component of its name.
//
// The file: the program, then the payload, then a 16-byte trailer. Numbers are little
// endian. Payload: "QVSA", version (u32, 1), code length (u32) and the product code,
// member count (u32), then per member: name length (u32), name (the spec, "\"
// separators), size (u64), last-write time (i64, 100 ns units since 1601 as Windows
// counts file times), CRC-32 of the bytes (u32), the bytes. Trailer: the payload's
// offset (u64) and "QVSAEND1".
//
// Paths are Windows paths ("\" separators); natively "\" stands for "/".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtools::standin {

struct Member {
    std::string spec;        // the name the installer asks for
    std::string sourcePath;  // the file whose bytes and time the member takes
};

// Writes outPath: the program stubPath followed by the members. False with a message
// when a file cannot be read or written.
bool PackArchive(const std::string& stubPath, const std::string& outPath, const std::string& productCode,
                 const std::vector<Member>& members, std::string& error);

// The members of every entry line of a file list (field 1 of every line that is not a
// comment), their bytes taken from productDir + "\" + spec.
bool MembersFromFileList(const std::string& productDir, std::vector<Member>& members, std::string& error);

// What the command line asks for.
struct Request {
    std::string password;
    std::string spec;
    std::string targetDir;
};

// Reads the installer's command line (the program path first, unquoted or quoted). The
// quoted arguments end at the next quote: a target directory may end with "\" before
// its closing quote. False when anything else is on the line.
bool ParseCommandLine(const std::string& commandLine, Request& request, std::string& error);

// The password of a product code: the code, its first character and the code again.
std::string PasswordFor(const std::string& productCode);

// Exit codes of the stand-in.
enum ExitCode : int {
    kExtracted = 0,
    kBadCommandLine = 2,
    kWrongPassword = 3,
    kNoSuchMember = 4,
    kDamagedArchive = 5,
    kCannotWrite = 6,
};

// Carries out a request against the archive file archivePath (the running program
// itself): the member is written to a scratch name in the target directory (made when
// missing) and then put in place, replacing an older file.
ExitCode Extract(const std::string& archivePath, const Request& request, std::string& error);

}  // namespace qvtools::standin
