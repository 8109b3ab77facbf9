// The stand-in archive format and command line, natively and under Wine.
#include <gtest/gtest.h>

#include <chrono>

#include "setup/engine/archive_launcher.h"
#include "support/engine_cd.h"
#include "support/temp_tree.h"
#include "tools/standin_archive/archive_format.h"

namespace qvtools::standin {
namespace {

TEST(StandinCommandLine, ReadsWhatTheInstallerPasses) {
    const qv::ArchiveCommand c =
        qv::BuildArchiveCommand("D:\\my cd\\QVR\\", *qv::Path::Parse("C:\\qv"), "QVR", "BSE\\reports\\monthly\\a.rpt");
    Request r;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(c.commandLine, r, error)) << error;
    EXPECT_EQ(r.password, PasswordFor("QVR"));
    EXPECT_EQ(r.spec, "BSE\\reports\\monthly\\a.rpt");
    EXPECT_EQ(r.targetDir, "C:\\qv\\reports\\monthly");

    // A target that ends with "\" before its closing quote, and a quoted program path.
    ASSERT_TRUE(ParseCommandLine("\"D:\\cd\\X.exe\"  -silent  -over=all -pass=XXX \"a.txt\" \"C:\\qv\\\"", r, error));
    EXPECT_EQ(r.targetDir, "C:\\qv\\");
    EXPECT_EQ(r.spec, "a.txt");

    for (const char* bad : {"D:\\X.exe -silent -over=all \"a\" \"b\"", "D:\\X.exe -silent -over=all -pass=1 \"a\"",
                            "D:\\X.exe -silent -over=all -pass=1 -x \"a\" \"b\"", "D:\\X.exe -silent -over=all -pass=1 \"a\" \"b",
                            "D:\\X -silent"})
        EXPECT_FALSE(ParseCommandLine(bad, r, error)) << bad;
}

TEST(StandinArchiveFormat, PackAndExtract) {
    qvtest::TempTree tree;
    tree.write("stub.exe", "MZ not really a program");
    tree.write("src\\BSE\\doc\\a.txt", "alpha");
    tree.write("src\\BSE\\b.bin", qvtest::PatternBytes(200000, 4));
    std::string error;
    const std::string archive = tree.path("AB.exe");
    ASSERT_TRUE(PackArchive(tree.path("stub.exe"), archive, "AB",
                            {{"BSE\\doc\\a.txt", tree.path("src\\BSE\\doc\\a.txt")}, {"BSE\\b.bin", tree.path("src\\BSE\\b.bin")}},
                            error))
        << error;
    EXPECT_EQ(tree.read("AB.exe").rfind("MZ not really a program", 0), 0u);

    Request r{PasswordFor("AB"), "bse\\B.BIN", tree.path("out") + "\\"};
    ASSERT_EQ(Extract(archive, r, error), kExtracted) << error;
    EXPECT_EQ(tree.read("out\\b.bin"), qvtest::PatternBytes(200000, 4));
    r.spec = "BSE\\doc\\a.txt";
    r.targetDir = tree.path("out\\doc");
    ASSERT_EQ(Extract(archive, r, error), kExtracted) << error;
    EXPECT_EQ(tree.read("out\\doc\\a.txt"), "alpha");
    // The time travels in 100-ns units.
    const auto drift = std::filesystem::last_write_time(qvtest::HostPath(tree.path("out\\doc\\a.txt"))) -
                       std::filesystem::last_write_time(qvtest::HostPath(tree.path("src\\BSE\\doc\\a.txt")));
    EXPECT_LT(std::chrono::abs(drift), std::chrono::microseconds(1));

    r.spec = "BSE\\c.txt";
    EXPECT_EQ(Extract(archive, r, error), kNoSuchMember);
    r.password = "ABAB";
    EXPECT_EQ(Extract(archive, r, error), kWrongPassword);
    EXPECT_EQ(Extract(tree.path("stub.exe"), r, error), kDamagedArchive);
}

}  // namespace
}  // namespace qvtools::standin
