#include "ui/InstanceServer.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>

namespace tarq {

namespace {
// Longest request line we read; anything longer is not ours.
constexpr qint64 kMaxLine = 256;
}  // namespace

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {}

InstanceServer::~InstanceServer() {
  if (server_) server_->close();
}

QString InstanceServer::SocketName(qint64 pid) {
  return QStringLiteral("tarq-corvex-%1-%2").arg(static_cast<qulonglong>(getuid())).arg(pid);
}

bool InstanceServer::Listen(qint64 pid) {
  if (pid < 0) pid = QCoreApplication::applicationPid();
  const QString name = SocketName(pid);
  if (!server_) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
  }
  if (server_->isListening()) server_->close();
  // A socket file left by a crashed process of the same id would block the name.
  QLocalServer::removeServer(name);
  return server_->listen(name);
}

bool InstanceServer::IsListening() const { return server_ && server_->isListening(); }

QString InstanceServer::ServerName() const { return server_ ? server_->serverName() : QString(); }

void InstanceServer::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    if (socket->bytesAvailable() > 0) OnReadyRead(socket);
  }
}

void InstanceServer::OnReadyRead(QLocalSocket* socket) {
  while (socket->canReadLine()) {
    const QByteArray line = socket->readLine(kMaxLine).trimmed();
    if (line == kActivateMessage) emit activateRequested();
  }
  // A line longer than any request is not one of ours.
  if (socket->bytesAvailable() > kMaxLine) socket->abort();
}

bool InstanceServer::ActivateInstance(qint64 pid, int timeoutMs) {
  if (pid <= 0) return false;
  QLocalSocket socket;
  socket.connectToServer(SocketName(pid));
  if (!socket.waitForConnected(timeoutMs)) return false;
  // No answer is awaited: the other instance may be busy, and this one is about to end.
  socket.write(QByteArray(kActivateMessage) + "\n");
  const bool written = socket.waitForBytesWritten(timeoutMs) || socket.bytesToWrite() == 0;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return written;
}

std::function<void(long, const std::string&)> InstanceServer::ActivationHook() {
  return [](long ownerPid, const std::string&) { ActivateInstance(ownerPid); };
}

}  // namespace tarq
