#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "setup/engine/two_threads.h"

namespace qv {
namespace {

// Every index is worked on once; a failure in the work, on either thread or on both,
// reaches the caller.
TEST(OnTwoThreads, WorksOnEveryIndexOnceAndThrowsWhatTheWorkThrew) {
    std::vector<std::atomic<int>> done(1000);
    OnTwoThreads(done.size(), [&](size_t i) { ++done[i]; });
    for (const auto& n : done) ASSERT_EQ(n, 1);

    EXPECT_THROW(OnTwoThreads(1000,
                              [](size_t i) {
                                  if (i == 10) throw std::runtime_error("one");
                              }),
                 std::runtime_error);
    EXPECT_THROW(OnTwoThreads(1000, [](size_t) { throw std::runtime_error("every"); }), std::runtime_error);
}

}  // namespace
}  // namespace qv
