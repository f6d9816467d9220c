// Thread start and C++ throw as the executable's own exported symbols, so that every module of the
// process (Qt, libstdc++) calls them first; both forward to the system's versions. Linked only
// into executables of a build without sanitizers, which interpose the same entries.
#include "crashreport/logic/VostCppSupport.h"
#include "crashreport/logic/VostThreadWrap.h"

#include <dlfcn.h>
#include <pthread.h>

#include <typeinfo>

namespace {

using TPthreadCreate = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
using TCxaThrow = void (*)(void*, std::type_info*, void (*)(void*));

template <typename T>
T NextSymbol(const char* name, const char* version, const char* olderVersion)
{
    void* address = dlvsym(RTLD_NEXT, name, version);
    if (!address && olderVersion)
        address = dlvsym(RTLD_NEXT, name, olderVersion);
    if (!address)
        address = dlsym(RTLD_NEXT, name);
    return reinterpret_cast<T>(address);
}

TPthreadCreate RealPthreadCreate()
{
    static const TPthreadCreate real = NextSymbol<TPthreadCreate>("pthread_create", "GLIBC_2.34", "GLIBC_2.2.5");
    return real;
}

TCxaThrow RealCxaThrow()
{
    static const TCxaThrow real = NextSymbol<TCxaThrow>("__cxa_throw", "CXXABI_1.3", nullptr);
    return real;
}

} // namespace

extern "C" __attribute__((visibility("default"), noinline)) int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                                                               void* (*start)(void*), void* argument)
{
    const TPthreadCreate real = RealPthreadCreate();
    TWrappedStart* record = PrepareWrappedStart(start, argument);
    if (!record)
        return real(thread, attributes, start, argument);
    const int result = real(thread, attributes, &VostWrappedThreadStart, record);
    if (result != 0)
        delete record;
    return result;
}

extern "C" __attribute__((visibility("default"), noreturn)) void __cxa_throw(void* object, std::type_info* type,
                                                                             void (*destructor)(void*))
{
    const TCxaThrow real = RealCxaThrow();
    RecordThrow(object, type, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    real(object, type, destructor);
    __builtin_unreachable();
}
