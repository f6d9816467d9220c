// Device access: the device back end behind the remote-API wrappers, the one connection with its
// time-out, device files and folders, special folders, the device registry and map discovery.
#pragma once

#include "core/uGeneral.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class TMemoryStream;

class TRapiTexts {
    Q_DECLARE_TR_FUNCTIONS(uRapi)
};

// The device cannot be reached: shown as a plain message.
class EInitRapi : public EUserError {
public:
    EInitRapi();
};

// A device file or registry operation failed: a folder missing on the device, a full or
// read-only device, a path leaving the device root. The user can set it right, so it is a plain
// message, not a program fault.
class EDeviceError : public EUserError {
public:
    using EUserError::EUserError;
};

// --- remote API values ----------------------------------------------------------------------
using TDeviceHandle = intptr_t;
using TDeviceKey = uint32_t;
inline constexpr TDeviceHandle InvalidDeviceHandle = -1;
inline constexpr uint32_t InvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr uint32_t InvalidFileSize = 0xFFFFFFFFu;
// What a status call answers when its export is not bound.
inline constexpr uint32_t RapiUnboundStatus = 0xFFFF;

inline constexpr uint32_t DeviceAttrReadOnly = 0x01;
inline constexpr uint32_t DeviceAttrDirectory = 0x10;
inline constexpr uint32_t DeviceAttrArchive = 0x20;
inline constexpr uint32_t DeviceAttrNormal = 0x80;

inline constexpr uint32_t DeviceGenericRead = 0x80000000u;
inline constexpr uint32_t DeviceGenericWrite = 0x40000000u;
inline constexpr uint32_t DeviceShareRead = 0x01;
inline constexpr uint32_t DeviceCreateAlways = 2;
inline constexpr uint32_t DeviceOpenExisting = 3;

// CeFindAllFiles flags.
inline constexpr uint32_t FafAttributes = 0x01;
inline constexpr uint32_t FafName = 0x80;
inline constexpr uint32_t FafAttribChildren = 0x1000;
inline constexpr uint32_t FafFoldersOnly = 0x4000;

inline constexpr TDeviceKey DeviceHkeyClassesRoot = 0x80000000u;
inline constexpr TDeviceKey DeviceHkeyCurrentUser = 0x80000001u;
inline constexpr TDeviceKey DeviceHkeyLocalMachine = 0x80000002u;
inline constexpr TDeviceKey DeviceHkeyUsers = 0x80000003u;

// System error codes the back ends answer with.
inline constexpr uint32_t DeviceErrorFileNotFound = 2;
inline constexpr uint32_t DeviceErrorPathNotFound = 3;
inline constexpr uint32_t DeviceErrorAccessDenied = 5;
inline constexpr uint32_t DeviceErrorInvalidHandle = 6;
inline constexpr uint32_t DeviceErrorGenFailure = 31;
inline constexpr uint32_t DeviceErrorNoMoreItems = 259;

inline constexpr int CsidlPersonal = 5;
inline constexpr int CsidlDrives = 17;
inline constexpr int CsidlProgramFiles = 38;

// One find record: what CE_FIND_DATA carries and the system uses.
struct TDeviceFindData {
    uint32_t Attributes = 0;
    uint64_t Size = 0;
    QString FileName;
    bool IsFolder() const { return (Attributes & DeviceAttrDirectory) != 0; }
};

// What the remote API offers. Every operation of this base answers the value of an export that
// is not bound, so a back end overrides what it has. Paths are device paths ("\" separated).
// Operations never throw.
class TDeviceBackend {
public:
    TDeviceBackend() = default;
    TDeviceBackend(const TDeviceBackend&) = delete;
    TDeviceBackend& operator=(const TDeviceBackend&) = delete;
    virtual ~TDeviceBackend() = default;

