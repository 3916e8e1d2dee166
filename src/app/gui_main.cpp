// tarq: the desktop program. Start-up in this order: the refusal of a system-launched
// automation start, the command line, the project (an empty path is the current folder;
// the program ends when it cannot be opened), the window placement, the first paint.
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Cli.h"
#include "app/CommandLine.h"
#include "framework/HtmlModule.h"
#include "modules/ModuleKinds.h"
#include "plugins/PluginLoader.h"
#include "project/ModuleTree.h"
#include "project/ProjDoc.h"
#include "ui/GuiHost.h"
#include "ui/HtmlPageView.h"
#include "ui/AutomationLocalServer.h"
#include "ui/InstanceServer.h"
#include "ui/MainWindow.h"
#include "ui/UiText.h"
#include "ui/WindowSettings.h"

namespace {

// Switches for measurements and documentation, not shown to users. They take values, so
// they are taken out before the command line proper is read.
struct HiddenOptions {
  QString screenshot;       // --screenshot FILE: grab the window after the first paint
  QString page;             // --page PREFIX: show this module's page first
  QString pagesFolder;      // --screenshot-pages DIR: one picture per module kind
  bool exitAfterPaint = false;  // --exit-after-paint: print the paint time and end
  int benchPageSwitches = 0;    // --bench-page-switch N: time N page switches
};

HiddenOptions TakeHiddenOptions(QStringList& arguments) {
  HiddenOptions options;
  for (qsizetype i = 0; i < arguments.size();) {
    const QString argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--screenshot" && hasValue) {
      options.screenshot = arguments[i + 1];
      arguments.remove(i, 2);
    } else if (argument == "--screenshot-pages" && hasValue) {
      options.pagesFolder = arguments[i + 1];
      arguments.remove(i, 2);
    } else if (argument == "--page" && hasValue) {
      options.page = arguments[i + 1];
      arguments.remove(i, 2);
    } else if (argument == "--bench-page-switch" && hasValue) {
      options.benchPageSwitches = std::max(1, arguments[i + 1].toInt());
      arguments.remove(i, 2);
    } else if (argument == "--exit-after-paint") {
      options.exitAfterPaint = true;
      arguments.remove(i);
    } else {
      ++i;
    }
  }
  return options;
}

