#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_tree.h"
#include "tools/filelist/file_list_master.h"

namespace qvtools {
namespace {

using qvtest::TempTree;

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    fields.push_back(line.substr(start));
    return fields;
}

// The problems of a check as "<product folder>/<file>:<line>: <text>", the CD's path dropped.
std::vector<std::string> Problems(const CdCheckResult& result) {
    std::vector<std::string> out;
    for (const CdProblem& p : result.problems) {
        const size_t slash = p.file.find_last_of("/\\");
        const size_t folder = p.file.find_last_of("/\\", slash - 1);
        std::string file = p.file.substr(folder + 1);
        for (char& c : file)
            if (c == '\\') c = '/';
        out.push_back(file + ":" + std::to_string(p.line) + ": " + p.text);
    }
    return out;
}

// "YYYY-MM-DD hh:mm:ss".
bool IsDate(const std::string& text) {
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != shape[i]) return false;
    return true;
}

const char* const kSimpleSku = "ProdNum=1\r\nSize=1,000\r\nProductName=Sample\r\nModuleType=Software to File Server\r\n";

TEST(FileListTool, ChecksumIsTheSignedDecimalOfTheFinishedCrc) {
    EXPECT_EQ(FormatChecksum(0), "0");
    EXPECT_EQ(FormatChecksum(0x3610A686u), "907060870");  // "hello"
    EXPECT_EQ(FormatChecksum(0xFFFFFFFFu), "-1");
    EXPECT_EQ(FormatChecksum(0x80000000u), "-2147483648");
    EXPECT_EQ(FormatChecksum(0x7FFFFFFFu), "2147483647");
    EXPECT_EQ(FormatChecksum(0xCBF43926u), "-873187034");
    EXPECT_EQ(FileListLine("bin\\x.dll", "2026-12-08 10:11:12", 5, 0xCBF43926u),
              "bin\\x.dll,2026-12-08 10:11:12,5,-873187034");
}

TEST(FileListTool, WritesOneSortedCrLfLinePerFileBelowTheProductFolder) {
    TempTree tree;
    tree.write("P\\QVSETUP.SKU", kSimpleSku);
    tree.write("P\\readme.txt", "hello");
    tree.write("P\\bin\\client\\winx86\\qvcfg.exe", "123456789");
    tree.write("P\\Data\\empty.dat", "");
    tree.write("P\\setup\\qvtools8.cfg", std::string(70000, 'x'));

    std::string error;
    ASSERT_TRUE(WriteFileList(tree.path("P"), error)) << error;
    const std::vector<std::string> lines = SplitCrLf(tree.read("P\\QVSETUP.INF"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0][0], '#');

    // Sorted without regard to case; the catalogue and the list itself are not listed.
    const std::vector<std::string> specs = {"bin\\client\\winx86\\qvcfg.exe", "Data\\empty.dat", "readme.txt",
                                            "setup\\qvtools8.cfg"};
    for (size_t i = 0; i < specs.size(); ++i) {
        const std::vector<std::string> f = Fields(lines[i + 1]);
        ASSERT_EQ(f.size(), 4u) << lines[i + 1];
        EXPECT_EQ(f[0], specs[i]);
        EXPECT_TRUE(IsDate(f[1])) << f[1];
    }
    EXPECT_EQ(Fields(lines[1])[2], "9");
    EXPECT_EQ(Fields(lines[1])[3], "-873187034");
    EXPECT_EQ(Fields(lines[2])[2], "0");
    EXPECT_EQ(Fields(lines[2])[3], "0");  // an empty file: the complement of -1
    EXPECT_EQ(Fields(lines[3])[3], "907060870");
    EXPECT_EQ(Fields(lines[4])[2], "70000");

    // What was written passes the check.
    const CdCheckResult result = CheckCd(tree.root());
    EXPECT_TRUE(result.problems.empty()) << ::testing::PrintToString(Problems(result));
    EXPECT_EQ(result.products, 1);
    EXPECT_EQ(result.entries, 4);
}

