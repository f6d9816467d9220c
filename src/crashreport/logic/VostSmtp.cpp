// The report mail's SMTP client. It runs in a crashed process, so it never raises, never lets a
// broken connection send SIGPIPE, bounds every wait and every reply, and streams attachments.
#include "crashreport/logic/VostSmtp.h"

#include "crashreport/logic/VostCrypt.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t MaxCommandPiece = 1024;
constexpr size_t MaxReplyBytes = 64 * 1024;
constexpr int MaxReplyLines = 100;
constexpr size_t MaxLineBytes = 998; // RFC 5322, without the CR LF
constexpr std::string_view Boundary = "VostReportMail_SMTP_Boundary";
constexpr size_t Base64LineBytes = 57; // 76 characters

const char Hex[] = "0123456789ABCDEF";

bool IsAlphaNumeric(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file name inside a quoted MIME parameter.
std::string QuotedParameter(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (uint8_t(c) < ' ' || c == 0x7F)
            continue;
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

bool LongestLineOver(std::string_view text, size_t limit)
{
    size_t run = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n')
            run = 0;
        else if (++run > limit)
            return true;
    }
    return false;
}

class TSocket {
public:
    TSocket() = default;
    ~TSocket() { Close(); }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    bool Connect(const TNetAddress& address, std::chrono::milliseconds timeout)
    {
        Close();
        FFd = socket(address.Storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (FFd < 0)
            return false;
        if (connect(FFd, reinterpret_cast<const sockaddr*>(&address.Storage), address.Length) != 0) {
            if (errno != EINPROGRESS || !Wait(POLLOUT, timeout)) {
                Close();
                return false;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(FFd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
                Close();
                return false;
            }
        }
        FPeer = address;
        return true;
    }
    void Close()
    {
        if (FFd >= 0)
            close(FFd);
        FFd = -1;
    }
    const TNetAddress& Peer() const { return FPeer; }

    // The end of the whole mail: no wait goes past it.
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { FDeadline = deadline; }

    bool Wait(short events, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::min(std::chrono::steady_clock::now() + timeout, FDeadline);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{FFd, events, 0};
            // In slices: the mail is bounded by its deadline, so the crash reporter's guard is
            // told that the work goes on.
            const int ready = poll(&p, 1, int(std::clamp<int64_t>(left.count(), 0, 1000)));
            CrashReporterHeartbeat();
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0 && std::chrono::steady_clock::now() < deadline)
                continue;
            return ready > 0 && (p.revents & (events | POLLHUP | POLLERR));
        }
    }

    bool SendAll(std::string_view bytes, std::chrono::milliseconds timeout)
    {
        while (!bytes.empty()) {
            if (!Wait(POLLOUT, timeout))
                return false;
            const ssize_t sent = send(FFd, bytes.data(), std::min(bytes.size(), MaxCommandPiece), MSG_NOSIGNAL);
            if (sent < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (sent <= 0)
                return false;
            bytes.remove_prefix(size_t(sent));
        }
        return true;
    }

    // Up to 1024 more bytes into the buffer; false on time-out, end or error.
    bool Receive(std::string& into, std::chrono::milliseconds timeout)
    {
        for (;;) {
            if (!Wait(POLLIN, timeout))
                return false;
            char buffer[1024];
            const ssize_t got = recv(FFd, buffer, sizeof buffer, 0);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0)
                return false;
            into.append(buffer, size_t(got));
            return true;
        }
    }

private:
    int FFd = -1;
    TNetAddress FPeer;
    std::chrono::steady_clock::time_point FDeadline = std::chrono::steady_clock::time_point::max();
};

class TSmtpConnection {
public:
    explicit TSmtpConnection(std::chrono::milliseconds timeout)
        : FTimeout(timeout)
    {
    }
    TSocket Socket;

    // After a reply that broke the rules or never came, nothing more is said: the next reply
    // read could belong to the previous command.
    bool Command(std::string_view text) { return !FBroken && Socket.SendAll(std::string(text) + "\r\n", FTimeout); }

    // One reply, all of its lines; good when it starts with the code and is longer than it.
    bool Reply(std::string_view code, bool* authLogin = nullptr)
    {
        std::vector<std::string> lines;
        size_t bytes = 0;
        for (;;) {
            size_t end = FPending.find('\n');
            while (end == std::string::npos) {
                if (FBroken || FPending.size() + bytes > MaxReplyBytes || !Socket.Receive(FPending, FTimeout))
                    return Broken();
                end = FPending.find('\n');
            }
            std::string line = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            bytes += end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            if (bytes > MaxReplyBytes || int(lines.size()) > MaxReplyLines)
                return Broken();
            if (line.size() < 4 || line[3] != '-')
                break;
        }
        if (authLogin) {
            for (std::string line : lines) {
                std::replace(line.begin(), line.end(), '=', ' ');
                if (line.size() > 4 && StartsWithNoCase("AUTH ", std::string_view(line).substr(4)) &&
                    FindSubNoCase(" LOGIN ", line + " ", 1, int(line.size()) + 1) > 0)
                    *authLogin = true;
            }
        }
        return lines.front().size() > code.size() && lines.front().compare(0, code.size(), code) == 0;
    }

    bool Exchange(std::string_view command, std::string_view code, bool* authLogin = nullptr)
    {
        return Command(command) && Reply(code, authLogin);
    }

private:
    bool Broken()
    {
        FBroken = true;
        return false;
    }
    std::chrono::milliseconds FTimeout;
    std::string FPending;
    bool FBroken = false;
};

// The DATA stream: dot-stuffing (RFC 5321 4.5.2: a line starting with "." gets one more), sent
// in pieces.
class TDataWriter {
public:
    TDataWriter(TSocket& socket, std::chrono::milliseconds timeout)
        : FSocket(socket)
        , FTimeout(timeout)
    {
    }
    bool Write(std::string_view bytes)
    {
        for (char c : bytes) {
            if (FAtLineStart && c == '.')
                FBuffer += '.';
            FBuffer += c;
            FAtLineStart = c == '\n';
        }
        return FBuffer.size() < 16 * 1024 || Flush();
    }
    bool Finish()
    {
        if (!FAtLineStart)
            FBuffer += "\r\n";
        FBuffer += ".\r\n";
        return Flush();
    }

private:
    bool Flush()
    {
        const bool ok = FSocket.SendAll(FBuffer, FTimeout);
        FBuffer.clear();
        return ok;
    }
    TSocket& FSocket;
    std::chrono::milliseconds FTimeout;
    std::string FBuffer;
    bool FAtLineStart = true;
};

std::vector<TNetAddress> ResolveServer(std::string_view server, uint16_t port)
{
    if (const TNetAddress numeric = ParseNetAddress(server, port); numeric.Valid())
        return {numeric};
    std::vector<TNetAddress> out;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string host(TrimTextCopy(server));
    if (host.empty() || getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
        return out;
    for (addrinfo* a = list; a && out.size() < 8; a = a->ai_next)
        if (a->ai_addrlen <= sizeof(sockaddr_storage)) {
            TNetAddress address;
            std::memcpy(&address.Storage, a->ai_addr, a->ai_addrlen);
            address.Length = a->ai_addrlen;
            out.push_back(address);
        }
    freeaddrinfo(list);
    return out;
}

std::string ComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0])
        return "localhost";
    return name;
}

