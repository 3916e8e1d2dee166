#include "ui/AutomationLocalServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>

#include "app/AutomationServer.h"
#include "plugins/AutomationRpc.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

// One client connection: its socket, its partial line and its session.
class LocalConnection : public QObject, public AutomationTransport {
 public:
  LocalConnection(QLocalSocket* socket, CProjDocBase& doc)
      : QObject(socket), socket_(socket), session_(&doc, *this) {
    connect(socket_, &QLocalSocket::readyRead, this, [this] { ReadLines(); });
    connect(socket_, &QLocalSocket::disconnected, this, [this] {
      closed_ = true;
      if (waiting_ != nullptr) waiting_->quit();
      socket_->deleteLater();
    });
  }

  void Send(const std::string& line) override {
    if (closed_) return;
    socket_->write(QByteArray::fromStdString(line + "\n"));
    socket_->flush();
  }

  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop* outer = waiting_;
    std::function<bool()> outerDone = done_;
    waiting_ = &loop;
    done_ = done;
    QElapsedTimer clock;
    clock.start();
    timer.start(static_cast<int>(timeout.count()));
    ReadLines();
    // Only this client is served meanwhile: user input waits.
    while (!done() && !closed_ && clock.elapsed() < timeout.count())
      loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting_ = outer;
    done_ = outerDone;
    return done();
  }

 private:
  void ReadLines() {
    pending_ += socket_->readAll();
    int end = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
      QByteArray line = pending_.left(end);
      pending_.remove(0, end + 1);
      if (line.endsWith('\r')) line.chop(1);
      if (line.isEmpty()) continue;
      const std::string answer = session_.HandleLine(line.toStdString());
      if (!answer.empty()) Send(answer);
      if (waiting_ != nullptr && done_ && done_()) waiting_->quit();
    }
    if (static_cast<size_t>(pending_.size()) > kRpcMaxLine) {
      Send(session_.HandleLine(std::string(kRpcMaxLine + 1, ' ')));
      pending_.clear();
    }
  }

  QLocalSocket* socket_;
  AutomationSession session_;
  QByteArray pending_;
  bool closed_ = false;
  QEventLoop* waiting_ = nullptr;
  std::function<bool()> done_;
};

}  // namespace

AutomationLocalServer::AutomationLocalServer(CProjDocBase& doc, QObject* parent)
    : QObject(parent), doc_(doc) {}

AutomationLocalServer::~AutomationLocalServer() {
  if (server_ != nullptr) server_->close();
}

QString AutomationLocalServer::DefaultPath() {
  return QString::fromStdString(DefaultAutomationSocketPath());
}

QString AutomationLocalServer::SocketPath() const {
  return server_ != nullptr ? server_->fullServerName() : QString();
}

bool AutomationLocalServer::Listen(const QString& path, QString& error) {
  // A user-only server is made elsewhere and renamed into place, which would take over a
  // name another instance serves: an existing name, served or left over, is not touched.
  if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
    error = QStringLiteral("the socket name is in use or left over");
    return false;
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &AutomationLocalServer::OnNewConnection);
  if (server_->listen(path)) return true;
  error = server_->errorString();
  delete server_;
  server_ = nullptr;
  return false;
}

AutomationLocalServer* StartAutomationServer(CProjDocBase& doc, QObject* parent) {
  auto* server = new AutomationLocalServer(doc, parent);
  QString error;
  const QString path = AutomationLocalServer::DefaultPath();
  if (!server->Listen(path, error)) {
    std::fprintf(stderr, "tarq: automation is not available (%s: %s)\n", qPrintable(path),
                 qPrintable(error));
    delete server;
    return nullptr;
  }
  qputenv("TARQ_AUTOMATION_SOCKET", path.toLocal8Bit());
  return server;
}

void AutomationLocalServer::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) new LocalConnection(socket, doc_);
}

}  // namespace tarq
