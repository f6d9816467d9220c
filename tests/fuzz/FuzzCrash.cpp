// The crash reporter's name-server replies and mail conversation.
#include "FuzzSupport.h"
#include "../support/LoopbackListener.h"

#include "crashreport/logic/VostDns.h"
#include "crashreport/logic/VostSmtp.h"

#include <chrono>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const DnsNames[] = {"example.org", "mail.example.org", "a.b.c.example", "x"};
const TDnsType DnsTypes[] = {TDnsType::A, TDnsType::NS, TDnsType::MX, TDnsType::AAAA};

} // namespace

int FuzzDns(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view rest = Bytes(data + 1, size - 1);
    if (data[0] == 255) {
        for (const std::string& server : ParseResolvConf(rest))
            ParseNetAddress(server, 53);
        return 0;
    }
    const std::string query = BuildDnsQuery(0x1234, DnsNames[(data[0] >> 2) % 4], DnsTypes[data[0] % 4]);
    Check(!query.empty(), "no query for a valid name");
    TDnsAnswers answers;
    if (!ParseDnsReply(rest, query, answers))
        return 0;
    for (const TDnsHost& host : answers.Answers)
        Check(host.Name.size() <= 255, "an answer's name over 255 bytes");
    for (const TDnsHost& host : answers.Authorities)
        Check(host.Name.size() <= 255, "an authority's name over 255 bytes");
    return 0;
}

namespace {

// A mail server on 127.0.0.1 that says its whole part at once and then listens to the end.
class TScriptedServer {
public:
    TScriptedServer()
    {
        FListener = ListenOnLoopback(FPort);
        Check(FListener >= 0, "no loopback listener");
    }
    uint16_t Port() const { return FPort; }

    std::thread Serve(std::string script)
    {
        return std::thread([this, script = std::move(script)] {
            pollfd p{FListener, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0)
                return;
            const int fd = accept(FListener, nullptr, nullptr);
            if (fd < 0)
                return;
            for (size_t at = 0; at < script.size();) {
                const ssize_t sent = send(fd, script.data() + at, script.size() - at, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                at += size_t(sent);
            }
            shutdown(fd, SHUT_WR);
            char buffer[4096];
            for (;;) {
                // Acknowledged at once: the client's next command would otherwise wait for the
                // delayed acknowledgement of its last one, some 40 ms an input.
                const int on = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
                pollfd q{fd, POLLIN, 0};
                if (poll(&q, 1, 5000) <= 0 || recv(fd, buffer, sizeof buffer, 0) <= 0)
                    break;
            }
            close(fd);
        });
    }

private:
    int FListener = -1;
    uint16_t FPort = 0;
};

} // namespace

int FuzzSmtp(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static TScriptedServer server;
    const bool account = data[0] & 1;
    const bool mail = data[0] & 2;
    TSmtpConfig config;
    config.ReplyTimeout = std::chrono::milliseconds(3000);
    config.HeloName = "fuzz.example";
    std::thread peer = server.Serve(std::string(Bytes(data + 1, size - 1)));
    SmtpSession("sender@example.org", "rcpt@example.org,second@example.org", mail ? "Subject \xC3\xA9" : "", "127.0.0.1", {},
                mail ? "Body\r\n.dot line\r\n" : "", server.Port(), account ? "secret" : "", account ? "user" : "", config);
    peer.join();
    return 0;
}

