// Map plug-ins: the loaded shared objects, their parameters kept in the settings store, and the
// loader that tries each one in a helper process before it loads it.
#pragma once

#include "core/uGeneral.h"
#include "plugins/tarvell_plugin.h"

#include <QCoreApplication>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TSettingsStore;
struct link_map;

// Texts of this unit.
class TPluginTexts {
    Q_DECLARE_TR_FUNCTIONS(PluginUtils)
};

// 0: plugins/openexternal/ ("Show in", "Add to"); 1: plugins/htmlembed/ (map tabs).
enum class TPluginKind { OpenExternal = 0, HtmlEmbed = 1 };

// Bounds on what a plug-in hands over; see tarvell_plugin.h.
inline constexpr std::size_t MaxPluginText = 4096;
inline constexpr std::size_t MaxPluginPage = 64u << 20;
inline constexpr int MaxPluginParams = 256;
inline constexpr int MaxPluginOptions = 4096;
// The trial of one plug-in: its time and the most of its report file that is read.
inline constexpr int PluginTrialTimeoutMs = 5000;
inline constexpr qint64 MaxTrialReport = 64 * 1024;
// File name of the trial helper program installed beside the executable.
inline constexpr const char* PluginTrialProgram = "tarvell-plugintrial";

// Why a plug-in or one of its calls was refused. The arguments are the texts of the message, so
// a refusal found in the helper process is worded (and translated) by the program.
enum class TPluginErrorCode {
    LoadFailed, // file, loader message
    Invalid, // file
    Crashed, // file
    Hung, // file
    TrialExit, // file, exit code
    TrialNotStarted, // file, helper program
    TextTooLong, // plug-in, function, limit
    ParamCount, // file, count
    OptionCount, // file, parameter index, count
    BadName, // file, name
    Duplicate, // file, name, file of the plug-in loaded first
    Threw, // plug-in, function, exception text (may be empty)
    Unreadable, // plug-in, function
};

// A refused plug-in or plug-in call; the user sees the message.
class EPluginError : public EUserError {
public:
    EPluginError(TPluginErrorCode code, QStringList args);
    TPluginErrorCode Code() const { return FCode; }
    const QStringList& Args() const { return FArgs; }

private:
    TPluginErrorCode FCode;
    QStringList FArgs;
};

// Copies the zero-terminated text at text with reads that cannot fault, at most limit + 1 bytes
// (so that a longer text shows as limit + 1 bytes); std::nullopt when a byte before the terminator
// lies in memory that cannot be read.
std::optional<std::string> ReadForeignText(const char* text, std::size_t limit);

// The message of a refusal.
QString PluginErrorMessage(TPluginErrorCode code, const QStringList& args);
// A parameter value or limit as an integer; EUserError when it is not a whole 32-bit number.
int ParamInteger(const QString& text);
// Whether text can name a store section or key: not empty, no control characters, "[", "]" or
// "=", no blanks around it and no leading ";".
bool IsStorableName(const QString& text);

// One loaded plug-in. Every call into it runs on the calling thread; an exception leaving the
// plug-in becomes EPluginError (Threw) naming it, a text beyond its bound EPluginError
// (TextTooLong). No copying.
class TPluginBase {
public:
    virtual ~TPluginBase();
    TPluginBase(const TPluginBase&) = delete;
    TPluginBase& operator=(const TPluginBase&) = delete;

    TPluginKind Kind() const { return FKind; }
    const QString& DllPath() const { return FDllPath; }
    // The file name without folder.
    QString FileName() const;
    // The settings store file the parameters are read from and saved to.
    const QString& StoreFileName() const { return FStoreFileName; }
    // "plugins\" + the plug-in's name.
    QString SectionName() const;
    // False: the destructor does not save the parameters (the trial's copy).
    void SetSaveOnDestroy(bool value) { FSaveOnDestroy = value; }

