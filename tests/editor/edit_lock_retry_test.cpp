// The audio thread's bounded retry must outlast a short hold of the user
// interface and still give up on a long one.
#include "engine/edit_lock.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

TEST(EditLockRetryTest, BriefRetryOutlastsAShortHoldAndGivesUpOnALongOne)
{
    EditLock lock;
    std::atomic<bool> held {false};
    std::thread holder([&] {
        lock.lock();
        held = true;
        auto until = Clock::now() + std::chrono::microseconds(40);
        while (Clock::now() < until) { }
        lock.unlock();
    });
    while (!held) { }
    EXPECT_TRUE(lock.tryLockBriefly());
    lock.unlock();
    holder.join();

    lock.lock();
    auto start = Clock::now();
    EXPECT_FALSE(lock.tryLockBriefly());
    auto waited = Clock::now() - start;
    lock.unlock();
    EXPECT_LT(waited, std::chrono::milliseconds(5)); // bounded: the block still goes out
}

} // namespace
