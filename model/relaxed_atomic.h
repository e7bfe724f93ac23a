// Plain fields that one thread writes while another reads them, accessed as
// relaxed atomics so that the sharing is no data race: the recorded take and
// its analysis rows, the host's parameters and sample rate.
#pragma once

#include <atomic>

template <typename T> inline T loadRelaxed(const T& value)
{
    return std::atomic_ref<T>(const_cast<T&>(value)).load(std::memory_order_relaxed);
}

template <typename T> inline void storeRelaxed(T& target, T value)
{
    std::atomic_ref<T>(target).store(value, std::memory_order_relaxed);
}
