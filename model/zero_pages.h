// Fixed-capacity arrays on pages the kernel hands out zero-filled and maps only
// when first touched: a fresh instance costs no resident memory for the parts
// of its take that were never recorded.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

// populate maps every page at once: for arrays that are written in full
// right away, one call is far cheaper than a page fault per page.
void* allocateZeroPages(std::size_t bytes, bool populate);
void freeZeroPages(void* pages, std::size_t bytes);
void clearZeroPages(void* pages, std::size_t bytes);

// N elements of a trivially copyable T, all bits zero at construction.
template <typename T, std::size_t N>
class ZeroPageArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    enum Residency { kLazy, kPopulated };

    explicit ZeroPageArray(Residency residency = kLazy)
        : data(static_cast<T*>(allocateZeroPages(sizeof(T) * N, residency == kPopulated)))
    {
    }
    ~ZeroPageArray() { freeZeroPages(data, sizeof(T) * N); }
    ZeroPageArray(const ZeroPageArray&) = delete;
    ZeroPageArray& operator=(const ZeroPageArray&) = delete;

    // Back to all zero bits; the pages are released and mapped again on demand.
    void clear() { clearZeroPages(data, sizeof(T) * N); }

    T& operator[](std::size_t i) { return data[i]; }
    const T& operator[](std::size_t i) const { return data[i]; }
    T* begin() { return data; }
    T* end() { return data + N; }
    const T* begin() const { return data; }
    const T* end() const { return data + N; }
    static constexpr std::size_t size() { return N; }

private:
    T* data;
};
