// Mailing a bug report: by our SMTP client (to the recipient's mail exchanger or through a
// configured server), else by the desktop's mail program (xdg-email), else by its "mailto:"
// handler (xdg-open).
#pragma once

#include "crashreport/logic/VostSmtp.h"
#include "crashreport/logic/VostStrings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The reporter's mail settings; the crash reporter's settings record converts to it.
struct TMailSettings {
    std::string MailAddress; // recipients, "," or ";" separated; may hold "%appname%"
    std::string MailFrom;    // empty: "VostExcept" and the first recipient
    std::string MailSubject = "%appname% bug report";
    bool MailAttachReportFile = true;
    bool MailAttachTempCopy = false;
    bool MailDirect = false;
    bool MailViaServer = false;
    bool MailViaMapi = true;
    bool MailViaShell = true;
    std::string SmtpServer;
    uint32_t SmtpPort = 25;
    std::string SmtpAccount;
    std::string SmtpPassword; // clear text (deciphered at start-up)
    std::string MailExtraAttachments; // "|" separated paths
    std::string MailSentText = "The mail was sent successfully.";
    std::string MailFailedText = "Sorry, sending the mail didn't work.";
    std::string MailButtonCaption;
    // The saved report file, an absolute path (the configured name resolved against the data
    // folder); empty: none.
    std::string ReportFile;
};

struct TCrashReportSettings;
// The mail fields of the reporter's settings record; reportFile is the saved report's absolute
// path (the configured name already resolved), empty when there is none.
TMailSettings MailSettingsOf(const TCrashReportSettings& settings, std::string reportFile);

// What the mail routes need from outside; tests point it at loopback servers and stub programs.
struct TMailEnvironment {
    TSmtpConfig Smtp;
    std::string TempRoot; // empty: $TMPDIR, else /tmp
    std::string MailProgram = "xdg-email"; // looked up on PATH
    std::string UrlOpener = "xdg-open";
    // A mail program that is still open after this long shows the mail to the user: it counts
    // as sent, and is left running.
    std::chrono::milliseconds ProgramTimeout{std::chrono::minutes(10)};
};

// The window that mailing reports to (interactive calls only). Texts and caption arrive translated.
struct TMailOwner {
    // A message box: error or information icon, the caption, the text.
    std::function<void(bool error, const std::string& caption, const std::string& text)> ShowMessage;
    // Called before a mail program opens its window, so that a window kept on top steps back.
    std::function<void()> LeaveTopmost;
};

enum TMailResult : int { MailFailed = 0, MailSent = 1, MailCancelled = 2 };

// Sends the report with the saved report file, the screen shot (PNG bytes, may be empty) and the
// extra attachments. Interactive calls (automatic false) tell the outcome through the owner (may
// be nullptr); automatic ones never start a mail program.
int MailBugReport(std::string_view report, std::string_view screenShot, const TMailOwner* owner, bool automatic,
                  const TMailSettings& settings, const TMailEnvironment& environment = {});

// The desktop's mail program with the mail filled in: 1 when it ended well, else 0; 0 at once
// when automatic (nobody would be there to press send).
int SendMapiMail(std::string_view recipients, std::string_view subject, std::string_view body, bool automatic, const TMailOwner* owner,
                 std::string_view attachments, const TMailEnvironment& environment = {});
// The "mailto:" handler: true when it ended well.
bool SendMailtoMail(std::string_view recipients, std::string_view subject, std::string_view body,
                    const TMailEnvironment& environment = {});
// The "mailto:" URL, cut so that no escape is split when it exceeds maxLength.
std::string MailtoUrl(std::string_view recipients, std::string_view subject, std::string_view body, size_t maxLength = 32766);

// Each byte of the set becomes the escape character and two upper-case hexadecimal digits.
std::string EscapeChars(std::string_view text, const TCharSet& set, char escape);

// The text of the report's "exception message" line after its ":", trimmed; "Unknown" when none.
std::string ReportExceptionMessage(std::string_view report);

// The stored SMTP password to clear text and back: two passes of the reporter's cipher, one
// keyed by the server name and one by the account name (a pass with an empty key is left out).
void DecipherSmtpPassword(std::string& password, std::string_view server, std::string_view account);
void EncipherSmtpPassword(std::string& password, std::string_view server, std::string_view account);
// The start-up step: the settings record's stored password to clear text, in place.
void DecipherReporterPassword(TCrashReportSettings& settings);

// Runs a program found on PATH with these arguments (no shell) and waits for it: its exit code,
// -1 when it could not be started or did not exit normally, ProgramStillRunning when it had not
// ended within the time-out (it is left running).
constexpr int ProgramStillRunning = -2;
int RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout);
