// The install engine under Wine, end to end through a scripted interaction port: several
// products from a CD mastered with the file-list tool, checked through qvcrc.dll, with
// all three file times; a compressed product expanded by the stand-in archive program,
// whose command lines are recorded; the database codes read back through the profile API.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "setup/engine/install_driver.h"
#include "setup/engine/open_files.h"
#include "setup/engine/read_ahead.h"
#include "support/engine_cd.h"
#include "support/engine_fixture.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"
#include "tools/standin_archive/archive_format.h"

namespace qv {
namespace {

using qvtest::CdFile;
using qvtest::PatternBytes;

struct Times {
    FILETIME created{}, accessed{}, written{};
};

bool operator==(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

Times TimesOf(const std::string& path) {
    Times t;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
    if (h == INVALID_HANDLE_VALUE) return t;
    EXPECT_TRUE(GetFileTime(h, &t.created, &t.accessed, &t.written));
    CloseHandle(h);
    return t;
}

FILETIME Ticks(uint64_t value) {
    FILETIME f;
    f.dwLowDateTime = static_cast<DWORD>(value);
    f.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return f;
}

// Gives a file three different times with fractions of a second.
void StampSource(const std::string& path, uint64_t base) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const FILETIME created = Ticks(base), accessed = Ticks(base + 20'000'123), written = Ticks(base + 10'000'456);
    ASSERT_TRUE(SetFileTime(h, &created, &accessed, &written));
    CloseHandle(h);
}

struct WinEngine : qvtest::EngineFixture {
    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        SetEnvironmentVariableA("QV_STANDIN_LOG", nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableA("QV_STANDIN_LOG", nullptr);
        EngineFixture::TearDown();
    }
};

TEST_F(WinEngine, VerifiedInstallKeepsBytesAndAllThreeTimes) {
    AddProduct(1, "TOOLS", {{"bin\\client\\winx86\\qvcfg.exe", PatternBytes(100000, 1)},
                            {"setup\\qvtools8.cfg", "[Tools]\r\nx=1\r\n"},
                            {"empty.dat", ""}});
    AddProduct(2, "BASE", {{"BSE\\bin\\client\\x.dll", PatternBytes(65534, 2)},
                           {"BSE\\bin\\server\\a.exe", PatternBytes(32768, 3)},
                           {"ORA\\bin\\ora.dll", PatternBytes(32767, 4)},
                           {"MSS\\bin\\mss.dll", PatternBytes(1, 5)}},
               1);
    uint64_t base = 126000000000000000ULL;  // in 2000
    for (const auto& [spec, content] : qvtest::ListedFiles(cd + "\\TOOLS")) StampSource(cd + "\\TOOLS\\" + spec, base += 1'000'000'007);
    for (const auto& [spec, content] : qvtest::ListedFiles(cd + "\\BASE")) StampSource(cd + "\\BASE\\" + spec, base += 1'000'000'007);

    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    ASSERT_FALSE(s.InstallAborted);
    EXPECT_TRUE(port.messages.empty());

    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"TOOLS\\bin\\client\\winx86\\qvcfg.exe", "bin\\client\\winx86\\qvcfg.exe"},
        {"TOOLS\\setup\\qvtools8.cfg", "setup\\qvtools8.cfg"},
        {"BASE\\BSE\\bin\\client\\x.dll", "bin\\client\\x.dll"},
        {"BASE\\BSE\\bin\\server\\a.exe", "bin\\server\\a.exe"},
        {"BASE\\ORA\\bin\\ora.dll", "bin\\ora.dll"}};
    for (const auto& [from, to] : pairs) {
        SCOPED_TRACE(to);
        const Times source = TimesOf(cd + "\\" + from);
        const Times copy = TimesOf(dest + "\\" + to);
        EXPECT_TRUE(copy.created == source.created);
        EXPECT_TRUE(copy.accessed == source.accessed);
        EXPECT_TRUE(copy.written == source.written);
    }
    std::map<std::string, std::string> expected;
    for (const auto& [from, to] : pairs) expected[to] = tree.read("cd\\" + from);
    expected["empty.dat"] = "";
    EXPECT_EQ(qvtest::ReadTree(dest), expected);
}

// Two entries of one list that land on one destination: the later one replaces the copy
// the earlier one made, whose handle the reading ahead may not have closed yet.
TEST_F(WinEngine, ALaterEntryReplacesTheCopyOfAnEarlierOneOfTheSameList) {
    // Files around them fill the reading's window, so that the handle waits to be closed.
    std::vector<qvtest::CdFile> files;
    const std::string filler(kReadAheadMaxSize, 'f');
    const auto fill = [&](int from) {
        const int count = static_cast<int>(ReadAheadWindow{}.bytes / kReadAheadMaxSize) + 2;
        for (int i = from; i < from + count; ++i) files.push_back({"ORA\\f" + std::to_string(i) + ".txt", filler});
    };
    fill(100);
    files.push_back({"BSE\\bin\\a.dll", "base"});
    files.push_back({"ORA\\bin\\a.dll", "oracle"});
    fill(200);
    AddProduct(1, "BASE", files, 1);
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(tree.read("inst\\bin\\a.dll"), "oracle");

    // A copy whose checksum differs goes, on Ignore, in the same circumstances.
    qvtest::RemoveTree(dest);
    qvtest::WriteFile(cd + "\\BASE\\ORA\\bin\\a.dll", "oracle, damaged");
    port.answers = {Answer::Ignore};
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "File Copy Error");
    EXPECT_FALSE(tree.exists("inst\\bin\\a.dll"));
    EXPECT_EQ(tree.read("inst\\f100.txt"), filler);
}

// A large file and, later in the list, a small one that land on one place: the small
// one's copy is not created ahead, where the large one's copy is still to come.
TEST_F(WinEngine, ASmallFileAfterALargeOneOfTheSamePlaceIsNotCreatedAhead) {
    // Small files before them keep the copies busy while the reading runs ahead.
    std::vector<qvtest::CdFile> files;
    for (int i = 10; i < 60; ++i) files.push_back({"BSE\\a" + std::to_string(i) + ".txt", "filler"});
    files.push_back({"BSE\\bin\\a.dll", std::string(kReadAheadMaxSize + 1, 'b')});
    files.push_back({"ORA\\bin\\a.dll", "oracle"});
    AddProduct(1, "BASE", files, 1);
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(tree.read("inst\\bin\\a.dll"), "oracle");
}

TEST_F(WinEngine, ChecksumLibraryIsBoundFromTheDll) {
    // A wrong byte on the CD is caught through qvcrc.dll's GetCRC.
    AddProduct(1, "P", {{"a.bin", PatternBytes(50000, 9)}});
    std::string bad = PatternBytes(50000, 9);
    bad[49999] ^= 0x40;
    qvtest::WriteFile(cd + "\\P\\a.bin", bad);
    port.answers = {Answer::Abort};
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_TRUE(s.InstallAborted);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "File Copy Error");
    EXPECT_NE(GetModuleHandleA("qvcrc.dll"), nullptr);  // bound, and it stays loaded
}

