// Map plug-ins: loading, binding, bounded texts, parameters and the trial in a helper process.
#include "plugins/loader/PluginUtils.h"

#include "core/uCodePage.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

const char* const KindFolders[2] = { "plugins/openexternal/", "plugins/htmlembed/" };

QString FileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

// An exception's text: what is readable of it, at most MaxPluginText bytes.
QString AnsiArg(const char* text)
{
    std::string bytes = ReadForeignText(text, MaxPluginText).value_or(std::string());
    if (bytes.size() > MaxPluginText)
        bytes.resize(MaxPluginText);
    return AnsiToUnicode(bytes);
}

void CheckName(const QString& file, const QString& name)
{
    if (!IsStorableName(name))
        throw EPluginError(TPluginErrorCode::BadName, { file, name });
}

// The trial's report: "OK", or "ERROR", the code and each argument in Base64, one a line.
QByteArray EncodeRefusal(const EPluginError& e)
{
    QByteArray text = "ERROR\n" + QByteArray::number(int(e.Code())) + '\n';
    for (const QString& arg : e.Args())
        text += arg.toUtf8().toBase64() + '\n';
    return text;
}

} // namespace

std::optional<std::string> ReadForeignText(const char* text, std::size_t limit)
{
    // A plug-in's text may run into a page that is not mapped: strnlen there would crash the
    // program. The kernel reads our own memory for us instead and reports such a page, a page at
    // a time, so a partial read ends exactly where the memory does.
    static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    constexpr std::size_t Chunk = 64 * 1024;
    constexpr int Pieces = 16;
    std::string out;
    if (!text)
        return out;
    const std::size_t want = limit + 1;
    std::vector<char> buffer(std::min(Chunk, want));
    uintptr_t at = reinterpret_cast<uintptr_t>(text);
    while (out.size() < want) {
        iovec remote[Pieces];
        int pieces = 0;
        std::size_t total = 0;
        for (uintptr_t p = at; pieces < Pieces && total < buffer.size() && out.size() + total < want;) {
            const std::size_t length
                = std::min({ page - std::size_t(p % page), buffer.size() - total, want - out.size() - total });
            remote[pieces++] = { reinterpret_cast<void*>(p), length };
            p += length;
            total += length;
        }
        iovec local { buffer.data(), total };
        const ssize_t got = process_vm_readv(getpid(), &local, 1, remote, unsigned(pieces), 0);
        if (got <= 0)
            return std::nullopt;
        const auto* end = static_cast<const char*>(std::memchr(buffer.data(), 0, std::size_t(got)));
        if (end) {
            out.append(buffer.data(), std::size_t(end - buffer.data()));
            return out;
        }
        out.append(buffer.data(), std::size_t(got));
        if (std::size_t(got) < total)
            return std::nullopt;
        at += std::size_t(got);
    }
    return out;
}

EPluginError::EPluginError(TPluginErrorCode code, QStringList args)
    : EUserError(PluginErrorMessage(code, args))
    , FCode(code)
    , FArgs(std::move(args))
{
}

