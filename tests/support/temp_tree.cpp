#include "support/temp_tree.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qvtest {
namespace {

// The same path in the form of the machine the test runs on.
std::filesystem::path HostPath(const std::string& path) {
#ifdef _WIN32
    // The program's paths are in the ANSI code page, which the library's own narrow paths
    // need not be.
    std::wstring wide(path.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                                      static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return std::filesystem::path(wide);
#else
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return std::filesystem::path(p);
#endif
}

}  // namespace

qv::Path P(const std::string& text) {
    const std::optional<qv::Path> path = qv::Path::Parse(text, nullptr, qv::PathForms{true});
    if (!path) throw std::runtime_error("not a path: " + text);
    return *path;
}

TempTree::TempTree() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = qv::fs::SystemTempDir() + "\\qvtest-" + std::to_string(stamp % 100000000) + "-" +
            std::to_string(counter++);
    qv::RunError error;
    if (!qv::fs::CreateDir(P(root_), error)) throw std::runtime_error("cannot create " + root_);
}

TempTree::~TempTree() { RemoveTree(root_); }

std::string TempTree::path(const std::string& relative) const { return root_ + "\\" + relative; }

void TempTree::write(const std::string& relative, const std::string& content) const {
    WriteFile(path(relative), content);
}

void TempTree::mkdir(const std::string& relative) const {
    qv::RunError error;
    if (!qv::MakeDirPath(P(path(relative)), error)) throw std::runtime_error("cannot create " + path(relative));
}

std::string TempTree::read(const std::string& relative) const {
    std::string content;
    qv::RunError error;
    if (!qv::fs::ReadWholeFile(path(relative), content, error)) throw std::runtime_error("cannot read " + relative);
    return content;
}

bool TempTree::exists(const std::string& relative) const { return qv::fs::Exists(path(relative)); }

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(HostPath(path), ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
    const qv::Path file = P(path);
    qv::RunError error;
    if (!qv::MakeDirPath(file.Parent(), error)) throw std::runtime_error("cannot create the folder of " + path);
    std::FILE* f = qv::fs::CreateFileToWrite(file, error);
    if (!f) throw std::runtime_error("cannot write " + path);
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

std::string ReadSharedFile(const std::string& path) {
    std::string content;
    qv::RunError error;
    std::FILE* f = qv::fs::OpenFile(path, "rb", error);
    if (!f) return "(cannot open " + path + ")";
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, got);
    std::fclose(f);
    return content;
}

}  // namespace qvtest
