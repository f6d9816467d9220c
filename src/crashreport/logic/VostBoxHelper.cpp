// The crashed side of the exception box and the wire to its helper process.
#include "crashreport/logic/VostBoxHelper.h"

#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostLinkDisAsm.h"
#include "crashreport/logic/VostMail.h"
#include "crashreport/logic/VostReportFile.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTools.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// No handler answers it: that the main thread's dispatcher took it in time is the answer.
constexpr uint32_t FreezeProbeMessage = FirstUserMessage + 777;

void PutU32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const char* bytes)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[i]);
    return value;
}

class TFieldReader {
public:
    explicit TFieldReader(std::string_view bytes)
        : FBytes(bytes)
    {
    }
    bool Number(uint32_t& value)
    {
        if (FBytes.size() - FAt < 4)
            return FOk = false;
        value = GetU32(FBytes.data() + FAt);
        FAt += 4;
        return FOk;
    }
    bool Flag(bool& value)
    {
        uint32_t number = 0;
        Number(number);
        value = number != 0;
        return FOk;
    }
    bool Text(std::string& value)
    {
        uint32_t length = 0;
        if (!Number(length) || FBytes.size() - FAt < length)
            return FOk = false;
        value.assign(FBytes.substr(FAt, length));
        FAt += length;
        return FOk;
    }
    bool Done() const { return FOk && FAt == FBytes.size(); }

private:
    std::string_view FBytes;
    size_t FAt = 0;
    bool FOk = true;
};

void PutText(std::string& bytes, std::string_view text)
{
    PutU32(bytes, static_cast<uint32_t>(text.size()));
    bytes.append(text);
}

