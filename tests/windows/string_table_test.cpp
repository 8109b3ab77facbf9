// The string table of the built qvsetup.exe, read with LoadStringA, text for text against
// its sources as the compiler reads them (the resource compiler reads escapes and quotes
// its own way); and the free-space figure of a real drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "setup/session/disk_utils.h"

namespace {

// The texts as the compiler reads the string table's sources, the same sources that the
// resource compiler turns into the program's table: English at each base id, German at
// the language's offset of 1000 above it.
const std::vector<std::pair<int, std::string>> kEnglish = {
#define QV_STRING(id, name, text) {id, text},
#include "setup/resources/strings.def"
#undef QV_STRING
};
const std::vector<std::pair<int, std::string>> kGerman = {
#define QV_STRING_DEU(id, text) {1000 + id, text},
#include "setup/resources/strings_deu.def"
#undef QV_STRING_DEU
};

class Module {
public:
    explicit Module(const char* path) : handle_(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Module() {
        if (handle_) FreeLibrary(handle_);
    }
    HMODULE get() const { return handle_; }

private:
    HMODULE handle_;
};

std::string Load(HMODULE module, int id) {
    char buffer[512];
    const int n = LoadStringA(module, static_cast<UINT>(id), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

TEST(StringTable, EveryIdHoldsItsTextByteForByteInBothLanguages) {
    Module setup("qvsetup.exe");
    ASSERT_NE(setup.get(), nullptr) << "qvsetup.exe must lie beside the test";
    for (const auto* table : {&kEnglish, &kGerman})
        for (const auto& [id, text] : *table) EXPECT_EQ(Load(setup.get(), id), text) << "id " << id;
}

TEST(StringTable, HoldsNothingElseAndGermanForEveryText) {
    Module setup("qvsetup.exe");
    ASSERT_NE(setup.get(), nullptr);
    size_t english = 0, german = 0;
    for (int id = 0; id < 1000; ++id) english += !Load(setup.get(), id).empty();
    for (int id = 1000; id < 4096; ++id) german += !Load(setup.get(), id).empty();
    EXPECT_EQ(english, kEnglish.size());
    EXPECT_EQ(german, english);
    for (const auto& entry : kEnglish) EXPECT_FALSE(Load(setup.get(), 1000 + entry.first).empty()) << entry.first;
}

TEST(StringTable, ReleasePartsComeFromTheTable) {
    const qv::ReleaseParts parts = qv::GetReleaseParts();
    EXPECT_EQ(parts.major + "." + parts.minor + "." + parts.sub, "8.00.00");
}

TEST(FreeSpace, AgreesWithTheSystemPastFourGigabytes) {
    ULARGE_INTEGER available, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
    const double ours = qv::GetFreeSpace("C:\\");
    // Both read the same drive a moment apart; allow for other writers in between.
    const double system = static_cast<double>(totalFree.QuadPart);
    EXPECT_NEAR(ours, system, 64.0 * 1024 * 1024);
    if (system > 4294967296.0) {
        EXPECT_GT(ours, 4294967296.0);
    }
    EXPECT_EQ(qv::GetFreeSpace("Q:\\no-such-root\\"), -1);
}

}  // namespace
