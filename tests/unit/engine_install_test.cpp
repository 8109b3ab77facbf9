// The install engine on CDs that the tests master with the file-list tool: the copy pass
// with its progress, dialogs and cancellation, the list-level failures, the driver and
// the configuration records. Runs natively and, with the checksum library bound from
// qvcrc.dll, under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "setup/config/db_codes.h"
#include "setup/engine/checksum.h"
#include "setup/session/file_system.h"
#include "setup/config/transfer_config.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/file_list.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/text_util.h"
#include "support/engine_cd.h"
#include "support/engine_fixture.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::CdFile;
using qvtest::PatternBytes;
using qvtest::ReadTree;

constexpr const char* kFileCopyText =
    "\nCD-ROM Read Error\nFile Failed CRC Check\nfCRC : ";

struct Engine : qvtest::EngineFixture {
    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = 1000;
        port.clock = [] { return 1000.5; };
    }

    void Install(int index) {
        s.CurrentProduct = static_cast<int16_t>(index);
        Journaled([&](InstallJournal& journal) {
            SetOutcomeFlags(s, InstallDirectory(s, port, journal, s.ListedProducts[static_cast<size_t>(index)].ProductDir, Dest()));
        });
    }

    std::string Src(const std::string& product, const std::string& spec) const { return cd + "\\" + product + "\\" + spec; }
    std::string Dst(const std::string& spec) const { return dest + "\\" + spec; }
};

TEST_F(Engine, CopyCountsEveryBlockAndKeepsBytesAndTimes) {
    const std::vector<size_t> sizes = {0, 1, 32767, 32768, 65534, 100000};
    std::vector<CdFile> files;
    for (size_t i = 0; i < sizes.size(); ++i)
        files.push_back({"data\\f" + std::to_string(i) + ".bin", PatternBytes(sizes[i], static_cast<uint32_t>(i))});
    AddProduct(1, "P", files);

    // Every UpdateProgress reads the clock once, after counting: the change of BytesDone
    // between two readings is the amount counted.
    std::vector<std::pair<std::string, int32_t>> amounts;
    int32_t last = s.BytesDone;
    port.onNow = [&] {
        amounts.emplace_back(port.fileNames.back(), s.BytesDone - last);
        last = s.BytesDone;
    };
    Install(1);
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_TRUE(port.messages.empty());

    const auto f = [&](int i) { return Dst("data\\f" + std::to_string(i) + ".bin"); };
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {f(1), 16384},                                                        // 1 byte
        {f(2), 32768},                                                        // one full block
        {f(3), 32768}, {f(3), 16384},                                         // a block and 1 byte
        {f(4), 32768}, {f(4), 32768},                                         // two full blocks
        {f(5), 32768}, {f(5), 32768}, {f(5), 32768}, {f(5), 16384}};          // three and 1699 bytes
    EXPECT_EQ(amounts, expected);
    EXPECT_EQ(port.doEventsCalls, 1 + 1 + 1 + 2 + 3);  // after full blocks only
    // The install log hears of every file with its size and checksum.
    ASSERT_EQ(port.steps.size(), sizes.size());
    EXPECT_EQ(port.steps[5].rfind("Copied " + f(5) + " (100000 bytes, checksum ", 0), 0u) << port.steps[5];
    EXPECT_TRUE(EndsWith(port.steps[5], " verified)")) << port.steps[5];
    EXPECT_EQ(ReadTree(dest), qvtest::ListedFiles(cd + "\\P"));  // also the empty file; nothing else

    const auto timeOf = [](const std::string& path) { return std::filesystem::last_write_time(qvtest::HostPath(path)); };
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string spec = "data\\f" + std::to_string(i) + ".bin";
        if (i == 0) {
            EXPECT_NE(timeOf(Dst(spec)), timeOf(Src("P", spec)));  // an empty copy keeps its own time
        } else {
            EXPECT_EQ(timeOf(Dst(spec)), timeOf(Src("P", spec))) << spec;
        }
    }
}

