#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "setup/engine/two_threads.h"

namespace qv {
namespace {

// Every index is worked on once; a failure in the work reaches the caller, and stops what
// is left.
TEST(OnTwoThreads, WorksOnEveryIndexOnceAndThrowsWhatTheWorkThrew) {
    std::vector<std::atomic<int>> done(1000);
    OnTwoThreads(done.size(), [&](size_t i) { ++done[i]; });
    for (const auto& n : done) ASSERT_EQ(n, 1);

    std::atomic<size_t> worked{0};
    EXPECT_THROW(OnTwoThreads(100000,
                              [&](size_t i) {
                                  ++worked;
                                  if (i == 10) throw std::runtime_error("no");
                              }),
                 std::runtime_error);
    EXPECT_LT(worked, 100000u);
}

}  // namespace
}  // namespace qv