// Reads a whole regular file in pieces; 0 bytes read at the first call means the file is empty.
class TFileReader {
public:
    explicit TFileReader(const std::string& path)
        : FFd(open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~TFileReader()
    {
        if (FFd >= 0)
            close(FFd);
    }
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;
    bool Opened() const { return FFd >= 0; }
    // False on a read error; an empty piece at the end.
    bool Read(std::string& piece, size_t size)
    {
        piece.resize(size);
        size_t got = 0;
        while (got < size) {
            const ssize_t n = read(FFd, piece.data() + got, size - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            got += size_t(n);
        }
        piece.resize(got);
        return true;
    }

private:
    int FFd;
};

bool IsNonEmptyFile(const std::string& path)
{
    struct stat s {};
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && s.st_size > 0;
}

} // namespace

std::string FormatMailAddress(std::string_view text, bool keepDisplayName, std::string_view appName)
{
    std::string out;
    const size_t open = text.find('<');
    if (open == std::string_view::npos)
        out = "<" + std::string(text) + ">";
    else if (keepDisplayName)
        out = std::string(text);
    else
        out = std::string(text.substr(open));
    ReplaceNoCase(out, "%appname%", appName, true);
    RemoveChars(out, MakeCharSet("\r\n"));
    return out;
}

std::string NormaliseMailList(std::string_view list, char separator)
{
    std::string text(list);
    std::replace(text.begin(), text.end(), ';', ',');
    std::string out;
    for (const std::string& item : SplitMailList(text, ',')) {
        if (!out.empty())
            out += separator;
        out += item;
    }
    return out;
}

std::vector<std::string> SplitMailList(std::string_view list, char separator)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(separator, start), list.size());
        std::string item = TrimTextCopy(list.substr(start, end - start));
        if (!item.empty())
            out.push_back(item);
        start = end + 1;
    }
    return out;
}