#ifndef _WIN32
// 32768 full blocks and one byte more: past what a 16-bit block count can hold. Natively
// only (the source is sparse; the copy writes a whole GiB).
TEST_F(Engine, CopiesFilesOfAnySize) {
    const int64_t size = 32768LL * 32767 + 1;
    tree.mkdir("inst");
    tree.write("big.bin", "");
    std::filesystem::resize_file(qvtest::HostPath(tree.path("big.bin")), size - 5);
    {
        std::ofstream tail(qvtest::HostPath(tree.path("big.bin")), std::ios::binary | std::ios::app);
        tail << "tail!";
    }
    s.NoCrcCheck = true;
    s.BytesDone = 0;
    Journaled([&](InstallJournal& journal) {
        EXPECT_EQ(FileCP(s, port, journal, {tree.path("big.bin"), "", ""}, qvtest::P(Dst("big.bin")), InstallChecking(s)).checksum, 0);
    });
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(s.BytesDone, 32768 * 32768 + 16384);
    EXPECT_EQ(std::filesystem::file_size(qvtest::HostPath(Dst("big.bin"))), static_cast<uintmax_t>(size));
    std::ifstream copy(qvtest::HostPath(Dst("big.bin")), std::ios::binary);
    copy.seekg(size - 6);
    std::string end(6, '\0');
    copy.read(end.data(), 6);
    EXPECT_EQ(end, std::string("\0tail!", 6));
    qv::RunError ignored;
    PassOver(qv::fs::RemoveFile(qvtest::P(Dst("big.bin")), ignored));
}
#endif

TEST_F(Engine, FileCpReturnsTheListsChecksumOrZeroWithoutChecking) {
    const std::string content = PatternBytes(40000, 7);
    AddProduct(1, "P", {{"a.bin", content}});
    tree.mkdir("inst");
    const std::string list = tree.read("cd\\P\\QVSETUP.INF");
    const size_t line = list.find("\na.bin,") + 1;
    const std::string listed = ReadListField(list.substr(line, list.find('\r', line) - line), 4);
    Journaled([&](InstallJournal& journal) {
        EXPECT_EQ(ChecksumText(FileCP(s, port, journal, {Src("P", "a.bin"), "P", "a.bin"}, qvtest::P(Dst("a.bin")), InstallChecking(s)).checksum),
                  listed);
        s.NoCrcCheck = true;
        EXPECT_EQ(FileCP(s, port, journal, {Src("P", "a.bin"), "P", "a.bin"}, qvtest::P(Dst("b.bin")), InstallChecking(s)).checksum, 0);
        // field 4 is not compared
        VerifiedCopy(s, port, journal, {Src("P", "a.bin"), "P", "a.bin"}, qvtest::P(Dst("c.bin")), "12345", 40000, InstallChecking(s));
    });
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(tree.read("inst\\c.bin"), content);
}

