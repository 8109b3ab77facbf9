#include "setup/engine/two_threads.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace qv {

void OnTwoThreads(size_t count, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    const auto takeInTurn = [&] {
        for (size_t i = next++; i < count; i = next++) work(i);
    };
    std::exception_ptr failure;  // the thread beside's
    const auto beside = [&] {
        try {
            takeInTurn();
        } catch (...) {
            failure = std::current_exception();
            next = count;
        }
    };
    std::thread other;
    if (count > 1) {
        try {
            other = std::thread(beside);
        } catch (const std::system_error&) {
            // No second thread: this one does it all.
        }
    }
    try {
        takeInTurn();
    } catch (...) {
        next = count;
        if (other.joinable()) other.join();
        throw;
    }
    if (other.joinable()) other.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace qv