    // Synchronous connection; 0 on success.
    virtual uint32_t RapiInit() { return RapiUnboundStatus; }
    // Starts a connection; 0 when started. Its end is reported by InitDone.
    virtual uint32_t RapiInitEx() { return RapiUnboundStatus; }
    // The connection event: true once signalled, with the connection's result code (0 = ok).
    virtual bool InitDone(uint32_t& result)
    {
        result = RapiUnboundStatus;
        return false;
    }
    virtual uint32_t RapiUnInit() { return RapiUnboundStatus; }
    virtual bool GetVersionEx() { return false; }
    virtual uint32_t GetLastError() { return RapiUnboundStatus; }

    virtual bool FindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found)
    {
        (void)pattern, (void)flags, (void)found;
        return false;
    }
    virtual TDeviceHandle FindFirstFile(const QString& pattern, TDeviceFindData& found)
    {
        (void)pattern, (void)found;
        return InvalidDeviceHandle;
    }
    virtual bool FindClose(TDeviceHandle handle)
    {
        (void)handle;
        return false;
    }
    virtual uint32_t GetFileAttributes(const QString& path)
    {
        (void)path;
        return InvalidFileAttributes;
    }
    virtual TDeviceHandle CreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t attributes)
    {
        (void)path, (void)access, (void)share, (void)creation, (void)attributes;
        return InvalidDeviceHandle;
    }
    virtual bool ReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read)
    {
        (void)handle, (void)buffer, (void)count;
        read = 0;
        return false;
    }
    virtual bool WriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written)
    {
        (void)handle, (void)buffer, (void)count;
        written = 0;
        return false;
    }
    // A written file takes its place when its handle is closed after every write succeeded.
    virtual bool CloseHandle(TDeviceHandle handle)
    {
        (void)handle;
        return false;
    }
    virtual uint32_t GetFileSize(TDeviceHandle handle, uint32_t* sizeHigh)
    {
        (void)handle;
        if (sizeHigh)
            *sizeHigh = 0;
        return InvalidFileSize;
    }
    virtual bool CopyFile(const QString& from, const QString& to, bool failIfExists)
    {
        (void)from, (void)to, (void)failIfExists;
        return false;
    }
    virtual bool DeleteFile(const QString& path)
    {
        (void)path;
        return false;
    }

    // Registry: status 0 on success. Values are texts.
    virtual uint32_t RegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key)
    {
        (void)root, (void)subKey, (void)key;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created)
    {
        (void)root, (void)subKey, (void)key, (void)created;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegCloseKey(TDeviceKey key)
    {
        (void)key;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegQueryInfoKey(TDeviceKey key, uint32_t& valueCount)
    {
        (void)key, (void)valueCount;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data)
    {
        (void)key, (void)index, (void)name, (void)data;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegQueryValueEx(TDeviceKey key, const QString& name, QString& data)
    {
        (void)key, (void)name, (void)data;
        return RapiUnboundStatus;
    }
    virtual uint32_t RegSetValueEx(TDeviceKey key, const QString& name, const QString& data)
    {
        (void)key, (void)name, (void)data;
        return RapiUnboundStatus;
    }

    // Whether GetSpecialFolderPath is there at all.
    virtual bool HasSpecialFolderPath() const { return false; }
    // Length of the path; 0 when the folder is unknown.
    virtual int GetSpecialFolderPath(int csidl, QString& path)
    {
        (void)csidl, (void)path;
        return 0;
    }
};

// --- binding --------------------------------------------------------------------------------
// Makes sure a back end is there: the installed one, else the folder back end on the device
// root ($TARVELL_DEVICE_ROOT, else the "DeviceRoot" setting). No root: EInitRapi.
void LoadRapi();
// The device root the folder back end uses now; empty when none is configured.
QString ConfiguredDeviceRoot();

// Installs a back end in place of the folder back end, after dropping any connection (tests).
// nullptr goes back to the folder back end.
void SetDeviceBackend(std::unique_ptr<TDeviceBackend> backend);

// The clock of the connection wait; tests make it virtual.
struct TDeviceClock {
    std::function<int64_t()> NowMs;
    std::function<void(int ms)> SleepMs;
};
// Empty functions restore the real clock.
void SetDeviceClock(TDeviceClock clock);

// --- wrappers (each binds first) ------------------------------------------------------------
uint32_t CeRapiInit();
uint32_t CeRapiInitEx();
uint32_t CeRapiUnInit();
bool CeGetVersionEx();
bool CeFindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found);
TDeviceHandle CeFindFirstFile(const QString& pattern, TDeviceFindData& found);
bool CeFindClose(TDeviceHandle handle);
uint32_t CeGetFileAttributes(const QString& path);
TDeviceHandle CeCreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t attributes);
bool CeReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read);
bool CeWriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written);
bool CeCloseHandle(TDeviceHandle handle);
uint32_t CeGetFileSize(TDeviceHandle handle, uint32_t* sizeHigh);
uint32_t GetRapiError();
bool CeCopyFile(const QString& from, const QString& to, bool failIfExists);
bool CeDeleteFile(const QString& path);
uint32_t CeRegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key);
uint32_t CeRegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created);
uint32_t CeRegCloseKey(TDeviceKey key);
uint32_t CeRegQueryInfoKey(TDeviceKey key, uint32_t& valueCount);
uint32_t CeRegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data);
uint32_t CeRegQueryValueEx(TDeviceKey key, const QString& name, QString& data);
uint32_t CeRegSetValueEx(TDeviceKey key, const QString& name, const QString& data);
// The folder, or empty when the device does not know it. Unbound: ETarvellError.
QString CeGetSpecialFolderPath(int csidl);

