// Scratch folders for tests: each TempTree is a fresh folder below the system's
// temporary folder, removed with everything in it when the test ends. Paths are
// Windows paths ("\" separators), as the logic uses them.
#pragma once

#include <string>

#include "setup/session/path.h"

namespace qvtest {

// The Path of a text a test knows to be one ("c:\\qv", a tree's path); fails the test
// program where it is not.
qv::Path P(const std::string& text);

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The folder itself, without a trailing "\".
    const std::string& root() const { return root_; }
    // root + "\" + relative, as text and as a Path.
    std::string path(const std::string& relative) const;
    qv::Path at(const std::string& relative) const { return P(path(relative)); }

    // Writes a file (making its folders); the content is written as it stands.
    void write(const std::string& relative, const std::string& content) const;
    void mkdir(const std::string& relative) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;

private:
    std::string root_;
};

// Removes a folder and everything below it.
void RemoveTree(const std::string& path);

// The content of a file that its writer may still hold open (an install log): read
// through the C library, which shares the file with its writer, where a reader that
// denies writing could not open it in Windows. "(cannot open <path>)" on failure.
std::string ReadSharedFile(const std::string& path);

// Writes a file with this content, creating its folders.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace qvtest