QString PluginErrorMessage(TPluginErrorCode code, const QStringList& a)
{
    auto arg = [&a](int i) { return i < a.size() ? a[i] : QString(); };
    using C = TPluginErrorCode;
    switch (code) {
    case C::LoadFailed:
        return TPluginTexts::tr("Error during loading plugin dll library \"%1\": %2").arg(arg(0), arg(1));
    case C::Invalid:
        return TPluginTexts::tr("Invalid plugin \"%1\" found in the Tarvell plugin directory").arg(arg(0));
    case C::Crashed:
        return TPluginTexts::tr("The plugin \"%1\" crashed while it was loaded and was left out").arg(arg(0));
    case C::Hung:
        return TPluginTexts::tr("The plugin \"%1\" did not answer within 5 seconds while it was loaded and was left out")
            .arg(arg(0));
    case C::TrialExit:
        return TPluginTexts::tr("The plugin \"%1\" ended the test program with exit code %2 and was left out")
            .arg(arg(0), arg(1));
    case C::TrialNotStarted:
        return TPluginTexts::tr("The plugin \"%1\" could not be tested because \"%2\" did not start; it was left out")
            .arg(arg(0), arg(1));
    case C::TextTooLong:
        return TPluginTexts::tr("The plugin \"%1\" returned a text longer than %3 bytes from %2").arg(arg(0), arg(1), arg(2));
    case C::ParamCount:
        return TPluginTexts::tr("The plugin \"%1\" reports %2 parameters; 0 to 256 are allowed").arg(arg(0), arg(1));
    case C::OptionCount:
        return TPluginTexts::tr("The plugin \"%1\" reports %3 options for parameter %2; 0 to 4096 are allowed")
            .arg(arg(0), arg(1), arg(2));
    case C::BadName:
        return TPluginTexts::tr("The plugin \"%1\" uses the name \"%2\", which cannot be stored in the settings")
            .arg(arg(0), arg(1));
    case C::Duplicate:
        return TPluginTexts::tr("The plugin \"%1\" has the same name \"%2\" as the plugin \"%3\" and was left out")
            .arg(arg(0), arg(1), arg(2));
    case C::Threw:
        if (arg(2).isEmpty())
            return TPluginTexts::tr("The plugin \"%1\" failed in %2").arg(arg(0), arg(1));
        return TPluginTexts::tr("The plugin \"%1\" failed in %2: %3").arg(arg(0), arg(1), arg(2));
    case C::Unreadable:
        return TPluginTexts::tr("The plugin \"%1\" returned a text from %2 that runs into memory that cannot be read")
            .arg(arg(0), arg(1));
    }
    return QString();
}

int ParamInteger(const QString& text)
{
    try {
        return StrToInt32(text.toStdString());
    } catch (const EConvertError& e) {
        throw EUserError(e.Message());
    }
}

bool IsStorableName(const QString& text)
{
    if (text.isEmpty() || text.trimmed() != text || text.startsWith(QLatin1Char(';')))
        return false;
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('='))
            return false;
    return true;
}

// --- TPluginBase ------------------------------------------------------------------------------

TPluginBase::TPluginBase(TPluginKind kind, QString dllPath)
    : FKind(kind)
    , FDllPath(std::move(dllPath))
{
}

TPluginBase::~TPluginBase()
{
    if (FBound && FSaveOnDestroy)
        SaveParameters();
    if (FHandle)
        dlclose(FHandle);
}

QString TPluginBase::FileName() const { return FileNameOf(FDllPath); }

QString TPluginBase::SectionName() const { return QStringLiteral("plugins\\") + FName; }

QString TPluginBase::Display() const { return FName.isEmpty() ? FileName() : FName; }

void TPluginBase::ThrowCallFailed(const char* what) const
{
    try {
        throw;
    } catch (const std::exception& e) {
        throw EPluginError(TPluginErrorCode::Threw, { Display(), QString::fromLatin1(what), AnsiArg(e.what()) });
    } catch (...) {
        throw EPluginError(TPluginErrorCode::Threw, { Display(), QString::fromLatin1(what), QString() });
    }
}

QString TPluginBase::Text(const char* what, const char* text, std::size_t limit) const
{
    return AnsiToUnicode(Bytes(what, text, limit));
}

std::string TPluginBase::Bytes(const char* what, const char* text, std::size_t limit) const
{
    std::optional<std::string> bytes = ReadForeignText(text, limit);
    if (!bytes)
        throw EPluginError(TPluginErrorCode::Unreadable, { Display(), QString::fromLatin1(what) });
    if (bytes->size() > limit)
        throw EPluginError(
            TPluginErrorCode::TextTooLong, { Display(), QString::fromLatin1(what), QString::number(limit) });
    return std::move(*bytes);
}

void* TPluginBase::Bind(const char* name) const
{
    void* symbol = dlsym(FHandle, name);
    Dl_info info {};
    link_map* owner = nullptr;
    // dlsym also finds the libraries the plug-in depends on; only its own exports count.
    if (!symbol || !dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) || owner != FLinkMap)
        throw EPluginError(TPluginErrorCode::Invalid, { FileName() });
    return symbol;
}

