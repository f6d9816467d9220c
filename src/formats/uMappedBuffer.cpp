// Big buffers of the writers, mapped from the system and given back the moment they are freed.
#include "formats/uMappedBuffer.h"

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
