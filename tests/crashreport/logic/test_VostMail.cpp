// The report mail: address and header forms, the MIME message, SMTP conversations with a
// scripted loopback server, the exchanger look-up with loopback name servers (the root walk and
// spoofed replies included), a real mail server re-reading what we sent, and the desktop routes
// through stub programs on PATH.
#include "crashreport/logic/VostDns.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostMail.h"
#include "crashreport/logic/VostSmtp.h"

#include "CrashTestSupport.h"
#include "MailTestServers.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <sys/stat.h>

using namespace MailServers;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Join(const std::vector<std::string>& items, const std::string& separator = "|")
{
    std::string out;
    for (const std::string& i : items)
        out += (out.empty() ? "" : separator) + i;
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find("\r\n", start), text.size());
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::string Base64Decode(const std::string& text)
{
    static const std::string Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t v = Alphabet.find(c);
        if (v == std::string::npos)
            continue;
        bits = bits << 6 | uint32_t(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out += char((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::chrono::system_clock::time_point FixedTime()
{
    using namespace std::chrono;
    return sys_days{year{2026} / December / 10} + 20h + 5min + 57s;
}

// Everything pointed at this machine: short waits, fixed clock and name, our own name servers.
TSmtpConfig LoopbackConfig(const std::string& folder, uint16_t dnsPort = 1, bool withSystemServer = false)
{
    TSmtpConfig c;
    c.ReplyTimeout = 2000ms;
    c.HeloName = "reporter.test";
    c.Now = [] { return FixedTime(); };
    c.Dns.Port = dnsPort;
    c.Dns.ReplyTimeout = 1000ms;
    c.Dns.RootServers = {"127.0.0.2"};
    c.Dns.ResolvConfPath = folder + "/resolv.conf";
    WriteTestFile(c.Dns.ResolvConfPath, withSystemServer ? "# test\nnameserver 127.0.0.1\n" : "");
    c.Dns.RouteFiles = {folder + "/route"};
    WriteTestFile(folder + "/route", "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                                     "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
    return c;
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FAttempts = NonLoopbackDestinations();
    }
    void TearDown() override { EXPECT_EQ(NonLoopbackDestinations(), FAttempts) << "a destination outside this machine was tried"; }
    std::string Folder() const { return FDir.path().toStdString(); }
    std::string File(const std::string& name, const std::string& bytes) const
    {
        const std::string path = Folder() + "/" + name;
        WriteTestFile(path, bytes);
        return path;
    }
    QTemporaryDir FDir;
    int FAttempts = 0;
};

} // namespace

// ---- forms ---------------------------------------------------------------------------------

TEST(MailForms, Addresses)
{
    struct {
        const char* text;
        bool keepName;
        const char* expected;
    } cases[] = {
        {"a@b.test", false, "<a@b.test>"},
        {"Ann <a@b.test>", true, "Ann <a@b.test>"},
        {"Ann <a@b.test>", false, "<a@b.test>"},
        {"%appname%@maker.test", false, "<Tarvell@maker.test>"},
        {"a@b.test\r\nBcc: c@d.test", false, "<a@b.testBcc: c@d.test>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatMailAddress(c.text, c.keepName), c.expected) << c.text;

    EXPECT_EQ(NormaliseMailList(" a@x.test ; b@y.test ,c@z.test "), "a@x.test,b@y.test,c@z.test");
    EXPECT_EQ(NormaliseMailList(" ; , "), "");
    EXPECT_EQ(Join(SplitMailList("a|| b |", '|')), "a|b");
}

TEST(MailForms, SubjectDateAndMessageId)
{
    EXPECT_EQ(EncodeMailSubject("Tarvell bug report"), "=?UTF-8?Q?Tarvell=20bug=20report?=");
    EXPECT_EQ(EncodeMailSubject("Tarvell.exe bug report"), "=?UTF-8?Q?Tarvell=2Eexe=20bug=20report?=");
    EXPECT_EQ(EncodeMailSubject("Grüße"), "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?=");
    EXPECT_EQ(EncodeMailSubject(""), "");

    // A long subject: folded encoded words of at most 75 characters, each whole characters.
    std::string subject;
    for (int i = 0; i < 60; ++i)
        subject += "ü.";
    const std::string encoded = EncodeMailSubject(subject);
    std::string decoded;
    for (const std::string& line : Lines(encoded)) {
        const std::string word = line[0] == ' ' ? line.substr(1) : line;
        ASSERT_LE(word.size(), 75u) << word;
        ASSERT_EQ(word.substr(0, 10), "=?UTF-8?Q?");
        ASSERT_EQ(word.substr(word.size() - 2), "?=");
        const std::string text = word.substr(10, word.size() - 12);
        EXPECT_NE(text.substr(0, 3), "=BC") << "a character split between words";
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '=') {
                decoded += text[i];
                continue;
            }
            decoded += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    EXPECT_GT(Lines(encoded).size(), 1u);
    EXPECT_EQ(decoded, subject);

    EXPECT_EQ(MailDateText(FixedTime()), "10 Dec 2026 20:05:57 UT");
    EXPECT_EQ(MailDateText(std::chrono::sys_days{std::chrono::year{2027} / 1 / 1}), "1 Jan 2027 00:00:00 UT");
    // The Unix epoch as a file time is 0x019DB1DED53E8000.
    EXPECT_EQ(MailMessageId(std::chrono::system_clock::time_point{}), "<19DB1DED53E8000@VostExcept>");
}

TEST(MailForms, ExceptionMessageOfReport)
{
    const std::string report = "date/time          : 2026-12-10\r\nexception message  : Access violation at address $0000000000401234.\r\n"
                               "version            : 1.0\r\n";
    EXPECT_EQ(ReportExceptionMessage(report), "Access violation at address $0000000000401234.");
    EXPECT_EQ(ReportExceptionMessage("date/time : x\r\nsomething else : y\r\n"), "Unknown");
}

TEST(MailForms, QuotedPrintableKeepsLinesShort)
{
    EXPECT_EQ(QuotedPrintable("a=b"), "a=3Db");
    EXPECT_EQ(QuotedPrintable("a \r\nb\t"), "a=20\r\nb=09");
    EXPECT_EQ(QuotedPrintable("Grüße"), "Gr=C3=BC=C3=9Fe");
    const std::string long100 = QuotedPrintable(std::string(100, 'x'));
    EXPECT_EQ(long100, std::string(75, 'x') + "=\r\n" + std::string(25, 'x'));
    // An escape is never split by a soft break.
    for (const std::string& line : Lines(QuotedPrintable(std::string(74, 'x') + "ü")))
        EXPECT_LE(line.size(), 76u);
    EXPECT_EQ(QuotedPrintable(std::string(74, 'x') + "ü"), std::string(74, 'x') + "=\r\n=C3=BC");
    EXPECT_EQ(CrLfLines("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
}

TEST_F(MailTest, MessageLayout)
{
    std::string report;
    for (int i = 0; i < 200; ++i)
        report += char(i);
    const std::string reportFile = File("bugreport.txt", report);
    const std::string png = File("SHOT.PNG", "\x89PNG\r\n");
    const std::string empty = File("empty.txt", "");

    TMailContent content{"<to@one.test>", "VostExcept <to@one.test>", "Tarvell bug report", FixedTime(), "line 1\nline 2\r\n",
                         {reportFile, Folder() + "/missing.txt", empty, png}};
    std::string out;
    ASSERT_TRUE(WriteMailContent(content, [&out](std::string_view b) {
        out += b;
        return true;
    }));
    const std::vector<std::string> lines = Lines(out);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 15);
    EXPECT_EQ(Join(head, "\n"), "To: <to@one.test>\n"
                                "From: VostExcept <to@one.test>\n"
                                "Subject: =?UTF-8?Q?Tarvell=20bug=20report?=\n"
                                "Date: 10 Dec 2026 20:05:57 UT\n"
                                "Message-ID: " + MailMessageId(FixedTime()) + "\n"
                                "MIME-Version: 1.0\n"
                                "Content-Type: multipart/mixed; boundary=\"VostReportMail_SMTP_Boundary\"\n"
                                "\n"
                                "This is a multi-part message in MIME format.\n"
                                "\n"
                                "--VostReportMail_SMTP_Boundary\n"
                                "Content-Type: text/plain; charset=\"utf-8\"\n"
                                "Content-Transfer-Encoding: 8bit\n"
                                "\n"
                                "line 1");
    // Two parts follow the text: the empty and the missing file have none.
    const std::string reportPart = "--VostReportMail_SMTP_Boundary\r\nContent-Type: application/octet-stream; name=\"bugreport.txt\"\r\n"
                                   "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"bugreport.txt\"\r\n\r\n";
    const size_t at = out.find(reportPart);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(0, at).substr(out.find("\r\n\r\nline 1")), "\r\n\r\nline 1\r\nline 2\r\n\r\n");
    const size_t end = out.find("\r\n--", at + reportPart.size());
    const std::vector<std::string> base64 = Lines(out.substr(at + reportPart.size(), end - at - reportPart.size()));
    ASSERT_EQ(base64.size(), 4u);
    EXPECT_EQ(base64[0].size(), 76u);
    EXPECT_EQ(base64[2].size(), 76u);
    EXPECT_EQ(base64[3].size(), 40u); // 200 - 3 * 57 = 29 bytes
    EXPECT_EQ(Base64Decode(Join(base64, "")), report);
    EXPECT_NE(out.find("Content-Type: image/png; name=\"SHOT.PNG\""), std::string::npos);
    EXPECT_EQ(out.find("empty.txt"), std::string::npos);
    EXPECT_EQ(out.find("missing.txt"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 34), "--VostReportMail_SMTP_Boundary--\r\n");

    // Without attachments: the text straight after the headers, with its character set.
    content.Attachments = {empty};
    out.clear();
    ASSERT_TRUE(WriteMailContent(content, [&out](std::string_view b) {
        out += b;
        return true;
    }));
    EXPECT_NE(out.find("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                       "line 1\r\nline 2\r\n"),
              std::string::npos);
    EXPECT_EQ(out.find("multipart"), std::string::npos);
}

TEST_F(MailTest, BoundaryAndLongLines)
{
    struct {
        const char* name;
        std::string body;
        const char* boundary;
        const char* encoding;
    } cases[] = {
        {"plain", "text\r\n", "VostReportMail_SMTP_Boundary", "8bit"},
        {"boundary in the text", "a\r\n--VostReportMail_SMTP_Boundary\r\nb\r\n", "VostReportMail_SMTP_Boundary_1", "8bit"},
        {"both boundaries in the text", "--VostReportMail_SMTP_Boundary\r\n--VostReportMail_SMTP_Boundary_1--\r\n",
         "VostReportMail_SMTP_Boundary_2", "8bit"},
        {"998 bytes", std::string(998, 'x') + "\r\n", "VostReportMail_SMTP_Boundary", "8bit"},
        {"999 bytes", std::string(999, 'x') + "\r\n", "VostReportMail_SMTP_Boundary", "quoted-printable"},
    };
    const std::string attachment = File("a.bin", "data");
    for (const auto& c : cases) {
        std::string out;
        ASSERT_TRUE(WriteMailContent({"<t@o.test>", "<t@o.test>", "s", FixedTime(), c.body, {attachment}}, [&out](std::string_view b) {
            out += b;
            return true;
        }));
        EXPECT_NE(out.find(std::string("boundary=\"") + c.boundary + "\""), std::string::npos) << c.name;
        EXPECT_NE(out.find(std::string("Content-Transfer-Encoding: ") + c.encoding), std::string::npos) << c.name;
        // The message splits into the preamble, the text, the attachment and the end.
        int delimiters = 0;
        for (const std::string& line : Lines(out)) {
            EXPECT_LE(line.size(), 998u) << c.name;
            delimiters += line == std::string("--") + c.boundary || line == std::string("--") + c.boundary + "--";
        }
        EXPECT_EQ(delimiters, 3) << c.name;
    }
}

// ---- SMTP conversations --------------------------------------------------------------------

struct TSessionCase {
    const char* name;
    TSmtpScript script;
    const char* account;
    const char* password;
    bool sent;
    std::vector<std::string> commands; // the data shown as "<data>"
};

TEST_F(MailTest, SmtpConversationSteps)
{
    const std::vector<std::string> mail = {"MAIL FROM:<from@x.test>", "RCPT TO:<to@y.test>", "DATA", "<data>", ".", "QUIT"};
    const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> auth = {"EHLO reporter.test", "AUTH LOGIN", "dXNlcg==", "c2VjcmV0"};
    TSmtpScript plainEhlo;
    plainEhlo.Replies["EHLO"] = "250-mail.test\r\n250 SIZE 1000";
    TSmtpScript oldAuth;
    oldAuth.Replies["EHLO"] = "250-mail.test\r\n250 AUTH=LOGIN PLAIN";
    const auto replying = [](const char* verb, const char* reply) {
        TSmtpScript s;
        s.Replies[verb] = reply;
        return s;
    };
    TSmtpScript noGreeting;
    noGreeting.Greeting = "554 go away";
    TSmtpScript heloOnly = replying("EHLO", "502 not here");
    TSmtpScript neither = heloOnly;
    neither.Replies["HELO"] = "502 neither";
    TSmtpScript manyLines;
    {
        std::string ehlo;
        for (int i = 0; i < 100; ++i)
            ehlo += "250-line " + std::to_string(i) + "\r\n";
        manyLines.Replies["EHLO"] = ehlo + "250 end";
    }
    TSmtpScript hugeLine = replying("EHLO", ("250 " + std::string(70000, 'x')).c_str());

    const std::vector<TSessionCase> cases = {
        {"multi-line EHLO with AUTH LOGIN, on this machine", {}, "user", "secret", true, with(auth, mail)},
        {"AUTH=LOGIN of older servers", oldAuth, "user", "secret", true, with(auth, mail)},
        {"no account: no AUTH", {}, "", "", true, with({"EHLO reporter.test"}, mail)},
        {"account, but no AUTH LOGIN offered", plainEhlo, "user", "", false, {"EHLO reporter.test", "QUIT"}},
        {"greeting refused", noGreeting, "", "", false, {}},
        {"EHLO refused, HELO taken", heloOnly, "", "", true, with({"EHLO reporter.test", "HELO reporter.test"}, mail)},
        {"EHLO and HELO refused", neither, "", "", false, {"EHLO reporter.test", "HELO reporter.test"}},
        {"AUTH refused", replying("AUTH", "504 no"), "user", "secret", false, {"EHLO reporter.test", "AUTH LOGIN", "QUIT"}},
        {"account refused", replying("AUTH1", "535 no"), "user", "secret", false,
         {"EHLO reporter.test", "AUTH LOGIN", "dXNlcg==", "QUIT"}},
        {"password refused", replying("AUTH2", "535 no"), "user", "secret", false, with(auth, {"QUIT"})},
        {"sender refused", replying("MAIL", "550 no"), "", "", false, {"EHLO reporter.test", "MAIL FROM:<from@x.test>", "QUIT"}},
        {"recipient refused", replying("RCPT", "550 no"), "", "", false,
         {"EHLO reporter.test", "MAIL FROM:<from@x.test>", "RCPT TO:<to@y.test>", "QUIT"}},
        {"DATA refused", replying("DATA", "554 no"), "", "", false,
         {"EHLO reporter.test", "MAIL FROM:<from@x.test>", "RCPT TO:<to@y.test>", "DATA", "QUIT"}},
        {"mail refused after the data", replying(".", "554 no"), "", "", false, with({"EHLO reporter.test"}, mail)},
        {"QUIT refused", replying("QUIT", "500 what"), "", "", false, with({"EHLO reporter.test"}, mail)},
        {"connection dropped", replying("MAIL", "<close>"), "", "", false, {"EHLO reporter.test", "MAIL FROM:<from@x.test>"}},
        {"a reply of 101 lines", manyLines, "", "", false, {"EHLO reporter.test"}},
        {"a reply over 64 KiB", hugeLine, "", "", false, {"EHLO reporter.test"}},
    };
    for (const TSessionCase& c : cases) {
        TSmtpTestServer server(c.script);
        ASSERT_TRUE(server.Valid());
        TSmtpStatus status;
        const bool sent = SmtpSession("from@x.test", "to@y.test", "Tarvell bug report", "127.0.0.1", {}, "report\r\n", server.Port(),
                                      c.password, c.account, LoopbackConfig(Folder()), &status);
        EXPECT_EQ(sent, c.sent) << c.name;
        std::vector<std::string> commands = server.Commands();
        for (std::string& line : commands)
            if (line.rfind("<data ", 0) == 0)
                line = "<data>";
        EXPECT_EQ(Join(commands, "\n"), Join(c.commands, "\n")) << c.name << "\n" << Join(server.Transcript(), "\n");
        EXPECT_FALSE(status.PasswordRefused) << c.name;
    }
}

TEST_F(MailTest, SmtpSilentServerTimesOut)
{
    TSmtpScript script;
    script.Replies["RCPT"] = "<silent>";
    TSmtpTestServer server(script);
    TSmtpConfig config = LoopbackConfig(Folder());
    config.ReplyTimeout = 300ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SmtpSession("from@x.test", "to@y.test", "s", "127.0.0.1", {}, "b", server.Port(), {}, {}, config));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(MailTest, SmtpDataIsDotStuffedAndEmptyMailResets)
{
    TSmtpTestServer server({});
    const std::string body = ".\r\n..\r\n.hidden\r\nend.\r\n. \r\nlast";
    ASSERT_TRUE(SmtpSession("from@x.test", "to@y.test", "s", "127.0.0.1", {}, body, server.Port(), {}, {}, LoopbackConfig(Folder())));
    ASSERT_EQ(server.Data().size(), 1u);
    const std::string data = server.Data()[0];
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4), "..\r\n...\r\n..hidden\r\nend.\r\n.. \r\nlast\r\n");

    TSmtpTestServer reset({});
    ASSERT_TRUE(SmtpSession("from@x.test", "to@y.test", "", "127.0.0.1", {}, "", reset.Port(), {}, {}, LoopbackConfig(Folder())));
    EXPECT_EQ(Join(reset.Commands()), "EHLO reporter.test|MAIL FROM:<from@x.test>|RCPT TO:<to@y.test>|RSET|QUIT");
}

TEST_F(MailTest, ThroughServerOneConversationForAllRecipients)
{
    TSmtpScript script;
    TSmtpTestServer server(script);
    ASSERT_TRUE(SendSmtpMail("VostExcept <a@one.test>", "a@one.test; Bea <b@two.test>", "s", server.Port(), {}, {}, "127.0.0.1", {}, "b",
                             LoopbackConfig(Folder())));
    EXPECT_EQ(server.Connections(), 1);
    const std::vector<std::string> commands = server.Commands();
    ASSERT_EQ(commands.size(), 8u);
    EXPECT_EQ(Join(std::vector<std::string>(commands.begin(), commands.begin() + 5)),
              "EHLO reporter.test|MAIL FROM:<a@one.test>|RCPT TO:<a@one.test>|RCPT TO:<b@two.test>|DATA");
    const std::string data = server.Data().at(0);
    EXPECT_EQ(data.substr(0, data.find("\r\n")), "To: <a@one.test>, Bea <b@two.test>");

    // One refused recipient of two: the other still gets the mail.
    TSmtpScript refuseOne;
    refuseOne.Replies["RCPT TO:<b@two.test>"] = "550 no such user";
    TSmtpTestServer second(refuseOne);
    EXPECT_TRUE(SendSmtpMail("", "a@one.test, b@two.test", "s", second.Port(), {}, {}, "127.0.0.1", {}, "b", LoopbackConfig(Folder())));
    EXPECT_EQ(second.Data().size(), 1u);
    // No recipients: no conversation.
    EXPECT_FALSE(SendSmtpMail("", " ; ", "s", second.Port(), {}, {}, "127.0.0.1", {}, "b", LoopbackConfig(Folder())));
    EXPECT_EQ(second.Connections(), 1);
}

// ---- the exchanger look-up -----------------------------------------------------------------

TEST_F(MailTest, DirectSendingOneSessionPerRecipientDomain)
{
    // Two exchangers on one port (the port of direct sending), named by a loopback name server.
    TSmtpTestServer one({});
    ASSERT_TRUE(one.Valid());
    TSmtpTestServer two({}, "127.0.0.4", one.Port());
    ASSERT_TRUE(two.Valid());
    TDnsTestServer dns("127.0.0.1", 0, [](const std::string& name, uint16_t type) -> std::optional<TDnsReply> {
        TDnsReply r;
        if (name == "one.test" && type == 15) {
            r.Answers = {{"one.test", 15, MxData(10, "mx.one.test")}, {"one.test", 15, MxData(5, "other.one.test")}};
            r.Additional = {{"mx.one.test", 1, AData("127.0.0.1")}};
        } else if (name == "two.test" && type == 15)
            r.Answers = {{"two.test", 15, MxData(10, "mx.two.test")}};
        else if (name == "mx.two.test" && type == 1)
            r.Answers = {{"mx.two.test", 1, AData("127.0.0.4")}};
        else if (name == "sub.three.test" && type == 15) {
            r.Answers = {{"sub.three.test", 15, MxData(10, "mx.three.test")}};
            r.Additional = {{"mx.three.test", 1, AData("127.0.0.1")}};
        }
        return r;
    });
    ASSERT_TRUE(dns.Valid());
    const TSmtpConfig config = LoopbackConfig(Folder(), dns.Port(), true);

    ASSERT_TRUE(SendSmtpMail("", "a@one.test; b@two.test", "s", one.Port(), {}, {}, {}, {}, "b", config));
    EXPECT_EQ(Join(dns.Queries()), "MX one.test|MX two.test|A mx.two.test");
    const std::vector<uint16_t> ids = dns.Identifiers();
    EXPECT_FALSE(ids[0] == ids[1] && ids[1] == ids[2]) << "identifiers are not random";
    EXPECT_EQ(one.Connections(), 1);
    EXPECT_EQ(two.Connections(), 1);
    EXPECT_NE(Join(one.Commands()).find("RCPT TO:<a@one.test>|DATA"), std::string::npos);
    EXPECT_NE(Join(two.Commands()).find("RCPT TO:<b@two.test>|DATA"), std::string::npos);

    // No exchanger for the domain: its last three labels are asked next.
    const TDnsHost deep = LookupMailExchanger("<x@deep.sub.three.test>", config.Dns);
    EXPECT_EQ(deep.Name, "mx.three.test");
    ASSERT_EQ(deep.Addresses.size(), 1u);
    EXPECT_EQ(deep.Addresses[0].Text(), "127.0.0.1");
    EXPECT_EQ(LookupMailExchanger("nobody@none.test", config.Dns).Name, "");
    EXPECT_EQ(LookupMailExchanger("no address", config.Dns).Name, "");
}

TEST_F(MailTest, WalkFromTheRootServersUsesGlue)
{
    TSmtpTestServer exchanger({});
    ASSERT_TRUE(exchanger.Valid());
    TDnsTestServer root("127.0.0.2", 0, [](const std::string& name, uint16_t type) -> std::optional<TDnsReply> {
        TDnsReply r;
        if (name == "one.test" && type == 2) {
            r.Flags = 0x8000;
            r.Authorities = {{"test", 2, DnsName("ns.tld.test")}};
            r.Additional = {{"ns.tld.test", 1, AData("127.0.0.3")}, {"unrelated.test", 1, AData("127.0.0.9")}};
        }
        return r;
    });
    ASSERT_TRUE(root.Valid());
    const uint16_t port = root.Port();
    TDnsTestServer tld("127.0.0.3", port, [](const std::string& name, uint16_t type) -> std::optional<TDnsReply> {
        TDnsReply r;
        if (name == "one.test" && type == 2) {
            r.Answers = {{"one.test", 2, DnsName("ns.one.test")}};
            r.Additional = {{"ns.one.test", 1, AData("127.0.0.5")}};
        }
        return r;
    });
    TDnsTestServer zone("127.0.0.5", port, [](const std::string& name, uint16_t type) -> std::optional<TDnsReply> {
        TDnsReply r;
        if (name == "one.test" && type == 15) {
            r.Answers = {{"one.test", 15, MxData(10, "mx.one.test")}};
            r.Additional = {{"mx.one.test", 1, AData("127.0.0.1")}};
        }
        return r;
    });
    ASSERT_TRUE(tld.Valid() && zone.Valid());
    const TSmtpConfig config = LoopbackConfig(Folder(), port); // no system name server

    ASSERT_TRUE(SendSmtpMail("", "a@one.test", "s", exchanger.Port(), {}, {}, {}, {}, "b", config));
    EXPECT_EQ(Join(root.Queries()), "NS one.test");
    EXPECT_EQ(Join(tld.Queries()), "NS one.test");
    EXPECT_EQ(Join(zone.Queries()), "MX one.test");
    EXPECT_EQ(exchanger.Connections(), 1);
}

TEST_F(MailTest, WalkWithoutGlueEndsWithoutMail)
{
    TDnsTestServer root("127.0.0.2", 0, [](const std::string&, uint16_t) -> std::optional<TDnsReply> {
        TDnsReply r;
        r.Flags = 0x8000;
        r.Authorities = {{"test", 2, DnsName("ns.tld.test")}};
        return r;
    });
    const TSmtpConfig config = LoopbackConfig(Folder(), root.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LookupMailExchanger("a@one.test", config.Dns).Name, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    // The glue-less server name is asked for at the server that named it, and nowhere else.
    EXPECT_EQ(Join(root.Queries()), "NS one.test|A ns.tld.test");
}

TEST_F(MailTest, SpoofedRepliesDoNotRedirectTheReport)
{
    TSmtpTestServer real({});
    TSmtpTestServer evil({}, "127.0.0.9", real.Port());
    ASSERT_TRUE(real.Valid() && evil.Valid());
    const auto answer = [](const std::string& exchanger, const std::string& address) {
        TDnsReply r;
        r.Answers = {{"one.test", 15, MxData(10, exchanger)}};
        r.Additional = {{exchanger, 1, AData(address)}};
        return r;
    };
    // The forged reply arrives first, with the right identifier and question but from another
    // port of the server's address.
    TDnsTestServer dns(
        "127.0.0.1", 0,
        [&](const std::string&, uint16_t type) -> std::optional<TDnsReply> {
            return type == 15 ? answer("mx.one.test", "127.0.0.1") : TDnsReply{};
        },
        [&](const std::string& query) { return BuildDnsReply(query, answer("evil.test", "127.0.0.9")); });
    ASSERT_TRUE(dns.Valid());
    ASSERT_TRUE(SendSmtpMail("", "a@one.test", "s", real.Port(), {}, {}, {}, {}, "b", LoopbackConfig(Folder(), dns.Port(), true)));
    EXPECT_EQ(real.Connections(), 1);
    EXPECT_EQ(evil.Connections(), 0);
}

TEST(MailDns, QueryPacket)
{
    const std::string query = BuildDnsQuery(0x1234, "one.test", TDnsType::MX);
    EXPECT_EQ(query, std::string("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x03one\x04test\x00\x00\x0f\x00\x01", 26));
    EXPECT_EQ(BuildDnsQuery(1, "one.test.", TDnsType::NS), BuildDnsQuery(1, "one.test", TDnsType::NS));
    for (const std::string& bad : {std::string(), std::string("a..b"), std::string(64, 'a') + ".test", std::string(".test"),
                                  std::string("a b.test"), std::string(254, 'a')})
        EXPECT_EQ(BuildDnsQuery(1, bad, TDnsType::MX), "") << bad;
}

TEST(MailDns, RepliesAreChecked)
{
    const std::string query = BuildDnsQuery(0x1234, "one.test", TDnsType::MX);
    TDnsReply good;
    good.Answers = {{"one.test", 15, MxData(10, "mx.one.test")}};
    good.Additional = {{"mx.one.test", 1, AData("127.0.0.7")}};
    const std::string reply = BuildDnsReply(query, good);
    const size_t answer = query.size(); // the first answer record starts after the question
    const size_t target = answer + DnsName("one.test").size() + 10 + 2;

    const auto changed = [&](size_t at, std::string bytes) {
        std::string r = reply;
        r.replace(at, bytes.size(), bytes);
        return r;
    };
    // The exchanger's name reached through a chain of pointers appended to the reply: jumps
    // pointers in all, the one in the MX data included.
    const auto chain = [&](int jumps) {
        std::string r = reply;
        const size_t start = r.size();
        for (int i = 0; i < jumps - 1; ++i) {
            const size_t next = start + 2 * size_t(i + 1);
            r += char(0xC0 | (next >> 8));
            r += char(next & 0xFF);
        }
        r += DnsName("mx.one.test");
        r.replace(target, DnsName("mx.one.test").size(),
                  std::string{char(0xC0 | (start >> 8)), char(start & 0xFF)} + std::string(DnsName("mx.one.test").size() - 2, '\0'));
        return r;
    };
    std::string longName;
    for (int i = 0; i < 5; ++i)
        longName += std::string(i ? "." : "") + std::string(60, 'a');

    struct {
        const char* name;
        std::string reply;
        bool accepted;
        const char* answers;
    } cases[] = {
        {"good, glue attached", reply, true, "mx.one.test=127.0.0.7"},
        {"another identifier", changed(0, "\x12\x35"), false, ""},
        {"not a reply", changed(2, std::string("\x01\x80", 2)), false, ""},
        {"error code", changed(2, "\x81\x83"), false, ""},
        {"another question", changed(12, "\x03two"), false, ""},
        {"another type", changed(answer - 4, std::string("\x00\x02", 2)), false, ""},
        {"name case changed", changed(13, "ONE"), true, "mx.one.test=127.0.0.7"},
        {"pointer to itself", changed(target, "\xC0") .replace(target + 1, 1, 1, char(target)), true, ""},
        {"pointer past the end", changed(target, "\xFF\xFF"), true, ""},
        {"16 jumps", chain(16), true, "mx.one.test=127.0.0.7"},
        {"17 jumps", chain(17), true, ""},
        {"label with a dot", changed(target + 2, "."), true, ""},
        {"cut in the glue", reply.substr(0, reply.size() - 2), true, "mx.one.test"},
        {"cut in the answer", reply.substr(0, target + 3), true, ""},
    };
    for (const auto& c : cases) {
        TDnsAnswers out;
        EXPECT_EQ(ParseDnsReply(c.reply, query, out), c.accepted) << c.name;
        std::vector<std::string> found;
        for (const TDnsHost& h : out.Answers) {
            std::string text = h.Name;
            for (const TNetAddress& a : h.Addresses)
                text += "=" + a.Text();
            found.push_back(text);
        }
        EXPECT_EQ(Join(found), c.answers) << c.name;
    }

    // Names over 255 bytes are refused.
    TDnsReply tooLong;
    tooLong.Answers = {{"one.test", 15, MxData(10, longName)}};
    TDnsAnswers out;
    EXPECT_TRUE(ParseDnsReply(BuildDnsReply(query, tooLong), query, out));
    EXPECT_TRUE(out.Answers.empty());
}

TEST(MailDns, ConfigurationFiles)
{
    EXPECT_EQ(Join(ParseResolvConf("# comment\nsearch x.test\nnameserver 127.0.0.53\nnameserver ::1\nnameserver 127.0.0.53\n"
                                   "options edns0\nnameserver\n")),
              "127.0.0.53|::1");

    QTemporaryDir dir;
    const std::string route = dir.path().toStdString() + "/route", route6 = dir.path().toStdString() + "/ipv6_route";
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const std::string zeros(32, '0');
    struct {
        const char* name;
        std::string ipv4, ipv6;
        bool online;
    } cases[] = {
        {"IPv4 default route", header + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n", "", true},
        {"only a local network", header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", "", false},
        {"default route down", header + "eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n", "", false},
        {"IPv6 default route", header, zeros + " 00 " + zeros + " 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003 eth0\n",
         true},
        {"IPv6 unreachable default", header,
         zeros + " 00 " + zeros + " 00 " + zeros + " ffffffff 00000001 00000000 00200200 lo\n", false},
        {"no route files", "", "", false},
    };
    for (const auto& c : cases) {
        TDnsConfig config;
        config.RouteFiles = {route, route6};
        unlink(route.c_str());
        unlink(route6.c_str());
        if (!c.ipv4.empty())
            WriteTestFile(route, c.ipv4);
        if (!c.ipv6.empty())
            WriteTestFile(route6, c.ipv6);
        EXPECT_EQ(IsOnline(config), c.online) << c.name;
    }

    struct {
        const char* text;
        bool loopback;
    } addresses[] = {{"127.0.0.1", true},  {"127.8.9.10", true}, {"::1", true},       {"::ffff:127.0.0.1", true},
                     {"10.0.0.1", false},  {"0.0.0.0", false},   {"::ffff:10.0.0.1", false}, {"fe80::1", false}};
    for (const auto& a : addresses)
        EXPECT_EQ(ParseNetAddress(a.text, 25).IsLoopback(), a.loopback) << a.text;
    EXPECT_FALSE(ParseNetAddress("mail.test", 25).Valid());
}

// ---- a real mail server reads what we sent -------------------------------------------------

TEST_F(MailTest, RealServerReceivesTheMailByteExact)
{
    QProcess sink;
    sink.start(TARVELL_SYSTEM_PYTHON, {TARVELL_SMTP_SINK, FDir.path()});
    ASSERT_TRUE(sink.waitForStarted(10000));
    ASSERT_TRUE(sink.waitForReadyRead(20000)) << sink.readAllStandardError().toStdString();
    const uint16_t port = uint16_t(sink.readLine().trimmed().toUInt());
    ASSERT_NE(port, 0) << sink.readAllStandardError().toStdString();

    std::mt19937 random(26);
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary += char(random());
    binary += "\r\n.\r\n";
    const std::string reportFile = File("bugreport.txt", ".first\r\n.\r\nGrüße\r\n");
    const std::string shot = File("screenShot.png", binary);
    const std::string empty = File("empty.log", "");
    const std::string body = "exception message  : Zugriff verweigert – «ü»\r\n.\r\n..\r\n.hidden\r\n \r\nend.\r\n";
    const std::string longBody = "short\r\n" + std::string(1500, 'x') + "=\r\n.\r\n";

    const TSmtpConfig config = LoopbackConfig(Folder());
    ASSERT_TRUE(SendSmtpMail("VostExcept <support@maker.test>", "support@maker.test", "Tarvell bug report – Grüße", port, {}, {}, "127.0.0.1",
                             {reportFile, empty, shot}, body, config));
    ASSERT_TRUE(SendSmtpMail("", "support@maker.test", "long", port, {}, {}, "127.0.0.1", {}, longBody, config));
    for (int i = 0; i < 200 && !QFile::exists(FDir.filePath("msg2.done")); ++i)
        std::this_thread::sleep_for(50ms);
    sink.kill();
    sink.waitForFinished();

    const std::string msg = Folder() + "/msg1";
    ASSERT_EQ(ReadFile(msg + ".done"), "3");
    EXPECT_EQ(ReadFile(msg + ".defects"), "");
    EXPECT_EQ(ReadFile(msg + ".envelope"), "support@maker.test\nsupport@maker.test\n");
    EXPECT_EQ(ReadFile(msg + ".subject"), "Tarvell bug report – Grüße");
    EXPECT_EQ(ReadFile(msg + ".part0.type"), "text/plain|utf-8|");
    EXPECT_EQ(ReadFile(msg + ".part0"), body);
    EXPECT_EQ(ReadFile(msg + ".part1.type"), "application/octet-stream||bugreport.txt");
    EXPECT_EQ(ReadFile(msg + ".part1"), ReadFile(reportFile));
    EXPECT_EQ(ReadFile(msg + ".part2.type"), "image/png||screenShot.png");
    EXPECT_EQ(ReadFile(msg + ".part2"), binary);

    ASSERT_EQ(ReadFile(Folder() + "/msg2.done"), "1");
    EXPECT_EQ(ReadFile(Folder() + "/msg2.defects"), "");
    EXPECT_EQ(ReadFile(Folder() + "/msg2.part0"), longBody);
    EXPECT_NE(ReadFile(Folder() + "/msg2.eml").find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
}

// ---- MailBugReport and the desktop routes --------------------------------------------------

namespace {

// Stub programs on PATH that keep their arguments (one a line) and end with the given code.
class TStubPrograms {
public:
    TStubPrograms(const std::string& folder, int emailExit, int openExit, int emailSeconds = 0)
        : FFolder(folder)
        , FOldPath(getenv("PATH") ? getenv("PATH") : "")
    {
        mkdir((folder + "/bin").c_str(), 0700);
        Write("xdg-email", emailExit, emailSeconds);
        Write("xdg-open", openExit, 0);
        setenv("PATH", (folder + "/bin:" + FOldPath).c_str(), 1);
    }
    ~TStubPrograms() { setenv("PATH", FOldPath.c_str(), 1); }
    TStubPrograms(const TStubPrograms&) = delete;
    TStubPrograms& operator=(const TStubPrograms&) = delete;
    // The arguments of the last run, NUL-separated into a list; empty when it did not run.
    std::vector<std::string> Arguments(const std::string& program) const
    {
        const std::string bytes = ReadFile(FFolder + "/" + program + ".args");
        std::vector<std::string> out;
        size_t start = 0;
        while (start < bytes.size()) {
            const size_t end = bytes.find('\0', start);
            out.push_back(bytes.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }

private:
    void Write(const std::string& name, int code, int seconds)
    {
        const std::string path = FFolder + "/bin/" + name;
        WriteTestFile(path, "#!/bin/sh\nexec </dev/null >/dev/null 2>&1\nprintf '%s\\0' \"$@\" > '" + FFolder + "/" + name + ".args'\nsleep " + std::to_string(seconds) +
                                "\nexit " + std::to_string(code) + "\n");
        chmod(path.c_str(), 0700);
    }
    std::string FFolder, FOldPath;
};

struct TShownMessage {
    bool Error = false;
    std::string Caption, Text;
};

} // namespace

TEST_F(MailTest, DesktopRoutes)
{
    const std::string report = "date/time          : now\r\nexception message  : Access violation & more\r\n";
    const std::string reportFile = File("bugreport.txt", report);
    struct {
        const char* name;
        int emailExit, openExit;
        bool automatic;
        int result;
        bool emailRan, openRan;
        const char* message; // "" none, else "error:" or "info:" and the text
    } cases[] = {
        {"the mail program sends", 0, 0, false, MailSent, true, false, ""},
        {"the mail program fails, mailto opens", 1, 0, false, MailSent, true, true, ""},
        {"both fail", 1, 1, false, MailFailed, true, true, "error:Sorry,\r\nno mail."},
        {"automatic: no program", 0, 0, true, MailFailed, false, false, ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TStubPrograms stubs(folder, c.emailExit, c.openExit);
        TMailSettings settings;
        settings.MailAddress = "Support <%appname%@maker.test>";
        settings.MailSubject = "%appname% bug report: %exceptMsg%";
        settings.ReportFile = reportFile;
        settings.MailFailedText = "Sorry,%LF%no mail.";
        settings.MailButtonCaption = "Mail";
        TMailEnvironment environment;
        environment.TempRoot = folder;
        environment.Smtp = LoopbackConfig(folder);
        std::vector<TShownMessage> shown;
        int lowered = 0;
        TMailOwner owner{[&shown](bool error, const std::string& caption, const std::string& text) { shown.push_back({error, caption, text}); },
                         [&lowered] { ++lowered; }};

        EXPECT_EQ(MailBugReport(report, "PNGDATA", &owner, c.automatic, settings, environment), c.result) << c.name;
        const std::vector<std::string> email = stubs.Arguments("xdg-email"), open = stubs.Arguments("xdg-open");
        EXPECT_EQ(!email.empty(), c.emailRan) << c.name;
        EXPECT_EQ(!open.empty(), c.openRan) << c.name;
        if (!email.empty()) {
            ASSERT_EQ(email.size(), 10u) << c.name << Join(email);
            EXPECT_EQ(Join(std::vector<std::string>(email.begin(), email.begin() + 7)),
                      "--utf8|--subject|Tarvell bug report: Access violation & more|--body|" + report + "|--attach|" + reportFile)
                << c.name;
            EXPECT_EQ(email[7], "--attach");
            EXPECT_EQ(email[9], "Tarvell@maker.test");
            // The screen shot lies in a private folder, kept while the mail program may need it.
            const std::string shot = email[8];
            EXPECT_EQ(shot.rfind(folder + "/tarvell-mail-", 0), 0u) << shot;
            EXPECT_EQ(shot.substr(shot.size() - 15), "/screenShot.png");
            struct stat s {};
            const bool kept = c.emailExit == 0;
            EXPECT_EQ(stat(shot.c_str(), &s) == 0, kept) << c.name;
            if (kept) {
                EXPECT_EQ(s.st_mode & 0777, 0600u);
                EXPECT_EQ(ReadFile(shot), "PNGDATA");
                ASSERT_EQ(stat(shot.substr(0, shot.size() - 15).c_str(), &s), 0);
                EXPECT_EQ(s.st_mode & 0777, 0700u);
            }
        }
        if (!open.empty()) {
            ASSERT_EQ(open.size(), 1u);
            std::string body = report;
            for (const auto& [from, to] : {std::pair{" ", "%20"}, {"\r", "%0D"}, {"\n", "%0A"}, {"&", "%26"}})
                ReplaceSub(body, from, to, false, true);
            EXPECT_EQ(open[0], "mailto:Tarvell@maker.test?subject=Tarvell%20bug%20report:%20Access%20violation%20%26%20more&body=" + body)
                << c.name;
        }
        std::string message;
        for (const TShownMessage& m : shown)
            message += std::string(m.Error ? "error:" : "info:") + m.Text;
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_GE(lowered, c.emailRan ? 1 : 0) << c.name;
    }
}

TEST_F(MailTest, MailProgramLeftOpenCountsAsSent)
{
    TStubPrograms stubs(Folder(), 1, 1, 3);
    TMailEnvironment environment;
    environment.ProgramTimeout = 200ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMapiMail("a@x.test", "s", "b", false, nullptr, "", environment), MailSent);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    // Not started at all: failed.
    environment.MailProgram = "no-such-mail-program";
    EXPECT_EQ(SendMapiMail("a@x.test", "s", "b", false, nullptr, "", environment), MailFailed);
    // A recipient that would read as an option is left out; none left, nothing starts.
    EXPECT_EQ(SendMapiMail("--help", "s", "b", false, nullptr, "", {}), MailFailed);
}

TEST_F(MailTest, SmtpRoutesComeFirst)
{
    TSmtpTestServer exchanger({});
    TDnsTestServer dns("127.0.0.1", 0, [](const std::string& name, uint16_t type) -> std::optional<TDnsReply> {
        TDnsReply r;
        if (name == "maker.test" && type == 15) {
            r.Answers = {{"maker.test", 15, MxData(10, "mx.maker.test")}};
            r.Additional = {{"mx.maker.test", 1, AData("127.0.0.1")}};
        }
        return r;
    });
    ASSERT_TRUE(exchanger.Valid() && dns.Valid());
    const std::string reportFile = File("bugreport.txt", "saved report\r\n");

    struct {
        const char* name;
        bool direct, viaServer, online, tempCopy, automatic;
        const char* account;
        int result;
        int smtpConnections;
        const char* message;
    } cases[] = {
        {"direct to the exchanger", true, false, true, false, false, "", MailSent, 1, "info:Sent."},
        {"direct, automatic: no box", true, false, true, false, true, "", MailSent, 1, ""},
        {"through the server", false, true, true, true, false, "", MailSent, 1, "info:Sent."},
        {"through the server, with an account", false, true, true, false, false, "user", MailSent, 1, "info:Sent."},
        {"offline: the desktop's mail program", true, true, false, false, false, "", MailSent, 0, ""},
        {"offline, automatic: nothing", true, true, false, false, true, "", MailFailed, 0, ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TStubPrograms stubs(folder, 0, 0);
        TMailSettings settings;
        settings.MailAddress = "support@maker.test";
        settings.MailDirect = c.direct;
        settings.MailViaServer = c.viaServer;
        settings.SmtpServer = "127.0.0.1";
        settings.SmtpPort = exchanger.Port();
        settings.SmtpAccount = c.account;
        settings.SmtpPassword = *c.account ? "secret" : "";
        settings.MailAttachTempCopy = c.tempCopy;
        settings.ReportFile = reportFile;
        settings.MailSentText = "Sent.";
        TMailEnvironment environment;
        environment.TempRoot = folder;
        environment.Smtp = LoopbackConfig(folder, dns.Port(), true);
        environment.Smtp.DirectPort = exchanger.Port();
        if (!c.online)
            WriteTestFile(folder + "/route", "");
        std::string message;
        TMailOwner owner{[&message](bool error, const std::string&, const std::string& text) { message += (error ? "error:" : "info:") + text; },
                         {}};
        const int before = exchanger.Connections();

        EXPECT_EQ(MailBugReport("the report\r\n", "PNG", &owner, c.automatic, settings, environment), c.result) << c.name;
        EXPECT_EQ(exchanger.Connections() - before, c.smtpConnections) << c.name;
        EXPECT_EQ(message, c.message) << c.name;
        EXPECT_EQ(stubs.Arguments("xdg-email").empty(), c.smtpConnections > 0 || c.automatic) << c.name;
        if (c.smtpConnections > 0) {
            const std::string data = exchanger.Data().back();
            EXPECT_NE(data.find("From: VostExcept <support@maker.test>"), std::string::npos) << c.name;
            EXPECT_NE(data.find("filename=\"bugreport.txt\""), std::string::npos) << c.name;
            EXPECT_NE(data.find("filename=\"screenShot.png\""), std::string::npos) << c.name;
            // Sent by SMTP: the temporary files are gone with their folder.
            EXPECT_TRUE(QDir(dir.path()).entryList({"tarvell-mail-*"}, QDir::Dirs).isEmpty()) << c.name;
        }
    }
}

TEST(MailRoutes, MailtoUrlCutNeverSplitsAnEscape)
{
    EXPECT_EQ(MailtoUrl("a@x.test; b@y.test", "a b", "x\r\n%ü"), "mailto:a@x.test,b@y.test?subject=a%20b&body=x%0D%0A%25%C3%BC");
    const std::string url = MailtoUrl("a@x.test", "s", "%%%%");
    const size_t prefix = std::string("mailto:a@x.test?subject=s&body=").size();
    for (size_t extra = 0; extra <= 4; ++extra) {
        const std::string cut = MailtoUrl("a@x.test", "s", "%%%%", prefix + extra);
        EXPECT_EQ(cut.size(), prefix + extra / 3 * 3) << extra;
        EXPECT_EQ(cut, url.substr(0, cut.size()));
    }
    EXPECT_EQ(EscapeChars("a+b c", MakeCharSet("+ "), '%'), "a%2Bb%20c");
}

TEST(MailRoutes, PasswordCipherBothWays)
{
    struct {
        const char* password;
        const char* server;
        const char* account;
    } cases[] = {{"secret", "smtp.maker.test", "user"}, {"exactly8", "smtp.maker.test", ""}, {"p", "", "user"}, {"clear", "", ""},
                 {"", "smtp.maker.test", "user"},       {"a longer password of 33 bytes...", "s", "u"}};
    for (const auto& c : cases) {
        std::string stored = c.password;
        EncipherSmtpPassword(stored, c.server, c.account);
        if (*c.password && (*c.server || *c.account)) {
            EXPECT_NE(stored, c.password) << c.password;
        }
        DecipherSmtpPassword(stored, c.server, c.account);
        EXPECT_EQ(stored, c.password) << c.password;
    }
    // In the settings record, as at start-up.
    TCrashReportSettings settings;
    settings.SmtpServer = "smtp.maker.test";
    settings.SmtpAccount = "user";
    std::string stored = "secret";
    EncipherSmtpPassword(stored, "smtp.maker.test", "user");
    settings.SmtpPassword = stored;
    DecipherReporterPassword(settings);
    EXPECT_EQ(settings.SmtpPassword.Str(), "secret");
    EXPECT_EQ(MailSettingsOf(settings, "/data/bugreport.txt").SmtpPassword, "secret");
}
