// Mail exchanger look-up over UDP. Replies come from the network and are read as hostile bytes:
// every offset is checked, names are bounded, and a reply must answer exactly our question from
// the server we asked, so that nobody can redirect a report by spoofing one.
#include "crashreport/logic/VostDns.h"

#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/random.h>
#include <unistd.h>

// Packet layout (RFC 1035, all values big-endian):
//   0  u16 identifier (random per query)
//   2  u16 flags: 0x8000 reply, opcode in 0x7800, 0x0200 truncated, 0x0100 recursion desired,
//          error code in the low 4 bits
//   4  u16 question count, 6 u16 answer count, 8 u16 authority count, 10 u16 additional count
//  12  the question: name in label form, u16 type, u16 class (1 = IN)
// then the records: owner name, u16 type, u16 class, u32 time to live, u16 data length, data.
// MX data: u16 preference, then the exchanger's name; NS data: the server's name.

namespace {

constexpr size_t MaxReply = 512; // no EDNS: longer replies are cut by the server
constexpr size_t HeaderSize = 12;
constexpr int MaxPointerJumps = 16;
constexpr size_t MaxNameBytes = 255;
constexpr size_t MaxAddressesPerHost = 8;
constexpr int MaxReferralRounds = 10;

uint16_t Word(std::string_view b, size_t at) { return uint16_t(uint8_t(b[at]) << 8 | uint8_t(b[at + 1])); }

// A name at offset; next is the offset after it where it was stored (not where a pointer led).
bool ReadName(std::string_view b, size_t offset, std::string& name, size_t& next)
{
    name.clear();
    size_t at = offset, wireBytes = 1;
    int jumps = 0;
    bool jumped = false;
    for (;;) {
        if (at >= b.size())
            return false;
        const uint8_t length = uint8_t(b[at]);
        if (length == 0) {
            if (!jumped)
                next = at + 1;
            return true;
        }
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= b.size() || ++jumps > MaxPointerJumps)
                return false;
            if (!jumped)
                next = at + 2;
            jumped = true;
            at = size_t(Word(b, at) & 0x3FFF);
            continue;
        }
        if ((length & 0xC0) != 0 || at + 1 + length > b.size())
            return false;
        wireBytes += 1 + length;
        if (wireBytes > MaxNameBytes)
            return false;
        if (!name.empty())
            name += '.';
        for (size_t i = at + 1; i < at + 1 + length; ++i) {
            const uint8_t c = uint8_t(b[i]);
            // A dot inside a label would change the name once the labels are joined.
            if (c <= ' ' || c >= 0x7F || c == '.')
                return false;
            name += char(c);
        }
        at += 1 + length;
    }
}

struct TRecordHeader {
    std::string Owner;
    uint16_t Type = 0, Class = 0, DataLength = 0;
    size_t Data = 0;
};

bool ReadRecord(std::string_view b, size_t& at, TRecordHeader& r)
{
    size_t afterName = 0;
    if (!ReadName(b, at, r.Owner, afterName) || afterName + 10 > b.size())
        return false;
    r.Type = Word(b, afterName);
    r.Class = Word(b, afterName + 2);
    r.DataLength = Word(b, afterName + 8);
    r.Data = afterName + 10;
    if (r.Data + r.DataLength > b.size())
        return false;
    at = r.Data + r.DataLength;
    return true;
}

TNetAddress AddressFromRecord(std::string_view b, const TRecordHeader& r)
{
    TNetAddress a;
    if (r.Type == uint16_t(TDnsType::A) && r.DataLength == 4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.Storage);
        in->sin_family = AF_INET;
        std::memcpy(&in->sin_addr, b.data() + r.Data, 4);
        a.Length = sizeof(sockaddr_in);
    } else if (r.Type == uint16_t(TDnsType::AAAA) && r.DataLength == 16) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.Storage);
        in6->sin6_family = AF_INET6;
        std::memcpy(&in6->sin6_addr, b.data() + r.Data, 16);
        a.Length = sizeof(sockaddr_in6);
    }
    return a;
}

// The target name of an NS or MX record; it must start inside the record's data.
bool RecordTarget(std::string_view b, const TRecordHeader& r, std::string& name)
{
    const size_t skip = r.Type == uint16_t(TDnsType::MX) ? 2 : 0;
    if (r.DataLength < skip + 1)
        return false;
    size_t next = 0;
    return ReadName(b, r.Data + skip, name, next) && !name.empty();
}

void AttachGlue(std::vector<TDnsHost>& hosts, const std::vector<std::pair<std::string, TNetAddress>>& glue)
{
    for (TDnsHost& host : hosts)
        for (const auto& [name, address] : glue)
            if (host.Addresses.size() < MaxAddressesPerHost && SameTextNoCase(name, host.Name))
                host.Addresses.push_back(address);
}