void TPluginBase::Open(const TSettingsStore& store)
{
    FStoreFileName = store.FileName();
    dlerror();
    FHandle = dlopen(QFile::encodeName(FDllPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        const char* error = dlerror();
        throw EPluginError(TPluginErrorCode::LoadFailed, { FileName(), error ? QString::fromLocal8Bit(error) : QString() });
    }
    if (dlinfo(FHandle, RTLD_DI_LINKMAP, &FLinkMap) != 0 || !FLinkMap)
        throw EPluginError(TPluginErrorCode::LoadFailed, { FileName(), QString::fromLocal8Bit(dlerror()) });

    FGetPlugInName = BindAs<decltype(FGetPlugInName)>("GetPlugInName");
    FGetAuthorName = BindAs<decltype(FGetAuthorName)>("GetAuthorName");
    FGetPlugInType = BindAs<decltype(FGetPlugInType)>("GetPlugInType");
    FGetParamCount = BindAs<decltype(FGetParamCount)>("GetParamCount");
    FGetParamType = BindAs<decltype(FGetParamType)>("GetParamType");
    FGetParamName = BindAs<decltype(FGetParamName)>("GetParamName");
    FSetParamValue = BindAs<decltype(FSetParamValue)>("SetParamValue");
    FGetParamValue = BindAs<decltype(FGetParamValue)>("GetParamValue");
    FGetParamDefault = BindAs<decltype(FGetParamDefault)>("GetParamDefault");
    FGetParamOptionCount = BindAs<decltype(FGetParamOptionCount)>("GetParamOptionCount");
    FGetParamOptionName = BindAs<decltype(FGetParamOptionName)>("GetParamOptionName");
    FGetParamOptionValue = BindAs<decltype(FGetParamOptionValue)>("GetParamOptionValue");
    FGetParamMin = BindAs<decltype(FGetParamMin)>("GetParamMin");
    FGetParamMax = BindAs<decltype(FGetParamMax)>("GetParamMax");
    FGetMaxPois = BindAs<decltype(FGetMaxPois)>("GetMaxPois");
    BindExports();

    const QString name = Text("GetPlugInName", Call("GetPlugInName", FGetPlugInName));
    CheckName(FileName(), name);
    FName = name;
    CheckAnswers();
    LoadParameters(store);
    FBound = true;
}

// Everything the program later asks without the user doing anything: asked once here, so the
// trial finds a plug-in that crashes, hangs or throws on it.
void TPluginBase::CheckAnswers() const
{
    GetPlugInType();
    const int32_t count = Call("GetParamCount", FGetParamCount);
    if (count < 0 || count > MaxPluginParams)
        throw EPluginError(TPluginErrorCode::ParamCount, { FileName(), QString::number(count) });
    for (int i = 0; i < count; ++i) {
        CheckName(FileName(), GetParamName(i));
        const uint8_t type = GetParamType(i);
        GetParamValue(i);
        GetParamDefault(i);
        GetParamMin(i);
        GetParamMax(i);
        if (type != 2)
            continue;
        const int32_t options = Call("GetParamOptionCount", FGetParamOptionCount, int32_t(i));
        if (options < 0 || options > MaxPluginOptions)
            throw EPluginError(TPluginErrorCode::OptionCount, { FileName(), QString::number(i), QString::number(options) });
        for (int j = 0; j < options; ++j) {
            GetParamOptionName(i, j);
            GetParamOptionValue(i, j);
        }
    }
    GetMaxPois();
    CheckKindAnswers();
}

void TPluginBase::LoadParameters(const TSettingsStore& store)
{
    const QString section = SectionName();
    for (int i = 0, n = GetParamCount(); i < n; ++i) {
        const QString name = GetParamName(i);
        if (store.ValueExists(section, name))
            SetParamValue(i, store.ReadString(section, name, QString()));
    }
}

void TPluginBase::SaveParameters() noexcept
{
    try {
        TSettingsStore store(FStoreFileName);
        store.BeginUpdate();
        const QString section = SectionName();
        for (int i = 0, n = GetParamCount(); i < n; ++i)
            store.WriteString(section, GetParamName(i), GetParamValue(i));
        store.EndUpdate();
    } catch (...) {
        // The program is ending: a plug-in or store that fails now loses only this run's changes.
    }
}

uint8_t TPluginBase::GetPlugInType() const { return Call("GetPlugInType", FGetPlugInType); }

int TPluginBase::GetParamCount() const
{
    const int32_t count = Call("GetParamCount", FGetParamCount);
    // Checked at load; a plug-in that changes its mind is held to the bound.
    return count < 0 ? 0 : std::min<int>(count, MaxPluginParams);
}

uint8_t TPluginBase::GetParamType(int index) const { return Call("GetParamType", FGetParamType, int32_t(index)); }

QString TPluginBase::GetParamName(int index) const
{
    return Text("GetParamName", Call("GetParamName", FGetParamName, int32_t(index)));
}

void TPluginBase::SetParamValue(int index, const QString& value)
{
    const std::string text = UnicodeToAnsi(value);
    Call("SetParamValue", FSetParamValue, int32_t(index), text.c_str());
}

QString TPluginBase::GetParamValue(int index) const
{
    return Text("GetParamValue", Call("GetParamValue", FGetParamValue, int32_t(index)));
}

QString TPluginBase::GetParamDefault(int index) const
{
    return Text("GetParamDefault", Call("GetParamDefault", FGetParamDefault, int32_t(index)));
}

int TPluginBase::GetParamOptionCount(int index) const
{
    const int32_t count = Call("GetParamOptionCount", FGetParamOptionCount, int32_t(index));
    return count < 0 ? 0 : std::min<int>(count, MaxPluginOptions);
}

QString TPluginBase::GetParamOptionName(int index, int option) const
{
    return Text("GetParamOptionName", Call("GetParamOptionName", FGetParamOptionName, int32_t(index), int32_t(option)));
}

QString TPluginBase::GetParamOptionValue(int index, int option) const
{
    return Text(
        "GetParamOptionValue", Call("GetParamOptionValue", FGetParamOptionValue, int32_t(index), int32_t(option)));
}

QString TPluginBase::GetParamMin(int index) const
{
    return Text("GetParamMin", Call("GetParamMin", FGetParamMin, int32_t(index)));
}

QString TPluginBase::GetParamMax(int index) const
{
    return Text("GetParamMax", Call("GetParamMax", FGetParamMax, int32_t(index)));
}

int TPluginBase::GetMaxPois() const { return std::max<int32_t>(0, Call("GetMaxPois", FGetMaxPois)); }

// --- TPluginOpenExternal ----------------------------------------------------------------------

TPluginOpenExternal::TPluginOpenExternal(QString dllPath, const TSettingsStore& store)
    : TPluginBase(TPluginKind::OpenExternal, std::move(dllPath))
{
    Open(store);
}

void TPluginOpenExternal::BindExports()
{
    FGotoPoi = BindAs<decltype(FGotoPoi)>("GotoPoi");
    FSetArrangeArea = BindAs<decltype(FSetArrangeArea)>("SetArrangeArea");
    FAddPoi = BindAs<decltype(FAddPoi)>("AddPoi");
    FGetCanAddPoi = BindAs<decltype(FGetCanAddPoi)>("GetCanAddPoi");
    FGetCanAutoArrange = BindAs<decltype(FGetCanAutoArrange)>("GetCanAutoArrange");
    FSetAutoArrange = BindAs<decltype(FSetAutoArrange)>("SetAutoArrange");
    FSetCloseCallBack = BindAs<decltype(FSetCloseCallBack)>("SetCloseCallBack");
}

void TPluginOpenExternal::CheckKindAnswers() const
{
    GetCanAddPoi();
    GetCanAutoArrange();
}

void TPluginOpenExternal::GotoPoi(double lon, double lat, std::string_view name)
{
    const std::string text(name);
    Call("GotoPoi", FGotoPoi, lon, lat, text.c_str());
}

void TPluginOpenExternal::SetArrangeArea(int left, int top, int width, int height)
{
    Call("SetArrangeArea", FSetArrangeArea, int32_t(left), int32_t(top), int32_t(width), int32_t(height));
}

void TPluginOpenExternal::AddPoi(double lon, double lat, std::string_view name, int first)
{
    const std::string text(name);
    Call("AddPoi", FAddPoi, lon, lat, text.c_str(), int32_t(first));
}

bool TPluginOpenExternal::GetCanAddPoi() const { return Call("GetCanAddPoi", FGetCanAddPoi) != 0; }

bool TPluginOpenExternal::GetCanAutoArrange() const { return Call("GetCanAutoArrange", FGetCanAutoArrange) != 0; }

void TPluginOpenExternal::SetAutoArrange(bool value) { Call("SetAutoArrange", FSetAutoArrange, uint8_t(value ? 1 : 0)); }

void TPluginOpenExternal::SetCloseCallBack(TarvellCloseCallback callback)
{
    Call("SetCloseCallBack", FSetCloseCallBack, callback);
}

// --- TPluginHtmlEmbed -------------------------------------------------------------------------

TPluginHtmlEmbed::TPluginHtmlEmbed(QString dllPath, const TSettingsStore& store)
    : TPluginBase(TPluginKind::HtmlEmbed, std::move(dllPath))
{
    Open(store);
}

void TPluginHtmlEmbed::BindExports()
{
    FInit = BindAs<decltype(FInit)>("Init");
    FSetPoi = BindAs<decltype(FSetPoi)>("SetPoi");
    FGetHtml = BindAs<decltype(FGetHtml)>("GetHtml");
    FCaption = BindAs<decltype(FCaption)>("Caption");
}

void TPluginHtmlEmbed::CheckKindAnswers() const { Caption(); }

void TPluginHtmlEmbed::Init(int count) { Call("Init", FInit, int32_t(count)); }

void TPluginHtmlEmbed::SetPoi(int index, double lon, double lat, std::string_view name)
{
    const std::string text(name);
    Call("SetPoi", FSetPoi, int32_t(index), lon, lat, text.c_str());
}

std::string TPluginHtmlEmbed::GetHtml()
{
    return Bytes("GetHtml", Call("GetHtml", FGetHtml), MaxPluginPage);
}

QString TPluginHtmlEmbed::Caption() const { return Text("Caption", Call("Caption", FCaption)); }

// --- list and loader --------------------------------------------------------------------------

TPluginBase* TPluginList::Find(const QString& name) const
{
    for (const auto& plugin : FItems)
        if (plugin->GetPlugInName().compare(name, Qt::CaseInsensitive) == 0)
            return plugin.get();
    return nullptr;
}

void TPluginList::Clear()
{
    while (!FItems.empty())
        FItems.pop_back();
}

std::unique_ptr<TPluginBase> CreatePlugin(TPluginKind kind, const QString& path, const TSettingsStore& store)
{
    if (kind == TPluginKind::OpenExternal)
        return std::make_unique<TPluginOpenExternal>(path, store);
    return std::make_unique<TPluginHtmlEmbed>(path, store);
}

int RunPluginTrial(TPluginKind kind, const QString& path, const QString& storeFile, const QString& reportFile)
{
    QByteArray report;
    int code = 0;
    try {
        const TSettingsStore store(storeFile);
        auto plugin = CreatePlugin(kind, path, store);
        plugin->SetSaveOnDestroy(false);
        report = "OK\n";
    } catch (const EPluginError& e) {
        report = EncodeRefusal(e);
        code = 1;
    } catch (const std::exception& e) {
        report = EncodeRefusal(EPluginError(TPluginErrorCode::Threw, { FileNameOf(path), QStringLiteral("load"), AnsiArg(e.what()) }));
        code = 1;
    }
    QFile file(reportFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(report) != report.size())
        return 2;
    file.close();
    return code;
}

TPluginTrial HelperProcessTrial(QString helperProgram, int timeoutMs)
{
    return [helperProgram, timeoutMs](TPluginKind kind, const QString& path, const QString& storeFile) {
        const QString file = FileNameOf(path);
        QTemporaryDir dir;
        if (!dir.isValid())
            throw EPluginError(TPluginErrorCode::TrialNotStarted, { file, helperProgram });
        const QString reportFile = dir.filePath(QStringLiteral("report"));
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(helperProgram, { QString::number(int(kind)), path, storeFile, reportFile });
        if (!process.waitForStarted(timeoutMs))
            throw EPluginError(TPluginErrorCode::TrialNotStarted, { file, helperProgram });
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(-1);
            throw EPluginError(TPluginErrorCode::Hung, { file });
        }
        if (process.exitStatus() != QProcess::NormalExit)
            throw EPluginError(TPluginErrorCode::Crashed, { file });
        QFile reportIn(reportFile);
        QList<QByteArray> lines;
        if (reportIn.open(QIODevice::ReadOnly))
            lines = reportIn.read(MaxTrialReport).split('\n');
        if (process.exitCode() == 0 && !lines.isEmpty() && lines[0] == "OK")
            return;
        if (process.exitCode() == 1 && lines.size() >= 2 && lines[0] == "ERROR") {
            bool ok = false;
            const int code = lines[1].toInt(&ok);
            if (ok && code >= 0 && code <= int(TPluginErrorCode::Unreadable)) {
                QStringList args;
                for (int i = 2; i < lines.size(); ++i)
                    if (!lines[i].isEmpty())
                        args << QString::fromUtf8(QByteArray::fromBase64(lines[i]));
                throw EPluginError(TPluginErrorCode(code), args);
            }
        }
        throw EPluginError(TPluginErrorCode::TrialExit, { file, QString::number(process.exitCode()) });
    };
}

