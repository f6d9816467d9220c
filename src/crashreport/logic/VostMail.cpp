// Mailing a bug report along its routes. Every failure falls through to the next route and
// nothing raises: this runs in a process that has just crashed.
#include "crashreport/logic/VostMail.h"

#include "crashreport/logic/VostCrypt.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostStrings.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Arbitrary constants of the two password passes; both sides use these.
constexpr uint32_t ServerPassConstant = 0x5A3C9E17;
constexpr uint32_t AccountPassConstant = 0x2B6D0F41;
// One argument of a program may not exceed 128 KiB (MAX_ARG_STRLEN); the report goes as an
// attachment anyway when it is long.
constexpr size_t MaxArgumentBytes = 120 * 1024;

const char Hex[] = "0123456789ABCDEF";

class TMailTexts {
    Q_DECLARE_TR_FUNCTIONS(VostMail)
};

// A folder of our own for the mail's temporary files: nobody else can plant a file or a link
// where we write.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& root)
        : FRoot(root)
    {
    }
    ~TTempFolder()
    {
        if (!FKeep)
            Remove();
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // The path of a new file holding the bytes; empty when it could not be written.
    std::string Write(const std::string& name, std::string_view bytes)
    {
        if (!Create())
            return {};
        const std::string path = FPath + "/" + name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return {};
        FFiles.push_back(path);
        bool ok = true;
        for (size_t done = 0; ok && done < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += n > 0 ? size_t(n) : 0;
        }
        ok = close(fd) == 0 && ok;
        return ok ? path : std::string();
    }
    // Keeps the files for a mail program that may read them after it returned.
    void Keep() { FKeep = true; }
    void Remove()
    {
        for (const std::string& f : FFiles)
            unlink(f.c_str());
        FFiles.clear();
        if (!FPath.empty())
            rmdir(FPath.c_str());
        FPath.clear();
    }

private:
    bool Create()
    {
        if (!FPath.empty())
            return true;
        std::string root = FRoot;
        if (root.empty()) {
            const char* tmp = getenv("TMPDIR");
            root = tmp && *tmp ? tmp : "/tmp";
        }
        std::string pattern = root + "/tarvell-mail-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return false;
        FPath = pattern;
        return true;
    }
    std::string FRoot, FPath;
    std::vector<std::string> FFiles;
    bool FKeep = false;
};

bool ReadWholeFile(const std::string& path, std::string& bytes, size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.clear();
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (bytes.size() + size_t(n) > limit) {
            ok = false;
            break;
        }
        bytes.append(buffer, size_t(n));
    }
    close(fd);
    return ok;
}

bool FileExists(const std::string& path)
{
    struct stat s {};
    return !path.empty() && stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text cut to at most size bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, size_t size)
{
    if (text.size() <= size)
        return std::string(text);
    while (size > 0 && (uint8_t(text[size]) & 0xC0) == 0x80)
        --size;
    return std::string(text.substr(0, size));
}

// The address part of a list item: the text inside "<" ">", else the whole item.
std::string AddressOfItem(const std::string& item)
{
    const size_t open = item.find('<');
    if (open == std::string::npos)
        return item;
    const size_t close = item.find('>', open);
    return TrimTextCopy(std::string_view(item).substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
}

// The settings hold the box texts untranslated, in the reporter's context; a text the program
// changed has no translation and stays as it is.
std::string Translated(const std::string& text)
{
    return text.empty() ? text : QCoreApplication::translate("VostExcept", text.c_str()).toStdString();
}

void Tell(const TMailOwner* owner, bool error, const std::string& caption, std::string text)
{
    ReplaceSub(text, "%LF%", "\r\n", true, true);
    if (owner && owner->ShowMessage)
        owner->ShowMessage(error, caption, text);
}

} // namespace

std::string EscapeChars(std::string_view text, const TCharSet& set, char escape)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const uint8_t b = uint8_t(c);
        if (set[b]) {
            out += escape;
            out += Hex[b >> 4];
            out += Hex[b & 15];
        } else
            out += c;
    }
    return out;
}

std::string ReportExceptionMessage(std::string_view report)
{
    constexpr std::string_view Label = "\nexception message ";
    const size_t from = std::min<size_t>(9, report.size());
    size_t at = report.find(Label, from);
    if (at == std::string_view::npos)
        return "Unknown";
    at += Label.size();
    const size_t end = std::min(report.find_first_of("\r\n", at), report.size());
    std::string line(report.substr(at, end - at));
    const size_t colon = line.find(':');
    line = colon == std::string::npos ? line : line.substr(colon + 1);
    TrimText(line);
    return line;
}