TEST_F(Engine, ChecksumMismatchAbortRetryIgnore) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", PatternBytes(70000, 2)}, {"c.txt", "gamma"}});
    const std::string good = tree.read("cd\\P\\b.txt");
    std::string bad = good;
    bad[50000] ^= 1;  // the CD gives a wrong byte
    qvtest::WriteFile(Src("P", "b.txt"), bad);

    // Ignore: the bad copy is deleted and the list goes on.
    port.answers = {Answer::Ignore};
    Install(1);
    ASSERT_EQ(port.messages.size(), 1u);
    const Message& box = port.messages[0];
    EXPECT_EQ(box.title, "File Copy Error");
    EXPECT_EQ(box.buttons, Buttons::AbortRetryIgnore);
    EXPECT_EQ(box.icon, Icon::Exclamation);
    EXPECT_EQ(box.text.rfind(Dst("b.txt") + kFileCopyText, 0), 0u) << box.text;
    EXPECT_NE(box.text.find("  destCRC : "), std::string::npos);
    EXPECT_TRUE(EndsWith(box.text, "\nSelect ABORT to Quit Installation Process.\nSelect RETRY to attempt to copy this "
                                   "file again.\nSelect IGNORE to skip this file and continue.\n"));
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_FALSE(tree.exists("inst\\b.txt"));
    EXPECT_EQ(tree.read("inst\\c.txt"), "gamma");
    ASSERT_EQ(port.steps.size(), 3u);
    EXPECT_EQ(port.steps[1].rfind("Not installed: " + Dst("b.txt") + " (checksum ", 0), 0u) << port.steps[1];
    EXPECT_TRUE(EndsWith(port.steps[1], ", ignored)")) << port.steps[1];

    // Retry: the file's bytes are taken back out of the count before the next attempt,
    // which here reads a good CD.
    port.messages.clear();
    port.answers = {Answer::Retry};
    port.onMessage = [&](const Message&) { qvtest::WriteFile(Src("P", "b.txt"), good); };
    std::vector<int32_t> amounts;
    int32_t last = s.BytesDone = 1000000;
    port.onNow = [&] {
        amounts.push_back(s.BytesDone - last);
        last = s.BytesDone;
    };
    Install(1);
    EXPECT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(amounts, (std::vector<int32_t>{16384, 32768, 32768, 16384, -81920, 32768, 32768, 16384, 16384}));
    EXPECT_EQ(ReadTree(dest), qvtest::ListedFiles(cd + "\\P"));

    // Abort over an earlier install: the bad copy never takes the earlier file's place,
    // and nothing after it is copied.
    qvtest::RemoveTree(dest);
    tree.write("inst\\b.txt", "earlier b");
    qvtest::WriteFile(Src("P", "b.txt"), bad);
    port.messages.clear();
    port.onMessage = nullptr;
    port.answers = {Answer::Abort};
    port.steps.clear();
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_FALSE(s.InstallFailed) << "Abort is the user's choice, not a failure";
    EXPECT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"b.txt", "earlier b"}}));
    ASSERT_EQ(port.steps.size(), 2u);
    EXPECT_EQ(port.steps[1].rfind("Not installed: " + Dst("b.txt") + " (checksum ", 0), 0u) << port.steps[1];
    EXPECT_TRUE(EndsWith(port.steps[1], ", aborted; the earlier file is kept)")) << port.steps[1];
}

TEST_F(Engine, AScratchFileThatAnEarlierReleaseLeftPlaysNoPart) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    tree.write("inst\\a.txt.~qv", "left by a killed run");
    std::filesystem::permissions(qvtest::HostPath(Dst("a.txt.~qv")), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    tree.mkdir("inst\\b.txt.~qv");
    Install(1);
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(tree.read("inst\\a.txt"), "alpha");
    EXPECT_EQ(tree.read("inst\\b.txt"), "beta");
}

TEST_F(Engine, ASourceMissingFromTheCd) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}});
    const auto removeB = [&] {
        qv::RunError ignored;
        PassOver(qv::fs::RemoveFile(qvtest::P(Src("P", "b.txt")), ignored));
    };

    // Ignore in the copy dialog, then in the checksum dialog: b is skipped, and the list,
    // opened again, goes on after b's line.
    removeB();
    port.answers = {Answer::Ignore, Answer::Ignore};
    Install(1);
    ASSERT_EQ(port.messages.size(), 2u);
    const Message& box = port.messages[0];
    EXPECT_EQ(box.title, "FileCP");
    EXPECT_EQ(box.text, "File Copy Error : 53\nFile not found\r" + Src("P", "b.txt") + " -> " + Dst("b.txt"));
    EXPECT_NE(box.cause.systemCode, 0u) << "the install log would lose the system's cause";
    EXPECT_EQ(box.buttons, Buttons::AbortRetryIgnore);
    EXPECT_EQ(box.icon, Icon::Exclamation);
    EXPECT_EQ(port.messages[1].title, "File Copy Error");
    EXPECT_EQ(port.fileNames, (std::vector<std::string>{Dst("a.txt"), Dst("b.txt"), Dst("c.txt")}));
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"c.txt", "gamma"}}));
    EXPECT_FALSE(s.InstallAborted);

    // With checking off, Ignore alone passes the entry.
    qvtest::RemoveTree(dest);
    port = {};
    port.clock = [] { return 1000.5; };
    s.NoCrcCheck = true;
    port.answers = {Answer::Ignore};
    Install(1);
    EXPECT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(ReadTree(dest).size(), 2u);

    // Retry after the file is back: copied, and the list still goes on after b's line.
    qvtest::RemoveTree(dest);
    port = {};
    port.clock = [] { return 1000.5; };
    s.NoCrcCheck = false;
    removeB();
    port.onMessage = [&](const Message&) { qvtest::WriteFile(Src("P", "b.txt"), "beta"); };
    port.answers = {Answer::Retry};
    Install(1);
    EXPECT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.fileNames.size(), 3u);
    EXPECT_EQ(ReadTree(dest).size(), 3u);

    // Abort: the install stops and the progress window is told to go.
    qvtest::RemoveTree(dest);
    port = {};
    port.clock = [] { return 1000.5; };
    removeB();
    port.answers = {Answer::Abort};
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(port.unloads, 1);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}}));
}

