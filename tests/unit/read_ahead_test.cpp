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
    SourceReadAhead ahead({tree.path("a"), tree.path("b"), tree.path("missing"), tree.path("big"), tree.path("c"),
                           tree.path("b")});

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

}  // namespace
}  // namespace qv