void DecipherSmtpPassword(std::string& password, std::string_view server, std::string_view account)
{
    if (!server.empty())
        DecryptText(password, server, ServerPassConstant, 0);
    if (!account.empty())
        DecryptText(password, account, AccountPassConstant, 0);
}

void EncipherSmtpPassword(std::string& password, std::string_view server, std::string_view account)
{
    const auto pass = [&password](std::string_view key, uint32_t constant) {
        if (key.empty() || password.empty())
            return;
        const size_t pad = 8 - password.size() % 8;
        password.append(pad, char(pad));
        CipherBuffer(password.data(), password.size(), true, false, constant, 0, key);
    };
    pass(account, AccountPassConstant);
    pass(server, ServerPassConstant);
}

void DecipherReporterPassword(TCrashReportSettings& settings)
{
    std::string password = settings.SmtpPassword.Str();
    DecipherSmtpPassword(password, settings.SmtpServer.View(), settings.SmtpAccount.View());
    settings.SmtpPassword = password;
}

int RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout)
{
    if (arguments.empty())
        return -1;
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline)
            return ProgramStillRunning;
        usleep(20000);
    }
}

std::string MailtoUrl(std::string_view recipients, std::string_view subject, std::string_view body, size_t maxLength)
{
    // Beyond the classic set: "&" and "=" would split or end a field, and controls and bytes
    // above 127 are not allowed in a URL unescaped.
    TCharSet set = MakeCharSet("\n\r \"#%+<>?&=");
    for (int c = 0; c < 32; ++c)
        set.set(size_t(c));
    for (int c = 127; c < 256; ++c)
        set.set(size_t(c));
    TCharSet addressSet = set;
    addressSet.reset(size_t(','));
    addressSet.reset(size_t('@'));
    std::string addresses;
    for (const std::string& item : SplitMailList(NormaliseMailList(recipients)))
        addresses += (addresses.empty() ? "" : ",") + AddressOfItem(item);
    std::string url = "mailto:" + EscapeChars(addresses, addressSet, '%') + "?subject=" + EscapeChars(subject, set, '%') +
                      "&body=" + EscapeChars(body, set, '%');
    if (url.size() > maxLength) {
        size_t cut = maxLength;
        if (url[cut - 1] == '%')
            cut -= 1;
        else if (cut >= 2 && url[cut - 2] == '%')
            cut -= 2;
        url.resize(cut);
    }
    return url;
}

int SendMapiMail(std::string_view recipients, std::string_view subject, std::string_view body, bool automatic, const TMailOwner* owner,
                 std::string_view attachments, const TMailEnvironment& environment)
{
    if (automatic)
        return MailFailed;
    std::vector<std::string> arguments = {environment.MailProgram, "--utf8", "--subject", CutUtf8(subject, 998), "--body",
                                          CutUtf8(body, MaxArgumentBytes)};
    for (const std::string& path : SplitMailList(attachments, '|'))
        if (FileExists(path)) {
            arguments.push_back("--attach");
            arguments.push_back(path);
        }
    bool any = false;
    for (const std::string& item : SplitMailList(NormaliseMailList(recipients))) {
        const std::string address = AddressOfItem(item);
        // A recipient must never read as an option of the program.
        if (address.empty() || address[0] == '-')
            continue;
        arguments.push_back(address);
        any = true;
    }
    if (!any)
        return MailFailed;
    if (owner && owner->LeaveTopmost)
        owner->LeaveTopmost();
    const int code = RunProgram(arguments, environment.ProgramTimeout);
    return code == 0 || code == ProgramStillRunning ? MailSent : MailFailed;
}

bool SendMailtoMail(std::string_view recipients, std::string_view subject, std::string_view body, const TMailEnvironment& environment)
{
    const int code = RunProgram({environment.UrlOpener, MailtoUrl(recipients, subject, body)}, environment.ProgramTimeout);
    return code == 0 || code == ProgramStillRunning;
}