bool HasNames(const TDnsAnswers& a) { return !a.Answers.empty() || !a.Authorities.empty() || !a.HostAddresses.empty(); }

uint16_t RandomIdentifier()
{
    uint16_t id = 0;
    if (getrandom(&id, sizeof id, 0) != sizeof id) {
        // No entropy source: the clock still beats a fixed identifier.
        id = uint16_t(std::chrono::steady_clock::now().time_since_epoch().count() * 2654435761u >> 16);
    }
    return id;
}

class TFd {
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    {
    }
    ~TFd()
    {
        if (FFd >= 0)
            close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

std::vector<TNetAddress> HostAddresses(const std::vector<TDnsHost>& hosts, uint16_t port)
{
    std::vector<TNetAddress> out;
    for (const TDnsHost& h : hosts)
        for (TNetAddress a : h.Addresses) {
            a.SetPort(port);
            if (std::find(out.begin(), out.end(), a) == out.end())
                out.push_back(a);
        }
    return out;
}

// Addresses of the hosts: their glue, else one A query per host at the servers that named them.
std::vector<TNetAddress> AddressesOf(std::vector<TDnsHost> hosts, const std::vector<TNetAddress>& askedServers, const TDnsConfig& config)
{
    int lookups = 0;
    for (TDnsHost& h : hosts) {
        if (!h.Addresses.empty() || askedServers.empty() || lookups >= 2)
            continue;
        ++lookups;
        if (const TNetAddress numeric = ParseNetAddress(h.Name, 0); numeric.Valid()) {
            h.Addresses.push_back(numeric);
            continue;
        }
        TDnsAnswers a;
        if (QueryDnsServers(h.Name, askedServers, TDnsType::A, config, a))
            h.Addresses = a.HostAddresses;
    }
    return HostAddresses(hosts, config.Port);
}

std::vector<TNetAddress> ServerAddresses(const std::vector<std::string>& texts, uint16_t port)
{
    std::vector<TNetAddress> out;
    for (const std::string& t : texts)
        if (const TNetAddress a = ParseNetAddress(t, port); a.Valid())
            out.push_back(a);
    return out;
}

// The first MX answer for the domain (then the parent) at the servers, with its addresses.
TDnsHost QueryExchanger(const std::string& domain, const std::string& parent, const std::vector<TNetAddress>& servers,
                        const TDnsConfig& config)
{
    TDnsAnswers a;
    if (!QueryDnsServers(domain, servers, TDnsType::MX, config, a) || a.Answers.empty()) {
        a = {};
        if (parent == domain || !QueryDnsServers(parent, servers, TDnsType::MX, config, a) || a.Answers.empty())
            return {};
    }
    TDnsHost host = a.Answers.front();
    if (host.Addresses.empty()) {
        if (const TNetAddress numeric = ParseNetAddress(host.Name, 0); numeric.Valid())
            host.Addresses.push_back(numeric);
        else {
            TDnsAnswers found;
            if (QueryDnsServers(host.Name, servers, TDnsType::A, config, found) ||
                QueryDnsServers(host.Name, servers, TDnsType::AAAA, config, found))
                host.Addresses = found.HostAddresses;
        }
    }
    for (TNetAddress& address : host.Addresses)
        address.SetPort(0);
    return host;
}

} // namespace

bool TNetAddress::IsLoopback() const
{
    if (Storage.ss_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr.s_addr) >> 24) == 127;
    if (Storage.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127;
    }
    return false;
}

uint16_t TNetAddress::Port() const
{
    if (Storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&Storage)->sin_port);
    if (Storage.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_port);
    return 0;
}

void TNetAddress::SetPort(uint16_t port)
{
    if (Storage.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&Storage)->sin_port = htons(port);
    else if (Storage.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&Storage)->sin6_port = htons(port);
}

std::string TNetAddress::Text() const
{
    char host[INET6_ADDRSTRLEN] = {};
    if (Storage.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr, host, sizeof host);
    else if (Storage.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr, host, sizeof host);
    return host;
}