TEST(FileListTool, RejectsNamesThatCannotStandInTheList) {
    EXPECT_EQ(SpecProblem("bin\\client\\winx86\\x.dll"), "");
    EXPECT_EQ(SpecProblem("Folio Shared\\opener.dll"), "");
    EXPECT_EQ(SpecProblem("caf\xC3\xA9\\\xCE\xB2.txt"), "") << "names in UTF-8";
    for (const char* bad : {"", "a,b.txt", "dir\\a:b", "a?.txt", "a*", "x|y", "q\"", "<x>", "#notes.txt",
                            "\\abs.txt", " lead.txt", "trail.txt ", "dir.\\x", "a\\..\\b", "a\\\\b", "con",
                            "bin\\NUL.txt", "lpt1.log", "caf\xE9.txt", "tab\there"})
        EXPECT_NE(SpecProblem(bad), "") << bad;
    EXPECT_EQ(SpecProblem("com10.txt"), "");
    EXPECT_EQ(SpecProblem("console.txt"), "");
}

TEST(FileListTool, WritingStopsAtAFileNameWithAComma) {
    TempTree tree;
    tree.write("P\\good.txt", "x");
    tree.write("P\\sub\\bad,name.txt", "x");
    std::string error;
    EXPECT_FALSE(WriteFileList(tree.path("P"), error));
    EXPECT_NE(error.find("bad,name.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("comma"), std::string::npos) << error;
    EXPECT_FALSE(tree.exists("P\\QVSETUP.INF"));
}

TEST(FileListTool, BaseDeltaFilesMustLieBelowAPartFolder) {
    TempTree tree;
    tree.write("B\\QVSETUP.SKU", "ProdNum=3\r\nBaseDelta=1\r\nBSESize=100\r\nSBSSize=50\r\n");
    tree.write("B\\BSE\\bin\\server\\a.exe", "a");
    tree.write("B\\ora\\bin\\b.dll", "b");
    std::string error;
    ASSERT_TRUE(WriteFileList(tree.path("B"), error)) << error;
    EXPECT_TRUE(CheckCd(tree.root()).problems.empty());

    tree.write("B\\readme.txt", "r");
    EXPECT_FALSE(WriteFileList(tree.path("B"), error));
    EXPECT_NE(error.find("readme.txt"), std::string::npos) << error;
    // A list written by hand with such an entry is caught by the check.
    tree.write("B\\QVSETUP.INF", "readme.txt,d,1,1812594589\r\n");
    const std::vector<std::string> problems = Problems(CheckCd(tree.root()));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind("B/QVSETUP.INF:1: \"readme.txt\" lies outside a part folder", 0), 0u) << problems[0];
}

TEST(FileListTool, CheckReportsEveryFaultWithItsLine) {
    TempTree tree;
    tree.write("A\\QVSETUP.SKU", kSimpleSku);
    tree.write("A\\one.txt", "hello");
    tree.write("A\\two.txt", "hello");
    tree.write("A\\three.txt", "hello");
    tree.write("A\\QVSETUP.INF",
               "# comment\r\n"
               "one.txt,d,6,907060870\r\n"           // 2: wrong size
               "two.txt,d,5,907060871\r\n"           // 3: wrong checksum
               "gone.txt,d,5,907060870\r\n"          // 4: missing file
               "three.txt , d , 5 , 0907060870\r\n"  // 5: checksum never equal as text
               "three.txt,d,5,907060870\n"           // 6: no CR, listed again
               "short,d\r\n");                       // 7: too few fields
    tree.write("B\\QVSETUP.SKU", "ProdNum=2\r\nBaseDelta=1\r\nBSESize=10\r\nORASize=ten\r\n");
    tree.write("B\\QVSETUP.INF", "# nothing\r\n");
    tree.write("C\\QVSETUP.SKU", kSimpleSku);  // no list
    tree.write("D\\QVSETUP.SKU", "ProdNum=0\r\n");  // not a product: passed over
    tree.write("E\\readme.txt", "no catalogue: not a product folder");

    const CdCheckResult result = CheckCd(tree.root());
    const std::vector<std::string> p = Problems(result);
    ASSERT_EQ(p.size(), 9u) << ::testing::PrintToString(p);
    EXPECT_EQ(p[0], "A/QVSETUP.INF:2: size of one.txt is 5 bytes, the list says 6");
    EXPECT_EQ(p[1], "A/QVSETUP.INF:3: checksum of two.txt is 907060870, the list says 907060871");
    EXPECT_EQ(p[2], "A/QVSETUP.INF:4: file not found: gone.txt");
    EXPECT_NE(p[3].find("A/QVSETUP.INF:5: checksum \"0907060870\" is not in the form"), std::string::npos) << p[3];
    EXPECT_EQ(p[4], "A/QVSETUP.INF:6: line does not end with CR LF");
    EXPECT_EQ(p[5], "A/QVSETUP.INF:6: \"three.txt\" is listed again (first on line 5)");
    EXPECT_NE(p[6].find("A/QVSETUP.INF:7: has 2 field(s)"), std::string::npos) << p[6];
    EXPECT_NE(p[7].find("B/QVSETUP.SKU:0: catalogue cannot be read (platform ORA): \"ReadSKU\" message: ORASize : 13"),
              std::string::npos)
        << p[7];
    EXPECT_EQ(p[8], "C/QVSETUP.INF:0: missing: every product folder needs its file list");
    EXPECT_EQ(result.products, 3);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0].substr(0, 2), "D:");
}