// The small files of new folders are created ahead while a large file is copied: a Cancel
// there leaves neither the copies of the files after it nor the folders made for them.
TEST_F(Engine, CancelLeavesNothingCreatedAheadForFilesNotReached) {
    AddProduct(1, "P", {{"big\\b.bin", PatternBytes(5 * 32767 + 10, 3)},
                        {"a\\1.txt", "one"},
                        {"a\\deep\\2.txt", "two"},
                        {"c\\3.txt", "three"}});
    int blocks = 0;
    port.onDoEvents = [&] {
        if (port.fileNames.back() != Dst("big\\b.bin") || ++blocks != 3) return;
        port.answers = {Answer::Yes};
        EXPECT_TRUE(ConfirmCancel(s, port));
    };
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a\\1.txt", "one"}, {"a\\deep\\2.txt", "two"}}));
    EXPECT_FALSE(tree.exists("inst\\c"));
}

TEST_F(Engine, CancelAfterTheNthBlockKeepsTheEarlierFiles) {
    const std::string big = PatternBytes(5 * 32767 + 10, 3);
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.bin", big}, {"c.txt", "gamma"}});
    tree.write("inst\\b.bin", "earlier b");  // an earlier install
    tree.write("inst\\c.txt", "earlier c");
    int blocksOfB = 0;
    port.onDoEvents = [&] {
        if (port.fileNames.back() != Dst("b.bin") || ++blocksOfB != 3) return;
        // The Cancel button, pressed while the third block's events run; No first.
        port.answers = {Answer::No};
        EXPECT_FALSE(ConfirmCancel(s, port));
        port.answers = {Answer::Yes};
        EXPECT_TRUE(ConfirmCancel(s, port));
        EXPECT_EQ(OpenFileCount(), 0);  // the list and both files of the copy are closed
    };
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(blocksOfB, 3);
    // The finished file is new, the interrupted one and the one not reached are the
    // earlier ones, and no part of a copy is left anywhere.
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{
                                  {"a.txt", "alpha"}, {"b.bin", "earlier b"}, {"c.txt", "earlier c"}}));
}

#ifndef _WIN32
// The bytes move many blocks at a time, yet a failure inside such a chunk stops the copy at
// the block that fails, with every block before it counted, as block-sized calls would.
// Natively only: the source is made shorter while it is open for the copy.
TEST_F(Engine, ASourceThatShrinksMidChunkIsCountedUpToTheBlockThatFails) {
    AddProduct(1, "P", {{"big.bin", PatternBytes(40 * 32767 + 5, 4)}});
    tree.write("inst\\big.bin", "earlier");
    int blocks = 0;
    port.onDoEvents = [&] {
        if (++blocks == 3) std::filesystem::resize_file(qvtest::HostPath(Src("P", "big.bin")), 35 * 32767 + 100);
    };
    s.BytesDone = 0;
    port.answers = {Answer::Abort};
    Install(1);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text.rfind("File Copy Error : 62\nInput past end of file\r", 0), 0u)
        << port.messages[0].text;
    EXPECT_EQ(blocks, 35);
    EXPECT_EQ(s.BytesDone, 35 * 32768);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"big.bin", "earlier"}}));
}
#endif

