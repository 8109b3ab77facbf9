// What the fuzz harnesses share: a scratch folder of the process, files written from the
// input, a port that answers every box, a small product folder and a check that stops
// the run with a message the fuzzer keeps.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "setup/engine/install_record.h"
#include "setup/session/path.h"
#include "setup/session/user_port.h"

// A property of the code under test that the input broke: the fuzzer keeps the input.
#define QV_FUZZ_CHECK(cond)                                                                  \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);    \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

namespace qvfuzz {

namespace stdfs = std::filesystem;

// A folder of this process below the system's temporary folder (TMPDIR), made at the
// first call and removed when the process ends normally. Paths are native ("/"), which
// the logic's file layer takes as they stand.
inline const std::string& ScratchDir() {
    // Never destroyed: the handler that removes the folder runs after static destructors.
    static const std::string* dir = [] {
        std::string pattern = (stdfs::temp_directory_path() / "qvfuzz.XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ec;
            stdfs::remove_all(ScratchDir(), ec);
        });
        return new std::string(pattern);
    }();
    return *dir;
}

// A folder below ScratchDir(), made when missing; its path without a trailing "/".
inline std::string ScratchFolder(const std::string& relative) {
    const std::string path = ScratchDir() + "/" + relative;
    std::error_code ec;
    stdfs::create_directories(path, ec);
    return path;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    QV_FUZZ_CHECK(f != nullptr);
    QV_FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    QV_FUZZ_CHECK(std::fclose(f) == 0);
}

// The Path of a scratch path, which always is one.
inline qv::Path PathOf(const std::string& text) {
    const std::optional<qv::Path> path = qv::Path::Parse(text);
    QV_FUZZ_CHECK(path.has_value());
    return *path;
}

// The places a run into `dir` may change: the directory alone.
inline qv::Confinement PlacesOf(const std::string& dir) {
    qv::Confinement places;
    places.installDir = PathOf(dir);
    places.uninstallKey = "MarrowvaleFuzz";
    return places;
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Empties a folder that an iteration wrote into, keeping the folder.
inline void EmptyFolder(const std::string& path) {
    std::error_code ec;
    for (const auto& entry : stdfs::directory_iterator(path, ec)) stdfs::remove_all(entry.path(), ec);
}

// Answers every message box. An Abort/Retry/Ignore box gets Retry and Ignore by turns,
// and Abort once kBoxLimit boxes have been answered, so that a pass always ends; any
// other box its first button. A second passes at every look at the clock, so that the
// progress estimates are computed.
class AnsweringPort : public qv::UserPort {
public:
    static constexpr int kBoxLimit = 64;
    int messages = 0;
    std::string first;  // title and text of the first box, for a failed check

    qv::Answer ShowMessage(const qv::Message& message) override {
        if (messages++ == 0) first = message.title + ": " + message.text;
        switch (message.buttons) {
            case qv::Buttons::AbortRetryIgnore:
                if (messages > kBoxLimit) return qv::Answer::Abort;
                return messages % 2 == 1 ? qv::Answer::Retry : qv::Answer::Ignore;
            case qv::Buttons::RetryCancel: return qv::Answer::Retry;
            case qv::Buttons::YesNo:
            case qv::Buttons::YesNoCancel: return qv::Answer::Yes;
            case qv::Buttons::Ok:
            case qv::Buttons::OkCancel: break;
        }
        return qv::Answer::Ok;
    }
    double Now() override { return now_ += 1.0 / 86400.0; }

private:
    double now_ = 46000.0;  // some day in 2025
};

// A product folder as a mastered CD holds it: the catalogue "ProdNum=1, Size=100,000"
// and three files, "a.txt" (12 bytes), "sub\b.dat" (40,000 bytes: a full block and a
// remainder) and "empty.txt". The seeds of the list harnesses list exactly these.
inline void MakeSampleProduct(const std::string& productDir) {
    std::error_code ec;
    stdfs::create_directories(productDir + "/sub", ec);
    WriteFile(productDir + "/QVSETUP.SKU", "[Product]\r\nProdNum=1\r\nProductName=Fuzz\r\nSize=100,000\r\n");
    WriteFile(productDir + "/a.txt", "Marrowvale\r\n");
    std::string pattern(40000, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(productDir + "/sub/b.dat", pattern);
    WriteFile(productDir + "/empty.txt", "");
}

}  // namespace qvfuzz
