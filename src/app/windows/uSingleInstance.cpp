// The single-instance handshake over a local socket.
#include "app/windows/uSingleInstance.h"

#include "core/uGeneral.h"
#include "sites/uAutoStart.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A path, a wParam and a length are small; a frame larger than this is not ours.
constexpr quint32 MaxFrameData = 64 * 1024;
constexpr int HeaderSize = 12;
constexpr char Ack = 1;

QByteArray EncodeFrame(const TInstanceMessage& m)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(m.Code) << qint32(m.WParam) << quint32(m.Data.size());
    frame.append(m.Data);
    return frame;
}

// The running copy has its own working folder: a relative path names the file of ours only when
// it is made absolute here. Locations with a scheme ("MOBILE://...") and empty ones pass as given.
QString ForwardedPath(const QString& param)
{
    if (param.isEmpty() || param.contains(QLatin1String("://")) || !QDir::isRelativePath(param))
        return param;
    return QDir::current().absoluteFilePath(param);
}

} // namespace

QString InstanceServerName()
{
    const QString leaf = QStringLiteral("/TfmTarvellMainForm-") + QString::number(getuid());
    const QString preferred = QDir::tempPath() + leaf;
    // A name the system cannot bind would let every start become an editor of its own.
    if (QFile::encodeName(preferred).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
        return preferred;
    return QStringLiteral("/tmp") + leaf;
}

TInstanceStartLock::TInstanceStartLock(const QString& serverName)
    : FFileName(serverName + QStringLiteral(".lock"))
{
}

TInstanceStartLock::~TInstanceStartLock() { Release(); }

bool TInstanceStartLock::Acquire(int timeoutMs)
{
    if (FFd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(FFileName).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return false;
        }
        if (clock.elapsed() >= timeoutMs) {
            ::close(fd);
            return false;
        }
        QThread::msleep(20);
    }
    FFd = fd;
    return true;
}

void TInstanceStartLock::Release()
{
    if (FFd < 0)
        return;
    ::flock(FFd, LOCK_UN);
    ::close(FFd);
    FFd = -1;
}

TInstanceStartLock& StartLock()
{
    static TInstanceStartLock lock;
    return lock;
}

TInstanceClient::TInstanceClient(const QString& serverName)
    : FName(serverName)
{
}

TInstanceClient::~TInstanceClient() = default;

bool TInstanceClient::Connect(int timeoutMs)
{
    FSocket = std::make_unique<QLocalSocket>();
    FSocket->connectToServer(FName);
    return FSocket->waitForConnected(timeoutMs);
}

bool TInstanceClient::Send(const TInstanceMessage& message)
{
    if (!FSocket || FSocket->state() != QLocalSocket::ConnectedState)
        return false;
    FSocket->write(EncodeFrame(message));
    if (!FSocket->waitForBytesWritten(5000) && FSocket->bytesToWrite() > 0)
        return false;
    // The running copy may show a box while it opens the file, so the answer can take as long as
    // the user does: wait until it comes or the copy goes away.
    while (FSocket->bytesAvailable() < 1) {
        if (FSocket->state() != QLocalSocket::ConnectedState)
            return false;
        FSocket->waitForReadyRead(1000);
    }
    char answer = 0;
    return FSocket->read(&answer, 1) == 1 && answer == Ack;
}

std::vector<TInstanceMessage> ForwardedMessages(const QStringList& params)
{
    std::vector<TInstanceMessage> messages;
    for (const QString& param : params)
        if (!IsCommandLineSwitch(param))
            messages.push_back({ WM_COPYDATA_CODE, 0, ForwardedPath(param).toUtf8() });
    auto has = [&](const char* s) {
        return std::any_of(params.begin(), params.end(),
            [s](const QString& p) { return p.compare(QLatin1String(s), Qt::CaseInsensitive) == 0; });
    };
    if (has("/update")) {
        // The profiles named by this start go along, one "/PROF:" switch a line.
        messages.push_back(
            { WM_AUTOUPDATE, has("/silent") ? 1 : 0, NamedProfileSwitches(params).join(QLatin1Char('\n')).toUtf8() });
    }
    if (!has("/tray"))
        messages.push_back({ WM_SHOWMAINFORM, 0, {} });
    return messages;
}