TMailSettings MailSettingsOf(const TCrashReportSettings& s, std::string reportFile)
{
    TMailSettings m;
    m.MailAddress = s.MailAddress.Str();
    m.MailFrom = s.MailFrom;
    m.MailSubject = s.MailSubject.Str();
    m.MailAttachReportFile = s.MailAttachReportFile;
    m.MailAttachTempCopy = s.MailAttachTempCopy;
    m.MailDirect = s.MailDirect;
    m.MailViaServer = s.MailViaServer;
    m.MailViaMapi = s.MailViaMapi;
    m.MailViaShell = s.MailViaShell;
    m.SmtpServer = s.SmtpServer.Str();
    m.SmtpPort = s.SmtpPort;
    m.SmtpAccount = s.SmtpAccount.Str();
    m.SmtpPassword = s.SmtpPassword.Str();
    m.MailExtraAttachments = s.MailExtraAttachments;
    m.MailSentText = s.MailSentText.Str();
    m.MailFailedText = s.MailFailedText.Str();
    m.MailButtonCaption = s.MailButtonCaption.Str();
    m.ReportFile = std::move(reportFile);
    return m;
}

int MailBugReport(std::string_view report, std::string_view screenShot, const TMailOwner* owner, bool automatic,
                  const TMailSettings& settings, const TMailEnvironment& environment)
{
    try {
        const std::string& appName = environment.Smtp.AppName;
        std::string subject = settings.MailSubject;
        ReplaceNoCase(subject, "%appname%", appName, true);
        ReplaceNoCase(subject, "%exceptMsg%", ReportExceptionMessage(report), true);

        std::string recipients = settings.MailAddress;
        ReplaceNoCase(recipients, "%appname%", appName, true);
        std::string sender = settings.MailFrom;
        if (sender.empty() && !SplitMailList(NormaliseMailList(recipients)).empty())
            sender = "VostExcept " + FormatMailAddress(AddressOfItem(SplitMailList(NormaliseMailList(recipients)).front()), false, appName);

        TTempFolder temp(environment.TempRoot);
        std::vector<std::string> attachments;
        if (settings.MailAttachReportFile && FileExists(settings.ReportFile)) {
            std::string path = settings.ReportFile;
            std::string bytes;
            if (settings.MailAttachTempCopy && ReadWholeFile(path, bytes, 64u << 20))
                if (const std::string copy = temp.Write(BaseName(path), bytes); !copy.empty())
                    path = copy;
            attachments.push_back(path);
        }
        if (!screenShot.empty())
            if (const std::string shot = temp.Write("screenShot.png", screenShot); !shot.empty())
                attachments.push_back(shot);
        for (const std::string& extra : SplitMailList(settings.MailExtraAttachments, '|'))
            attachments.push_back(extra);

        const bool haveRecipients = !NormaliseMailList(recipients).empty();
        const bool online = haveRecipients && (settings.MailDirect || settings.MailViaServer) && IsOnline(environment.Smtp.Dns);
        bool sent = false;
        if (online && settings.MailDirect)
            sent = SendSmtpMail(sender, recipients, subject, environment.Smtp.DirectPort, {}, {}, {}, attachments, report, environment.Smtp);
        if (!sent && online && settings.MailViaServer && !TrimTextCopy(settings.SmtpServer).empty()) {
            TSmtpStatus status;
            sent = SendSmtpMail(sender, recipients, subject, uint16_t(settings.SmtpPort), settings.SmtpPassword, settings.SmtpAccount,
                                settings.SmtpServer, attachments, report, environment.Smtp, &status);
            if (status.PasswordRefused) {
                const std::string text =
                    TMailTexts::tr("The bug report was not sent through the mail server %1: without encryption its password "
                                   "would cross the network in clear text. A password is only sent to a mail server on this "
                                   "computer.")
                        .arg(QString::fromStdString(settings.SmtpServer))
                        .toStdString();
                if (automatic)
                    fprintf(stderr, "%s\n", text.c_str());
                else
                    Tell(owner, true, Translated(settings.MailButtonCaption), text);
            }
        }

        int result = sent ? MailSent : MailFailed;
        if (!sent) {
            std::string list;
            for (const std::string& a : attachments)
                list += (list.empty() ? "" : "|") + a;
            if (settings.MailViaMapi) {
                result = SendMapiMail(recipients, subject, report, automatic, owner, list, environment);
                if (result != MailFailed)
                    temp.Keep(); // the mail program may read its attachments later
            }
            if (result == MailFailed && settings.MailViaShell && !automatic) {
                if (owner && owner->LeaveTopmost)
                    owner->LeaveTopmost();
                if (SendMailtoMail(recipients, subject, report, environment))
                    result = MailSent;
            }
            if (result == MailFailed && !automatic)
                Tell(owner, true, Translated(settings.MailButtonCaption), Translated(settings.MailFailedText));
        } else if (!automatic)
            Tell(owner, false, Translated(settings.MailButtonCaption), Translated(settings.MailSentText));
        return result;
    } catch (...) {
        return MailFailed;
    }
}
