// The audio thread's bounded retry must outlast a short hold of the user
// interface and still give up on a long one.
#include "engine/edit_lock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A preempted thread can stretch any hold or wait on a loaded machine, so
// each side is tried several times: most short holds must be outlasted, and
// the quickest give-up must be bounded.
constexpr int kTrials = 20;

TEST(EditLockRetryTest, BriefRetryOutlastsAShortHoldAndGivesUpOnALongOne)
{
    EditLock lock;
    int outlasted = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        std::atomic<bool> held {false};
        std::thread holder([&] {
            lock.lock();
            held = true;
            auto until = Clock::now() + std::chrono::microseconds(40);
            while (Clock::now() < until) { }
            lock.unlock();
        });
        while (!held) { }
        if (lock.tryLockBriefly()) {
            ++outlasted;
            lock.unlock();
        }
        holder.join();
    }
    EXPECT_GE(outlasted, kTrials / 2); // a single try wins one or two

    auto shortest = Clock::duration::max();
    lock.lock();
    for (int trial = 0; trial < kTrials; ++trial) {
        auto start = Clock::now();
        EXPECT_FALSE(lock.tryLockBriefly());
        shortest = std::min(shortest, Clock::now() - start);
    }
    lock.unlock();
    EXPECT_LT(shortest, std::chrono::milliseconds(5)); // bounded: the block still goes out
}

} // namespace
