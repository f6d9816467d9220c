// A device back end for tests: the folder back end on a temporary folder, with faults to switch on
// (connect time-out, a lost connection, short reads and writes, registry errors), and a virtual
// clock for the connection wait.
#pragma once

#include "core/uDeviceFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

class TFakeDevice : public TDeviceBackend {
public:
    explicit TFakeDevice(QString root)
        : FInner([root] { return root; })
    {
    }

    // Faults.
    bool NeverSignal = false;    // the connection event never comes
    uint32_t InitResult = 0;     // result code in the connection record
    uint32_t InitExStatus = 0;   // answer of RapiInitEx itself
    bool Unplugged = false;      // the device is gone: probe and every call fail
    uint32_t ReadShortBy = 0;    // ReadFile delivers this many bytes fewer
    uint32_t WriteShortBy = 0;   // WriteFile writes this many bytes fewer
    bool InvalidSize = false;    // GetFileSize answers INVALID_FILE_SIZE
    uint32_t QueryInfoStatus = 0;
    uint32_t EnumValueStatus = 0;
    uint32_t CreateKeyStatus = 0;
    uint32_t SetValueStatus = 0; // answer of RegSetValueEx (a full or read-only device)
    bool NoSpecialFolders = false;
    // Room left on the device: a write or a copy that does not fit fails (a full device).
    uint64_t SpaceLeft = UINT64_MAX;

    // What happened.
    int InitExCalls = 0;
    int UnInitCalls = 0;
    int ProbeCalls = 0;
    int OpenHandles = 0;
    int FindAllCalls = 0;

    TFolderDeviceBackend& Inner() { return FInner; }

    uint32_t RapiInit() override { return Unplugged ? 0x80004005u : FInner.RapiInit(); }
    uint32_t RapiInitEx() override
    {
        ++InitExCalls;
        if (InitExStatus != 0)
            return InitExStatus;
        return Unplugged ? 0 : FInner.RapiInitEx();
    }
    bool InitDone(uint32_t& result) override
    {
        if (NeverSignal || Unplugged) {
            result = 0;
            return false;
        }
        FInner.InitDone(result);
        if (InitResult != 0)
            result = InitResult;
        return true;
    }
    uint32_t RapiUnInit() override
    {
        ++UnInitCalls;
        return FInner.RapiUnInit();
    }
    bool GetVersionEx() override
    {
        ++ProbeCalls;
        return !Unplugged && FInner.GetVersionEx();
    }
    uint32_t GetLastError() override { return FInner.GetLastError(); }

    bool FindAllFiles(const QString& pattern, uint32_t flags, std::vector<TDeviceFindData>& found) override
    {
        ++FindAllCalls;
        return !Unplugged && FInner.FindAllFiles(pattern, flags, found);
    }
    TDeviceHandle FindFirstFile(const QString& pattern, TDeviceFindData& found) override
    {
        if (Unplugged)
            return InvalidDeviceHandle;
        const TDeviceHandle h = FInner.FindFirstFile(pattern, found);
        OpenHandles += h != InvalidDeviceHandle;
        return h;
    }
    bool FindClose(TDeviceHandle handle) override
    {
        const bool ok = FInner.FindClose(handle);
        OpenHandles -= ok;
        return ok;
    }
    uint32_t GetFileAttributes(const QString& path) override
    {
        return Unplugged ? InvalidFileAttributes : FInner.GetFileAttributes(path);
    }
    TDeviceHandle CreateFile(const QString& path, uint32_t access, uint32_t share, uint32_t creation, uint32_t attributes) override
    {
        if (Unplugged)
            return InvalidDeviceHandle;
        const TDeviceHandle h = FInner.CreateFile(path, access, share, creation, attributes);
        OpenHandles += h != InvalidDeviceHandle;
        return h;
    }
    bool ReadFile(TDeviceHandle handle, void* buffer, uint32_t count, uint32_t& read) override
    {
        read = 0;
        if (Unplugged)
            return false;
        return FInner.ReadFile(handle, buffer, count > ReadShortBy ? count - ReadShortBy : 0, read);
    }
    bool WriteFile(TDeviceHandle handle, const void* buffer, uint32_t count, uint32_t& written) override
    {
        written = 0;
        if (Unplugged)
            return false;
        if (count > SpaceLeft) {
            FBroken.push_back(handle);
            return false;
        }
        SpaceLeft -= count;
        if (WriteShortBy > 0)
            FBroken.push_back(handle);
        return FInner.WriteFile(handle, buffer, count > WriteShortBy ? count - WriteShortBy : 0, written);
    }
    bool CloseHandle(TDeviceHandle handle) override
    {
        // The device broke the transfer off, so the folder must not take the partial file.
        const bool broken = Unplugged || std::find(FBroken.begin(), FBroken.end(), handle) != FBroken.end();
        const bool ok = broken ? FInner.AbandonFile(handle) : FInner.CloseHandle(handle);
        --OpenHandles;
        return ok;
    }
    uint32_t GetFileSize(TDeviceHandle handle, uint32_t* sizeHigh) override
    {
        const uint32_t size = FInner.GetFileSize(handle, sizeHigh);
        return InvalidSize ? InvalidFileSize : size;
    }
    bool CopyFile(const QString& from, const QString& to, bool failIfExists) override
    {
        if (Unplugged)
            return false;
        const uint64_t size = uint64_t(QFileInfo(FInner.LocalPath(from)).size());
        if (size > SpaceLeft)
            return false;
        SpaceLeft -= size;
        return FInner.CopyFile(from, to, failIfExists);
    }
    bool DeleteFile(const QString& path) override { return !Unplugged && FInner.DeleteFile(path); }

