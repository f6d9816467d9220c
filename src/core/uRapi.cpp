// Device access over the device back end.
#include "core/uRapi.h"

#include "core/uCodePage.h"
#include "core/uDeviceFolder.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uStream.h"

#include <QFileInfo>

#include <chrono>
#include <thread>

namespace {

constexpr int ConnectTimeoutMs = 4000;
constexpr int ConnectPollMs = 50;
constexpr uint32_t MaxDeviceTransfer = 0xFFFFFFFEu;

struct TRapiState {
    std::unique_ptr<TDeviceBackend> Backend;
    bool Connected = false;
    std::unique_ptr<QStringList> Maps;
    TDeviceClock Clock;

    ~TRapiState()
    {
        if (Connected && Backend)
            Backend->RapiUnInit();
    }
};

TRapiState& State()
{
    static TRapiState state;
    return state;
}

TDeviceBackend& Rapi()
{
    LoadRapi();
    return *State().Backend;
}

int64_t NowMs()
{
    if (State().Clock.NowMs)
        return State().Clock.NowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms)
{
    if (State().Clock.SleepMs)
        State().Clock.SleepMs(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Closes a device file handle on every way out.
class TDeviceFileGuard {
public:
    explicit TDeviceFileGuard(TDeviceHandle handle)
        : FHandle(handle)
    {
    }
    ~TDeviceFileGuard()
    {
        if (FHandle != InvalidDeviceHandle)
            CeCloseHandle(FHandle);
    }
    // Closes now; false when the device refused (a written file then did not take its place).
    bool Close()
    {
        const TDeviceHandle handle = FHandle;
        FHandle = InvalidDeviceHandle;
        return CeCloseHandle(handle);
    }
    TDeviceFileGuard(const TDeviceFileGuard&) = delete;
    TDeviceFileGuard& operator=(const TDeviceFileGuard&) = delete;

private:
    TDeviceHandle FHandle;
};

class TDeviceKeyGuard {
public:
    explicit TDeviceKeyGuard(TDeviceKey key)
        : FKey(key)
    {
    }
    ~TDeviceKeyGuard() { CeRegCloseKey(FKey); }
    TDeviceKeyGuard(const TDeviceKeyGuard&) = delete;
    TDeviceKeyGuard& operator=(const TDeviceKeyGuard&) = delete;

private:
    TDeviceKey FKey;
};

QString CreateError(const QString& path) { return TRapiTexts::tr("Could not create remote file %1").arg(path); }

QString ReadError(const QString& path) { return TRapiTexts::tr("Could not read from remote file %1").arg(path); }

// The navigator's map folders, in the order the three sources give them.
QStringList DiscoverMaps()
{
    QStringList lines;
    TDeviceKey key = 0;
    if (CeRegOpenKeyEx(DeviceHkeyCurrentUser, QStringLiteral("Software\\TomTom\\TomTom Navigator\\Maps"), key) == 0) {
        const TDeviceKeyGuard guard(key);
        uint32_t count = 0;
        if (CeRegQueryInfoKey(key, count) != 0)
            throw EDeviceError(TRapiTexts::tr("Unable to determine number of values in remote registry key"));
        for (uint32_t i = 0; i < count; ++i) {
            QString name, data;
            if (CeRegEnumValue(key, i, name, data) != 0)
                throw EDeviceError(TRapiTexts::tr("Unable to read value from remote registry key"));
            // The navigator's pointer to the map in use, not a map.
            if (name != QLatin1String("LastMap"))
                lines << data + QChar('=') + name;
        }
    }
    for (const QString& card : {QStringLiteral("\\SD Card"), QStringLiteral("\\CF Card")}) {
        std::vector<TDeviceFindData> found;
        if (!CeFindAllFiles(card + QStringLiteral("\\*.*"), FafName | FafFoldersOnly | FafAttribChildren, found))
            continue;
        for (const TDeviceFindData& folder : found)
            if (folder.FileName.endsWith(QLatin1String("-map"), Qt::CaseInsensitive))
                lines << card + QChar('\\') + folder.FileName + QChar('=') + folder.FileName;
    }
    const QString currentMap = QStringLiteral("\\Program Files\\Navigator\\CurrentMap.dat");
    if (DeviceFileExists(currentMap)) {
        TMemoryStream stream;
        ReadDeviceFile(currentMap, stream);
        // Four bytes of unknown meaning, then the folder as a zero-terminated ANSI text.
        const std::string& bytes = stream.Data();
        std::string path;
        for (size_t i = 4; i < bytes.size() && bytes[i] != 0; ++i)
            path.push_back(bytes[i]);
        if (!path.empty()) {
            const QString folder = AnsiToUnicode(path);
            QString trimmed = folder;
            if (trimmed.endsWith(QChar('\\')))
                trimmed.chop(1);
            lines << folder + QChar('=') + trimmed.mid(trimmed.lastIndexOf(QChar('\\')) + 1);
        }
    }
    return lines;
}

} // namespace

EInitRapi::EInitRapi()
    : EUserError(TRapiTexts::tr("Unable to initialize connection to remote device. Please check the device is properly "
                                "connected, ActiveSync is installed and active and that the device is ActiveSync compatible"))
{
}

QString ConfiguredDeviceRoot()
{
    const QString fromEnvironment = qEnvironmentVariable("TARVELL_DEVICE_ROOT");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return GetSettings().DeviceRoot;
}

void LoadRapi()
{
    TRapiState& state = State();
    if (state.Backend)
        return;
    // Without a device root there is no remote API at all.
    if (ConfiguredDeviceRoot().isEmpty())
        throw EInitRapi();
    state.Backend = std::make_unique<TFolderDeviceBackend>([] { return ConfiguredDeviceRoot(); });
}

void SetDeviceBackend(std::unique_ptr<TDeviceBackend> backend)
{
    TRapiState& state = State();
    state.Maps.reset();
    if (state.Connected && state.Backend)
        state.Backend->RapiUnInit();
    state.Connected = false;
    state.Backend = std::move(backend);
}

void SetDeviceClock(TDeviceClock clock) { State().Clock = std::move(clock); }

uint32_t CeRapiInit() { return Rapi().RapiInit(); }
uint32_t CeRapiInitEx() { return Rapi().RapiInitEx(); }
uint32_t CeRapiUnInit() { return Rapi().RapiUnInit(); }
bool CeGetVersionEx() { return Rapi().GetVersionEx(); }
bool CeFindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found)
{
    return Rapi().FindAllFiles(pattern, flags, found);
}
TDeviceHandle CeFindFirstFile(const QString& pattern, TDeviceFindData& found) { return Rapi().FindFirstFile(pattern, found); }
bool CeFindClose(TDeviceHandle handle) { return Rapi().FindClose(handle); }
uint32_t CeGetFileAttributes(const QString& path) { return Rapi().GetFileAttributes(path); }
TDeviceHandle CeCreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t attributes)
{
    return Rapi().CreateFile(path, access, share, creation, attributes);
}
bool CeReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read) { return Rapi().ReadFile(handle, buffer, count, read); }
bool CeWriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written)
{
    return Rapi().WriteFile(handle, buffer, count, written);
}
bool CeCloseHandle(TDeviceHandle handle) { return Rapi().CloseHandle(handle); }
uint32_t CeGetFileSize(TDeviceHandle handle, uint32_t* sizeHigh) { return Rapi().GetFileSize(handle, sizeHigh); }
uint32_t GetRapiError() { return Rapi().GetLastError(); }
bool CeCopyFile(const QString& from, const QString& to, bool failIfExists) { return Rapi().CopyFile(from, to, failIfExists); }
bool CeDeleteFile(const QString& path) { return Rapi().DeleteFile(path); }
uint32_t CeRegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key) { return Rapi().RegOpenKeyEx(root, subKey, key); }
uint32_t CeRegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created)
{
    return Rapi().RegCreateKeyEx(root, subKey, key, created);
}
uint32_t CeRegCloseKey(TDeviceKey key) { return Rapi().RegCloseKey(key); }
uint32_t CeRegQueryInfoKey(TDeviceKey key, uint32_t& valueCount) { return Rapi().RegQueryInfoKey(key, valueCount); }
uint32_t CeRegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data)
{
    return Rapi().RegEnumValue(key, index, name, data);
}
uint32_t CeRegQueryValueEx(TDeviceKey key, const QString& name, QString& data) { return Rapi().RegQueryValueEx(key, name, data); }
uint32_t CeRegSetValueEx(TDeviceKey key, const QString& name, const QString& data) { return Rapi().RegSetValueEx(key, name, data); }