TEST_F(Engine, ListLevelFailures) {
    // No list at all.
    ProductRec& p = AddProduct(1, "P", {{"a.txt", "alpha"}});
    qv::RunError ignored;
    PassOver(qv::fs::RemoveFile(qvtest::P(cd + "\\P\\QVSETUP.INF"), ignored));
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_TRUE(s.InstallFailed);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "InstallDirectory");
    EXPECT_EQ(port.messages[0].text, "Product P\n" + p.ProductDir + "QVSETUP.INF\nFile Not Found");
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);

    // A directory that cannot be made: a file stands where it should be.
    AddProduct(2, "Q", {{"bin\\sub\\x.txt", "x"}});
    tree.write("inst\\bin", "a file");
    s.InstallAborted = false;
    port.messages.clear();
    Install(2);
    EXPECT_TRUE(s.InstallAborted);
    ASSERT_EQ(port.messages.size(), 1u);
    const std::string& text = port.messages[0].text;
    EXPECT_EQ(port.messages[0].title, "InstallDirectory");
    EXPECT_EQ(text.rfind("Directory Error : ", 0), 0u) << text;
    EXPECT_NE(text.find("\r" + cd + "\\Q\\\r"), std::string::npos) << text;
    EXPECT_NE(text.find("\rsourcefilepath : " + Src("Q", "bin\\sub\\x.txt") + "\ndestfilepath : " +
                        Dst("bin\\sub\\x.txt") + "\rLine: 2"),
              std::string::npos)
        << text;
}

TEST_F(Engine, ListThatCannotBeOpened) {
    // A folder where the list should be: it exists, but cannot be opened as a file.
    ProductRec& p = AddProduct(1, "P", {{"a.txt", "alpha"}});
    qv::RunError ignored;
    PassOver(qv::fs::RemoveFile(qvtest::P(p.ProductDir + "QVSETUP.INF"), ignored));
    tree.mkdir("cd\\P\\QVSETUP.INF");
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, kAppTitle);
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(port.messages[0].text, "Error : 70\rPermission denied\rReading : " + p.ProductDir + "QVSETUP.INF\rLine 0");

    // The expansion pass says it in its own words.
    port.messages.clear();
    s.InstallAborted = false;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, ExpandDirectory(s, port, journal, p.ProductDir, Dest())); });
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(port.messages.at(0).text, "There are too many users trying to install.  Please try again later.");
}

TEST_F(Engine, UnsafeSpecsEndTheInstallBeforeAnythingOfThemIsDone) {
    AddProduct(1, "P", {{"a.txt", "alpha"}});
    const std::string& dir = s.ListedProducts[1].ProductDir;
    tree.write("cd\\evil.txt", "evil");
    for (const std::string spec : {"..\\evil.txt", "\\evil.txt", "C:evil.txt", "x\".txt"}) {
        SCOPED_TRACE(spec);
        qvtest::RemoveTree(dest);
        qvtest::WriteFile(dir + "QVSETUP.INF", "# list\r\na.txt,d,5,0\r\n" + spec + ",d,4,0\r\nb.txt,d,1,0\r\n");
        s.InstallAborted = false;
        s.NoCrcCheck = true;
        port.messages.clear();
        Install(1);
        EXPECT_TRUE(s.InstallAborted);
        ASSERT_EQ(port.messages.size(), 1u);
        EXPECT_EQ(port.messages[0].title, "InstallDirectory");
        EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
        EXPECT_EQ(port.messages[0].text, "Product P\n" + dir + "QVSETUP.INF\nInvalid File Name : " + spec + "\nLine 3");
        EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}}));
        EXPECT_FALSE(tree.exists("evil.txt"));
    }

    // A destination of the longest path the file calls take is installed; one past it ends
    // the install before anything of the entry is written.
    const std::string longest(qv::kMaxPathLength - dest.size() - 5, 'd');
    qvtest::WriteFile(dir + longest + ".txt", "x");
    qvtest::WriteFile(dir + "QVSETUP.INF", longest + ".txt,d,1,0\r\n");
    s.InstallAborted = false;
    Install(1);
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_EQ(tree.read("inst\\" + longest + ".txt"), "x");
    const std::string deep = longest + "d";
    qvtest::RemoveTree(dest);
    qvtest::WriteFile(dir + "QVSETUP.INF", "a.txt,d,5,0\r\n" + deep + ".txt,d,5,0\r\n");
    s.InstallAborted = false;
    port.messages.clear();
    Install(1);
    EXPECT_TRUE(s.InstallAborted);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text,
              "Product P\n" + dir + "QVSETUP.INF\nPath Too Long : " + dir + deep + ".txt\nLine 2");
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}}));

    // The same line in a compressed product starts no archive program.
    qvtest::WriteFile(dir + "QVSETUP.INF", "..\\evil.txt,d,4,0\r\n");
    s.InstallAborted = false;
    port.messages.clear();
    s.CurrentProduct = 1;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, ExpandDirectory(s, port, journal, dir, Dest())); });
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(port.messages.at(0).title, "InstallDirectory");
}