QStringList NamedProfileSwitches(const QStringList& params)
{
    QStringList named;
    for (const QString& param : params)
        if (param.startsWith(QLatin1String("/PROF:"), Qt::CaseInsensitive))
            named << param;
    return named;
}

TInstanceMessage MergeAutoUpdateMessages(const TInstanceMessage& earlier, const TInstanceMessage& later)
{
    const auto named = [](const TInstanceMessage& m) {
        return NamedProfileSwitches(QString::fromUtf8(m.Data).split(QLatin1Char('\n'), Qt::SkipEmptyParts));
    };
    const QStringList first = named(earlier);
    const QStringList second = named(later);
    QStringList joined;
    if (!first.isEmpty() && !second.isEmpty()) {
        AddProfileSwitches(joined, first);
        AddProfileSwitches(joined, second);
    }
    return { WM_AUTOUPDATE, earlier.WParam == 1 && later.WParam == 1 ? 1 : 0, joined.join(QLatin1Char('\n')).toUtf8() };
}

bool ForwardToRunningCopy(const QStringList& params, const QString& serverName)
{
    TInstanceClient client(serverName);
    if (!client.Connect())
        return false;
    for (const TInstanceMessage& m : ForwardedMessages(params))
        if (!client.Send(m))
            break;
    return true;
}

TInstanceServer::TInstanceServer(QObject* parent)
    : QObject(parent)
{
}

TInstanceServer::~TInstanceServer()
{
    Close();
}

bool TInstanceServer::Listen(const QString& serverName)
{
    Close();
    // Qt puts a private socket in place by renaming it over the name, which would take the name
    // from a live copy: ask first whether one answers.
    {
        QLocalSocket probe;
        probe.connectToServer(serverName);
        if (probe.waitForConnected(500))
            return false;
    }
    QLocalServer::removeServer(serverName);
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(serverName)) {
        FServer.reset();
        return false;
    }
    connect(FServer.get(), &QLocalServer::newConnection, this, &TInstanceServer::AcceptPending);
    return true;
}

void TInstanceServer::Close()
{
    if (FServer) {
        FServer->close();
        FServer.reset();
    }
}

bool TInstanceServer::IsListening() const
{
    return FServer && FServer->isListening();
}

void TInstanceServer::SetHandler(std::function<void(const TInstanceMessage&)> handler)
{
    FHandler = std::move(handler);
    AcceptPending();
}

void TInstanceServer::AcceptPending()
{
    if (!FHandler || !FServer)
        return;
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadFrames(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        ReadFrames(socket);
    }
}

void TInstanceServer::ReadFrames(QLocalSocket* socket)
{
    // A handler may run a nested loop (a message box) that delivers readyRead again; the guard
    // keeps frames of one sender strictly in order.
    if (socket->property("busy").toBool())
        return;
    socket->setProperty("busy", true);
    QPointer<QLocalSocket> guard(socket);
    while (guard && socket->bytesAvailable() >= HeaderSize) {
        const QByteArray header = socket->peek(HeaderSize);
        QDataStream in(header);
        in.setByteOrder(QDataStream::LittleEndian);
        quint32 code = 0, size = 0;
        qint32 wParam = 0;
        in >> code >> wParam >> size;
        if (size > MaxFrameData) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < HeaderSize + qint64(size))
            break;
        socket->skip(HeaderSize);
        TInstanceMessage message { int(code), wParam, socket->read(size) };
        FHandler(message);
        if (!guard)
            return;
        socket->write(&Ack, 1);
        socket->flush();
    }
    if (guard)
        socket->setProperty("busy", false);
}
