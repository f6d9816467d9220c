// The device back end that maps the device onto a local folder (a navigator mounted as storage).
#pragma once

#include "core/uRapi.h"

#include <functional>
#include <map>
#include <memory>

// Device paths are resolved below the root one component at a time, case-insensitively; "." and
// "..", and symbolic links that lead outside the (canonical) root, are refused and not listed.
// Names are read by their bytes: one that is not UTF-8 is listed with its bytes kept
// (DeviceNameFromBytes), read and deleted, but not written. The registry is the ini file
// ".registry.ini" in the root, one section per key
// ("HKEY_CURRENT_USER\Software\..."), one text value per entry. A written file replaces the old one
// only when its handle is closed after every write succeeded.
class TFolderDeviceBackend : public TDeviceBackend {
public:
    // root gives the folder at each connection; empty means no device.
    explicit TFolderDeviceBackend(std::function<QString()> root);
    ~TFolderDeviceBackend() override;

    static constexpr const char* RegistryFileName = ".registry.ini";

    uint32_t RapiInit() override;
    uint32_t RapiInitEx() override;
    bool InitDone(uint32_t& result) override;
    uint32_t RapiUnInit() override;
    bool GetVersionEx() override;
    uint32_t GetLastError() override { return FLastError; }

    bool FindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found) override;
    TDeviceHandle FindFirstFile(const QString& pattern, TDeviceFindData& found) override;
    bool FindClose(TDeviceHandle handle) override;
    uint32_t GetFileAttributes(const QString& path) override;
    TDeviceHandle CreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t attributes) override;
    bool ReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read) override;
    bool WriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written) override;
    bool CloseHandle(TDeviceHandle handle) override;
    // Closes a file as when the device breaks a transfer off: what was written never takes the old
    // file's place.
    bool AbandonFile(TDeviceHandle handle);
    uint32_t GetFileSize(TDeviceHandle handle, uint32_t* sizeHigh) override;
    bool CopyFile(const QString& from, const QString& to, bool failIfExists) override;
    bool DeleteFile(const QString& path) override;

    uint32_t RegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key) override;
    uint32_t RegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created) override;
    uint32_t RegCloseKey(TDeviceKey key) override;
    uint32_t RegQueryInfoKey(TDeviceKey key, uint32_t& valueCount) override;
    uint32_t RegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data) override;
    uint32_t RegQueryValueEx(TDeviceKey key, const QString& name, QString& data) override;
    uint32_t RegSetValueEx(TDeviceKey key, const QString& name, const QString& data) override;

    bool HasSpecialFolderPath() const override { return true; }
    int GetSpecialFolderPath(int csidl, QString& path) override;

    // The local path of a device path, resolved case-insensitively; components that do not exist
    // keep their spelling. Empty when the path is refused or no device is connected. The bytes
    // are exact (a name that is not UTF-8 comes back as it is on disk, see DeviceNameFromBytes);
    // the text form is only for paths Qt can address.
    QByteArray LocalBytes(const QString& devicePath) const;
    QString LocalPath(const QString& devicePath) const;

private:
    struct TOpenFile;

    bool Fail(uint32_t code);
    // Whether an existing local path (or a dangling link's target folder) lies within the root.
    bool InsideRoot(const QByteArray& local) const;
    bool List(const QString& pattern, bool foldersOnly, std::vector<TDeviceFindData>& found);
    QString RegistryFile() const;
    bool KeyExists(const QString& section) const;
    QString KeySection(TDeviceKey root, const QString& subKey) const;
    TDeviceKey NewKey(const QString& section);

    std::function<QString()> FRootSource;
    QString FRoot;
    uint32_t FLastError = 0;
    TDeviceHandle FNextHandle = 1;
    std::map<TDeviceHandle, std::unique_ptr<TOpenFile>> FFiles;
    std::map<TDeviceHandle, bool> FFinds;
    TDeviceKey FNextKey = 1;
    std::map<TDeviceKey, QString> FKeys;
};