TEST_F(Engine, ExpansionReportsAnArchiveProgramThatCannotStart) {
    ProductRec& p = AddProduct(1, "Z", {{"Z\\a.txt", "alpha"}});
    p.Compress = 1;
    s.CurrentProduct = 1;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, ExpandDirectory(s, port, journal, p.ProductDir, Dest())); });
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_TRUE(s.InstallFailed);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "There are too many users trying to install.  Please try again later.");
    EXPECT_EQ(port.messages[0].title, kAppTitle);
    // The log names the program it could not start, without the archive's password.
    ASSERT_EQ(port.steps.size(), 1u);
    EXPECT_EQ(port.steps[0].rfind("Could not start " + p.ProductDir + "Z.exe  -silent  -over=all -pass=******** ", 0),
              0u)
        << port.steps[0];
    EXPECT_EQ(port.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(port.messages[0].icon, Icon::None);
}

TEST_F(Engine, SelectionRulesEndToEnd) {
    const std::vector<CdFile> files = {{"BSE\\bin\\client\\x.dll", "x"},   {"BSE\\bin\\server\\a.exe", "a"},
                                       {"BSE\\bin\\server\\winx86\\c.exe", "c"}, {"BSE\\api\\unix\\b.h", "b"},
                                       {"ORA\\bin\\ora.dll", "o"},           {"MSS\\bin\\mss.dll", "m"},
                                       {"DB4\\bin\\db4.dll", "d"}};
    AddProduct(1, "D", files, 1);
    const auto installOn = [&](const std::string& platform) {
        qvtest::RemoveTree(dest);
        s.DbPlatformCode = platform;
        Install(1);
        EXPECT_FALSE(s.InstallAborted);
        std::vector<std::string> names;
        for (const auto& [name, content] : ReadTree(dest)) names.push_back(name);
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(installOn("ORA"), (Names{"api\\unix\\b.h", "bin\\client\\x.dll", "bin\\ora.dll", "bin\\server\\a.exe",
                                       "bin\\server\\winx86\\c.exe"}));
    EXPECT_EQ(installOn("MSS"), (Names{"bin\\client\\x.dll", "bin\\mss.dll", "bin\\server\\winx86\\c.exe"}));
    EXPECT_EQ(installOn("DB4"), (Names{"bin\\client\\x.dll", "bin\\db4.dll", "bin\\server\\winx86\\c.exe"}));

    // Without BaseDelta the whole spec is the destination, and a leading bin\server stays.
    AddProduct(2, "N", {{"bin\\server\\a.exe", "a"}, {"x\\bin\\server\\b.exe", "b"}, {"readme.txt", "r"}});
    qvtest::RemoveTree(dest);
    s.DbPlatformCode = "MSS";
    Install(2);
    EXPECT_EQ(ReadTree(dest),
              (std::map<std::string, std::string>{{"bin\\server\\a.exe", "a"}, {"readme.txt", "r"}}));
}

TEST_F(Engine, DriverInstallsChosenProductsInOrderAndHandsOver) {
    ProductRec& app = AddProduct(1, "APP", {{"app.txt", "app"}});
    app.SoftwareType = "Application";
    app.Chosen = 0;  // listed, not chosen: its codes are written all the same
    app.DescrDB = "Ledger, general";
    app.QVInstallField = "GL";
    app.IncludeSys = -1;
    ProductRec& tools = AddProduct(2, "TOOLS", {{"bin\\t.exe", "tools"}});
    tools.SoftwareType = "Marrowtools";
    ProductRec& db = AddProduct(3, "DB", {{"db\\d.sql", "db"}});
    db.SoftwareType = "Database";
    db.QVInstallField = "SAMPLE";
    ProductRec& sc = AddProduct(4, "SC", {{"sc.txt", "sc"}});
    sc.SoftwareType = "Supply Chain";
    s.InstallDir = dest + "\\";  // a trailing "\" makes no difference

    std::vector<std::pair<std::string, bool>> completions;
    Journaled([&](InstallJournal& journal) {
        SetOutcomeFlags(s, RunInstall(s, port, journal, [&](const std::string& root, bool supplyChain) { completions.emplace_back(root, supplyChain); }));
    });
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_TRUE(s.ToolsInstalled);
    EXPECT_EQ(s.HasCompressed, 0);
    EXPECT_EQ(completions, (std::vector<std::pair<std::string, bool>>{{dest, true}}));
    EXPECT_EQ(port.moduleNames, (std::vector<std::string>{"Product TOOLS", "Product DB", "Product SC"}));
    EXPECT_EQ(s.ModuleBytesDone, 0);
    const auto installed = ReadTree(dest);
    EXPECT_EQ(installed.count("app.txt"), 0u);
    EXPECT_EQ(installed.at("bin\\t.exe"), "tools");
    EXPECT_EQ(installed.at("sc.txt"), "sc");
    const std::string codes = installed.at("setup\\dbcodes.inf");
    EXPECT_NE(codes.find("[dbcodes]"), std::string::npos) << codes;
    EXPECT_NE(codes.find("APP=Ledger, general,GL,-1"), std::string::npos) << codes;
    EXPECT_NE(codes.find("DB=Product DB,SAMPLE,0"), std::string::npos) << codes;
    EXPECT_EQ(codes.find("TOOLS="), std::string::npos) << codes;

    ShowInstallResult(s, port);
    EXPECT_EQ(port.messages.back().text, "\rThe Marrowvale CD-ROM has been successfully installed.\r");
    EXPECT_EQ(port.messages.back().icon, Icon::Information);
    EXPECT_EQ(port.messages.back().title, kAppTitle);
}

TEST_F(Engine, CancelDuringTheSecondOfThreeProducts) {
    AddProduct(1, "ONE", {{"one.bin", PatternBytes(40000, 1)}});
    AddProduct(2, "TWO", {{"two.bin", PatternBytes(100000, 2)}});
    AddProduct(3, "THREE", {{"three.bin", PatternBytes(40000, 3)}});
    port.onDoEvents = [&] {
        if (port.moduleNames.back() != "Product TWO") return;
        port.answers = {Answer::Yes};
        ConfirmCancel(s, port);
    };
    bool completed = false;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal, [&](const std::string&, bool) { completed = true; })); });
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_FALSE(completed);
    EXPECT_EQ(port.moduleNames, (std::vector<std::string>{"Product ONE", "Product TWO"}));
    EXPECT_FALSE(tree.exists("inst\\three.bin"));
    EXPECT_EQ(tree.read("inst\\one.bin"), PatternBytes(40000, 1));

    ShowInstallResult(s, port);
    EXPECT_EQ(port.messages.back().text,
              "\nWARNING:  The Marrowvale CD-ROM has NOT completed installation.\nYou may continue the installation "
              "process at a later date by restarting SETUP.EXE.\n");
    EXPECT_EQ(port.messages.back().icon, Icon::Exclamation);
    // Not rolled back, it names the user's files it kept beside the new ones.
    s.SavedUserFiles = {"C:\\inst\\a.txt.qvsave"};
    ShowInstallResult(s, port);
    EXPECT_NE(port.messages.back().text.find("under these names:\rC:\\inst\\a.txt.qvsave\r"), std::string::npos);
}