bool TNetAddress::SameHost(const TNetAddress& other) const
{
    if (Storage.ss_family != other.Storage.ss_family)
        return false;
    if (Storage.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in*>(&other.Storage)->sin_addr.s_addr;
    if (Storage.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr,
                           &reinterpret_cast<const sockaddr_in6*>(&other.Storage)->sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

bool TNetAddress::operator==(const TNetAddress& other) const { return SameHost(other) && Port() == other.Port(); }

TNetAddress ParseNetAddress(std::string_view text, uint16_t port)
{
    TNetAddress out;
    const std::string host = TrimTextCopy(text);
    if (host.empty())
        return out;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0 || !list)
        return out;
    if (list->ai_addrlen <= sizeof out.Storage) {
        std::memcpy(&out.Storage, list->ai_addr, list->ai_addrlen);
        out.Length = list->ai_addrlen;
    }
    freeaddrinfo(list);
    return out;
}

std::string BuildDnsQuery(uint16_t identifier, std::string_view name, TDnsType type)
{
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    if (name.empty() || name.size() > 253)
        return {};
    std::string q;
    const auto word = [&q](uint16_t v) {
        q += char(v >> 8);
        q += char(v & 0xFF);
    };
    word(identifier);
    word(0x0100);
    word(1);
    word(0);
    word(0);
    word(0);
    size_t start = 0;
    while (start <= name.size()) {
        const size_t dot = std::min(name.find('.', start), name.size());
        const size_t length = dot - start;
        if (length == 0 || length > 63)
            return {};
        q += char(length);
        for (char c : name.substr(start, length)) {
            if (uint8_t(c) <= ' ' || uint8_t(c) >= 0x7F)
                return {};
            q += c;
        }
        start = dot + 1;
    }
    q += '\0';
    word(uint16_t(type));
    word(1);
    return q;
}

bool ParseDnsReply(std::string_view reply, std::string_view query, TDnsAnswers& out)
{
    out = {};
    if (reply.size() < HeaderSize || query.size() < HeaderSize + 5)
        return false;
    const uint16_t flags = Word(reply, 2);
    if (Word(reply, 0) != Word(query, 0) || !(flags & 0x8000) || (flags & 0x7800) != 0 || (flags & 0x000F) != 0 ||
        Word(reply, 4) != 1)
        return false;

    // The question must come back as asked; servers may change the case of the name.
    std::string askedName, echoedName;
    size_t askedEnd = 0, at = 0;
    if (!ReadName(query, HeaderSize, askedName, askedEnd) || askedEnd + 4 > query.size())
        return false;
    if (!ReadName(reply, HeaderSize, echoedName, at) || at + 4 > reply.size() || !SameTextNoCase(askedName, echoedName) ||
        reply.substr(at, 4) != query.substr(askedEnd, 4))
        return false;
    at += 4;
    const uint16_t askedType = Word(query, askedEnd);

    const uint16_t counts[3] = {Word(reply, 6), Word(reply, 8), Word(reply, 10)};
    std::vector<std::pair<std::string, TNetAddress>> glue;
    // A record cut off by the 512-byte limit ends the reading; what came before it stays.
    for (int section = 0; section < 3; ++section)
        for (uint16_t i = 0; i < counts[section]; ++i) {
            TRecordHeader r;
            if (!ReadRecord(reply, at, r))
                goto done;
            if (r.Class != 1)
                continue;
            std::string target;
            if (section == 0 && r.Type == askedType) {
                if ((r.Type == uint16_t(TDnsType::NS) || r.Type == uint16_t(TDnsType::MX)) && RecordTarget(reply, r, target))
                    out.Answers.push_back({target, {}});
                else if (const TNetAddress a = AddressFromRecord(reply, r); a.Valid() && SameTextNoCase(r.Owner, askedName))
                    out.HostAddresses.push_back(a);
            } else if (section == 1 && r.Type == uint16_t(TDnsType::NS) && askedType == uint16_t(TDnsType::NS)) {
                if (RecordTarget(reply, r, target))
                    out.Authorities.push_back({target, {}});
            } else if (section == 2) {
                if (const TNetAddress a = AddressFromRecord(reply, r); a.Valid())
                    glue.emplace_back(r.Owner, a);
            }
        }
done:
    AttachGlue(out.Answers, glue);
    AttachGlue(out.Authorities, glue);
    return true;
}

bool QueryDnsServers(std::string_view name, const std::vector<TNetAddress>& servers, TDnsType type, const TDnsConfig& config,
                     TDnsAnswers& out)
{
    out = {};
    const std::string query = BuildDnsQuery(RandomIdentifier(), name, type);
    if (query.empty() || servers.empty())
        return false;
    TFd v4(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    TFd v6(socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    std::vector<TNetAddress> asked;
    for (TNetAddress server : servers) {
        const int fd = server.Storage.ss_family == AF_INET6 ? v6.Get() : v4.Get();
        if (fd < 0 || !server.Valid())
            continue;
        if (server.Port() == 0)
            server.SetPort(config.Port);
        if (std::find(asked.begin(), asked.end(), server) != asked.end())
            continue;
        if (sendto(fd, query.data(), query.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&server.Storage), server.Length) ==
            ssize_t(query.size()))
            asked.push_back(server);
    }
    size_t pending = asked.size();
    auto deadline = std::chrono::steady_clock::now() + config.ReplyTimeout;
    while (pending > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fds[2] = {{v4.Get(), POLLIN, 0}, {v6.Get(), POLLIN, 0}};
        const int ready = poll(fds, 2, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        for (const pollfd& p : fds) {
            if (p.fd < 0 || !(p.revents & POLLIN))
                continue;
            char buffer[MaxReply];
            TNetAddress from;
            from.Length = sizeof from.Storage;
            const ssize_t got = recvfrom(p.fd, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from.Storage), &from.Length);
            if (got < 0)
                continue;
            // Only a reply from a server we asked, from the port we asked, may end the wait.
            if (std::find(asked.begin(), asked.end(), from) == asked.end())
                continue;
            TDnsAnswers answers;
            if (!ParseDnsReply(std::string_view(buffer, std::min<size_t>(size_t(got), sizeof buffer)), query, answers))
                continue;
            if (HasNames(answers)) {
                out = std::move(answers);
                return true;
            }
            --pending;
            deadline = std::chrono::steady_clock::now() + config.ReplyTimeout;
        }
    }
    return false;
}

std::vector<std::string> ParseResolvConf(std::string_view text)
{
    std::vector<std::string> out;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (!(words >> key >> value) || key != "nameserver")
            continue;
        if (std::find(out.begin(), out.end(), value) == out.end())
            out.push_back(value);
    }
    return out;
}

std::vector<std::string> GetDnsServers(const TDnsConfig& config)
{
    std::ifstream in(config.ResolvConfPath);
    if (!in)
        return {};
    std::stringstream s;
    s << in.rdbuf();
    return ParseResolvConf(s.str().substr(0, 64 * 1024));
}

bool IsOnline(const TDnsConfig& config)
{
    constexpr unsigned RouteUp = 0x0001, RouteReject = 0x0200;
    for (const std::string& path : config.RouteFiles) {
        std::ifstream in(path);
        std::string line;
        const bool ipv6 = path.find("ipv6") != std::string::npos;
        for (int lines = 0; lines < 10000 && std::getline(in, line); ++lines) {
            std::istringstream f(line);
            std::vector<std::string> fields;
            for (std::string w; f >> w && fields.size() < 12;)
                fields.push_back(w);
            unsigned flags = 0;
            bool isDefault = false;
            std::string device;
            if (!ipv6 && fields.size() >= 8) {
                // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
                isDefault = fields[1] == "00000000" && fields[7] == "00000000";
                flags = unsigned(std::strtoul(fields[3].c_str(), nullptr, 16));
                device = fields[0];
            } else if (ipv6 && fields.size() >= 10) {
                // destination, prefix length, source, source prefix, next hop, metric, refs, use, flags, device
                isDefault = fields[0] == std::string(32, '0') && fields[1] == "00";
                flags = unsigned(std::strtoul(fields[8].c_str(), nullptr, 16));
                device = fields[9];
            }
            if (isDefault && (flags & RouteUp) && !(flags & RouteReject) && device != "lo")
                return true;
        }
    }
    return false;
}

TDnsHost LookupMailExchanger(std::string_view address, const TDnsConfig& config)
{
    const size_t atSign = address.find('@');
    if (atSign == std::string_view::npos)
        return {};
    std::string domain = TrimTextCopy(address.substr(atSign + 1));
    if (!domain.empty() && domain.back() == '>')
        domain.pop_back();
    TrimText(domain);
    if (domain.empty())
        return {};
    std::string parent = domain;
    {
        int dots = 0;
        for (size_t i = domain.size(); i-- > 0;)
            if (domain[i] == '.' && ++dots == 3) {
                parent = domain.substr(i + 1);
                break;
            }
    }

    if (const std::vector<TNetAddress> system = ServerAddresses(GetDnsServers(config), config.Port); !system.empty())
        return QueryExchanger(domain, parent, system, config);

    // Down from the root servers: each referral's servers are reached through their glue.
    std::vector<TNetAddress> servers = ServerAddresses(config.RootServers, config.Port);
    TDnsAnswers round;
    if (!QueryDnsServers(parent, servers, TDnsType::NS, config, round))
        return {};
    std::vector<TNetAddress> referred = round.Answers.empty() ? AddressesOf(round.Authorities, servers, config) : std::vector<TNetAddress>{};
    for (int i = 0; i < MaxReferralRounds && round.Answers.empty() && !referred.empty(); ++i) {
        TDnsAnswers deeper;
        if (!QueryDnsServers(parent, referred, TDnsType::NS, config, deeper))
            break;
        servers = referred;
        round = std::move(deeper);
        referred = round.Answers.empty() ? AddressesOf(round.Authorities, servers, config) : std::vector<TNetAddress>{};
    }
    // Without answers, the servers of the last referral stand in for them.
    const std::vector<TNetAddress> answerServers = round.Answers.empty() ? referred : AddressesOf(round.Answers, servers, config);
    if (answerServers.empty())
        return {};
    return QueryExchanger(domain, parent, answerServers, config);
}
