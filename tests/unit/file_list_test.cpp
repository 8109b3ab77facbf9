#include <gtest/gtest.h>

#include "setup/engine/archive_launcher.h"
#include "setup/engine/file_list.h"

namespace qv {
namespace {

TEST(FileListText, Fields) {
    EXPECT_EQ(ReadListField("a, b ,c", 2), "b");
    EXPECT_EQ(ReadListField("a,b,c,d", 5), "");
    EXPECT_EQ(ReadListField("a,b", 2), "b");
    EXPECT_EQ(ReadListField("a,b", 3), "");
    EXPECT_EQ(ReadListField("  bin\\x.dll ,2026-01-01, 12 ,-5", 1), "bin\\x.dll");
    EXPECT_EQ(ReadListField("x,,7,", 4), "");
}

Session OnPlatform(const std::string& code) {
    Session s;
    s.DbPlatformCode = code;
    return s;
}

TEST(FileListSelection, BaseDeltaPartsAndServerPrograms) {
    ProductRec delta;
    delta.BaseDelta = 1;
    ProductRec plain;

    const Session ora = OnPlatform("ORA");
    EXPECT_TRUE(IsLineSelected(ora, delta, "BSE\\bin\\client\\x.dll,d,1,2"));
    EXPECT_TRUE(IsLineSelected(ora, delta, "bse\\setup\\y.ini,d,1,2"));
    EXPECT_TRUE(IsLineSelected(ora, delta, "ORA\\bin\\z.dll,d,1,2"));
    EXPECT_FALSE(IsLineSelected(ora, delta, "INF\\bin\\z.dll,d,1,2"));
    EXPECT_FALSE(IsLineSelected(ora, delta, "MSS\\bin\\z.dll,d,1,2"));
    EXPECT_TRUE(IsLineSelected(ora, delta, "BSE\\bin\\server\\a.exe,d,1,2"));
    EXPECT_TRUE(IsLineSelected(ora, delta, "BSE\\api\\unix\\b.h,d,1,2"));
    EXPECT_TRUE(IsLineSelected(ora, plain, "INF\\bin\\z.dll,d,1,2"));  // no part rule without BaseDelta

    for (const char* code : {"MSS", "DB4"}) {
        const Session s = OnPlatform(code);
        EXPECT_FALSE(IsLineSelected(s, delta, "BSE\\bin\\server\\a.exe,d,1,2")) << code;
        EXPECT_FALSE(IsLineSelected(s, delta, "BSE\\api\\unix\\b.h,d,1,2")) << code;
        EXPECT_TRUE(IsLineSelected(s, delta, "BSE\\bin\\server\\winx86\\c.exe,d,1,2")) << code;
        EXPECT_TRUE(IsLineSelected(s, delta, std::string(code) + "\\bin\\d.dll,d,1,2")) << code;
        EXPECT_TRUE(IsLineSelected(s, plain, "bin\\server\\a.exe,d,1,2")) << code;  // no leading "\" to match
        EXPECT_FALSE(IsLineSelected(s, plain, "x\\bin\\server\\a.exe,d,1,2")) << code;
    }
    // The platform rule compares the code exactly.
    EXPECT_TRUE(IsLineSelected(OnPlatform("mss"), plain, "x\\bin\\server\\a.exe,d,1,2"));
}

EntryPaths MakeEntryPaths(const ProductRec& product, const std::string& productDir, const std::string& root,
                          const std::string& spec) {
    EntryPaths paths;
    std::string why;
    EXPECT_TRUE(qv::MakeEntryPaths(product, productDir, *Path::Parse(root), spec, paths, why)) << why;
    return paths;
}

TEST(FileListPaths, DestinationsFollowBaseDelta) {
    ProductRec plain;
    EntryPaths p = MakeEntryPaths(plain, "D:\\cd\\PROD\\", "C:\\qv", "bin\\client\\x.dll");
    EXPECT_EQ(p.sourceFile, "D:\\cd\\PROD\\bin\\client\\x.dll");
    EXPECT_EQ(p.destFile.str(), "C:\\qv\\bin\\client\\x.dll");
    EXPECT_EQ(p.destDir.str(), "C:\\qv\\bin\\client");
    p = MakeEntryPaths(plain, "D:\\cd\\PROD\\", "C:\\qv", "readme.txt");
    EXPECT_EQ(p.destDir.str(), "C:\\qv");

    ProductRec delta;
    delta.BaseDelta = 1;
    p = MakeEntryPaths(delta, "D:\\cd\\PROD\\", "C:\\qv", "BSE\\bin\\client\\x.dll");
    EXPECT_EQ(p.sourceFile, "D:\\cd\\PROD\\BSE\\bin\\client\\x.dll");
    EXPECT_EQ(p.destFile.str(), "C:\\qv\\bin\\client\\x.dll");
    EXPECT_EQ(p.destDir.str(), "C:\\qv\\bin\\client");
    p = MakeEntryPaths(delta, "D:\\cd\\PROD\\", "C:\\qv", "ORA\\z.dll");
    EXPECT_EQ(p.destFile.str(), "C:\\qv\\z.dll");
    EXPECT_EQ(p.destDir.str(), "C:\\qv");
}

TEST(FileListPaths, SpecsThatWouldLeaveTheInstallDirectoryAreRefused) {
    for (const char* ok : {"x.dll", "bin\\client\\x.dll", "BSE\\a b\\c.d.e", "bin\\x..y", ".profile"})
        EXPECT_TRUE(IsSafeFileSpec(ok)) << ok;
    for (const char* bad : {"", "\\windows\\x.dll", "\\\\server\\share\\x", "C:x.dll", "c:\\x.dll",
                            "..\\x.dll", "bin\\..\\..\\x.dll", "bin\\..", "bin\\...\\x", "a\\ . \\b",
                            "bin/x.dll", "x\".dll", "x<y", "x>y", "x|y", "x?y", "x*y", "a\tb", "a\x7f"})
        EXPECT_FALSE(IsSafeFileSpec(bad)) << bad;
}

TEST(ArchiveCommand, LineTargetAndShownPath) {
    ArchiveCommand c = BuildArchiveCommand("D:\\cd\\QVRPT\\", *Path::Parse("C:\\qv"), "QVR", "QVR\\reports\\monthly\\a.rpt");
    EXPECT_EQ(c.commandLine,
              "D:\\cd\\QVRPT\\QVR.exe  -silent  -over=all -pass=QVRQQVR \"QVR\\reports\\monthly\\a.rpt\" "
              "\"C:\\qv\\reports\\monthly\"");
    EXPECT_EQ(c.targetDir, "C:\\qv\\reports\\monthly");
    EXPECT_EQ(c.shownPath.str(), "C:\\qv\\reports\\monthly\\a.rpt");
    // The install log gets the line without the password.
    EXPECT_EQ(c.loggedLine,
              "D:\\cd\\QVRPT\\QVR.exe  -silent  -over=all -pass=******** \"QVR\\reports\\monthly\\a.rpt\" "
              "\"C:\\qv\\reports\\monthly\"");

    c = BuildArchiveCommand("D:\\cd\\QVRPT\\", *Path::Parse("C:\\qv"), "QVR", "QVR\\a.rpt");
    EXPECT_EQ(c.commandLine, "D:\\cd\\QVRPT\\QVR.exe  -silent  -over=all -pass=QVRQQVR \"QVR\\a.rpt\" \"C:\\qv\\\"");
    EXPECT_EQ(c.shownPath.str(), "C:\\qv\\a.rpt");

    c = BuildArchiveCommand("D:\\cd\\X\\", *Path::Parse("C:\\qv"), "AB", "a.rpt");  // no "\": the whole spec remains
    EXPECT_EQ(c.commandLine, "D:\\cd\\X\\AB.exe  -silent  -over=all -pass=ABAAB \"a.rpt\" \"C:\\qv\\\"");
    EXPECT_EQ(c.shownPath.str(), "C:\\qv\\a.rpt");
}

}  // namespace
}  // namespace qv
