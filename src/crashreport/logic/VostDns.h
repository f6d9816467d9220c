// Mail exchanger look-up for the report mail: our own DNS queries over UDP, the system's resolver
// configuration, the walk from the root servers and the online test.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

// An IPv4 or IPv6 address with a port.
struct TNetAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;
    bool Valid() const { return Length != 0; }
    bool IsLoopback() const;
    uint16_t Port() const;
    void SetPort(uint16_t port);
    std::string Text() const;
    bool SameHost(const TNetAddress& other) const;
    bool operator==(const TNetAddress& other) const;
};
// A numeric IPv4 or IPv6 address; invalid for anything else (no name is looked up).
TNetAddress ParseNetAddress(std::string_view text, uint16_t port);

// Where the look-up finds its servers; tests point all of it at loopback servers of their own.
struct TDnsConfig {
    std::string ResolvConfPath = "/etc/resolv.conf";
    uint16_t Port = 53;
    // Addresses, not names: without a name server a name cannot be turned into one.
    std::vector<std::string> RootServers = {"198.41.0.4", "199.9.14.201"};
    std::vector<std::string> RouteFiles = {"/proc/net/route", "/proc/net/ipv6_route"};
    std::chrono::milliseconds ReplyTimeout{5000};
};

enum class TDnsType : uint16_t { A = 1, NS = 2, MX = 15, AAAA = 28 };

// A name server that answers, or a mail exchanger, with the addresses its reply carried.
struct TDnsHost {
    std::string Name;
    std::vector<TNetAddress> Addresses; // port 0
};

struct TDnsAnswers {
    std::vector<TDnsHost> Answers;     // records of the asked type, in reply order
    std::vector<TDnsHost> Authorities; // NS records of the authority section (NS queries)
    std::vector<TNetAddress> HostAddresses; // A and AAAA answers
};

// The query packet: identifier, recursion desired, one question of the type, class IN. Empty when
// the name is not a valid host name (a label over 63 bytes, the whole over 253, an empty label).
std::string BuildDnsQuery(uint16_t identifier, std::string_view name, TDnsType type);

// Reads a reply to the query. False for anything that is not its answer: not a reply, another
// identifier or question, an error code, a malformed record. Names follow at most 16 compression
// pointers, never exceed 255 bytes, and every offset is checked against the reply's length. The
// addresses in additional records are attached to the answer and authority hosts they name.
bool ParseDnsReply(std::string_view reply, std::string_view query, TDnsAnswers& out);

// One query to all servers (port from the config); the first reply that names something wins.
// A reply counts only when it comes from a server the query went to, from its port.
bool QueryDnsServers(std::string_view name, const std::vector<TNetAddress>& servers, TDnsType type, const TDnsConfig& config,
                     TDnsAnswers& out);

// The "nameserver" lines of resolv.conf text, in their order, without duplicates.
std::vector<std::string> ParseResolvConf(std::string_view text);
std::vector<std::string> GetDnsServers(const TDnsConfig& config);

// True when a route file names a default route that is up (IPv4 or IPv6, not through "lo").
bool IsOnline(const TDnsConfig& config);

// The mail exchanger of the address's domain (the first MX record of the first useful reply),
// with the addresses its reply carried; an empty name when none was found. With no system name
// server the look-up walks down from the root servers using glue records.
TDnsHost LookupMailExchanger(std::string_view address, const TDnsConfig& config);