// The text of a system error code, at most 255 characters.
QString SystemErrorMessage(uint32_t code);

// --- connection -----------------------------------------------------------------------------
// Makes sure a connection exists: probes an existing one and reconnects when the device went away;
// a new one waits up to 4000 ms. Throws EInitRapi (the connection state is then cleared).
void ConnectDevice();
bool IsDeviceConnected();
// Drops the cached map list and the connection.
void DisconnectDevice();

// --- device files and folders ---------------------------------------------------------------
// The whole file into the stream (cleared first). EUserError when it cannot be opened,
// ETarvellError when the size is invalid or fewer bytes arrive.
void ReadDeviceFile(const QString& path, TMemoryStream& stream);
// Creates or replaces the file; EDeviceError "Could not create remote file %1" on any failure,
// after which the previous file is unchanged.
void WriteDeviceFile(const QString& path, const void* buffer, uint64_t count);
void WriteDeviceFile(const QString& path, std::string_view bytes);
// EUserError "File %1 not found" when the local file is missing, the reader's message when it
// cannot be read; the device's failures as WriteDeviceFile.
void CopyFileToDevice(const QString& localFile, const QString& path);
// Relies on a connection made by the caller.
bool DeviceFileExists(const QString& path);
// Lists folder + "*.*" (folder ends in "\") in the device's order; nothing when that fails, and
// then false. Relies on a connection made by the caller.
bool ListDeviceFolder(const QString& folder, const std::function<void(const QString& name, bool isFolder)>& callback);

// After a device query failed: when the device no longer answers the probe, drops the connection
// and raises EInitRapi, so that a lost device never reads as a missing file or an empty folder.
// Returns when the device answers (the failure was the query's own).
void RaiseIfDeviceLost();
// What a device path names, looked up exactly (no wildcards); relies on the caller's connection.
// A lost device raises EInitRapi (RaiseIfDeviceLost).
enum class TDeviceEntry { None, File, Folder };
TDeviceEntry DeviceEntryAt(const QString& path);
// CsidlDrives for the device's root, CsidlPersonal for its documents folder, CsidlProgramFiles for
// the folder programs are installed to.
QString GetDeviceSpecialFolder(int csidl);
// Opens or creates a key; created tells whether it is new. ETarvellError on failure.
TDeviceKey CreateDeviceRegKey(TDeviceKey root, const QString& subKey, bool& created);
// Navigator map folders as "path=name" lines, or only the names; found once per connection.
void GetDeviceMaps(QStringList& list, bool namesOnly);