TPluginArrangement PluginArrangement(const QRect& monitor, const QRect& workArea, bool primary)
{
    const QRect usable = primary ? workArea : monitor;
    const int width = usable.width() - PluginStripWidth;
    const int height = usable.height();
    return { QRect(monitor.left(), monitor.top(), width, height),
        QRect(monitor.left() + width, monitor.top(), PluginStripWidth, height) };
}

QString PluginFolder(const QString& appDir, TPluginKind kind)
{
    QString dir = appDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QLatin1String(KindFolders[int(kind)]);
}

void LoadPlugins(TPluginList& list, TPluginKind kind, const TPluginLoadOptions& options)
{
    const QString folder = options.Folder.isEmpty() ? PluginFolder(GetAppDir(), kind) : options.Folder;
    const QString storeFile = options.StoreFile.isEmpty() ? SettingsStoreFileName() : options.StoreFile;
    const TPluginTrial trial = options.Trial ? options.Trial : HelperProcessTrial(GetAppDir() + QLatin1String(PluginTrialProgram));
    const QDir dir(folder);
    QStringList files = dir.entryList({ QStringLiteral("*.so") },
        QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    const TSettingsStore store(storeFile);
    for (const QString& name : files) {
        const QString path = dir.absoluteFilePath(name);
        // Sockets, pipes and devices are not plug-ins, whatever their names.
        if (!QFileInfo(path).isFile())
            continue;
        try {
            trial(kind, path, storeFile);
            auto plugin = CreatePlugin(kind, path, store);
            const TPluginBase* first = list.Find(plugin->GetPlugInName());
            if (!first && options.Others)
                first = options.Others->Find(plugin->GetPlugInName());
            if (first) {
                plugin->SetSaveOnDestroy(false);
                throw EPluginError(TPluginErrorCode::Duplicate, { name, plugin->GetPlugInName(), first->FileName() });
            }
            list.Add(std::move(plugin));
        } catch (const EUserError& e) {
            if (options.Warn)
                options.Warn(e.Message());
        }
    }
}