    uint32_t RegOpenKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key) override
    {
        return FInner.RegOpenKeyEx(root, subKey, key);
    }
    uint32_t RegCreateKeyEx(TDeviceKey root, const QString& subKey, TDeviceKey& key, bool& created) override
    {
        return CreateKeyStatus != 0 ? CreateKeyStatus : FInner.RegCreateKeyEx(root, subKey, key, created);
    }
    uint32_t RegCloseKey(TDeviceKey key) override { return FInner.RegCloseKey(key); }
    uint32_t RegQueryInfoKey(TDeviceKey key, uint32_t& valueCount) override
    {
        return QueryInfoStatus != 0 ? QueryInfoStatus : FInner.RegQueryInfoKey(key, valueCount);
    }
    uint32_t RegEnumValue(TDeviceKey key, uint32_t index, QString& name, QString& data) override
    {
        return EnumValueStatus != 0 ? EnumValueStatus : FInner.RegEnumValue(key, index, name, data);
    }
    uint32_t RegQueryValueEx(TDeviceKey key, const QString& name, QString& data) override
    {
        return FInner.RegQueryValueEx(key, name, data);
    }
    uint32_t RegSetValueEx(TDeviceKey key, const QString& name, const QString& data) override
    {
        return SetValueStatus != 0 ? SetValueStatus : FInner.RegSetValueEx(key, name, data);
    }
    bool HasSpecialFolderPath() const override { return !NoSpecialFolders; }
    int GetSpecialFolderPath(int csidl, QString& path) override { return FInner.GetSpecialFolderPath(csidl, path); }

private:
    TFolderDeviceBackend FInner;
    std::vector<TDeviceHandle> FBroken;
};

// A virtual clock: sleeping only moves the time on.
struct TVirtualClock {
    int64_t Now = 0;
    int Sleeps = 0;
    TDeviceClock Clock()
    {
        return {[this] { return Now; }, [this](int ms) {
                    Now += ms;
                    ++Sleeps;
                }};
    }
};

// A temporary device root with a fake back end and a virtual clock installed for one test.
class TFakeDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        auto fake = std::make_unique<TFakeDevice>(FRoot.path());
        Fake = fake.get();
        SetDeviceBackend(std::move(fake));
        SetDeviceClock(Time.Clock());
    }
    void TearDown() override
    {
        SetDeviceBackend(nullptr);
        SetDeviceClock({});
    }

    // Creates a device file below the root; the path uses "/" and the given spelling.
    void PutFile(const QString& relative, const QByteArray& bytes)
    {
        const QString path = FRoot.path() + QChar('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray GetFile(const QString& relative) const
    {
        QFile f(FRoot.path() + QChar('/') + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString RootPath() const { return FRoot.path(); }

    QTemporaryDir FRoot;
    TFakeDevice* Fake = nullptr;
    TVirtualClock Time;
};
