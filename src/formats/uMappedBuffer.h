// Big buffers of the writers, mapped from the system and given back the moment they are freed.
#pragma once

#include <cstddef>
#include <string>

// The heap keeps what it frees (and its resident pages), so buffers filled and copied one after
// the other would all stay until the end of the write. Throws std::bad_alloc.
void* MapBufferMemory(size_t bytes);
void UnmapBufferMemory(void* memory, size_t bytes);

// Has the system provide the pages inside bytes at from, without writing them (their content
// stays): on several threads at once, the page faults of a big buffer's first writes cost a
// fraction of those on one. Nothing happens where the system cannot.
void PopulatePages(char* from, size_t bytes);
// Room for more bytes at the end of text, its pages provided on the conversion's threads: the
// growth that follows (a resize, appends) then writes pages that are already there.
void ReserveWithPages(std::string& text, size_t more);

// An allocator over MapBufferMemory, for big buffers only (each allocation is whole pages).
template <typename T>
struct TMappedAllocator {
    using value_type = T;
    TMappedAllocator() = default;
    template <typename U>
    TMappedAllocator(const TMappedAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n) { return static_cast<T*>(MapBufferMemory(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { UnmapBufferMemory(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const TMappedAllocator<U>&) const noexcept
    {
        return true;
    }
};
