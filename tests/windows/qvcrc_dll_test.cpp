// The real qvcrc.dll, loaded by name as the installer loads it: its one export, its
// results against zlib's CRC-32 and its handling of bad arguments.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using GetCrcFn = int32_t(__stdcall*)(const void*, int32_t, int32_t);

struct Library {
    HMODULE module = nullptr;
    explicit Library(const char* name) : module(LoadLibraryA(name)) {}
    ~Library() {
        if (module) FreeLibrary(module);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

// The names in a loaded module's export directory.
std::vector<std::string> ExportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0) return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

class QvcrcDll : public ::testing::Test {
protected:
    Library library{"qvcrc.dll"};
    GetCrcFn getCrc = nullptr;

    void SetUp() override {
        ASSERT_NE(library.module, nullptr) << "LoadLibraryA(\"qvcrc.dll\") failed: " << GetLastError();
        getCrc = reinterpret_cast<GetCrcFn>(reinterpret_cast<void*>(GetProcAddress(library.module, "GetCRC")));
        ASSERT_NE(getCrc, nullptr) << "no export named GetCRC";
    }

    // The file list's checksum of the bytes, made as the copy makes it: blocks of
    // blockSize, running value from -1, complemented at the end.
    uint32_t CopyChecksum(const std::vector<unsigned char>& data, size_t offset, size_t length, size_t blockSize) {
        int32_t running = -1;
        for (size_t at = 0; at < length; at += blockSize) {
            const size_t n = std::min(blockSize, length - at);
            running = getCrc(data.data() + offset + at, static_cast<int32_t>(n), running);
        }
        return ~static_cast<uint32_t>(running);
    }
};

TEST_F(QvcrcDll, ExportsGetCrcAloneUnderItsPlainName) {
    const std::vector<std::string> names = ExportedNames(library.module);
    EXPECT_EQ(names, std::vector<std::string>{"GetCRC"});
    EXPECT_EQ(GetProcAddress(library.module, "GetCRC@12"), nullptr);
    EXPECT_EQ(GetProcAddress(library.module, "_GetCRC@12"), nullptr);
}

TEST_F(QvcrcDll, MatchesZlibInTheCopysBlocks) {
    std::mt19937 random(17);
    std::vector<unsigned char> data((1u << 20) + 32);
    for (auto& b : data) b = static_cast<unsigned char>(random());
    for (size_t length : {size_t{1}, size_t{15}, size_t{16}, size_t{63}, size_t{64}, size_t{65}, size_t{32767},
                          size_t{32768}, size_t{100000}, size_t{1} << 20}) {
        for (size_t offset : {0, 1, 7, 16}) {
            const uint32_t expected = static_cast<uint32_t>(crc32(0, data.data() + offset, static_cast<uInt>(length)));
            EXPECT_EQ(CopyChecksum(data, offset, length, 32767), expected) << length << " at " << offset;
            EXPECT_EQ(CopyChecksum(data, offset, length, 1000), expected) << length << " at " << offset;
        }
    }
    EXPECT_EQ(~static_cast<uint32_t>(getCrc("123456789", 9, -1)), 0xCBF43926u);
}

TEST_F(QvcrcDll, BadArgumentsLeaveTheRunningValueAlone) {
    const char bytes[] = "abc";
    EXPECT_EQ(getCrc(bytes, 0, 12345), 12345);
    EXPECT_EQ(getCrc(bytes, -1, 12345), 12345);
    EXPECT_EQ(getCrc(bytes, INT32_MIN, -7), -7);
    EXPECT_EQ(getCrc(nullptr, 100, -1), -1);
    EXPECT_EQ(getCrc(nullptr, 0, 0), 0);
}

}  // namespace
