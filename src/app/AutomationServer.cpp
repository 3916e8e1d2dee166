#include "app/AutomationServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <ostream>

#include "app/Cli.h"
#include "plugins/Automation.h"
#include "plugins/AutomationRpc.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

using Clock = std::chrono::steady_clock;

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  const char byte = 't';
  // Only async-signal-safe work here: wake the loop.
  [[maybe_unused]] ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
}

// One client: its socket, what it sent that is not a whole line yet, and its session.
class Connection : public AutomationTransport {
 public:
  Connection(int fd, CProjDocBase& doc) : fd_(fd), session_(&doc, *this) {}
  ~Connection() override { ::close(fd_); }

  int Fd() const { return fd_; }
  bool IsClosed() const { return closed_; }

  void Send(const std::string& line) override {
    if (closed_) return;
    std::string data = line + "\n";
    size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        closed_ = true;
        return;
      }
      sent += static_cast<size_t>(n);
    }
  }

  // Reads what is there and handles every whole line.
  void ReadAndHandle() {
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
      closed_ = true;
      return;
    }
    pending_.append(buffer, static_cast<size_t>(n));
    HandleWholeLines();
  }

  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
      if (closed_) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd item{fd_, POLLIN, 0};
      const int ready = ::poll(&item, 1, static_cast<int>(left));
      if (ready < 0 && errno != EINTR) return false;
      if (ready > 0) ReadAndHandle();
    }
    return true;
  }

 private:
  void HandleWholeLines() {
    if (discarding_) {
      // The rest of a line that was already answered as too long.
      const size_t end = pending_.find('\n');
      if (end == std::string::npos) {
        pending_.clear();
        return;
      }
      pending_.erase(0, end + 1);
      discarding_ = false;
    }
    // Each line leaves the buffer before it is handled: handling may wait for an event's
    // answer and read this client's next lines meanwhile.
    for (size_t end; !closed_ && (end = pending_.find('\n')) != std::string::npos;) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      const std::string answer = session_.HandleLine(line);
      if (!answer.empty()) Send(answer);
    }
    // A line that never ends is answered once it passes the limit, and dropped.
    if (pending_.size() > kRpcMaxLine) {
      Send(session_.HandleLine(std::string(kRpcMaxLine + 1, ' ')));
      pending_.clear();
      discarding_ = true;
    }
  }

  int fd_;
  bool closed_ = false;
  bool discarding_ = false;
  std::string pending_;
  AutomationSession session_;
};

int Listen(const std::string& path, std::ostream& err) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    err << "tarq-cli: socket path too long: " << path << "\n";
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // User-only from the start: no moment in which another user could connect.
  const mode_t previous = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::umask(previous);
  if (bound != 0 || ::listen(fd, 8) != 0) {
    err << "tarq-cli: cannot serve on " << path << ": " << std::strerror(errno) << "\n";
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string DefaultAutomationSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime != nullptr && *runtime == '/') ? runtime : "/tmp";
  return folder + "/tarq-corvex-" + std::to_string(::getuid()) + "-" + std::to_string(::getpid()) +
         ".rpc";
}

int ServeAutomation(CProjDocBase& doc, const ServeOptions& options, std::ostream& out,
                    std::ostream& err) {
  const std::string path =
      options.socketPath.empty() ? DefaultAutomationSocketPath() : options.socketPath;
  if (!options.page.empty()) {
    CModuleBase* module = doc.FindModule(options.page, "");
    if (module == nullptr) {
      err << "tarq-cli: no module '" << options.page << "'\n";
      return kExitUsage;
    }
    module->CreatePage();
    SetCurrentPluginPageModule(module);
  }
  const int listener = Listen(path, err);
  if (listener < 0) return kExitFailed;
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    ::close(listener);
    ::unlink(path.c_str());
    return kExitFailed;
  }
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  struct sigaction previousTerm {};
  ::sigaction(SIGTERM, &action, &previousTerm);

  out << "serving " << path << "\n" << std::flush;
  doc.OnIdle();
  std::list<std::unique_ptr<Connection>> connections;
  bool running = true;
  bool stdinOpen = true;
  while (running) {
    std::vector<pollfd> items;
    items.push_back({g_signalPipe[0], POLLIN, 0});
    items.push_back({listener, POLLIN, 0});
    items.push_back({stdinOpen ? STDIN_FILENO : -1, POLLIN, 0});
    for (const auto& connection : connections) items.push_back({connection->Fd(), POLLIN, 0});
    const int ready = ::poll(items.data(), items.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (items[0].revents != 0) break;  // SIGTERM
    if (items[2].revents != 0) {
      char buffer[4096];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) running = false;  // standard input ended
    }
    if (items[1].revents & POLLIN) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) connections.push_back(std::make_unique<Connection>(fd, doc));
    }
    size_t index = 3;
    for (const auto& connection : connections) {
      if (items[index++].revents != 0) connection->ReadAndHandle();
    }
    connections.remove_if([](const auto& connection) { return connection->IsClosed(); });
    // What the calls changed is checked before the next round, as at idle time.
    doc.OnIdle();
  }

  int code = kExitOk;
  if (options.save && !doc.Save()) {
    PrintSaveFailure(doc, err);
    code = kExitFailed;
  }
  // Plugin applications still connected hear of the closing before their connection goes.
  doc.Reset();
  connections.clear();
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::close(listener);
  ::unlink(path.c_str());
  ::close(g_signalPipe[0]);
  ::close(g_signalPipe[1]);
  return code;
}

}  // namespace tarq