QString CeGetSpecialFolderPath(int csidl)
{
    TDeviceBackend& rapi = Rapi();
    if (!rapi.HasSpecialFolderPath())
        throw ETarvellError(TRapiTexts::tr("CeGetSpecialFolderPath function not loaded"));
    QString path;
    if (rapi.GetSpecialFolderPath(csidl, path) == 0)
        return QString();
    return path.left(1024);
}

QString SystemErrorMessage(uint32_t code)
{
    QString text;
    switch (code) {
    case DeviceErrorFileNotFound:
        text = TRapiTexts::tr("The system cannot find the file specified");
        break;
    case DeviceErrorPathNotFound:
        text = TRapiTexts::tr("The system cannot find the path specified");
        break;
    case DeviceErrorAccessDenied:
        text = TRapiTexts::tr("Access is denied");
        break;
    case DeviceErrorInvalidHandle:
        text = TRapiTexts::tr("The handle is invalid");
        break;
    case DeviceErrorGenFailure:
        text = TRapiTexts::tr("A device attached to the system is not functioning");
        break;
    case DeviceErrorNoMoreItems:
        text = TRapiTexts::tr("No more data is available");
        break;
    default:
        text = TRapiTexts::tr("System error %1").arg(code);
        break;
    }
    return text.left(255);
}

