#include <gtest/gtest.h>

#include "setup/engine/read_ahead.h"
#include "tests/support/temp_tree.h"

namespace qv {
namespace {

// The copies ask in list order; what they pass over, and what cannot be read whole, is
// theirs to read: Take gives null for it. A window of one file makes the reading wait for
// every Take.
TEST(SourceReadAhead, GivesWhatItReadInListOrderAndNothingElse) {
    qvtest::TempTree tree;
    tree.write("a", "alpha");
    tree.write("b", "beta");
    tree.write("c", "");
    tree.write("big", std::string(kReadAheadMaxSize + 1, 'x'));
    std::vector<ReadAheadFile> files;
    for (const char* name : {"a", "b", "missing", "big", "c", "b"}) files.push_back({tree.path(name), {}, {}});
    SourceReadAhead ahead(files, {}, ReadAheadWindow{1, 1});

    const std::unique_ptr<SourceBytes> b = ahead.Take(1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->bytes, "beta");
    EXPECT_FALSE(ahead.Take(0)) << "passed over";
    EXPECT_FALSE(ahead.Take(2));
    EXPECT_FALSE(ahead.Take(3));
    const std::unique_ptr<SourceBytes> c = ahead.Take(4);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->bytes, "");
    const std::unique_ptr<SourceBytes> again = ahead.Take(5);
    ASSERT_TRUE(again) << "a file listed twice is read twice";
    EXPECT_EQ(again->bytes, "beta");
    EXPECT_FALSE(ahead.Take(5));
    ahead.End();
}

// A copy is made ahead, empty and open for writing, only for a source whose bytes are at
// hand: in an empty place, or in the place of an earlier file moved aside first. One that no
// copy takes over is discarded, whether its source was taken or passed over; one taken over
// is the copy's, with the earlier file's backup.
TEST(SourceReadAhead, MakesTheCopiesItIsGivenAndDiscardsTheOnesNotTakenOver) {
    qvtest::TempTree tree;
    tree.write("a", "alpha");
    tree.write("b", "beta");
    tree.write("to\\b", "earlier b");
    tree.write("to\\c", "earlier c");
    std::vector<std::string> discarded;
    CopiesAhead copies;
    copies.moveAside = [](const Path& from, const Path& to) {
        RunError error;
        return fs::MoveAside(from, to, error);
    };
    copies.discard = [&](const Path& copy, const Path& earlier) {
        discarded.push_back(copy.str());
        RunError error;
        EXPECT_TRUE(fs::RemoveFile(copy, error));
        EXPECT_TRUE(earlier.empty() || fs::Move(earlier, copy, error));
    };
    SourceReadAhead ahead({{tree.path("missing"), tree.at("to\\missing"), {}},
                           {tree.path("a"), tree.at("to\\a"), {}},
                           {tree.path("b"), tree.at("to\\b"), tree.at("to\\~b")},
                           {tree.path("missing"), tree.at("to\\c"), tree.at("to\\~c")},
                           {tree.path("a"), tree.at("to\\a2"), {}}},
                          copies);
    std::unique_ptr<SourceBytes> a = ahead.Take(1);
    ASSERT_TRUE(a && a->copy);
    EXPECT_EQ(a->bytes, "alpha");
    EXPECT_TRUE(tree.exists("to\\a"));
    a.reset();
    EXPECT_EQ(discarded, std::vector<std::string>{tree.at("to\\a").str()});
    std::unique_ptr<SourceBytes> b = ahead.Take(2);
    ASSERT_TRUE(b && b->copy);
    const CopyMadeAhead::Made made = b->copy->TakeOver();
    EXPECT_EQ(made.earlier, tree.at("to\\~b"));
    EXPECT_EQ(tree.read("to\\~b"), "earlier b");
    RunError error;
    EXPECT_TRUE(fs::Write(made.handle, "beta", 4, error) && fs::Close(made.handle, error));
    ahead.End();
    EXPECT_EQ(tree.read("to\\b"), "beta") << "taken over: the copy's";
    EXPECT_EQ(tree.read("to\\c"), "earlier c") << "its source could not be read: nothing moved";
    EXPECT_FALSE(tree.exists("to\\a") || tree.exists("to\\a2")) << "never taken: gone whenever it was made";
    EXPECT_FALSE(tree.exists("to\\missing"));
}

}  // namespace
}  // namespace qv
