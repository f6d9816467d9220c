// The tests' own connect and sendto: they take precedence over the C library's, so every
// attempt of the code under test to reach a host that is not this machine is counted and fails.
#include "MailTestServers.h"

#include <cerrno>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

std::atomic<int> Attempts{0};

bool Allowed(const sockaddr* address)
{
    if (!address)
        return true;
    if (address->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24) == 127;
    if (address->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        return IN6_IS_ADDR_LOOPBACK(&a) || (IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127);
    }
    return true; // local sockets
}

template <typename T> T Real(const char* name) { return reinterpret_cast<T>(dlsym(RTLD_NEXT, name)); }

} // namespace

int NonLoopbackDestinations() { return Attempts.load(); }

extern "C" int connect(int fd, const sockaddr* address, socklen_t length)
{
    if (!Allowed(address)) {
        ++Attempts;
        errno = ENETUNREACH;
        return -1;
    }
    static const auto real = Real<int (*)(int, const sockaddr*, socklen_t)>("connect");
    return real(fd, address, length);
}

extern "C" ssize_t sendto(int fd, const void* buffer, size_t size, int flags, const sockaddr* address, socklen_t length)
{
    if (!Allowed(address)) {
        ++Attempts;
        errno = ENETUNREACH;
        return -1;
    }
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t)>("sendto");
    return real(fd, buffer, size, flags, address, length);
}