// Waits until every file exists with its full content, at most 60 seconds.
bool WaitForFiles(const std::map<std::string, std::string>& files) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        bool all = true;
        for (const auto& [path, content] : files) {
            std::ifstream in(qvtest::HostPath(path), std::ios::binary);
            std::ostringstream got;
            got << in.rdbuf();
            if (!in || got.str() != content) all = false;
        }
        if (all) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(20);
    }
}

std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(qvtest::HostPath(path), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());  // the programs run side by side
    return lines;
}

TEST_F(WinEngine, CompressedProductIsExpandedByItsArchiveProgramAndNoOtherRuns) {
    // A CD at a path with a blank, and a program planted where cutting the archive
    // program's command line at that blank would find one: if it runs, it logs itself.
    cd = tree.path("h cd");
    ASSERT_TRUE(CopyFileA("qvsample.exe", tree.path("h.exe").c_str(), FALSE));
    const std::string planted = tree.path("planted.log");
    SetEnvironmentVariableA("QVSAMPLE_LOG", planted.c_str());

    // The product's files, listed, then packed into its archive program; the loose files
    // leave the CD as they do on the sample CD.
    const std::map<std::string, std::string> members = {
        {"BSE\\reports\\monthly\\sales.rpt", PatternBytes(70000, 11)},
        {"BSE\\reports\\trial.rpt", "trial balance\r\n"},
        {"BSE\\readme.txt", "read me\r\n"}};
    std::vector<CdFile> files;
    for (const auto& [spec, content] : members) files.push_back({spec, content});
    ProductRec& p = AddProduct(1, "QVR", files, 1);
    p.Compress = 1;
    std::vector<qvtools::standin::Member> packed;
    std::string error;
    ASSERT_TRUE(qvtools::standin::MembersFromFileList(cd + "\\QVR", packed, error)) << error;
    ASSERT_TRUE(qvtools::standin::PackArchive("standin_archive.exe", cd + "\\QVR\\QVR.exe", "QVR", packed, error))
        << error;
    qvtest::RemoveTree(cd + "\\QVR\\BSE");
    AddProduct(2, "PLAIN", {{"plain.txt", "plain"}});

    const std::string log = tree.path("standin.log");
    SetEnvironmentVariableA("QV_STANDIN_LOG", log.c_str());
    std::vector<int32_t> amounts;
    int32_t last = s.BytesDone;
    port.onNow = [&] {
        amounts.push_back(s.BytesDone - last);
        last = s.BytesDone;
    };
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    ASSERT_FALSE(s.InstallAborted);
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(s.HasCompressed, 1);
    // Every archive started counts one cluster-rounded block, weighted 2; so does the
    // plain product's file.
    EXPECT_EQ(amounts, (std::vector<int32_t>{65536, 65536, 65536, 32768}));
    EXPECT_EQ(port.fileNames, (std::vector<std::string>{dest + "\\readme.txt", dest + "\\reports\\monthly\\sales.rpt",
                                                        dest + "\\reports\\trial.rpt", dest + "\\plain.txt"}));

    ASSERT_TRUE(WaitForFiles({{dest + "\\reports\\monthly\\sales.rpt", members.at("BSE\\reports\\monthly\\sales.rpt")},
                              {dest + "\\reports\\trial.rpt", members.at("BSE\\reports\\trial.rpt")},
                              {dest + "\\readme.txt", members.at("BSE\\readme.txt")}}));
    const std::string program = cd + "\\QVR\\QVR.exe  -silent  -over=all -pass=QVRQQVR ";
    EXPECT_EQ(LogLines(log), (std::vector<std::string>{
                                 program + "\"BSE\\readme.txt\" \"" + dest + "\\\"",
                                 program + "\"BSE\\reports\\monthly\\sales.rpt\" \"" + dest + "\\reports\\monthly\"",
                                 program + "\"BSE\\reports\\trial.rpt\" \"" + dest + "\\reports\"",
                             }));
    EXPECT_EQ(qvtest::ReadTree(dest).size(), 4u);
    SetEnvironmentVariableA("QVSAMPLE_LOG", nullptr);
    EXPECT_FALSE(tree.exists("planted.log")) << "the planted program ran";
}

