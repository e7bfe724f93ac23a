// The one lock that guards the note table, selection, scale, contour memo,
// links and voices between the host's two threads.
//
// The audio thread only ever tries it (a bounded number of attempts, well
// under a millisecond); the user-interface thread takes it by trying and
// sleeping between tries, so it never waits inside the lock and the audio
// thread's release has no waiter to wake. Holders keep it short: a model
// change or a copy of what a draw needs, never a draw, a dialog or a sleep.
#pragma once

#include <atomic>

class EditLock {
public:
    bool tryLock()
    {
        return !locked.load(std::memory_order_relaxed)
            && !locked.exchange(true, std::memory_order_acquire);
    }

    // Audio thread: attempts for at most 200 microseconds, then give up.
    bool tryLockBriefly();

    // User-interface thread: try, back off with a short sleep, try again.
    void lock();

    void unlock() { locked.store(false, std::memory_order_release); }

private:
    std::atomic<bool> locked {false};
};

// Holds the lock for one scope on the user-interface thread.
class EditGuard {
public:
    explicit EditGuard(EditLock& lock)
        : lock(lock)
    {
        lock.lock();
    }
    ~EditGuard() { lock.unlock(); }
    EditGuard(const EditGuard&) = delete;
    EditGuard& operator=(const EditGuard&) = delete;

private:
    EditLock& lock;
};
