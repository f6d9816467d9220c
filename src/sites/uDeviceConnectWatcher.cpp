// The connection of the device while the program runs.
#include "sites/uDeviceConnectWatcher.h"

#include "core/uRapi.h"

#include <QFile>
#include <QFileInfo>

#include <mutex>
#include <thread>

#include <sys/stat.h>

namespace {

bool StatPath(const QString& path, struct stat& st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

TRootState ProbeDeviceRoot(const QString& root)
{
    TRootState state;
    if (root.isEmpty())
        return state;
    QString path = QFileInfo(root).absoluteFilePath();
    struct stat st {};
    if (!StatPath(path, st) || !S_ISDIR(st.st_mode))
        return state;
    state.IsFolder = true;
    state.Device = uint64_t(st.st_dev);
    // Up to the highest folder of the same volume: that is where the volume is mounted.
    while (path != QLatin1String("/")) {
        const QString parent = QFileInfo(path).path();
        struct stat up {};
        if (!StatPath(parent, up) || up.st_dev != st.st_dev)
            break;
        path = parent;
    }
    state.MountDepth = path == QLatin1String("/") ? 0 : int(path.count(QChar('/')));
    return state;
}

std::optional<TAutoStartRequest> TDeviceConnectPoller::Feed(const QString& root, const TRootState& state)
{
    if (!FLast || root != FRoot) {
        // A new root (the setting changed) starts over: its present state is no connection.
        FRoot = root;
        FLast = state;
        return std::nullopt;
    }
    const TRootState last = *std::exchange(FLast, state);
    if (root.isEmpty() || !state.IsFolder)
        return std::nullopt;
    const bool appeared = !last.IsFolder;
    // The same path on another volume that is mounted at least as deep: a volume came over it.
    // An unmount shows the folder below on a shallower mount and is no connection.
    const bool mounted = last.IsFolder && state.Device != last.Device && state.MountDepth >= last.MountDepth;
    if (!appeared && !mounted)
        return std::nullopt;
    return Registrations ? Registrations() : std::nullopt;
}

// Where a look's answer goes: the watcher while it lives. A look that outlives the watcher finds
// none and its answer is dropped.
struct TDeviceConnectWatcher::TChannel {
    std::mutex Lock;
    TDeviceConnectWatcher* Watcher = nullptr;
};

TDeviceConnectWatcher::TDeviceConnectWatcher(QObject* parent)
    : QObject(parent)
    , RootSource(ConfiguredDeviceRoot)
    , FChannel(std::make_shared<TChannel>())
{
    FChannel->Watcher = this;
    connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
}

TDeviceConnectWatcher::~TDeviceConnectWatcher()
{
    std::lock_guard lock(FChannel->Lock);
    FChannel->Watcher = nullptr;
}

void TDeviceConnectWatcher::Start(int intervalMs)
{
    FTimer.start(intervalMs);
    Poll();
}

void TDeviceConnectWatcher::Stop()
{
    FTimer.stop();
}

void TDeviceConnectWatcher::Poll()
{
    if (FLooking)
        return;
    const QString root = RootSource ? RootSource() : QString();
    if (root.isEmpty() || !Probe) {
        Observe(root, TRootState());
        return;
    }
    FLooking = true;
    // Detached: a look stuck in the file system cannot be waited for; it ends with the process.
    std::thread([channel = FChannel, probe = Probe, root] {
        const TRootState state = probe(root);
        std::lock_guard lock(channel->Lock);
        if (TDeviceConnectWatcher* watcher = channel->Watcher)
            // Posted while the watcher is known to live; Qt drops it should the watcher go first.
            QMetaObject::invokeMethod(
                watcher, [watcher, root, state] { watcher->Observe(root, state); }, Qt::QueuedConnection);
    }).detach();
}

void TDeviceConnectWatcher::Observe(const QString& root, const TRootState& state)
{
    FLooking = false;
    const std::optional<TAutoStartRequest> request = Poller.Feed(root, state);
    if (request && OnConnect)
        OnConnect(*request);
}
