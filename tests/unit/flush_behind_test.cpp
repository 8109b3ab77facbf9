#include <gtest/gtest.h>

#include "setup/engine/flush_behind.h"
#include "tests/support/temp_tree.h"

namespace qv {
namespace {

fs::Handle Written(const Path& path, const std::string& bytes) {
    RunError error;
    const fs::Handle file = fs::CreateNew(path, error);
    EXPECT_NE(file, fs::kNoHandle) << error.description;
    EXPECT_TRUE(fs::Write(file, bytes.data(), static_cast<uint32_t>(bytes.size()), error));
    return file;
}

// Every copy handed over is flushed and closed by the time Settle returns; a copy whose
// flush fails is named once, and the next Settle starts afresh.
TEST(FlushBehind, SettlesEveryCopyAndNamesTheOneThatFailed) {
    qvtest::TempTree tree;
    FlushBehind behind;
    for (const char* name : {"a", "b", "c"}) behind.Hand(Written(tree.at(name), name), tree.at(name));
    Path at;
    RunError error;
    EXPECT_TRUE(behind.Settle(at, error));
    for (const char* name : {"a", "b", "c"}) EXPECT_EQ(tree.read(name), name);

    const fs::Handle d = Written(tree.at("d"), "d");  // open first: the closed handle's number is no one's
    const fs::Handle gone = Written(tree.at("gone"), "x");
    ASSERT_TRUE(fs::Close(gone, error));
    behind.Hand(gone, tree.at("gone"));
    behind.Hand(d, tree.at("d"));
    EXPECT_FALSE(behind.Settle(at, error));
    EXPECT_EQ(at, tree.at("gone"));
    EXPECT_NE(error.number, 0);
    EXPECT_TRUE(behind.Settle(at, error));
    EXPECT_EQ(tree.read("d"), "d");
}

}  // namespace
}  // namespace qv
