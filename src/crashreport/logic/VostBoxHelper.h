// The exception box runs in a helper process: the program's executable started with a hidden
// switch. This unit is the crashed side and the wire between the two: what the box shows, the
// length-prefixed messages on the two pipes, starting the helper and serving its actions.
#pragma once

#include "crashreport/logic/VostExcept.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

// The hidden switch; the two descriptors follow it as "--vostexcept-box=IN,OUT".
inline constexpr const char* BoxHelperSwitch = "--vostexcept-box";

// Everything the box shows and decides, texts already translated and expanded.
struct TBoxData {
    std::string Title;
    std::string Text; // with the message and line ends in place
    // Captions in action order: mail, save, print, show, continue, restart, close; empty = none.
    std::string Captions[7];
    uint32_t DefaultButton = caShow;
    // The button that counts down before pressing itself; -1 none.
    int32_t CountdownButton = -1;
    uint32_t AutoActionDelay = 60; // s; 0 = no countdown
    bool Frozen = false;
    bool CanContinue = true;
    bool ShowReportAtOnce = false;
    bool CopyReportToClipboard = false;
    bool OwnerDrawnButtons = true;
    // The bug-report file is absolute: save needs no dialog and the button goes after a save.
    bool SaveFileAbsolute = false;
    std::string SaveFileName; // the expanded setting (dialog pre-fill for relative ones)
    std::string SaveFolder; // the dialog's first folder
    std::string SaveDialogTitle; // SaveButtonCaption
    std::string PrintDocumentName; // PrintButtonCaption
    // The helper's own texts, translated here: the helper needs no language of its own.
    std::string MailUnavailableText;
    std::string SaveFailedText; // "%1" stands for the file
    // The language of the texts ("de"; empty: untranslated): Qt's own dialogs follow it.
    std::string Language;
    std::string SaveFilter;
    std::string Report;
};

// Which captions a configuration gives and which button is the default, as the box builds them:
// the show button goes with ShowReportAtOnce; close when the close rule holds, else restart when
// its rule holds, else continue with AutoContinue, else the configured button. countdown is that
// automatic choice (-1 when none applies).
void ChooseDefaultButton(const std::string (&captions)[7], bool closeRule, bool restartRule, bool autoContinue,
    bool canContinue, uint32_t configured, uint32_t& defaultButton, int32_t& countdown);
// The action a close request (the window's close box, Escape, a helper that died) takes: the
// default button when it is continue, restart or close; else continue when it exists and the
// exception can continue, else close, else restart; caContinue when there is none of them.
TCrashAction CloseRequestAction(const TBoxData& data);

// The box's text: FrozenText, or ErrorText with "%exceptMsg%" as the message with a final "."
// (none added when it ends in "." or "!" already), "%LF%" as a line end.
std::string BoxText(bool frozen, std::string_view errorText, std::string_view frozenText, std::string_view message);

// The web variant of the box: a whole HTML page, every text HTML-escaped.
void WebPageProc(const std::string& bugReport, std::string& html);
std::string HtmlEscape(std::string_view text);

// Messages on the pipes: type (u32), length (u32), payload, little-endian.
enum TBoxMessage : uint32_t {
    bmBoxData = 1, // parent to helper: the encoded TBoxData
    bmFreezeOver = 2, // parent to helper: the main thread answers again; the box closes
    bmActionResult = 3, // parent to helper: "1" done, "0" failed, "h" handled by a handler
    bmProgress = 4, // parent to helper: tracing progress, u32 permille then the percentage's format
    bmProgressDone = 5, // parent to helper: the report is composed; the progress window goes
    bmAction = 10, // helper to parent: action code, then for save the chosen path
    bmClosed = 11, // helper to parent: the box is gone; payload the final action code
};
// A payload may hold the whole report, never more.
constexpr uint32_t MaxBoxMessage = 16u << 20;
std::string EncodeBoxMessage(uint32_t type, std::string_view payload);
// Reads one message; false at the end of file, on an error, or for a payload above the cap.
bool ReadBoxMessage(int fd, uint32_t& type, std::string& payload, int timeoutMs = -1);
bool WriteBoxMessage(int fd, uint32_t type, std::string_view payload);