TEST_F(Engine, CompressedProductsWeighTheProgress) {
    ProductRec& z = AddProduct(1, "Z", {{"Z\\a.txt", "alpha"}});
    z.Compress = 1;
    z.Chosen = 0;
    AddProduct(2, "P", {{"a.txt", "alpha"}});
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_EQ(s.HasCompressed, 0);  // not chosen: no weight
    EXPECT_EQ(s.BytesDone, 16384);
    z.Chosen = -1;
    z.ProductDir = cd + "\\P\\";  // its archive program cannot start; only the flag matters here
    s.BytesDone = 0;
    s.ListedProducts[2].Chosen = 0;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_EQ(s.HasCompressed, 1);

    // The next install of the run starts afresh: no weight, no estimate carried over.
    z.Chosen = 0;
    s.ListedProducts[2].Chosen = -1;
    s.SmoothedTotalTime = 123;
    Journaled([&](InstallJournal& journal) { SetOutcomeFlags(s, RunInstall(s, port, journal)); });
    EXPECT_EQ(s.HasCompressed, 0);
    EXPECT_NE(s.SmoothedTotalTime, 123);
}

TEST(EngineRecords, DbCodesReplaceAndKeepOtherKeys) {
    qvtest::TempTree tree;
    Session s;
    s.InstallDir = tree.path("qv");
    ProductRec& p = s.ListedProducts[1];
    p.ProductCode = "PRDB";
    p.ProductName = "Payroll";
    p.QVInstallField = "SAMPLE";
    WriteDbCodes(s, 1);
    p.DescrDB = "Payroll data";
    p.IncludeSys = -1;
    WriteDbCodes(s, 1);  // the same code again: one entry, the last one
    s.ListedProducts[2].ProductName = "No code";
    WriteDbCodes(s, 2);
    const std::string text = tree.read("qv\\setup\\dbcodes.inf");
    EXPECT_NE(text.find("PRDB=Payroll data,SAMPLE,-1"), std::string::npos) << text;
    EXPECT_EQ(text.find("PRDB=Payroll,"), std::string::npos) << text;
    EXPECT_EQ(text.find("No code"), std::string::npos) << text;

    // Nothing at all for a product without a code: not even the directory.
    Session other;
    other.InstallDir = tree.path("none");
    other.ListedProducts[1].ProductName = "x";
    WriteDbCodes(other, 1);
    EXPECT_FALSE(tree.exists("none"));
}

