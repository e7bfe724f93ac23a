#include "engine/edit_lock.h"

#include <chrono>
#include <thread>

namespace {

// About 100 attempts with a pause instruction between them: a few
// microseconds, far below one audio block.
constexpr int kAudioAttempts = 100;
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
    for (int attempt = 0; attempt < kAudioAttempts; ++attempt) {
        if (tryLock())
            return true;
        cpuRelax();
    }
    return false;
}

void EditLock::lock()
{
    while (!tryLock())
        std::this_thread::sleep_for(kUserInterfaceBackOff);
}