bool SendAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        // A socket, so that a helper that died gives EPIPE instead of a signal.
        const ssize_t sent = ::send(fd, data, count, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReadExactly(int fd, char* data, size_t count, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (count > 0) {
        if (timeoutMs >= 0) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                      .count();
            pollfd entry { fd, POLLIN, 0 };
            const int ready = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(left, 0)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
        }
        const ssize_t got = ::read(fd, data, count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

std::string Translated(std::string_view text)
{
    const std::string source(text);
    if (source.empty() || !QCoreApplication::instance())
        return source;
    return QCoreApplication::translate("VostExcept", source.c_str()).toStdString();
}

// The language of the translation in use, for Qt's own texts in the box's process.
std::string BoxLanguage()
{
    //: The code of this translation's language (de, fr...): the box's file and print dialogs follow it.
    const std::string code = Translated(QT_TRANSLATE_NOOP("VostExcept", "en"));
    return code == "en" ? std::string() : code;
}

} // namespace

void ChooseDefaultButton(const std::string (&captions)[7], bool closeRule, bool restartRule, bool autoContinue,
    bool canContinue, uint32_t configured, uint32_t& defaultButton, int32_t& countdown)
{
    countdown = -1;
    if (closeRule && !captions[caClose].empty())
        countdown = caClose;
    else if (restartRule && !captions[caRestart].empty())
        countdown = caRestart;
    else if (autoContinue && !captions[caContinue].empty() && canContinue)
        countdown = caContinue;
    defaultButton = countdown >= 0 ? static_cast<uint32_t>(countdown) : configured;
}

TCrashAction CloseRequestAction(const TBoxData& data)
{
    const uint32_t d = data.DefaultButton;
    if ((d == caContinue && data.CanContinue) || d == caRestart || d == caClose)
        if (d < 7 && !data.Captions[d].empty())
            return static_cast<TCrashAction>(d);
    if (!data.Captions[caContinue].empty() && data.CanContinue)
        return caContinue;
    if (!data.Captions[caClose].empty())
        return caClose;
    if (!data.Captions[caRestart].empty())
        return caRestart;
    // Neither way to end is offered: a box that cannot continue still must not continue.
    return data.CanContinue ? caContinue : caClose;
}

std::string BoxText(bool frozen, std::string_view errorText, std::string_view frozenText, std::string_view message)
{
    std::string text(frozen ? frozenText : errorText);
    if (!frozen) {
        std::string shown(message);
        if (shown.empty() || (shown.back() != '.' && shown.back() != '!'))
            shown += '.';
        ReplaceNoCase(text, "%exceptMsg%", shown, true);
    }
    ReplaceNoCase(text, "%LF%", "\r\n", true);
    return text;
}

std::string HtmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void WebPageProc(const std::string& bugReport, std::string& html)
{
    const TCrashReportSettings& settings = CrashReportSettings;
    // The message is the report's own line: the exception object may be gone by now.
    std::string message = "Unknown";
    const size_t line = bugReport.find("exception message : ");
    if (line != std::string::npos) {
        const size_t start = line + 20;
        message = TrimTextCopy(std::string_view(bugReport).substr(start, bugReport.find("\r\n", start) - start));
    }
    std::string text = HtmlEscape(settings.ErrorText.View());
    ReplaceNoCase(text, "%exceptMsg%", HtmlEscape(message), true);
    ReplaceNoCase(text, "%LF%", "<br>\r\n", true);
    const std::string continueCaption
        = settings.ContinueButtonCaption.Empty() ? "continue application" : settings.ContinueButtonCaption.Str();
    html = "<html><head><title>" + HtmlEscape(ExpandAppName(settings.BoxTitle.View())) + "</title></head><body>";
    html += "<table width=\"100%\" height=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">";
    html += "<tr><td style=\"height:2pt\"></td></tr>";
    html += "<tr><td style=\"font-family:'MS Sans Serif';font-size:13pt;padding-left:4px\">" + text + "</td></tr>";
    html += "<tr><td style=\"height:8pt\"></td></tr>";
    html += "<tr><td><button onclick=\"history.back();\">" + HtmlEscape(continueCaption) + "</button>";
    if (!settings.ShowReportAtOnce)
        html += " <button "
                "onclick=\"document.getElementById('bugReport').style.display='block';this.style.display='none';\">"
            + HtmlEscape(settings.ShowButtonCaption.View()) + "</button>";
    html += "</td></tr>";
    html += "<tr><td height=\"100%\"><textarea id=\"bugReport\" readonly cols=\"80\" rows=\"20\" "
            "style=\"width:100%;height:100%";
    html += settings.ShowReportAtOnce ? "\">" : ";display:none\">";
    html += HtmlEscape(bugReport) + "</textarea></td></tr></table></body></html>";
}

std::string EncodeBoxMessage(uint32_t type, std::string_view payload)
{
    std::string bytes;
    PutU32(bytes, type);
    PutU32(bytes, static_cast<uint32_t>(payload.size()));
    return bytes.append(payload);
}

bool ReadBoxMessage(int fd, uint32_t& type, std::string& payload, int timeoutMs)
{
    char head[8];
    if (!ReadExactly(fd, head, sizeof head, timeoutMs))
        return false;
    type = GetU32(head);
    const uint32_t length = GetU32(head + 4);
    if (length > MaxBoxMessage)
        return false;
    payload.resize(length);
    // The rest follows at once; a writer that stops midway is as good as dead.
    return ReadExactly(fd, payload.data(), length, 10000);
}

bool WriteBoxMessage(int fd, uint32_t type, std::string_view payload)
{
    if (payload.size() > MaxBoxMessage)
        return false;
    const std::string bytes = EncodeBoxMessage(type, payload);
    return SendAll(fd, bytes.data(), bytes.size());
}

std::string EncodeMailNote(const TMailNote& note)
{
    std::string bytes(1, note.Error ? 'E' : 'I');
    PutText(bytes, note.Caption);
    PutText(bytes, note.Text);
    return bytes;
}

std::vector<TMailNote> DecodeMailNotes(std::string_view notes)
{
    std::vector<TMailNote> list;
    while (!notes.empty() && list.size() < 16) {
        TMailNote note;
        note.Error = notes.front() == 'E';
        TFieldReader reader(notes.substr(1));
        if (!reader.Text(note.Caption) || !reader.Text(note.Text))
            break;
        list.push_back(note);
        notes.remove_prefix(1 + 8 + note.Caption.size() + note.Text.size());
    }
    return list;
}

std::string EncodeBoxData(const TBoxData& data)
{
    std::string bytes;
    PutText(bytes, data.Title);
    PutText(bytes, data.Text);
    for (const std::string& caption : data.Captions)
        PutText(bytes, caption);
    PutU32(bytes, data.DefaultButton);
    PutU32(bytes, static_cast<uint32_t>(data.CountdownButton));
    PutU32(bytes, data.AutoActionDelay);
    for (const bool flag : { data.Frozen, data.CanContinue, data.ShowReportAtOnce, data.CopyReportToClipboard,
             data.OwnerDrawnButtons, data.SaveFileAbsolute })
        PutU32(bytes, flag ? 1 : 0);
    for (const std::string* text : { &data.SaveFileName, &data.SaveFolder, &data.SaveDialogTitle,
             &data.PrintDocumentName, &data.MailUnavailableText, &data.SaveFilter, &data.SaveFailedText, &data.Language,
             &data.Report })
        PutText(bytes, *text);
    return bytes;
}

bool DecodeBoxData(std::string_view bytes, TBoxData& data)
{
    TFieldReader reader(bytes);
    TBoxData decoded;
    reader.Text(decoded.Title);
    reader.Text(decoded.Text);
    for (std::string& caption : decoded.Captions)
        reader.Text(caption);
    uint32_t countdown = 0;
    reader.Number(decoded.DefaultButton);
    reader.Number(countdown);
    reader.Number(decoded.AutoActionDelay);
    for (bool* flag : { &decoded.Frozen, &decoded.CanContinue, &decoded.ShowReportAtOnce,
             &decoded.CopyReportToClipboard, &decoded.OwnerDrawnButtons, &decoded.SaveFileAbsolute })
        reader.Flag(*flag);
    for (std::string* text : { &decoded.SaveFileName, &decoded.SaveFolder, &decoded.SaveDialogTitle,
             &decoded.PrintDocumentName, &decoded.MailUnavailableText, &decoded.SaveFilter, &decoded.SaveFailedText,
             &decoded.Language, &decoded.Report })
        reader.Text(*text);
    if (!reader.Done() || decoded.DefaultButton > 6
        || (static_cast<int32_t>(countdown) < -1 || static_cast<int32_t>(countdown) > 6))
        return false;
    decoded.CountdownButton = static_cast<int32_t>(countdown);
    data = std::move(decoded);
    return true;
}

bool ParseBoxHelperSwitch(int argc, const char* const* argv, int& in, int& out)
{
    if (argc < 2 || !argv[1])
        return false;
    const std::string_view argument = argv[1];
    const std::string_view prefix = BoxHelperSwitch;
    if (argument.substr(0, prefix.size()) != prefix)
        return false;
    if (argument.size() <= prefix.size() + 1 || argument[prefix.size()] != '=')
        return in = out = -1, true;
    const std::string number(argument.substr(prefix.size() + 1));
    char* end = nullptr;
    const long fd = std::strtol(number.c_str(), &end, 10);
    if (end == number.c_str() || *end != '\0' || fd < 3 || fd > 65535)
        return in = out = -1, true;
    in = out = static_cast<int>(fd);
    return true;
}

bool IsBoxHelperInvocation(int argc, const char* const* argv)
{
    int in = -1, out = -1;
    return ParseBoxHelperSwitch(argc, argv, in, out);
}

std::string EncodeProgressMessage(uint32_t permille, std::string_view format)
{
    std::string bytes;
    PutU32(bytes, permille);
    return bytes.append(format.substr(0, MaxProgressFormat));
}

bool DecodeProgressMessage(std::string_view payload, uint32_t& permille, std::string& format)
{
    if (payload.size() < 4 || payload.size() > 4 + MaxProgressFormat)
        return false;
    const uint32_t value = GetU32(payload.data());
    const std::string_view text = payload.substr(4);
    if (value > 1000 || text.find("%1") == std::string_view::npos)
        return false;
    permille = value;
    format.assign(text);
    return true;
}

bool TBoxHelperProcess::Start(const std::string& program)
{
    End();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const std::string argument = std::string(BoxHelperSwitch) + "=" + DecimalText(pair[1]);
    std::string programCopy = program, argumentCopy = argument;
    char* argv[] = { programCopy.data(), argumentCopy.data(), nullptr };
    pid_t helper = -1;
    // Only the helper's end is inherited: the flag is cleared for the spawn alone.
    ::fcntl(pair[1], F_SETFD, 0);
    const int spawned = ::posix_spawn(&helper, program.c_str(), nullptr, nullptr, argv, environ);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        return false;
    }
    FFd = pair[0];
    FPid = helper;
    return true;
}

void TBoxHelperProcess::End()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (FPid > 0) {
        // The helper leaves on its own once the box is gone; one that hangs is ended.
        for (int i = 0; i < 100 && ::waitpid(FPid, nullptr, WNOHANG) == 0; ++i)
            ::usleep(10000);
        if (::waitpid(FPid, nullptr, WNOHANG) == 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    FPid = -1;
}

void TBoxHelperProcess::MoveTo(TBoxHelperProcess& other)
{
    if (&other == this)
        return;
    other.End();
    other.FFd = std::exchange(FFd, -1);
    other.FPid = std::exchange(FPid, -1);
}

THelperTraceProgress::THelperTraceProgress(TBoxHelperProcess& helper, std::string program, std::string percentFormat)
    : FHelper(helper)
    , FProgram(std::move(program))
    , FFormat(std::move(percentFormat))
{
}

void THelperTraceProgress::Show(uint32_t permille)
{
    if (FFailed)
        return;
    if (!FHelper.Running() && !FHelper.Start(FProgram)) {
        FFailed = true;
        return;
    }
    if (!WriteBoxMessage(FHelper.Fd(), bmProgress, EncodeProgressMessage(std::min<uint32_t>(permille, 1000), FFormat)))
        FFailed = true;
}

void THelperTraceProgress::Close()
{
    if (!FFailed && FHelper.Running())
        WriteBoxMessage(FHelper.Fd(), bmProgressDone, {});
}

TBoxHelperProcess& PendingBoxHelper()
{
    static TBoxHelperProcess helper;
    return helper;
}

TCrashAction RunBoxInHelper(const std::string& program, const TBoxData& data, const TBoxActionSink& sink,
    const std::function<bool(const std::string&)>& saveOnLoss, const std::function<bool()>& freezeOver,
    TBoxHelperProcess* started)
{
    const auto lost = [&] {
        if (saveOnLoss)
            saveOnLoss(data.Report);
        const TCrashAction action = CloseRequestAction(data);
        if (action == caClose && sink.Close)
            sink.Close();
        if (action == caRestart && sink.Restart)
            sink.Restart();
        return action;
    };
    const std::string boxData = EncodeBoxData(data);
    TBoxHelperProcess process;
    TCrashAction result = caContinue;
    bool finished = false;
    // The one that showed the progress may have gone meanwhile, even with the data on its way:
    // when it ends without a word, a new one shows the box.
    bool taken = started && started->Running();
    if (taken)
        started->MoveTo(process);
    for (bool heard = false; !finished && !heard; taken = false) {
        if (!taken && !process.Start(program))
            break;
        const int fd = process.Fd();
        if (!WriteBoxMessage(fd, bmBoxData, boxData)) {
            if (taken)
                continue;
            break;
        }
        heard = !taken;
        bool freezeSent = false;
        for (;;) {
            uint32_t type = 0;
            std::string payload;
            pollfd entry { fd, POLLIN, 0 };
            const int ready = ::poll(&entry, 1, data.Frozen ? 250 : -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                if (!freezeSent && freezeOver && freezeOver())
                    freezeSent = WriteBoxMessage(fd, bmFreezeOver, {});
                continue;
            }
            if (!ReadBoxMessage(fd, type, payload, 10000))
                break;
            heard = true;
            if (type == bmClosed) {
                result = payload.size() == 1 && payload[0] >= '0' && payload[0] <= '6'
                    ? static_cast<TCrashAction>(payload[0] - '0')
                    : caContinue;
                finished = true;
                break;
            }
            if (type != bmAction || payload.empty() || payload[0] < '0' || payload[0] > '6')
                continue;
            const auto action = static_cast<TCrashAction>(payload[0] - '0');
            if (sink.Announce && sink.Announce(action)) {
                WriteBoxMessage(fd, bmActionResult, "h");
                continue;
            }
            bool done = true;
            if (action == caSave)
                done = sink.Save && sink.Save(payload.substr(1));
            std::string notes;
            if (action == caMail && !sink.Mail) {
                WriteBoxMessage(fd, bmActionResult, "n");
                continue;
            }
            if (action == caMail)
                done = sink.Mail(notes);
            WriteBoxMessage(fd, bmActionResult, (done ? "1" : "0") + notes);
            if (action == caRestart && sink.Restart)
                sink.Restart();
            if (action == caClose && sink.Close)
                sink.Close();
        }
    }
    process.End();
    return finished ? result : lost();
}

TBoxData MakeBoxData(const TPresentRequest& request)
{
    const TCrashReportSettings& settings = CrashReportSettings;
    TBoxData data;
    data.Title = ExpandAppName(Translated(settings.BoxTitle.View()));
    data.Text = BoxText(request.Frozen, Translated(settings.ErrorText.View()), Translated(settings.FrozenText.View()),
        ExceptionMessageText(request.ExceptObject));
    const TShortText<30>* captions[7] = { &settings.MailButtonCaption, &settings.SaveButtonCaption,
        &settings.PrintButtonCaption, &settings.ShowButtonCaption, &settings.ContinueButtonCaption,
        &settings.RestartButtonCaption, &settings.CloseButtonCaption };
    for (int i = 0; i < 7; ++i)
        data.Captions[i] = Translated(captions[i]->View());
    if (settings.ShowReportAtOnce)
        data.Captions[caShow].clear();
    ChooseDefaultButton(data.Captions, AutoCloseRuleHolds(), AutoRestartRuleHolds(), settings.AutoContinue,
        request.CanContinue, settings.DefaultButton, data.DefaultButton, data.CountdownButton);
    if (!settings.OwnerDrawnButtons)
        data.CountdownButton = -1;
    data.AutoActionDelay = settings.AutoActionDelay;
    data.Frozen = request.Frozen;
    data.CanContinue = request.CanContinue;
    data.ShowReportAtOnce = settings.ShowReportAtOnce;
    data.CopyReportToClipboard = settings.CopyReportToClipboard;
    data.OwnerDrawnButtons = settings.OwnerDrawnButtons;
    data.SaveFileName = ExpandAppName(settings.BugReportFile.View());
    data.SaveFileAbsolute = IsAbsoluteReportPath(data.SaveFileName);
    data.SaveFolder = ReportDataFolder();
    data.SaveDialogTitle = data.Captions[caSave];
    data.PrintDocumentName = data.Captions[caPrint];
    data.MailUnavailableText
        = Translated(QT_TRANSLATE_NOOP("VostExcept", "Sending the bug report by mail is not available."));
    data.SaveFilter = Translated(QT_TRANSLATE_NOOP("VostExcept", "Text files (*.txt)"));
    data.SaveFailedText = Translated(QT_TRANSLATE_NOOP("VostExcept", "The bug report could not be saved to %1."));
    data.Language = BoxLanguage();
    data.Report = request.BugReport;
    return data;
}

bool SaveBugReportAutomatically(const std::string& report)
{
    const std::string path = BugReportFileName();
    errno = 0;
    if (AppendReportToFile(path, report, CrashReportSettings.BugReportFileMaxSize))
        return true;
    // Nobody else would learn that the report is not where it is looked for.
    const int cause = errno;
    std::string text = Translated(QT_TRANSLATE_NOOP("VostExcept", "The bug report could not be saved to %1: %2"));
    ReplaceNoCase(text, "%2", cause ? std::strerror(cause) : "?", false);
    ReplaceNoCase(text, "%1", path, false);
    text += '\n';
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    (void)written;
    return false;
}

// The saved report's path for the mail's attachment; empty while nothing was saved.
std::string SavedReportFile()
{
    const std::string path = BugReportFileName();
    return ::access(path.c_str(), R_OK) == 0 ? path : std::string();
}

void RestartProgram()
{
    uint64_t stamps[10] = {};
    GetExceptionHistory(stamps);
    TRestartHistory history {};
    std::copy(std::begin(stamps), std::end(stamps), history.begin());
    RestartProgramWith(history);
}

void InstallReportSteps()
{
    TCrashSteps steps = GetCrashSteps();
    steps.Compose = [](const TComposeRequest& request, std::string& report) {
        // A helper left from a report that got no box has nothing more to show.
        PendingBoxHelper().End();
        THelperTraceProgress progress(
            PendingBoxHelper(), ProgramFilePath(), Translated(QT_TRANSLATE_NOOP("VostExcept", "%1%")));
        TComposeRequest showing = request;
        if (showing.Showing && !IsConsoleProcess())
            showing.ProgressSink = &progress;
        ComposeBugReport(showing, report);
    };
    steps.Present = PresentExceptionBox;
    steps.Save = SaveBugReportAutomatically;
    steps.Mail = [](const std::string& report, const std::string& screenShot) {
        return MailBugReport(
                   report, screenShot, nullptr, true, MailSettingsOf(CrashReportSettings, SavedReportFile()), {})
            == MailSent;
    };
    steps.Restart = [] { RestartProgram(); };
    steps.Close = [] { CloseProgram(); };
    SetCrashSteps(steps);
    // The disassembler's link gives reports their "disassembling:" section.
    if (!CrashReportSettings.DisAsmProc && DisAsmProc)
        CrashReportSettings.DisAsmProc = DisAsmProc;
}

void PresentExceptionBox(const TPresentRequest& request)
{
    if (IsConsoleProcess()) {
        PendingBoxHelper().End();
        PresentOnConsole(request);
        return;
    }
    const TCrashReportSettings& settings = CrashReportSettings;
    const TBoxData data = MakeBoxData(request);
    const std::string report = request.BugReport;
    const auto save = [&](const std::string& text, const std::string& path) {
        return AppendReportToFile(path.empty() ? BugReportFileName() : path, text, settings.BugReportFileMaxSize);
    };
    TBoxActionSink sink;
    sink.Save = [&](const std::string& path) { return save(report, path); };
    sink.Mail = [&](std::string& notes) {
        TMailOwner owner;
        owner.ShowMessage = [&notes](bool error, const std::string& caption, const std::string& text) {
            notes += EncodeMailNote({ error, caption, text });
        };
        return MailBugReport(report, request.ScreenShot, &owner, false, MailSettingsOf(settings, SavedReportFile()), {})
            == MailSent;
    };
    // A thread that crashed at the same moment keeps its report: saved before the program ends.
    sink.Restart = [] {
        SaveWaitingReports();
        RestartProgram();
    };
    sink.Close = [] {
        SaveWaitingReports();
        CloseProgram();
    };
    sink.Announce = [&](TCrashAction action) {
        std::string bugReport = report, screenShot = request.ScreenShot;
        bool canContinue = request.CanContinue, handled = false;
        RunCrashHandlers(1, 0, action, request.Frozen, request.ExceptObject, request.ExceptAddr, 0, bugReport,
            screenShot, canContinue, handled);
        return handled;
    };
    // A freeze box goes when the main thread answers again: a message its dispatcher handles.
    const auto freezeOver = [] {
        TMessageDispatcher* main = HandlerWindowOf(MainThreadId());
        return main && SendHandlerMessageTimeout(main, FreezeProbeMessage, 777, 777, std::chrono::milliseconds(100));
    };
    RunBoxInHelper(
        ProgramFilePath(), data, sink, [&](const std::string& text) { return save(text, {}); }, freezeOver,
        &PendingBoxHelper());
}