// The payload of a progress message; the format ("%1" the percentage) is short.
constexpr size_t MaxProgressFormat = 32;
std::string EncodeProgressMessage(uint32_t permille, std::string_view format);
// False for a malformed payload: wrong size, a value above 1000, a format without "%1".
bool DecodeProgressMessage(std::string_view payload, uint32_t& permille, std::string& format);

// A message for the user from the crashed side (mailing tells its outcome so): error or
// information, caption and text; notes are these, one after the other.
struct TMailNote {
    bool Error = false;
    std::string Caption;
    std::string Text;
};
std::string EncodeMailNote(const TMailNote& note);
std::vector<TMailNote> DecodeMailNotes(std::string_view notes);

std::string EncodeBoxData(const TBoxData& data);
bool DecodeBoxData(std::string_view bytes, TBoxData& data);

// The helper's descriptors from its arguments; false when the switch is absent or malformed.
bool ParseBoxHelperSwitch(int argc, const char* const* argv, int& in, int& out);
bool IsBoxHelperInvocation(int argc, const char* const* argv);

// What the crashed side does for the helper's actions. Each returns true when done.
struct TBoxActionSink {
    std::function<bool(const std::string& path)> Save;
    // notes: what mailing has to tell the user, as EncodeMailNote gives it; empty: no mail here.
    std::function<bool(std::string& notes)> Mail;
    std::function<void()> Restart; // does not return
    std::function<void()> Close; // does not return
    // Called before an action; true when a handler took it over.
    std::function<bool(TCrashAction action)> Announce;
};

// A running helper process and the crashed side's end of its socket. Ending it closes the socket
// (the helper leaves on its own) and reaps the process, killing one that hangs.
class TBoxHelperProcess {
public:
    TBoxHelperProcess() = default;
    ~TBoxHelperProcess() { End(); }
    TBoxHelperProcess(const TBoxHelperProcess&) = delete;
    TBoxHelperProcess& operator=(const TBoxHelperProcess&) = delete;
    bool Start(const std::string& program);
    bool Running() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    pid_t Pid() const { return FPid; }
    void End();
    // Hands the process over to another holder.
    void MoveTo(TBoxHelperProcess& other);

private:
    int FFd = -1;
    pid_t FPid = -1;
};

// The crashed side's progress window: the first Show starts the helper (when it is not running
// yet), which shows the window; Close tells it the report is composed. The helper stays for the
// box. A helper that cannot start or has gone just gets no more messages.
class THelperTraceProgress : public TTraceProgressSink {
public:
    THelperTraceProgress(TBoxHelperProcess& helper, std::string program, std::string percentFormat);
    void Show(uint32_t permille) override;
    void Close() override;

private:
    TBoxHelperProcess& FHelper;
    std::string FProgram;
    std::string FFormat;
    bool FFailed = false;
};

// The helper that showed the tracing progress of the report being handled, kept for its box.
TBoxHelperProcess& PendingBoxHelper();

// Starts the helper from program (argv[0]) and the box's data, then serves its actions until the
// box is gone; a running started helper (the one that showed the tracing progress) is taken
// instead when it accepts the data. A helper that cannot start, or dies, leaves the report saved (saveOnLoss) and the
// close-request rule applied. Returns the final action (continue when the box just closed).
TCrashAction RunBoxInHelper(const std::string& program, const TBoxData& data, const TBoxActionSink& sink,
    const std::function<bool(const std::string&)>& saveOnLoss, const std::function<bool()>& freezeOver = {},
    TBoxHelperProcess* started = nullptr);

// The reporter's presenter: the box in a helper when a display is there, else the console output.
void PresentExceptionBox(const TPresentRequest& request);
// Saves the report to BugReportFileName (the automatic save).
bool SaveBugReportAutomatically(const std::string& report);
// Restarts with the current exception history; does not return.
[[noreturn]] void RestartProgram();
// Makes the composer, the box and the report file, restart and close the reporter's steps; the
// other steps stay as they are.
void InstallReportSteps();

// The box data of a request under the current settings.
TBoxData MakeBoxData(const TPresentRequest& request);