std::string EncodeMailSubject(std::string_view subject)
{
    if (subject.empty())
        return {};
    constexpr std::string_view Prefix = "=?UTF-8?Q?", Suffix = "?=";
    constexpr size_t MaxWord = 75;
    std::string out, word;
    const auto flush = [&] {
        if (!out.empty())
            out += "\r\n ";
        out += std::string(Prefix) + word + std::string(Suffix);
        word.clear();
    };
    for (size_t i = 0; i < subject.size();) {
        // One character: a UTF-8 lead byte and its continuation bytes stay in one word.
        size_t length = 1;
        while (i + length < subject.size() && (uint8_t(subject[i + length]) & 0xC0) == 0x80 && length < 4)
            ++length;
        std::string encoded;
        for (size_t k = i; k < i + length; ++k) {
            const uint8_t c = uint8_t(subject[k]);
            if (IsAlphaNumeric(c))
                encoded += char(c);
            else {
                encoded += '=';
                encoded += Hex[c >> 4];
                encoded += Hex[c & 15];
            }
        }
        if (!word.empty() && Prefix.size() + word.size() + encoded.size() + Suffix.size() > MaxWord)
            flush();
        word += encoded;
        i += length;
    }
    flush();
    return out;
}

std::string MailDateText(std::chrono::system_clock::time_point time)
{
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t seconds = std::chrono::system_clock::to_time_t(time);
    tm t{};
    gmtime_r(&seconds, &t);
    char text[64];
    snprintf(text, sizeof text, "%d %s %04d %02d:%02d:%02d UT", t.tm_mday, Months[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min,
             t.tm_sec);
    return text;
}

std::string MailMessageId(std::chrono::system_clock::time_point time)
{
    // File time: 100 ns units since 1601-01-01.
    constexpr uint64_t EpochDifference = 116444736000000000ull;
    const auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count() / 100;
    const uint64_t fileTime = uint64_t(units) + EpochDifference;
    std::string digits(16, '0');
    for (int i = 0; i < 16; ++i)
        digits[size_t(i)] = Hex[(fileTime >> (60 - 4 * i)) & 15];
    digits[0] = '<';
    return digits + "@VostExcept>";
}

std::string CrLfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

std::string QuotedPrintable(std::string_view text)
{
    constexpr size_t MaxLine = 76;
    std::string out;
    size_t column = 0;
    const auto put = [&](std::string_view piece) {
        // A soft break ("=" at the end) keeps room for itself.
        if (column + piece.size() > MaxLine - 1) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = uint8_t(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\r\n";
            column = 0;
            ++i;
            continue;
        }
        const bool lineEnd = i + 1 == text.size() || (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n');
        const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnd);
        if (literal) {
            const char one[1] = {char(c)};
            put(std::string_view(one, 1));
        } else {
            const char three[3] = {'=', Hex[c >> 4], Hex[c & 15]};
            put(std::string_view(three, 3));
        }
    }
    return out;
}

bool WriteMailContent(const TMailContent& content, const std::function<bool(std::string_view)>& sink)
{
    std::string body = CrLfLines(content.Body);
    const bool quoted = LongestLineOver(body, MaxLineBytes);
    if (quoted)
        body = QuotedPrintable(body);
    std::vector<std::string> attachments;
    for (const std::string& path : content.Attachments)
        if (IsNonEmptyFile(path))
            attachments.push_back(path);

    std::string head = "To: " + content.To + "\r\nFrom: " + content.From + "\r\nSubject: " + EncodeMailSubject(content.Subject) +
                       "\r\nDate: " + MailDateText(content.Time) + "\r\nMessage-ID: " + MailMessageId(content.Time) +
                       "\r\nMIME-Version: 1.0\r\n";
    const std::string textHeaders = std::string("Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: ") +
                                    (quoted ? "quoted-printable" : "8bit") + "\r\n";
    if (attachments.empty())
        return sink(head + textHeaders + "\r\n") && sink(body);

    // A boundary that the text itself contains would cut the message apart.
    std::string boundary(Boundary);
    for (int n = 1; body.find("--" + boundary) != std::string::npos; ++n)
        boundary = std::string(Boundary) + "_" + std::to_string(n);
    head += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n";
    if (!sink(head + "--" + boundary + "\r\n" + textHeaders + "\r\n") || !sink(body) || !sink("\r\n"))
        return false;
    for (const std::string& path : attachments) {
        TFileReader file(path);
        std::string piece;
        if (!file.Opened() || !file.Read(piece, Base64LineBytes * 256))
            return false;
        if (piece.empty())
            continue; // emptied since it was looked at
        const std::string name = QuotedParameter(BaseName(path));
        const bool png = name.size() >= 4 && SameTextNoCase(std::string_view(name).substr(name.size() - 4), ".png");
        if (!sink("--" + boundary + "\r\nContent-Type: " + (png ? "image/png" : "application/octet-stream") + "; name=\"" + name +
                  "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n"))
            return false;
        while (!piece.empty()) {
            std::string lines;
            for (size_t at = 0; at < piece.size(); at += Base64LineBytes)
                lines += Base64Encode(piece.data() + at, int64_t(std::min(Base64LineBytes, piece.size() - at))) + "\r\n";
            if (!sink(lines) || !file.Read(piece, Base64LineBytes * 256))
                return false;
        }
    }
    return sink("--" + boundary + "--\r\n");
}

bool SmtpSession(std::string sender, std::string_view recipients, std::string_view subject, std::string_view server,
                 const std::vector<std::string>& attachments, std::string_view body, uint16_t port, std::string_view password,
                 std::string_view account, const TSmtpConfig& config, TSmtpStatus* status)
{
    try {
        std::vector<TNetAddress> addresses;
        if (!TrimTextCopy(server).empty())
            addresses = ResolveServer(server, port);
        else {
            const TDnsHost exchanger = LookupMailExchanger(recipients, config.Dns);
            addresses = exchanger.Addresses;
            for (TNetAddress& a : addresses)
                a.SetPort(port);
        }
        TSmtpConnection smtp(config.ReplyTimeout);
        smtp.Socket.SetDeadline(config.Deadline != std::chrono::steady_clock::time_point {}
                ? config.Deadline
                : std::chrono::steady_clock::now() + config.MailTimeout);
        bool connected = false;
        for (const TNetAddress& a : addresses)
            if ((connected = smtp.Socket.Connect(a, config.ReplyTimeout)))
                break;
        if (!connected || !smtp.Reply("220"))
            return false;

        const std::string helo = config.HeloName.empty() ? ComputerName() : config.HeloName;
        bool authLogin = false;
        if (!smtp.Exchange("EHLO " + helo, "250", &authLogin)) {
            authLogin = false;
            if (!smtp.Exchange("HELO " + helo, "250"))
                return false;
        }
        const auto quit = [&smtp] { return smtp.Exchange("QUIT", "221"); };

        // An empty sender becomes the recipient; with several, the first, so that the command
        // stays one address.
        if (sender.empty() && !SplitMailList(recipients).empty())
            sender = SplitMailList(recipients).front();
        if (!account.empty() || !password.empty()) {
            // Without TLS, credentials would cross the network in clear text.
            if (!smtp.Socket.Peer().IsLoopback()) {
                authLogin = false;
                if (status)
                    status->PasswordRefused = true;
            }
            if (!authLogin || !smtp.Exchange("AUTH LOGIN", "334") || !smtp.Exchange(Base64EncodeText(account), "334") ||
                !smtp.Exchange(Base64EncodeText(password), "235")) {
                quit();
                return false;
            }
        }

        bool delivered = false;
        if (smtp.Exchange("MAIL FROM:" + FormatMailAddress(sender, false, config.AppName), "250")) {
            bool accepted = false;
            for (const std::string& recipient : SplitMailList(recipients))
                if (smtp.Exchange("RCPT TO:" + FormatMailAddress(recipient, false, config.AppName), "250"))
                    accepted = true;
            if (accepted) {
                if (subject.empty() && body.empty())
                    delivered = smtp.Exchange("RSET", "250");
                else if (smtp.Exchange("DATA", "354")) {
                    TMailContent content;
                    for (const std::string& r : SplitMailList(recipients))
                        content.To += (content.To.empty() ? "" : ", ") + FormatMailAddress(r, true, config.AppName);
                    content.From = FormatMailAddress(sender, true, config.AppName);
                    content.Subject = std::string(subject);
                    content.Time = config.Now();
                    content.Body = std::string(body);
                    content.Attachments = attachments;
                    TDataWriter data(smtp.Socket, config.ReplyTimeout);
                    // A failed attachment read must not end in a mail that looks complete: the
                    // connection is dropped without the final dot.
                    if (!WriteMailContent(content, [&data](std::string_view b) { return data.Write(b); }) || !data.Finish())
                        return false;
                    delivered = smtp.Reply("250");
                }
            }
        }
        const bool closed = quit();
        return delivered && closed;
    } catch (...) {
        return false;
    }
}

bool SendSmtpMail(std::string_view sender, std::string_view recipients, std::string_view subject, uint16_t port,
                  std::string_view password, std::string_view account, std::string_view server,
                  const std::vector<std::string>& attachments, std::string_view body, const TSmtpConfig& config, TSmtpStatus* status)
{
    const std::string list = NormaliseMailList(recipients);
    if (list.empty())
        return false;
    TSmtpConfig bounded = config;
    if (bounded.Deadline == std::chrono::steady_clock::time_point {})
        bounded.Deadline = std::chrono::steady_clock::now() + config.MailTimeout;
    if (!TrimTextCopy(server).empty())
        return SmtpSession(std::string(sender), list, subject, server, attachments, body, port, password, account, bounded, status);
    bool any = false;
    for (const std::string& recipient : SplitMailList(list))
        if (SmtpSession(std::string(sender), recipient, subject, {}, attachments, body, port, {}, {}, bounded, status))
            any = true;
    return any;
}
