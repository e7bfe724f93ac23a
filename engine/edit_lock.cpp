#include "engine/edit_lock.h"

#include <chrono>
#include <thread>

namespace {

// Attempts with a pause instruction between them for at most 200
// microseconds: long enough to outlast any hold of the user interface (a few
// contour lookups with a cold memo), far below one audio block (11.6 ms at
// 512 samples). The clock is read through the vDSO, without a system call.
constexpr auto kAudioRetryLimit = std::chrono::microseconds(200);
constexpr int kAttemptsPerClockRead = 32;
constexpr auto kUserInterfaceBackOff = std::chrono::microseconds(50);

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

bool EditLock::tryLockBriefly()
{
    if (tryLock())
        return true;
    auto deadline = std::chrono::steady_clock::now() + kAudioRetryLimit;
    do {
        for (int attempt = 0; attempt < kAttemptsPerClockRead; ++attempt) {
            if (tryLock())
                return true;
            cpuRelax();
        }
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void EditLock::lock()
{
    while (!tryLock())
        std::this_thread::sleep_for(kUserInterfaceBackOff);
}
