// Test CDs for the install engine: product folders mastered with the file-list tool,
// deterministic file contents, and whole trees read back for comparison.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qvtest {

// n bytes that depend only on the seed.
std::string PatternBytes(size_t n, uint32_t seed);

// A Windows path ("\" separators) in the form of the machine the test runs on.
std::filesystem::path HostPath(const std::string& path);

struct CdFile {
    std::string spec;     // relative to the product folder, "\" separators
    std::string content;
};

// The time every file of a mastered product carries (an old one, so that a copy that
// does not carry the times over shows).
std::filesystem::file_time_type SourceFileTime();

// Makes productDir with a catalogue (BaseDelta as given) and the files, gives the files
// SourceFileTime(), and writes the file list with the file-list tool. Fails the test
// (an exception) when the tool refuses.
void MasterProduct(const std::string& productDir, const std::vector<CdFile>& files, int baseDelta = 0);

// Every file below dir: its path relative to dir ("\" separators) and its bytes. Empty
// when dir does not exist.
std::map<std::string, std::string> ReadTree(const std::string& dir);

// The same for the file list's entries: spec -> content, read from the product folder.
std::map<std::string, std::string> ListedFiles(const std::string& productDir);

}  // namespace qvtest