    // The name as the plug-in gave it at load (the key of its section and of "DefaultPlugin").
    const QString& GetPlugInName() const { return FName; }
    uint8_t GetPlugInType() const;
    int GetParamCount() const;
    uint8_t GetParamType(int index) const;
    QString GetParamName(int index) const;
    void SetParamValue(int index, const QString& value);
    QString GetParamValue(int index) const;
    QString GetParamDefault(int index) const;
    int GetParamOptionCount(int index) const;
    QString GetParamOptionName(int index, int option) const;
    QString GetParamOptionValue(int index, int option) const;
    QString GetParamMin(int index) const;
    QString GetParamMax(int index) const;
    // Below 0 reads as 0.
    int GetMaxPois() const;

protected:
    TPluginBase(TPluginKind kind, QString dllPath);
    // Loads the library, binds the common exports and then the kind's (BindExports), checks the
    // names and counts and passes the stored parameter values. Throws EPluginError; a failed
    // plug-in is never called again. Run at the end of the derived constructor.
    void Open(const TSettingsStore& store);
    virtual void BindExports() = 0;
    // The kind's own checks of its answers, run at load.
    virtual void CheckKindAnswers() const { }
    // The export of that name from the library itself; EPluginError (Invalid) when it is missing
    // or another library provides it.
    void* Bind(const char* name) const;
    template <class F>
    F BindAs(const char* name) const
    {
        return reinterpret_cast<F>(Bind(name));
    }
    // Calls an export, turning an exception into EPluginError naming the plug-in.
    template <class R, class... A, class... P>
    R Call(const char* what, R (*fn)(A...), P&&... args) const
    {
        try {
            return fn(std::forward<P>(args)...);
        } catch (...) {
            ThrowCallFailed(what);
        }
    }
    // A text of the plug-in, copied: null reads as empty; longer than limit bytes or unreadable
    // before its terminator: EPluginError.
    QString Text(const char* what, const char* text, std::size_t limit = MaxPluginText) const;
    // The same as the plug-in's 8-bit bytes.
    std::string Bytes(const char* what, const char* text, std::size_t limit) const;
    // The name errors use: the plug-in's name once known, else its file name.
    QString Display() const;
    [[noreturn]] void ThrowCallFailed(const char* what) const;

private:
    void CheckAnswers() const;
    void LoadParameters(const TSettingsStore& store);
    void SaveParameters() noexcept;

    TPluginKind FKind;
    QString FDllPath;
    QString FStoreFileName;
    QString FName;
    void* FHandle = nullptr;
    link_map* FLinkMap = nullptr;
    bool FBound = false;
    bool FSaveOnDestroy = true;

    const char* (*FGetPlugInName)() = nullptr;
    const char* (*FGetAuthorName)() = nullptr;
    uint8_t (*FGetPlugInType)() = nullptr;
    int32_t (*FGetParamCount)() = nullptr;
    uint8_t (*FGetParamType)(int32_t) = nullptr;
    const char* (*FGetParamName)(int32_t) = nullptr;
    void (*FSetParamValue)(int32_t, const char*) = nullptr;
    const char* (*FGetParamValue)(int32_t) = nullptr;
    const char* (*FGetParamDefault)(int32_t) = nullptr;
    int32_t (*FGetParamOptionCount)(int32_t) = nullptr;
    const char* (*FGetParamOptionName)(int32_t, int32_t) = nullptr;
    const char* (*FGetParamOptionValue)(int32_t, int32_t) = nullptr;
    const char* (*FGetParamMin)(int32_t) = nullptr;
    const char* (*FGetParamMax)(int32_t) = nullptr;
    int32_t (*FGetMaxPois)() = nullptr;
};

// A plug-in of plugins/openexternal/. Names are 8-bit texts, passed for the call only.
class TPluginOpenExternal : public TPluginBase {
public:
    // Loads the plug-in at dllPath with the parameters stored in store; throws EPluginError.
    TPluginOpenExternal(QString dllPath, const TSettingsStore& store);

    void GotoPoi(double lon, double lat, std::string_view name);
    void SetArrangeArea(int left, int top, int width, int height);
    void AddPoi(double lon, double lat, std::string_view name, int first);
    bool GetCanAddPoi() const;
    bool GetCanAutoArrange() const;
    void SetAutoArrange(bool value);
    void SetCloseCallBack(TarvellCloseCallback callback);

protected:
    void BindExports() override;
    void CheckKindAnswers() const override;

private:
    void (*FGotoPoi)(double, double, const char*) = nullptr;
    void (*FSetArrangeArea)(int32_t, int32_t, int32_t, int32_t) = nullptr;
    void (*FAddPoi)(double, double, const char*, int32_t) = nullptr;
    uint8_t (*FGetCanAddPoi)() = nullptr;
    uint8_t (*FGetCanAutoArrange)() = nullptr;
    void (*FSetAutoArrange)(uint8_t) = nullptr;
    void (*FSetCloseCallBack)(TarvellCloseCallback) = nullptr;
};

