// Our own SMTP client for the report mail: address forms, the message with its MIME parts, and
// one conversation per server. No TLS: credentials only ever go to a server on this machine.
#pragma once

#include "crashreport/logic/VostDns.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// "<" + text + ">" when the text has no "<"; with one, the text as it is when the display name is
// kept, else the part from the "<" on. Then every "%appname%" becomes appName. Line breaks are
// removed, so that an address can never add a header or a command.
std::string FormatMailAddress(std::string_view text, bool keepDisplayName, std::string_view appName = "Tarvell");
// ";" becomes ","; blanks at both ends and around each "," go.
std::string NormaliseMailList(std::string_view list, char separator = ',');
// The items of a normalised list, empty ones dropped.
std::vector<std::string> SplitMailList(std::string_view list, char separator = ',');

// The Subject header's value: "=?UTF-8?Q?" + every byte that is no ASCII letter or digit as "="
// and two upper-case hexadecimal digits + "?=". A long subject becomes several encoded words on
// folded lines, none longer than 75 characters and none splitting a character.
std::string EncodeMailSubject(std::string_view subject);
// "10 Dec 2026 20:05:57 UT", in UTC.
std::string MailDateText(std::chrono::system_clock::time_point time);
// "<" + 15 hexadecimal digits of the time as a 64-bit file time + "@VostExcept>".
std::string MailMessageId(std::chrono::system_clock::time_point time);
// Quoted-printable with lines of at most 76 characters; CR LF in the text stays a line break.
std::string QuotedPrintable(std::string_view text);
// Line ends made CR LF: lone LF and lone CR become CR LF.
std::string CrLfLines(std::string_view text);

struct TMailContent {
    std::string To;      // header form, display names kept
    std::string From;
    std::string Subject; // clear text, UTF-8
    std::chrono::system_clock::time_point Time;
    std::string Body;    // UTF-8
    std::vector<std::string> Attachments; // paths; missing and empty files are skipped
};

// Writes the message (headers, then the plain or multipart body) in pieces to the sink; stops
// with false when the sink fails or an attachment cannot be read. Line ends are CR LF.
bool WriteMailContent(const TMailContent& content, const std::function<bool(std::string_view)>& sink);

struct TSmtpConfig {
    std::chrono::milliseconds ReplyTimeout{7000};
    // The whole mail ends by then, however slowly a server trickles its answers.
    std::chrono::milliseconds MailTimeout{60000};
    // The end of the whole mail; none given: MailTimeout from the start of the conversation (a
    // mail to several exchangers shares one).
    std::chrono::steady_clock::time_point Deadline{};
    uint16_t DirectPort = 25;  // the port of a mail exchanger
    std::string HeloName;      // empty: the computer's name
    std::string AppName = "Tarvell";
    TDnsConfig Dns;
    std::function<std::chrono::system_clock::time_point()> Now = [] { return std::chrono::system_clock::now(); };
};

// Why a conversation failed; a password that we refused to send is told to the user.
struct TSmtpStatus {
    bool PasswordRefused = false; // an account was configured for a server that is not on this machine
};

// One conversation: the server (name or address), else the mail exchanger of the recipients. The
// recipients are a normalised list; an empty sender becomes the recipients. True when the mail
// (or, with neither subject nor body, the reset) and the closing QUIT were accepted.
bool SmtpSession(std::string sender, std::string_view recipients, std::string_view subject, std::string_view server,
                 const std::vector<std::string>& attachments, std::string_view body, uint16_t port, std::string_view password,
                 std::string_view account, const TSmtpConfig& config, TSmtpStatus* status = nullptr);

// With a server: one conversation for all recipients. Without: one per recipient, each to its
// own domain's mail exchanger at the direct port; true when any of them succeeded.
bool SendSmtpMail(std::string_view sender, std::string_view recipients, std::string_view subject, uint16_t port,
                  std::string_view password, std::string_view account, std::string_view server,
                  const std::vector<std::string>& attachments, std::string_view body, const TSmtpConfig& config,
                  TSmtpStatus* status = nullptr);
