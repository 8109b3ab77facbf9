#include <gtest/gtest.h>

#include "setup/engine/read_ahead.h"
#include "tests/support/temp_tree.h"

namespace qv {
namespace {

// The copies ask in list order; what they pass over, and what cannot be read whole, is
// theirs to read: Take gives null for it.
TEST(SourceReadAhead, GivesWhatItReadInListOrderAndNothingElse) {
    qvtest::TempTree tree;
    tree.write("a", "alpha");
    tree.write("b", "beta");
    tree.write("c", "");
    tree.write("big", std::string(kReadAheadMaxSize + 1, 'x'));
    std::vector<ReadAheadFile> files;
    for (const char* name : {"a", "b", "missing", "big", "c", "b"}) files.push_back({tree.path(name), {}});
    SourceReadAhead ahead(files);

    const std::unique_ptr<SourceBytes> b = ahead.Take(tree.path("b"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->bytes, "beta");
    EXPECT_FALSE(ahead.Take(tree.path("a"))) << "passed over";
    EXPECT_FALSE(ahead.Take(tree.path("missing")));
    EXPECT_FALSE(ahead.Take(tree.path("big")));
    const std::unique_ptr<SourceBytes> c = ahead.Take(tree.path("c"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->bytes, "");
    EXPECT_TRUE(ahead.Take(tree.path("b"))) << "a file listed twice is read twice";
    EXPECT_FALSE(ahead.Take(tree.path("b")));
}

// A copy is created ahead, empty and open for writing, only for a source whose bytes are at
// hand.
TEST(SourceReadAhead, CreatesTheCopiesItIsGivenForSourcesItCouldRead) {
    qvtest::TempTree tree;
    tree.write("a", "alpha");
    tree.mkdir("to");
    SourceReadAhead ahead({{tree.path("missing"), tree.at("to\\missing")}, {tree.path("a"), tree.at("to\\a")}});
    std::unique_ptr<SourceBytes> a = ahead.Take(tree.path("a"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, "alpha");
    EXPECT_NE(a->copy, fs::kNoHandle);
    a.reset();  // closes the copy, not taken over
    EXPECT_EQ(tree.read("to\\a"), "");
    EXPECT_FALSE(tree.exists("to\\missing"));
}

}  // namespace
}  // namespace qv
