// The program's bridge to the crash reporter: user errors stay plain warnings, the box's close
// and restart buttons follow the program's state, and every bug report and the system
// information carry the dump of the whole settings store, with passwords masked.
#pragma once

#include "core/uGeneral.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class ReportedException;

// The class library's printer errors: user errors like EUserError.
class EPrinter : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// Set by the main window's close query while it closes; cleared by AppExceptionHandler.
extern std::atomic<bool> AppClosing;
// Cleared by the main window when it is first shown.
extern std::atomic<bool> AppStarting;

// The phase-1 handler of the crash reporter (handling thread): a user error (EUserError and its
// descendants, EPrinter, EInOutError, EStoreError) becomes a warning and is handled, so that no report is
// saved, mailed or shown. Otherwise the box gets restart and close while the program starts or
// closes, else neither (close stays for an exception that cannot continue), and the settings
// dump is appended to the report.
void AppExceptionHandler(bool frozen, const ReportedException* exceptObject, uintptr_t exceptAddr, uint32_t crashedThreadId,
                         std::string& bugReport, std::string& screenShot, bool& canContinue, bool& handled);
// Registers AppExceptionHandler (sync mode 0, phase 1); once, before the main window exists.
void RegisterAppExceptionHandler();

// Whether an exception is one the user can act on.
bool IsUserErrorException(const ReportedException* exceptObject);
// The message of a user error as the warning shows it: the message and ".", unless it already
// ends in a full stop.
QString UserErrorText(const ReportedException* exceptObject);

// How user errors reach the user: a warning shown on the GUI thread (the program installs one
// through its prompt interface), and what is done when the GUI thread does not take the call in
// time (the GUI thread may itself be the one waiting). Without a display the fallback serves;
// without a fallback the text goes to standard error.
struct TUserErrorDisplay {
    std::function<void(const QString& text)> OnGuiThread;
    std::function<void(const QString& text)> Fallback;
    std::chrono::milliseconds StartTimeout{1500};
};
void SetUserErrorDisplay(const TUserErrorDisplay& display);
// Shows text through the display: a blocking queued call on the GUI thread that must start
// within the display's time-out, else the fallback.
void ShowUserError(const QString& text);
// Runs body on the application's thread and waits for it; false (body not run) when that thread
// did not start it within startTimeout. Direct on that thread itself.
bool RunOnGuiThread(const std::function<void()>& body, std::chrono::milliseconds startTimeout);

// What the dump reads of a store. The program's store holds only strings; a store whose values
// have kinds (integers, binary data) answers each read or throws when the value is not of it.
class TSettingsDumpReader {
public:
    virtual ~TSettingsDumpReader() = default;
    // Sections and the value names of a section, in the store's order.
    virtual QStringList Sections() = 0;
    virtual QStringList Names(const QString& section) = 0;
    // Each throws when the value cannot be read as that kind.
    virtual QString ReadString(const QString& section, const QString& name) = 0;
    virtual qint64 ReadInteger(const QString& section, const QString& name) = 0;
    virtual QByteArray ReadBinary(const QString& section, const QString& name) = 0;
};

// The text that stands for a masked value.
inline constexpr const char* MaskedValue = "********";

// The value as the dump shows it: "********" when the lower-cased name contains "password", else
// the value with the user information of every address in it ("scheme://user:secret@") masked.
QString DumpValue(const QString& name, const QString& value);
// A section name, key or value as the dump shows it: credentials in addresses masked, control
// characters escaped ("\x1B").
QString DumpText(const QString& text);

// Appends the dump: per section CR LF "[" section "]" CR LF, then name "=" value CR LF per value.
// A value that is not a string is written in decimal, else as upper-case hex pairs. A failure of
// the reader (a std::exception) appends the error block instead of the rest; anything else
// propagates.
void GetSettingsDump(QString& report, TSettingsDumpReader& reader);
// The same over the program's settings store (opened for the dump, freed afterwards).
void GetSettingsDump(QString& report);
// Appends CR LF and the dump of the program's settings store.
void AddSettingsToBugReport(QString& report);
