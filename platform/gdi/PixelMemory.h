// Memory for pixel rows. Two things make large pictures cheap here:
// - the bytes are not value-initialised, so a buffer that its writer fills
//   anyway is not cleared first (TPixelBytes(n, value) still fills);
// - buffers of several megabytes are aligned to 2 MiB and asked for as
//   transparent huge pages, so a freshly made 24-megapixel picture costs a
//   few dozen page faults instead of many thousands (the kernel clears the
//   memory either way; the fault per 4 KiB page is what it saves).
//
//     TPixelBytes Rows;
//     Rows.resize(Stride * Height);        // not cleared: write every row
#pragma once
#include "rtl/Types.h"
#include <cstddef>
#include <new>
#include <vector>

namespace PixelMemory {

// Buffers from this size on are aligned for huge pages.
constexpr size_t HugeFrom = size_t(4) << 20;
constexpr size_t HugeAlign = size_t(2) << 20;

// Raw memory of Bytes bytes; released with Release(P, Bytes).
void* Acquire(size_t Bytes);
void Release(void* P, size_t Bytes) noexcept;

}

template<class T>
struct TPixelAllocator {
    using value_type = T;
    TPixelAllocator() noexcept = default;
    template<class U>
    TPixelAllocator(const TPixelAllocator<U>&) noexcept
    { }
    T* allocate(size_t N)
    {
        if (N > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(PixelMemory::Acquire(N * sizeof(T)));
    }
    void deallocate(T* P, size_t N) noexcept { PixelMemory::Release(P, N * sizeof(T)); }
    // Default-initialisation: no clearing of bytes the writer fills.
    template<class U>
    void construct(U* P) noexcept
    {
        ::new (static_cast<void*>(P)) U;
    }
    template<class U, class... A>
    void construct(U* P, A&&... Args)
    {
        ::new (static_cast<void*>(P)) U(static_cast<A&&>(Args)...);
    }
    template<class U>
    bool operator==(const TPixelAllocator<U>&) const noexcept
    {
        return true;
    }
};

using TPixelBytes = std::vector<Byte, TPixelAllocator<Byte>>;