TEST(FileListTool, CheckReadsLinesAsTheInstallerDoes) {
    // A lone CR ends a line for the installer: "#", CR, "X", CR LF is a comment and then
    // an entry "X" with one field, which the installer cannot copy.
    TempTree tree;
    tree.write("A\\QVSETUP.SKU", kSimpleSku);
    tree.write("A\\QVSETUP.INF", "#\rX\r\n");
    const std::vector<std::string> p = Problems(CheckCd(tree.root()));
    ASSERT_EQ(p.size(), 2u) << ::testing::PrintToString(p);
    EXPECT_EQ(p[0], "A/QVSETUP.INF:1: line does not end with CR LF");
    EXPECT_NE(p[1].find("A/QVSETUP.INF:2: has 1 field(s)"), std::string::npos) << p[1];
}

TEST(FileListTool, MastersEveryProductFolderOfACd) {
    TempTree tree;
    tree.write("TOOLS\\QVSETUP.SKU", kSimpleSku);
    tree.write("TOOLS\\bin\\a.exe", "a");
    tree.write("DB\\QVSETUP.SKU", "ProdNum=2\r\nSize=0\r\n");  // lists nothing on any platform
    tree.write("DB\\data.dbs", "d");
    tree.write("HELP\\qvinseng.hlp", "no catalogue");
    std::string error;
    ASSERT_TRUE(WriteFileLists(tree.root(), error)) << error;
    EXPECT_TRUE(tree.exists("TOOLS\\QVSETUP.INF"));
    EXPECT_TRUE(tree.exists("DB\\QVSETUP.INF"));
    EXPECT_FALSE(tree.exists("HELP\\QVSETUP.INF"));

    std::string report;
    EXPECT_EQ(CheckCd(tree.root(), report), 1) << report;
    EXPECT_NE(report.find("QVSETUP.SKU:0: gives no size above 0 on any platform"), std::string::npos) << report;

    tree.write("DB\\QVSETUP.SKU", "ProdNum=2\r\nSize=1\r\n");
    tree.write("TOOLS\\bin\\a.exe", "b");  // changed after mastering
    EXPECT_EQ(CheckCd(tree.root(), report), 1) << report;
    EXPECT_NE(report.find("checksum of bin\\a.exe is"), std::string::npos) << report;
}

#ifndef _WIN32
TEST(FileListTool, NamesDifferingOnlyInCaseAreRejected) {
    TempTree tree;
    tree.write("P\\Readme.txt", "a");
    tree.write("P\\README.TXT", "b");
    std::string error;
    EXPECT_FALSE(WriteFileList(tree.path("P"), error));
    EXPECT_NE(error.find("letter case"), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace qvtools
