// A plugin's web page in the desktop program: the page is shown, and its script drives the
// automation object through the web channel.
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTest>

#include "UiTestSupport.h"
#include "modules/ModuleKinds.h"
#include "plugins/Automation.h"
#include "plugins/PluginLoader.h"
#include "ui/AutomationLocalServer.h"
#include "ui/HtmlPageView.h"
#include "ui/MainWindow.h"
#include "ui/ModuleTreeView.h"
#include "ui/PagePane.h"

namespace tarq::uitest {

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(content);
}

// A main window on a copy of the classic example with plugins enabled and a data folder of
// its own; a test writes its plugin folders under `project` before Open().
struct PluginWindow {
  QTemporaryDir dir;
  const bool dataHome = SetDataHome(dir);
  const QString project = CopyExample(dir, "classic");
  TestHost host;
  DocumentEnvironment environment = PluginEnvironment();
  CProjDoc document{host, environment, RegisterBuiltInModuleKinds};
  MainWindow window{document, host};

  ~PluginWindow() { qunsetenv("XDG_DATA_HOME"); }
  bool Open() {
    if (!document.OpenProject(project.toStdString())) return false;
    window.OnDocumentOpened();
    window.resize(900, 700);
    window.show();
    return true;
  }

  static bool SetDataHome(const QTemporaryDir& dir) {
    return qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
  }
  static DocumentEnvironment PluginEnvironment() {
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    EnablePlugins(environment);
    return environment;
  }
};

}  // namespace

class PluginPageTest : public QObject {
  Q_OBJECT

 private slots:
  void pageScriptCallsTheObjectThroughTheWebChannel() {
    PluginWindow session;
    MainWindow& window = session.window;
    CProjDoc& document = session.document;
    const QString plugin = session.project + "/ApplicationConfig/Board.tarq";
    WriteFile(plugin + "/board.ini",
              "[tarq_plugins]\nplugin1=BRD\n[BRD]\nname=Board\nregisters=BRD_REGS\n"
              "maindoc=page.html\n[BRD_REGS]\nMODE_INIT=0;DW8\n");
    WriteFile(plugin + "/page.html",
              "<html><head><title>loading</title></head><body><script>"
              "new QWebChannel(qt.webChannelTransport, function (channel) {"
              "  var tarq = channel.objects.tarq;"
              "  tarq.SetReg('MODE_INIT', 42, function (ok) {"
              "    tarq.GetReg('APPCFG_EXTCLK', function (clock) {"
              "      document.title = 'done ' + ok + ' ' + clock; });"
              "  });"
              "});</script></body></html>");

    QVERIFY(session.Open());
    CModuleBase* board = document.FindModule("BRD", {});
    QVERIFY(board);
    QVERIFY(window.ShowModule(board));
    HtmlPageView* view = window.Pane()->HtmlView();
    QVERIFY(view);
    QTRY_VERIFY_WITH_TIMEOUT(view->IsDocumentComplete(), 20000);
    // The page's script set the register and read the project's 8 MHz clock.
    QTRY_COMPARE_WITH_TIMEOUT(view->page()->title(), QString("done true 8"), 20000);
    QCOMPARE(board->FindOwnRegister("MODE_INIT")->value, 42u);
    // Applications started now bind to the page shown last.
    QCOMPARE(CurrentPluginPageModule(), board);
  }