// Runs a piece of work once, right after the main window's first paint.
class FirstPaint : public QObject {
 public:
  FirstPaint(QWidget& window, std::function<void()> work) : window_(window), work_(std::move(work)) {
    window_.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Paint && work_) {
      window_.removeEventFilter(this);
      // After the paint has been handed to the screen.
      QTimer::singleShot(0, this, [this] {
        auto work = std::move(work_);
        work();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget& window_;
  std::function<void()> work_;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void BenchPageSwitches(tarq::MainWindow& window, int count) {
  std::vector<tarq::CModuleBase*> modules;
  for (tarq::TreeNode* node : window.Document().GetTree().AllNodes())
    if (node->module) modules.push_back(node->module);
  std::vector<double> times;
  std::map<std::string, std::vector<double>> byModule;
  for (int i = 0; i < count && !modules.empty(); ++i) {
    tarq::CModuleBase* module = modules[static_cast<size_t>(i + 1) % modules.size()];
    QElapsedTimer timer;
    timer.start();
    window.ShowModule(module);
    QCoreApplication::processEvents();
    window.repaint();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    byModule[module->GetPrefix()].push_back(times.back());
  }
  for (const auto& [prefix, moduleTimes] : byModule)
    std::printf("page-switch-to %s median-ms %.3f\n", prefix.c_str(), Median(moduleTimes));
  const double slowest = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
  std::printf("page-switch-median-ms %.3f (slowest %.3f, switches %d, modules %zu)\n",
              Median(times), slowest, count, modules.size());
  std::fflush(stdout);
}

void Pause(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void Grab(tarq::MainWindow& window, const QString& file) {
  const bool saved = window.grab().save(file, "PNG");
  std::printf("screenshot %s %s\n", tarq::FromQt(file).c_str(), saved ? "written" : "FAILED");
  std::fflush(stdout);
}

// Pictures of the first page of every module kind, in tree order, named after the module.
void ScreenshotPages(tarq::MainWindow& window, const QString& folder) {
  auto modules = std::make_shared<std::vector<tarq::CModuleBase*>>();
  std::set<std::string> kinds;
  for (tarq::TreeNode* node : window.Document().GetTree().AllNodes())
    if (node->module && kinds.insert(node->module->GetClass()).second) modules->push_back(node->module);
  QDir().mkpath(folder);
  auto next = std::make_shared<std::function<void(size_t)>>();
  *next = [&window, folder, modules, next](size_t index) {
    if (index >= modules->size()) {
      QCoreApplication::exit(0);
      return;
    }
    tarq::CModuleBase* module = (*modules)[index];
    window.ShowModule(module);
    auto* html = dynamic_cast<tarq::CHtmlModule*>(module);
    // The idle pass and the layout settle before the picture; a web page also has to load.
    QTimer::singleShot(html ? 2500 : 300, &window, [&window, folder, module, html, index, next] {
      const QString name = tarq::ToQt(module->GetPrefix());
      Grab(window, QDir(folder).filePath(name + ".png"));
      // A package drawing has one view per package: a picture of each.
      std::string answer;
      for (int view = 1; html && module->GetClass() == "PINOUT" && view < 8; ++view) {
        if (!html->CallScript("ShowView", {std::to_string(view)}, answer) || answer != "true") break;
        Pause(400);
        Grab(window, QDir(folder).filePath(name + "-view" + QString::number(view) + ".png"));
      }
      (*next)(index + 1);
    });
  };
  (*next)(0);
}

}  // namespace

int main(int argc, char** argv) {
  // The web view shares its rendering context with the widgets, and the program's link
  // schemes must be known before any web page exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  tarq::HtmlPageView::RegisterProgramLinkSchemes();
  // The browser's sandbox refuses to run for root; without it pages still load.
  if (geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);

  QApplication app(argc, argv);
  QApplication::setOrganizationName(tarq::kSettingsOrganisation);
  QApplication::setApplicationName(tarq::kSettingsApplication);
  QApplication::setStyle("Fusion");

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  const HiddenOptions hidden = TakeHiddenOptions(arguments);
  std::vector<std::string> plain;
  for (const QString& argument : arguments) plain.push_back(tarq::FromQt(argument));
  const tarq::CommandLineInfo info = tarq::ParseCommandLine(plain);

  // Plugin applications may only attach to an instance the user started.
  if (info.runEmbedded || info.runAutomated) {
    QMessageBox::warning(nullptr, tarq::kAppTitle, "Please run the Tarq application first!");
    return 1;
  }

  tarq::GuiHost host;
  tarq::MainWindow* window = nullptr;
  tarq::DocumentEnvironment environment;
  environment.programFolder = tarq::ExecutableFolder();
  environment.selfTest = info.selfTest;
  environment.reprocess = info.reprocess;
  environment.activateOtherInstance = tarq::InstanceServer::ActivationHook();
  environment.postSaveAndExit = [&window] {
    QTimer::singleShot(0, [&window] {
      if (window) window->SaveAndExit();
    });
  };
  tarq::EnablePlugins(environment);
  tarq::CProjDoc document(host, environment, tarq::RegisterBuiltInModuleKinds);

  tarq::InstanceServer server;
  server.Listen();
  const std::unique_ptr<tarq::AutomationLocalServer> automation(
      tarq::StartAutomationServer(document));
  tarq::MainWindow mainWindow(document, host);
  window = &mainWindow;
  QObject::connect(&server, &tarq::InstanceServer::activateRequested, &mainWindow,
                   &tarq::MainWindow::BringToFront);

  if (!document.OpenProject(info.fileName)) return 1;
  mainWindow.OnDocumentOpened();
  if (!hidden.page.isEmpty()) {
    if (tarq::CModuleBase* module = document.FindModule(tarq::FromQt(hidden.page), {}))
      mainWindow.ShowModule(module);
  }
  mainWindow.PlaceAndShow();
  host.PostWakeUp();

  FirstPaint firstPaint(mainWindow, [&] {
    if (hidden.exitAfterPaint) {
      std::printf("first-paint-epoch-ms %.3f\n",
                  static_cast<double>(QDateTime::currentMSecsSinceEpoch()));
      std::fflush(stdout);
    }
    if (hidden.benchPageSwitches > 0) BenchPageSwitches(mainWindow, hidden.benchPageSwitches);
    if (!hidden.pagesFolder.isEmpty()) {
      ScreenshotPages(mainWindow, hidden.pagesFolder);
      return;
    }
    if (!hidden.screenshot.isEmpty()) {
      // Let the idle pass fill the bars and the layout settle before the picture.
      QTimer::singleShot(400, &mainWindow, [&] {
        const bool saved = mainWindow.grab().save(hidden.screenshot, "PNG");
        std::printf("screenshot %s %s\n", tarq::FromQt(hidden.screenshot).c_str(),
                    saved ? "written" : "FAILED");
        std::fflush(stdout);
        QCoreApplication::exit(saved ? 0 : 1);
      });
      return;
    }
    if (hidden.exitAfterPaint || hidden.benchPageSwitches > 0) QCoreApplication::exit(0);
  });
  return app.exec();
}