TEST(EngineRecords, TransferConfiguration) {
    qvtest::TempTree tree;
    Session s;
    s.InstallDir = "C:\\qv";
    s.DbPlatformCode = "DB2";
    RunError error;
    EXPECT_TRUE(WriteTransferConfig(s, tree.at("qvxfr.cfg"), error));
    EXPECT_EQ(tree.read("qvxfr.cfg"), "SET RDBMS=DB2\r\nSET QVHLD=C:\\qv\r\nSET XFRMTH=MSFTDB2\r\n");
    s.DbPlatformCode = "ORA";
    EXPECT_TRUE(WriteTransferConfig(s, tree.at("qvxfr.cfg"), error));
    EXPECT_EQ(tree.read("qvxfr.cfg"), "SET RDBMS=ORA\r\nSET QVHLD=C:\\qv\r\nSET XFRMTH=MSFT\r\n");
    EXPECT_FALSE(WriteTransferConfig(s, tree.at("missing\\qvxfr.cfg"), error));
    EXPECT_NE(error.systemCode, 0u);  // the log line gets the cause
}

TEST(EngineFiles, LineReaderEndsAndReopens) {
    qvtest::TempTree tree;
    tree.write("l.txt", "one\r\ntwo\nthree\rfour");
    LineReader reader;
    RunError error;
    ASSERT_TRUE(reader.Open(tree.path("l.txt"), error));
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line, error));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(reader.ReadLine(line, error));
    EXPECT_EQ(line, "two");
    const int64_t position = reader.Position();
    EXPECT_EQ(position, 9);
    EXPECT_EQ(OpenFileCount(), 1);
    CloseAllOpenFiles();
    EXPECT_TRUE(reader.AtEnd());  // closed under the reader
    EXPECT_FALSE(reader.ReadLine(line, error));
    ASSERT_TRUE(reader.ReopenAt(tree.path("l.txt"), position, error));
    ASSERT_TRUE(reader.ReadLine(line, error));
    EXPECT_EQ(line, "three");
    ASSERT_TRUE(reader.ReadLine(line, error));
    EXPECT_EQ(line, "four");
    EXPECT_FALSE(reader.ReadLine(line, error));
    EXPECT_EQ(error.number, 0);
    reader.Close();
    EXPECT_EQ(OpenFileCount(), 0);
}

}  // namespace
}  // namespace qv
