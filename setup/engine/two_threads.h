// Work on many files side by side. Under Wine a file costs more in its opening, its look-up
// and its removal, which wait for the server, than in its bytes: with two threads, one waits
// while the other works.
#pragma once

#include <cstddef>
#include <functional>

namespace qv {

// Runs work(i) for every i below count: on this thread and on one beside it, each taking the
// next i in turn, or on this thread alone where no thread can be had or there is one i. The
// work of two i's must share nothing unguarded. An exception in either thread stops both, and
// is thrown here once both have stopped.
void OnTwoThreads(size_t count, const std::function<void(size_t)>& work);

}  // namespace qv
