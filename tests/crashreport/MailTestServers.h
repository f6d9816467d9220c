// Loopback servers of the report-mail tests: a scripted SMTP server that keeps a transcript, a
// scripted DNS server, reply builders, and the count of attempts to reach any other host.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Connections and datagrams to a destination that is not on this machine (counted by the test
// executable's own connect and sendto; they fail).
int NonLoopbackDestinations();

namespace MailServers {

inline sockaddr_in LoopbackAddress(const std::string& address, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return a;
}

// A socket bound to the address and port (0: any free one); -1 when it could not be bound.
inline int BoundSocket(int type, const std::string& address, uint16_t port)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = LoopbackAddress(address, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || (type == SOCK_STREAM && listen(fd, 8) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

inline uint16_t PortOf(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// The script: replies by command verb ("EHLO", "HELO", "AUTH", "AUTH1" and "AUTH2" for the two
// credential lines, "MAIL", "RCPT", "DATA", "." for the end of the data, "RSET", "QUIT"). A reply
// may hold several lines (CR LF inside); a whole command line as key answers just that command. "<close>" drops the connection, "<silent>" never answers.
struct TSmtpScript {
    std::string Greeting = "220 mail.test ready";
    std::map<std::string, std::string> Replies;
    // The reply to a whole command line when the script has one, else to its verb.
    std::string ReplyTo(const std::string& verb, const std::string& line = {}) const
    {
        if (auto it = Replies.find(line); !line.empty() && it != Replies.end())
            return it->second;
        if (auto it = Replies.find(verb); it != Replies.end())
            return it->second;
        static const std::map<std::string, std::string> Defaults = {
            {"EHLO", "250-mail.test greets you\r\n250-SIZE 10240000\r\n250-AUTH PLAIN LOGIN\r\n250 HELP"},
            {"HELO", "250 mail.test"},
            {"AUTH", "334 VXNlcm5hbWU6"},
            {"AUTH1", "334 UGFzc3dvcmQ6"},
            {"AUTH2", "235 accepted"},
            {"MAIL", "250 sender ok"},
            {"RCPT", "250 recipient ok"},
            {"DATA", "354 go ahead"},
            {".", "250 queued"},
            {"RSET", "250 reset"},
            {"QUIT", "221 bye"}};
        auto d = Defaults.find(verb);
        return d == Defaults.end() ? "500 unknown" : d->second;
    }
};

class TSmtpTestServer {
public:
    explicit TSmtpTestServer(TSmtpScript script, const std::string& address = "127.0.0.1", uint16_t port = 0)
        : FScript(std::move(script))
    {
        FListen = BoundSocket(SOCK_STREAM, address, port);
        if (pipe2(FStop, O_CLOEXEC) != 0)
            FStop[0] = FStop[1] = -1;
        if (FListen >= 0)
            FThread = std::thread([this] { Run(); });
    }
    ~TSmtpTestServer()
    {
        if (FStop[1] >= 0)
            (void)!write(FStop[1], "x", 1);
        if (FThread.joinable())
            FThread.join();
        for (int fd : {FListen, FStop[0], FStop[1]})
            if (fd >= 0)
                close(fd);
    }
    TSmtpTestServer(const TSmtpTestServer&) = delete;
    TSmtpTestServer& operator=(const TSmtpTestServer&) = delete;

    bool Valid() const { return FListen >= 0; }
    uint16_t Port() const { return PortOf(FListen); }
    // "C: line" and "S: line", in order, connections marked by "connect".
    std::vector<std::string> Transcript()
    {
        std::lock_guard lock(FMutex);
        return FTranscript;
    }
    // The client lines only.
    std::vector<std::string> Commands()
    {
        std::vector<std::string> out;
        for (const std::string& line : Transcript())
            if (line.rfind("C: ", 0) == 0)
                out.push_back(line.substr(3));
        return out;
    }
    // The data of each mail as it crossed the wire (still dot-stuffed, without the final dot).
    std::vector<std::string> Data()
    {
        std::lock_guard lock(FMutex);
        return FData;
    }
    int Connections()
    {
        std::lock_guard lock(FMutex);
        return FConnections;
    }

private:
    void Log(const std::string& line)
    {
        std::lock_guard lock(FMutex);
        FTranscript.push_back(line);
    }
    bool Send(int fd, const std::string& reply)
    {
        if (reply == "<silent>") {
            // Wait for the client to give up.
            pollfd p[2] = {{fd, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            poll(p, 2, 20000);
            return false;
        }
        if (reply == "<close>")
            return false;
        size_t start = 0;
        while (start < reply.size()) {
            const size_t end = std::min(reply.find("\r\n", start), reply.size());
            Log("S: " + reply.substr(start, end - start));
            start = end + 2;
        }
        const std::string bytes = reply + "\r\n";
        return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    // One line from the client; false at its end, on a stop or after 10 s of silence.
    bool ReadLine(int fd, std::string& pending, std::string& line)
    {
        for (;;) {
            const size_t end = pending.find("\r\n");
            if (end != std::string::npos) {
                line = pending.substr(0, end);
                pending.erase(0, end + 2);
                return true;
            }
            pollfd p[2] = {{fd, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(p, 2, 10000) <= 0 || (p[1].revents & POLLIN))
                return false;
            char buffer[4096];
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            pending.append(buffer, size_t(got));
        }
    }
    void Serve(int fd)
    {
        {
            std::lock_guard lock(FMutex);
            ++FConnections;
            FTranscript.push_back("connect");
        }
        std::string pending, line;
        if (!Send(fd, FScript.Greeting))
            return;
        int credentials = 0;
        while (ReadLine(fd, pending, line)) {
            Log("C: " + line);
            std::string verb;
            if (credentials > 0)
                verb = credentials == 1 ? "AUTH1" : "AUTH2";
            else {
                verb = line.substr(0, line.find_first_of(" :"));
                for (char& c : verb)
                    c = char(toupper(static_cast<unsigned char>(c)));
            }
            const std::string reply = FScript.ReplyTo(verb, line);
            if (verb == "AUTH" || credentials == 1)
                credentials = reply.rfind("334", 0) == 0 ? credentials + 1 : 0;
            else if (credentials == 2)
                credentials = 0;
            if (!Send(fd, reply))
                return;
            if (verb == "DATA" && reply.rfind("354", 0) == 0) {
                std::string data;
                for (;;) {
                    if (!ReadLine(fd, pending, line))
                        return;
                    if (line == ".")
                        break;
                    data += line + "\r\n";
                }
                Log("C: <data " + std::to_string(data.size()) + " bytes>");
                Log("C: .");
                {
                    std::lock_guard lock(FMutex);
                    FData.push_back(data);
                }
                if (!Send(fd, FScript.ReplyTo(".")))
                    return;
            }
            if (verb == "QUIT")
                return;
        }
    }
    void Run()
    {
        for (;;) {
            pollfd p[2] = {{FListen, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN))
                return;
            const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            Serve(fd);
            close(fd);
        }
    }

    TSmtpScript FScript;
    int FListen = -1;
    int FStop[2] = {-1, -1};
    std::thread FThread;
    std::mutex FMutex;
    std::vector<std::string> FTranscript, FData;
    int FConnections = 0;
};

// ---- DNS ----------------------------------------------------------------------------------

inline std::string DnsWord(uint16_t v) { return std::string{char(v >> 8), char(v & 0xFF)}; }

inline std::string DnsName(const std::string& name)
{
    std::string out;
    size_t start = 0;
    while (start < name.size()) {
        const size_t dot = std::min(name.find('.', start), name.size());
        out += char(dot - start);
        out += name.substr(start, dot - start);
        start = dot + 1;
    }
    return out + '\0';
}

inline std::string AData(const std::string& address)
{
    in_addr a{};
    inet_pton(AF_INET, address.c_str(), &a);
    return std::string(reinterpret_cast<const char*>(&a), 4);
}
inline std::string MxData(uint16_t preference, const std::string& name) { return DnsWord(preference) + DnsName(name); }

struct TDnsRecord {
    std::string Name;
    uint16_t Type = 0;
    std::string Data;
};
struct TDnsReply {
    std::vector<TDnsRecord> Answers, Authorities, Additional;
    uint16_t Flags = 0x8180;
};

// The question of a query: its name (lower case) and type; empty name for a broken query.
inline std::pair<std::string, uint16_t> DnsQuestion(const std::string& query)
{
    std::string name;
    size_t at = 12;
    while (at < query.size() && query[at] != 0) {
        const size_t length = uint8_t(query[at]);
        if (!name.empty())
            name += '.';
        name += query.substr(at + 1, length);
        at += 1 + length;
    }
    if (at + 3 >= query.size())
        return {};
    for (char& c : name)
        c = char(tolower(static_cast<unsigned char>(c)));
    return {name, uint16_t(uint8_t(query[at + 1]) << 8 | uint8_t(query[at + 2]))};
}

// A reply to the query: its identifier and question, then the records (names uncompressed).
inline std::string BuildDnsReply(const std::string& query, const TDnsReply& reply)
{
    size_t end = 12;
    while (end < query.size() && query[end] != 0)
        end += 1 + uint8_t(query[end]);
    end += 5;
    std::string out = query.substr(0, 2) + DnsWord(reply.Flags) + DnsWord(1) + DnsWord(uint16_t(reply.Answers.size())) +
                      DnsWord(uint16_t(reply.Authorities.size())) + DnsWord(uint16_t(reply.Additional.size())) +
                      query.substr(12, end - 12);
    for (const auto* section : {&reply.Answers, &reply.Authorities, &reply.Additional})
        for (const TDnsRecord& r : *section)
            out += DnsName(r.Name) + DnsWord(r.Type) + DnsWord(1) + std::string("\0\0\x0e\x10", 4) + DnsWord(uint16_t(r.Data.size())) +
                   r.Data;
    return out;
}

// Answers queries by a handler; every question is logged as "TYPE name" ("MX one.test").
class TDnsTestServer {
public:
    using THandler = std::function<std::optional<TDnsReply>(const std::string& name, uint16_t type)>;
    // Bytes to send before the real reply, from another port of the same address (a spoof).
    using TSpoof = std::function<std::string(const std::string& query)>;

    TDnsTestServer(const std::string& address, uint16_t port, THandler handler, TSpoof spoof = {})
        : FHandler(std::move(handler))
        , FSpoof(std::move(spoof))
    {
        FFd = BoundSocket(SOCK_DGRAM, address, port);
        FSpoofFd = BoundSocket(SOCK_DGRAM, address, 0);
        if (pipe2(FStop, O_CLOEXEC) != 0)
            FStop[0] = FStop[1] = -1;
        if (FFd >= 0)
            FThread = std::thread([this] { Run(); });
    }
    ~TDnsTestServer()
    {
        if (FStop[1] >= 0)
            (void)!write(FStop[1], "x", 1);
        if (FThread.joinable())
            FThread.join();
        for (int fd : {FFd, FSpoofFd, FStop[0], FStop[1]})
            if (fd >= 0)
                close(fd);
    }
    TDnsTestServer(const TDnsTestServer&) = delete;
    TDnsTestServer& operator=(const TDnsTestServer&) = delete;

    bool Valid() const { return FFd >= 0; }
    uint16_t Port() const { return PortOf(FFd); }
    std::vector<std::string> Queries()
    {
        std::lock_guard lock(FMutex);
        return FQueries;
    }
    std::vector<uint16_t> Identifiers()
    {
        std::lock_guard lock(FMutex);
        return FIdentifiers;
    }

private:
    void Run()
    {
        for (;;) {
            pollfd p[2] = {{FFd, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN))
                return;
            char buffer[1024];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(FFd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got <= 0)
                continue;
            const std::string query(buffer, size_t(got));
            const auto [name, type] = DnsQuestion(query);
            const char* typeName = type == 15 ? "MX" : type == 2 ? "NS" : type == 1 ? "A" : type == 28 ? "AAAA" : "?";
            {
                std::lock_guard lock(FMutex);
                FQueries.push_back(std::string(typeName) + " " + name);
                FIdentifiers.push_back(uint16_t(uint8_t(query[0]) << 8 | uint8_t(query[1])));
            }
            if (FSpoof) {
                const std::string forged = FSpoof(query);
                sendto(FSpoofFd, forged.data(), forged.size(), 0, reinterpret_cast<const sockaddr*>(&from), length);
            }
            const std::optional<TDnsReply> reply = FHandler(name, type);
            const std::string bytes = BuildDnsReply(query, reply ? *reply : TDnsReply{});
            sendto(FFd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from), length);
        }
    }

    THandler FHandler;
    TSpoof FSpoof;
    int FFd = -1, FSpoofFd = -1;
    int FStop[2] = {-1, -1};
    std::thread FThread;
    std::mutex FMutex;
    std::vector<std::string> FQueries;
    std::vector<uint16_t> FIdentifiers;
};

} // namespace MailServers