void ConnectDevice()
{
    TRapiState& state = State();
    const THourglass hourglass;
    if (state.Connected) {
        if (CeGetVersionEx())
            return;
        // The device went away since: start over.
        DisconnectDevice();
    }
    if (CeRapiInitEx() != 0)
        throw EInitRapi();
    state.Connected = true;
    const int64_t start = NowMs();
    uint32_t result = 0;
    bool signalled = Rapi().InitDone(result);
    while (!signalled) {
        const int64_t left = ConnectTimeoutMs - (NowMs() - start);
        if (left <= 0)
            break;
        SleepMs(int(std::min<int64_t>(left, ConnectPollMs)));
        signalled = Rapi().InitDone(result);
    }
    if (!signalled || result != 0) {
        DisconnectDevice();
        throw EInitRapi();
    }
}

bool IsDeviceConnected() { return State().Connected; }

void DisconnectDevice()
{
    TRapiState& state = State();
    state.Maps.reset();
    if (state.Connected) {
        state.Connected = false;
        CeRapiUnInit();
    }
}

void ReadDeviceFile(const QString& path, TMemoryStream& stream)
{
    ConnectDevice();
    const TDeviceHandle handle = CeCreateFile(path, DeviceGenericRead, DeviceShareRead, DeviceOpenExisting, 0);
    if (handle == InvalidDeviceHandle)
        throw EDeviceError(TRapiTexts::tr("Could not open remote file %1").arg(path));
    TDeviceFileGuard guard(handle);
    uint32_t sizeHigh = 0;
    const uint32_t size = CeGetFileSize(handle, &sizeHigh);
    // An invalid size is an answer, not a size to allocate.
    if (size == InvalidFileSize || sizeHigh != 0)
        throw EDeviceError(ReadError(path));
    stream.Clear();
    std::string& data = stream.MutableData();
    data.resize(size);
    if (size > 0) {
        uint32_t read = 0;
        if (!CeReadFile(handle, data.data(), size, read) || read < size) {
            stream.Clear();
            throw EDeviceError(ReadError(path));
        }
    }
}