// Runs a program and waits for its exit code, at most 60 seconds.
DWORD RunAndWait(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(StandinArchive, ChecksThePasswordAndTheMember) {
    qvtest::TempTree tree;
    tree.write("src\\X\\doc\\a.txt", "alpha");
    std::string error;
    const std::string archive = tree.path("AB.exe");
    ASSERT_TRUE(qvtools::standin::PackArchive("standin_archive.exe", archive, "AB",
                                              {{"X\\doc\\a.txt", tree.path("src\\X\\doc\\a.txt")}}, error))
        << error;
    const std::string target = tree.path("out\\doc");
    EXPECT_EQ(RunAndWait(archive + "  -silent  -over=all -pass=ABAB \"X\\doc\\a.txt\" \"" + target + "\""),
              DWORD{qvtools::standin::kWrongPassword});
    EXPECT_EQ(RunAndWait(archive + "  -silent  -over=all -pass=ABAAB \"X\\doc\\b.txt\" \"" + target + "\""),
              DWORD{qvtools::standin::kNoSuchMember});
    EXPECT_EQ(RunAndWait(archive + "  -silent -pass=ABAAB \"X\\doc\\a.txt\" \"" + target + "\""),
              DWORD{qvtools::standin::kBadCommandLine});
    EXPECT_FALSE(tree.exists("out\\doc\\a.txt"));
    EXPECT_EQ(RunAndWait(archive + "  -silent  -over=all -pass=ABAAB \"x\\DOC\\a.txt\" \"" + target + "\\\""),
              DWORD{qvtools::standin::kExtracted});
    EXPECT_EQ(tree.read("out\\doc\\a.txt"), "alpha");
    EXPECT_TRUE(TimesOf(tree.path("out\\doc\\a.txt")).written == TimesOf(tree.path("src\\X\\doc\\a.txt")).written);
}

TEST_F(WinEngine, DatabaseCodesThroughTheProfileApi) {
    ProductRec& a = AddProduct(1, "GLA", {{"a.txt", "a"}});
    a.SoftwareType = "Application";
    a.Chosen = 0;
    a.ProductName = "General Ledger";
    a.QVInstallField = "GL";
    a.IncludeSys = -1;
    ProductRec& d = AddProduct(2, "GLD", {{"d.txt", "d"}});
    d.SoftwareType = "Database";
    d.DescrDB = "Ledger, demo data";
    qvtest::WriteFile(dest + "\\setup\\dbcodes.inf", "[other]\r\nkeep=1\r\n[DBCODES]\r\ngla=old\r\n");
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    ASSERT_FALSE(s.InstallAborted);
    const std::string file = dest + "\\setup\\dbcodes.inf";
    char value[256];
    GetPrivateProfileStringA("dbcodes", "GLA", "", value, sizeof value, file.c_str());
    EXPECT_STREQ(value, "General Ledger,GL,-1");
    GetPrivateProfileStringA("dbcodes", "GLD", "", value, sizeof value, file.c_str());
    EXPECT_STREQ(value, "Ledger, demo data,,0");
    GetPrivateProfileStringA("other", "keep", "", value, sizeof value, file.c_str());
    EXPECT_STREQ(value, "1");
}

}  // namespace
}  // namespace qv
