// Write access probes, directory creation, free space and the release text.
#include <gtest/gtest.h>

#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::TempTree;

TEST(WriteAccess, NewDirectoryLeavesNothingBehind) {
    TempTree tree;
    EXPECT_TRUE(TestWriteAccess(tree.path("new")));
    EXPECT_FALSE(tree.exists("new"));
}

TEST(WriteAccess, UpperLevelsMadeByTheTestRemain) {
    TempTree tree;
    EXPECT_TRUE(TestWriteAccess(tree.path("a\\b\\c\\")));
    EXPECT_TRUE(fs::IsDirectory(tree.path("a\\b")));
    EXPECT_FALSE(tree.exists("a\\b\\c"));
}

TEST(WriteAccess, ExistingDirectories) {
    TempTree tree;
    tree.mkdir("empty");
    EXPECT_TRUE(TestWriteAccess(tree.path("empty")));
    EXPECT_FALSE(tree.exists("empty"));  // an empty directory goes

    tree.write("full\\keep.txt", "keep");
    EXPECT_TRUE(TestWriteAccess(tree.path("full")));
    EXPECT_EQ(tree.read("full\\keep.txt"), "keep");
    EXPECT_FALSE(tree.exists("full\\~qvtmp.tmp"));
}

TEST(WriteAccess, APathThroughAFileFails) {
    TempTree tree;
    tree.write("file", "x");
    EXPECT_FALSE(TestWriteAccess(tree.path("file\\below")));
    EXPECT_EQ(tree.read("file"), "x");
}

TEST(MakeDirPathTest, CreatesEveryMissingLevel) {
    TempTree tree;
    RunError error;
    EXPECT_TRUE(MakeDirPath(tree.at("x\\y\\z"), error));
    EXPECT_TRUE(fs::IsDirectory(tree.path("x\\y\\z")));
    EXPECT_TRUE(MakeDirPath(tree.at("x\\y\\z"), error));  // all there already
    EXPECT_TRUE(MakeDirPath(*Path::Parse("c:\\"), error));  // a root: nothing to create
    tree.write("f", "");
    EXPECT_FALSE(MakeDirPath(tree.at("f\\sub"), error));
    EXPECT_NE(error.systemCode, 0u);  // the cause of the failed step is kept
}

TEST(ClusterMath, RoundsUpWithinRange) {
    EXPECT_EQ(CeilDiv(0, 16384), 0);
    EXPECT_EQ(CeilDiv(1, 16384), 1);
    EXPECT_EQ(CeilDiv(16384, 16384), 1);
    EXPECT_EQ(CeilDiv(16385, 16384), 2);
    Session s;  // ClusterSize unset: 16384
    EXPECT_EQ(RoundToCluster(s, 0), 0);
    EXPECT_EQ(RoundToCluster(s, 1), 16384);
    EXPECT_EQ(RoundToCluster(s, 32767), 32768);
    EXPECT_EQ(RoundToCluster(s, 5000000000LL), INT32_MAX);  // a size past 32 bits stays in range
    EXPECT_EQ(RoundToCluster(s, INT64_MAX), INT32_MAX);     // and its rounding cannot overflow
}

TEST(FreeSpace, WholeFiguresAndFailure) {
    TempTree tree;
    const double free = GetFreeSpace(tree.root() + "\\");
    EXPECT_GT(free, 0);
    EXPECT_EQ(free, static_cast<double>(static_cast<long long>(free)));
    EXPECT_EQ(GetFreeSpace(tree.path("no\\such\\drive\\")), -1);
}

TEST(ReleaseText, PartsAndPadding) {
    const ReleaseParts r = GetReleaseParts();
    EXPECT_EQ(r.major, "8");
    EXPECT_EQ(r.minor, "00");
    EXPECT_EQ(r.sub, "00");
    const ReleaseParts one = SplitReleaseText("  Release81 ");
    EXPECT_EQ(one.major, "8");
    EXPECT_EQ(one.minor, "01");
    EXPECT_EQ(one.sub, "00");
    const ReleaseParts full = SplitReleaseText("Release80105");
    EXPECT_EQ(full.minor, "01");
    EXPECT_EQ(full.sub, "05");
    EXPECT_EQ(SplitReleaseText("").major, "");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(InstallDir, IsMadeCanonicalBeforeAnyCheck) {
    EXPECT_EQ(CanonicalDir("c:/marrowvale"), "c:\\marrowvale");
    EXPECT_EQ(CanonicalDir("c:\\\\qv\\\\sub\\"), "c:\\qv\\sub");
    EXPECT_EQ(CanonicalDir("c:\\qv\\old\\..\\.\\new"), "c:\\qv\\new");
    EXPECT_EQ(CanonicalDir("c:\\.."), "c:\\");  // a root stays a root, and is refused as one
    EXPECT_EQ(CanonicalDir("\\\\server\\share\\qv\\"), "\\\\server\\share\\qv");
    EXPECT_EQ(CanonicalDir("c:"), "c:");
    EXPECT_EQ(CanonicalDir("c:\\qv\\nul"), "c:\\qv\\nul");  // names no folder: left for the checks to refuse
    EXPECT_FALSE(TestWriteAccess("c:\\qv\\nul"));
    const std::string relative = CanonicalDir("relative\\qv");
    EXPECT_TRUE(EndsWith(relative, "\\relative\\qv") && relative.size() > 12) << relative;
}

}  // namespace
}  // namespace qv
