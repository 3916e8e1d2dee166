// The running instance's local socket. A second instance started on a project that this
// one holds asks it to come to the front ("activate") instead of opening the project too.
// The socket name carries the user and the process id, so the lock file's process id is
// enough to find the holder, and only the same user can connect.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace tarq {

class InstanceServer : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kActivateMessage = "activate";

  explicit InstanceServer(QObject* parent = nullptr);
  ~InstanceServer() override;

  // Per-user name of the socket of process `pid`.
  static QString SocketName(qint64 pid);
  // Starts listening as process `pid` (this process by default); false when the socket
  // cannot be made.
  bool Listen(qint64 pid = -1);
  bool IsListening() const;
  QString ServerName() const;

  // Asks the instance of process `pid` to come to the front. False when no instance of
  // ours listens there (it has ended, or it is not a Tarq of this user).
  static bool ActivateInstance(qint64 pid, int timeoutMs = 2000);
  // What the document calls when another instance holds the project it is asked to open.
  static std::function<void(long ownerPid, const std::string& headerPath)> ActivationHook();

 signals:
  void activateRequested();

 private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  QLocalServer* server_ = nullptr;
};

}  // namespace tarq