void WriteDeviceFile(const QString& path, const void* buffer, uint64_t count)
{
    ConnectDevice();
    if (count > MaxDeviceTransfer)
        throw EDeviceError(CreateError(path));
    const TDeviceHandle handle = CeCreateFile(path, DeviceGenericWrite, 0, DeviceCreateAlways, DeviceAttrNormal);
    if (handle == InvalidDeviceHandle)
        throw EDeviceError(CreateError(path));
    TDeviceFileGuard guard(handle);
    uint32_t written = 0;
    const bool complete = CeWriteFile(handle, buffer, uint32_t(count), written) && written == count;
    // The back end puts the new file in place only when it is closed after a complete write.
    const bool closed = guard.Close();
    if (!complete || !closed)
        throw EDeviceError(CreateError(path));
}

void WriteDeviceFile(const QString& path, std::string_view bytes) { WriteDeviceFile(path, bytes.data(), bytes.size()); }

void CopyFileToDevice(const QString& localFile, const QString& path)
{
    ConnectDevice();
    // A file gone or unreadable is the user's to set right, like the device's own failures.
    if (!QFileInfo(localFile).isFile())
        throw EUserError(TRapiTexts::tr("File %1 not found").arg(localFile));
    std::string bytes;
    try {
        bytes = LoadBytesFromFile(localFile);
    } catch (const EInOutError& e) {
        throw EUserError(e.Message());
    }
    WriteDeviceFile(path, bytes);
}

bool DeviceFileExists(const QString& path)
{
    TDeviceFindData found;
    const TDeviceHandle handle = CeFindFirstFile(path, found);
    if (handle == InvalidDeviceHandle)
        return false;
    CeFindClose(handle);
    return true;
}

bool ListDeviceFolder(const QString& folder, const std::function<void(const QString& name, bool isFolder)>& callback)
{
    std::vector<TDeviceFindData> found;
    if (!CeFindAllFiles(folder + QStringLiteral("*.*"), FafName | FafAttributes, found))
        return false;
    for (const TDeviceFindData& entry : found)
        callback(entry.FileName, entry.IsFolder());
    return true;
}

void RaiseIfDeviceLost()
{
    if (IsDeviceConnected() && CeGetVersionEx())
        return;
    DisconnectDevice();
    throw EInitRapi();
}

TDeviceEntry DeviceEntryAt(const QString& path)
{
    const uint32_t attributes = CeGetFileAttributes(path);
    if (attributes == InvalidFileAttributes) {
        RaiseIfDeviceLost();
        return TDeviceEntry::None;
    }
    return (attributes & DeviceAttrDirectory) != 0 ? TDeviceEntry::Folder : TDeviceEntry::File;
}

QString GetDeviceSpecialFolder(int csidl)
{
    ConnectDevice();
    return CeGetSpecialFolderPath(csidl);
}

TDeviceKey CreateDeviceRegKey(TDeviceKey root, const QString& subKey, bool& created)
{
    ConnectDevice();
    TDeviceKey key = 0;
    created = false;
    const uint32_t status = CeRegCreateKeyEx(root, subKey, key, created);
    if (status != 0)
        throw EDeviceError(TRapiTexts::tr("Unable to create key in remote registry: %1").arg(SystemErrorMessage(status)));
    return key;
}

void GetDeviceMaps(QStringList& list, bool namesOnly)
{
    const THourglass hourglass;
    ConnectDevice();
    TRapiState& state = State();
    // Kept only once complete, so that a failed discovery is tried again.
    if (!state.Maps)
        state.Maps = std::make_unique<QStringList>(DiscoverMaps());
    list.clear();
    for (const QString& line : *state.Maps)
        list << (namesOnly ? line.mid(line.indexOf(QChar('=')) + 1) : line);
}
