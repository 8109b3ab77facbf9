// The path type: one canonical form for every spelling of a place, the names no file can
// have refused, and IsWithin as the test of confinement.
#include <gtest/gtest.h>

#include "setup/session/path.h"

namespace qv {
namespace {

std::string Canonical(const std::string& text, const Path* base = nullptr, PathForms forms = {}) {
    std::string why;
    const std::optional<Path> path = Path::Parse(text, why, base, forms);
    return path ? path->str() : "refused: " + why;
}

TEST(PathType, EverySpellingOfAPlaceBecomesOne) {
    const Path base = *Path::Parse("c:\\work\\cd");
    EXPECT_EQ(Canonical("c:/qv"), "c:\\qv");
    EXPECT_EQ(Canonical("c:\\\\qv\\\\"), "c:\\qv");
    EXPECT_EQ(Canonical("c:\\old\\..\\qv\\.\\bin"), "c:\\qv\\bin");
    EXPECT_EQ(Canonical("c:\\..\\..\\qv"), "c:\\qv");            // ".." stops at the root
    EXPECT_EQ(Canonical("c:\\qv\\a.txt. . "), "c:\\qv\\a.txt");  // Windows drops trailing dots and blanks
    EXPECT_EQ(Canonical("c:"), "refused: it is not a full path");
    EXPECT_EQ(Canonical("c:\\"), "c:\\");
    EXPECT_EQ(Canonical("answers.inf", &base), "c:\\work\\cd\\answers.inf");
    EXPECT_EQ(Canonical("..\\qv", &base), "c:\\work\\qv");
    EXPECT_EQ(Canonical("\\qv", &base), "c:\\qv");
    EXPECT_EQ(Canonical("c:qv", &base), "c:\\work\\cd\\qv");
    EXPECT_EQ(Canonical("d:qv", &base), "d:\\qv");
    EXPECT_EQ(*Path::Parse("C:\\QV\\A.TXT"), *Path::Parse("c:\\qv\\a.txt"));
}

TEST(PathType, RefusesWhatNoFileCanBeAndFormsNotAskedFor) {
    const char withNul[] = "c:\\Windows\\win.ini\0\\qvxfr.cfg";
    EXPECT_EQ(Canonical(std::string(withNul, sizeof withNul - 1)), "refused: it holds a control character");
    EXPECT_EQ(Canonical("c:\\qv\\a\tb"), "refused: it holds a control character");
    for (const char* device : {"c:\\qv\\CON", "c:\\qv\\nul.txt", "c:\\aux\\a.txt", "c:\\qv\\COM1.tar.gz", "c:\\qv\\lpt9 .log",
                               "c:\\qv\\com\xC2\xB9"})
        EXPECT_NE(Canonical(device).find("names a device"), std::string::npos) << device;
    EXPECT_EQ(Canonical("c:\\qv\\CONSOLE.txt"), "c:\\qv\\CONSOLE.txt");
    EXPECT_EQ(Canonical("c:\\qv\\a.txt:evil"), "refused: \"a.txt:evil\" names a stream");
    EXPECT_EQ(Canonical("c:\\qv\\...\\a"), "refused: the name \"...\" is made of dots and blanks");
    EXPECT_EQ(Canonical("c:\\qv\\a*"), "refused: \"a*\" holds a character that a file name cannot hold");
    EXPECT_EQ(Canonical("\\\\?\\c:\\Windows"), "refused: it is a device or long-path form");
    EXPECT_EQ(Canonical("\\\\.\\PhysicalDrive0"), "refused: it is a device or long-path form");
    EXPECT_EQ(Canonical("\\\\server\\share\\cd"), "refused: it is a network path");
    EXPECT_EQ(Canonical("\\\\server\\share\\cd\\..\\..", nullptr, {true}), "\\\\server\\share");
    EXPECT_EQ(Canonical("\\\\server", nullptr, {true}), "refused: it names no share");
}

TEST(PathType, IsWithinJoinAndParentAgree) {
    const Path qv = *Path::Parse("c:\\qv");
    EXPECT_TRUE(Path::Parse("C:\\QV\\bin\\a.dll")->IsWithin(qv));
    EXPECT_TRUE(qv.IsWithin(qv));
    EXPECT_FALSE(Path::Parse("c:\\qvsec\\a")->IsWithin(qv));
    EXPECT_FALSE(Path::Parse("c:\\qv\\..\\victim.txt")->IsWithin(qv));
    EXPECT_TRUE(qv.IsWithin(*Path::Parse("c:\\")));

    EXPECT_EQ(qv.Join("bin\\a.dll")->str(), "c:\\qv\\bin\\a.dll");
    EXPECT_EQ(qv.Join("bin\\\\a.dll. ")->str(), "c:\\qv\\bin\\a.dll");
    std::string why;
    EXPECT_FALSE(qv.Join("..\\victim.txt", why));
    EXPECT_EQ(why, "it climbs out of its folder");
    EXPECT_FALSE(qv.Join("bin\\.\\a", why));
    EXPECT_FALSE(qv.Join("\\Windows", why));
    EXPECT_FALSE(qv.Join("c:\\Windows", why));
    EXPECT_FALSE(qv.Join("sub\\nul", why));

    const Path file = *qv.Join("bin\\a.dll");
    EXPECT_EQ(file.Parent().str(), "c:\\qv\\bin");
    EXPECT_EQ(file.Name(), "a.dll");
    EXPECT_EQ(file.RelativeTo(qv), "bin\\a.dll");
    EXPECT_EQ(qv.Parent().str(), "c:\\");
    EXPECT_EQ(qv.Parent().Parent().str(), "c:\\");
    EXPECT_EQ(qv.Slashed(), "c:\\qv\\");
    EXPECT_EQ(qv.Parent().Slashed(), "c:\\");
}

}  // namespace
}  // namespace qv
