// The desktop program's automation socket: the automation protocol over QLocalServer at
// $XDG_RUNTIME_DIR/tarq-corvex-<uid>-<pid>.rpc. Applications that the program starts learn
// its name from TARQ_AUTOMATION_SOCKET.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tarq {

class CProjDocBase;

class AutomationLocalServer : public QObject {
  Q_OBJECT

 public:
  explicit AutomationLocalServer(CProjDocBase& doc, QObject* parent = nullptr);
  ~AutomationLocalServer() override;

  // Starts listening; false with `error` filled when the socket cannot be made (an
  // occupied or stale name). The program then runs without automation.
  bool Listen(const QString& path, QString& error);
  QString SocketPath() const;

  // The socket name for this process.
  static QString DefaultPath();

 private:
  void OnNewConnection();

  CProjDocBase& doc_;
  QLocalServer* server_ = nullptr;
};

// Starts the program's automation server and names it in TARQ_AUTOMATION_SOCKET for the
// applications the program starts. When it cannot start, a note goes to stderr and the
// program runs without automation.
AutomationLocalServer* StartAutomationServer(CProjDocBase& doc, QObject* parent = nullptr);

}  // namespace tarq
