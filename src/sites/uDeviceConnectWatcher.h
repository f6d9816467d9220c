// The connection of the device while the program runs: the configured device root becoming
// available, seen by polling, turned into the update request of the automatic-start
// registrations.
#pragma once

#include "sites/uAutoStart.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// What one look at the device root found.
struct TRootState {
    bool IsFolder = false;
    // The device number of the volume holding the root.
    uint64_t Device = 0;
    // Path components of the mount point of that volume ("/" is 0): a volume mounted at or below
    // the root's parent makes it deeper, an unmount shallower.
    int MountDepth = 0;
    bool operator==(const TRootState&) const = default;
};

// Looks at the root with stat (its parents too, for the mount point); never throws. May block
// as long as the file system does (a dead network mount).
TRootState ProbeDeviceRoot(const QString& root);

// The connection rule, fed the state of each poll; no threads, no clock. The first state of a
// root is only noted: what is there at start starts nothing.
class TDeviceConnectPoller {
public:
    // The request a connection makes; by default the registrations of both kinds, since both
    // react to the root.
    std::function<std::optional<TAutoStartRequest>()> Registrations
        = [] { return AutoStartRequest({ TConnectKind::ActiveSync, TConnectKind::USB }); };

    // The request this poll starts: the root turned from missing into a folder, or stayed one
    // while a volume was mounted over it. At most one per poll.
    std::optional<TAutoStartRequest> Feed(const QString& root, const TRootState& state);

private:
    QString FRoot;
    std::optional<TRootState> FLast;
};

// Polls the device root every interval and calls OnConnect with the request of a connection.
// The root is looked at on a worker thread, one look at a time: a look that hangs makes later
// polls wait for it, never the window. Everything else runs on the thread that owns the watcher.
class TDeviceConnectWatcher : public QObject {
public:
    static constexpr int PollInterval = 2000;

    explicit TDeviceConnectWatcher(QObject* parent = nullptr);
    ~TDeviceConnectWatcher() override;

    // The root to look at ($TARVELL_DEVICE_ROOT, else the "DeviceRoot" setting).
    std::function<QString()> RootSource;
    // How the root is looked at (ProbeDeviceRoot); called on the worker thread.
    std::function<TRootState(const QString& root)> Probe = ProbeDeviceRoot;
    TDeviceConnectPoller Poller;
    std::function<void(const TAutoStartRequest& request)> OnConnect;

    // Takes a first look now, then one every intervalMs.
    void Start(int intervalMs = PollInterval);
    void Stop();
    bool Active() const { return FTimer.isActive(); }
    // A look is under way.
    bool Looking() const { return FLooking; }

private:
    struct TChannel;
    void Poll();
    void Observe(const QString& root, const TRootState& state);

    QTimer FTimer;
    bool FLooking = false;
    std::shared_ptr<TChannel> FChannel;
};
