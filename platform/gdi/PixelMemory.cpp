#include "gdi/PixelMemory.h"
#include <new>
#include <sys/mman.h>

namespace PixelMemory {

namespace {

size_t Rounded(size_t Bytes)
{
    return Bytes >= HugeFrom ? (Bytes + HugeAlign - 1) & ~(HugeAlign - 1) : Bytes;
}

} // namespace

void* Acquire(size_t Bytes)
{
    if (Bytes < HugeFrom)
        return ::operator new(Bytes);
    const size_t Whole = Rounded(Bytes);
    if (Whole < Bytes)
        throw std::bad_alloc();
    void* P = ::operator new(Whole, std::align_val_t(HugeAlign));
    // Only a hint: without huge pages (or with them turned off) the memory
    // is used as it is.
    madvise(P, Whole, MADV_HUGEPAGE);
    return P;
}

void Release(void* P, size_t Bytes) noexcept
{
    if (!P)
        return;
    // Unsized deletes: clang offers the sized ones only with
    // -fsized-deallocation.
    if (Bytes < HugeFrom)
        ::operator delete(P);
    else
        ::operator delete(P, std::align_val_t(HugeAlign));
}

}
