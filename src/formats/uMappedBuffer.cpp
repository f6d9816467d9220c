// Big buffers of the writers, mapped from the system and given back the moment they are freed.
#include "formats/uMappedBuffer.h"

#include "formats/uParallel.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include <sys/mman.h>

void* MapBufferMemory(size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return memory;
}

void UnmapBufferMemory(void* memory, size_t bytes)
{
    if (memory)
        munmap(memory, bytes);
}

void PopulatePages(char* from, size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    constexpr uintptr_t Page = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(from) + Page - 1) & ~(Page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(from) + bytes) & ~(Page - 1);
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)from;
    (void)bytes;
#endif
}

void ReserveWithPages(std::string& text, size_t more)
{
    // Fewer bytes than this a thread cost more in threads than they save.
    constexpr size_t MinBytesPerThread = size_t(4) << 20;
    const size_t size = text.size();
    text.reserve(size + more);
    char* const tail = text.data() + size;
    const size_t bytes = text.capacity() - size;
    const size_t parts = std::clamp<size_t>(bytes / MinBytesPerThread, 1, size_t(ConversionThreads()));
    RunParallel(parts, [&](size_t part) {
        const size_t from = bytes * part / parts;
        PopulatePages(tail + from, bytes * (part + 1) / parts - from);
    });
}