  // "earlyload": the page's script runs as the project opens, before the user shows it; shown
  // later, it is the same page (its script state kept), and applications bind to it then.
  void anEarlyPageRunsItsScriptBeforeItIsShownAndKeepsItsState() {
    PluginWindow session;
    MainWindow& window = session.window;
    CProjDoc& document = session.document;
    const QString plugin = session.project + "/ApplicationConfig/Early.tarq";
    WriteFile(plugin + "/early.ini",
              "[tarq_plugins]\nplugin1=EARLY\n[EARLY]\nname=Early\nregisters=EARLY_REGS\n"
              "maindoc=page.html\nearlyload=yes\n[EARLY_REGS]\nMODE_INIT=0;DW8\n");
    // Every load counts up: a page loaded twice would say "loads 2".
    WriteFile(plugin + "/page.html",
              "<html><head><title>loading</title></head><body><script>"
              "var n = Number(sessionStorage.getItem('loads') || 0) + 1;"
              "sessionStorage.setItem('loads', n);"
              "new QWebChannel(qt.webChannelTransport, function (channel) {"
              "  channel.objects.tarq.SetReg('MODE_INIT', 7, function (ok) {"
              "    document.title = 'loads ' + n; });"
              "});</script></body></html>");

    QVERIFY(session.Open());
    CModuleBase* early = document.FindModule("EARLY", {});
    QVERIFY(early);
    QVERIFY(window.Pane()->CurrentModule() != early);
    // Not shown, yet its script has run.
    QTRY_COMPARE_WITH_TIMEOUT(early->FindOwnRegister("MODE_INIT")->value, 7u, 20000);
    QVERIFY(CurrentPluginPageModule() != early);

    QVERIFY(window.ShowModule(early));
    HtmlPageView* view = window.Pane()->HtmlView();
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->page()->title(), QString("loads 1"), 20000);
    QCOMPARE(CurrentPluginPageModule(), early);
    // Away and back: still the first load.
    QVERIFY(window.ShowModule(document.FindModule("OCCS", {})));
    QVERIFY(window.ShowModule(early));
    QCOMPARE(window.Pane()->HtmlView(), view);
    QTest::qWait(300);
    QCOMPARE(view->page()->title(), QString("loads 1"));
  }

  // A plugin an application makes while the project is open shows in the tree at once, and
  // the tree keeps the page the user is on.
  void aDynamicPluginJoinsTheTreeOfTheOpenProject() {
    PluginWindow session;
    MainWindow& window = session.window;
    CProjDoc& document = session.document;
    QVERIFY(session.Open());
    CModuleBase* occs = document.FindModule("OCCS", {});
    QVERIFY(window.ShowModule(occs));
    QTreeWidgetItem* current = window.Tree()->currentItem();

    CConfigToolObj application(&document);
    QCOMPARE(QString::fromStdString(application.CreateDynamicPlugin("DYN", "", "", "", "", "").dump()),
             QString("\"DYN/DYN\""));
    CModuleBase* dynamic = application.GetModule();
    QVERIFY(dynamic);
    QTreeWidgetItem* item = window.Tree()->ItemOf(document.GetTree().FindNode(dynamic));
    QVERIFY(item);
    QCOMPARE(item->text(0), QString("Dynamic plugin DYN"));
    QCOMPARE(window.Tree()->currentItem(), current);
    QCOMPARE(window.Pane()->CurrentModule(), occs);
    // Its item leads to its page.
    window.Tree()->setCurrentItem(item);
    QCOMPARE(window.Pane()->CurrentModule(), dynamic);
  }

  void desktopServerAnswersOverItsSocketAndANameInUseIsOnlyANote() {
    QTemporaryDir dir;
    const QString project = CopyExample(dir, "classic");
    TestHost host;
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    CProjDoc document(host, environment, RegisterBuiltInModuleKinds);
    QVERIFY(document.OpenProject(project.toStdString()));
    AutomationLocalServer server(document);
    QString error;
    const QString path = dir.filePath("tarq.rpc");
    QVERIFY2(server.Listen(path, error), qPrintable(error));
    QCOMPARE(QFile::permissions(path) &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFile::Permissions());

    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(5000));
    client.write(R"({"jsonrpc":"2.0","id":1,"method":"GetReg","params":["APPCFG_EXTCLK"]})"
                 "\n");
    QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), 5000);
    QCOMPARE(client.readLine().trimmed(), QByteArray(R"({"id":1,"jsonrpc":"2.0","result":8.0})"));

    // A second server on the same name does not start; the caller goes on without it.
    AutomationLocalServer second(document);
    QVERIFY(!second.Listen(path, error));
    QVERIFY(!error.isEmpty());
  }
};

TARQ_UI_TEST(PluginPageTest);

}  // namespace tarq::uitest

#include "PluginPageTest.moc"