// A plug-in of plugins/htmlembed/.
class TPluginHtmlEmbed : public TPluginBase {
public:
    TPluginHtmlEmbed(QString dllPath, const TSettingsStore& store);

    void Init(int count);
    void SetPoi(int index, double lon, double lat, std::string_view name);
    // The page as the plug-in's 8-bit bytes, at most MaxPluginPage.
    std::string GetHtml();
    QString Caption() const;

protected:
    void BindExports() override;
    void CheckKindAnswers() const override;

private:
    void (*FInit)(int32_t) = nullptr;
    void (*FSetPoi)(int32_t, double, double, const char*) = nullptr;
    const char* (*FGetHtml)() = nullptr;
    const char* (*FCaption)() = nullptr;
};

// Owning list of loaded plug-ins; freeing it frees (and saves) every plug-in.
class TPluginList {
public:
    void Add(std::unique_ptr<TPluginBase> plugin) { FItems.push_back(std::move(plugin)); }
    int Count() const { return int(FItems.size()); }
    TPluginBase* Items(int i) const { return FItems.at(std::size_t(i)).get(); }
    template <class T>
    T* ItemAs(int i) const
    {
        return dynamic_cast<T*>(Items(i));
    }
    // The plug-in of that name (case-insensitive), else nullptr.
    TPluginBase* Find(const QString& name) const;
    // Frees every plug-in, last first.
    void Clear();

private:
    std::vector<std::unique_ptr<TPluginBase>> FItems;
};

// Creates the plug-in of that kind at path (in this process); throws EPluginError.
std::unique_ptr<TPluginBase> CreatePlugin(TPluginKind kind, const QString& path, const TSettingsStore& store);

// Tries a plug-in before it is loaded; throws EPluginError when it is refused.
using TPluginTrial = std::function<void(TPluginKind kind, const QString& path, const QString& storeFile)>;
// The trial in the helper program: crashing, hanging beyond timeoutMs or any refusal of
// CreatePlugin there refuses the plug-in.
TPluginTrial HelperProcessTrial(QString helperProgram, int timeoutMs = PluginTrialTimeoutMs);
// What the helper program does: loads the plug-in as CreatePlugin does, without saving anything,
// and writes the outcome to reportFile. Returns the helper's exit code.
int RunPluginTrial(TPluginKind kind, const QString& path, const QString& storeFile, const QString& reportFile);

struct TPluginLoadOptions {
    // The folder holding the *.so files; empty: GetAppDir() + "plugins/openexternal/" or
    // "plugins/htmlembed/".
    QString Folder;
    // The settings store file; empty: the program's.
    QString StoreFile;
    // Every refusal's message (the program shows a warning box).
    std::function<void(const QString& message)> Warn;
    // Empty: the helper program beside the executable.
    TPluginTrial Trial;
    // Plug-ins already loaded of the other kind; a name they use is refused too (one store section).
    const TPluginList* Others = nullptr;
};

// Where "Show in" and "Add to" put the external program and the main window: the program gets the
// monitor less a strip of 300 pixels at its right, which the main window takes. The usable size is
// the work area on the primary monitor, the whole monitor on the others; both start at the
// monitor's top left.
inline constexpr int PluginStripWidth = 300;
struct TPluginArrangement {
    QRect Area;
    QRect Strip;
};
TPluginArrangement PluginArrangement(const QRect& monitor, const QRect& workArea, bool primary);

// The folder of a kind: appDir + "plugins/openexternal/" or "plugins/htmlembed/".
QString PluginFolder(const QString& appDir, TPluginKind kind);
// Appends every "*.so" regular file (hidden ones too) of the folder, sorted ignoring case, that
// passes its trial and loads; each refused one is reported through Warn and left out. A missing
// folder loads nothing.
void LoadPlugins(TPluginList& list, TPluginKind kind, const TPluginLoadOptions& options = {});
