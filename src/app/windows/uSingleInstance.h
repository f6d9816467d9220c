// The single-instance handshake: a local socket named after the main window's class and the user.
// Each frame carries a message code, wParam and data; the receiver answers every frame after it
// has handled it, so the sender's frames take effect in order.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

inline constexpr int WM_COPYDATA_CODE = 74; // open a forwarded path
inline constexpr int WM_AUTOUPDATE = 2024; // reconnect and run an update; wParam 1 = silent
inline constexpr int WM_SHOWMAINFORM = 2025; // show the main window and bring it to the front
inline constexpr int WM_EXITAPP = 2026; // File, Exit

// The socket path: $TMPDIR (or /tmp) + "/TfmTarvellMainForm-" + the user id; "/tmp" + the same
// when that path is too long for a socket name.
QString InstanceServerName();

// Makes the look for a running copy and the listening that follows one step between starts: a
// start holds it from its first look until it listens itself or has forwarded its command line.
// The lock file lies beside the socket; the system frees the lock when the process ends.
class TInstanceStartLock {
public:
    explicit TInstanceStartLock(const QString& serverName = InstanceServerName());
    ~TInstanceStartLock();
    TInstanceStartLock(const TInstanceStartLock&) = delete;
    TInstanceStartLock& operator=(const TInstanceStartLock&) = delete;
    // Waits at most timeoutMs; false when the lock could not be had (a copy that hangs while
    // starting), the start then goes on without it.
    bool Acquire(int timeoutMs = 10000);
    void Release();
    bool IsHeld() const { return FFd >= 0; }

private:
    QString FFileName;
    int FFd = -1;
};
// The lock of this process's start: taken by the entry point, released once the editor listens.
TInstanceStartLock& StartLock();

// One message of the handshake.
struct TInstanceMessage {
    int Code = 0;
    int WParam = 0;
    QByteArray Data;
};

// Sender side. Connects to the running copy; false when there is none.
class TInstanceClient {
public:
    explicit TInstanceClient(const QString& serverName = InstanceServerName());
    ~TInstanceClient();
    bool Connect(int timeoutMs = 1000);
    // Sends one frame and waits until the receiver has handled it; false when the copy vanished.
    bool Send(const TInstanceMessage& message);

private:
    QString FName;
    std::unique_ptr<QLocalSocket> FSocket;
};

// The messages a later start forwards for its command line: one 74 per path in order (relative
// paths made absolute), 2024 for "/update" (wParam 1 with "/silent"), 2025 unless "/tray".
std::vector<TInstanceMessage> ForwardedMessages(const QStringList& params);

// The "/PROF:" switches among params (any case), as given.
QStringList NamedProfileSwitches(const QStringList& params);
// Two update requests (2024) as one: silent only when both are, their named profiles joined, each
// once (names compare case-insensitively). A request naming no profile updates every profile, and
// so does the joined one.
TInstanceMessage MergeAutoUpdateMessages(const TInstanceMessage& earlier, const TInstanceMessage& later);

// Forwards params to the running copy; false when no copy answers (this process then starts the
// editor). Failed sends after connecting are ignored, as the running copy may have just ended.
bool ForwardToRunningCopy(const QStringList& params, const QString& serverName = InstanceServerName());

// Receiver side, owned by the running editor.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;
    // Starts listening; false when a live copy answers on the name. A socket left by a copy that
    // ended without closing is removed first.
    // Connections wait until OnMessage is set.
    bool Listen(const QString& serverName = InstanceServerName());
    void Close();
    bool IsListening() const;
    // Handles one message; the sender waits until it returns.
    void SetHandler(std::function<void(const TInstanceMessage&)> handler);

private:
    void AcceptPending();
    void ReadFrames(QLocalSocket* socket);

    std::unique_ptr<QLocalServer> FServer;
    std::function<void(const TInstanceMessage&)> FHandler;
};
