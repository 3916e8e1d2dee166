// Start-up and the pieces around it: window placement, options, the help command, the
// instance socket with the lock file, and the program itself started as a process.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "UiTestSupport.h"
#include "modules/ModuleKinds.h"
#include "project/OptionsFile.h"
#include "ui/InstanceServer.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/WindowSettings.h"

namespace tarq::uitest {

namespace {

const QString kProgram = QStringLiteral(TARQ_BINARY_DIR "/tarq");

QProcessEnvironment OffscreenEnvironment(const QString& config) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_CONFIG_HOME", config);
  return environment;
}

// A process of a shell that holds a project's lock, as a running instance would.
class LockHolder {
 public:
  explicit LockHolder(const QString& lockPath) {
    process_.start("sh", {"-c", "exec 9>>\"$0\"; flock -x 9; echo $$ >\"$0\"; echo locked; read x", lockPath});
    if (process_.waitForReadyRead(5000)) locked_ = process_.readLine().trimmed() == "locked";
  }
  ~LockHolder() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(2000)) process_.kill();
    process_.waitForFinished(2000);
  }
  bool Locked() const { return locked_; }
  qint64 Pid() const { return process_.processId(); }

 private:
  QProcess process_;
  bool locked_ = false;
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void defaultPlacementFollowsTheScreenWidth() {
    QCOMPARE(DefaultPlacement(800, QPoint(40, 30)), QRect(0, 0, 800, 570));
    QCOMPARE(DefaultPlacement(640, QPoint(40, 30)), QRect(0, 0, 800, 570));
    QCOMPARE(DefaultPlacement(801, QPoint(40, 30)), QRect(40, 30, 900, 700));
  }

  void placementIsSavedAndRestored() {
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.remove("WindowPos");
    settings.sync();
    QMainWindow first;
    QVERIFY(!WindowSettings::Restore(first));
    first.resize(733, 555);
    first.show();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    WindowSettings::Save(first);
    QVERIFY(!WindowSettings::SavedPlacement().isEmpty());

    QMainWindow second;
    second.setWindowState(Qt::WindowMinimized);
    QVERIFY(WindowSettings::Restore(second));
    QCOMPARE(second.size(), QSize(733, 555));
    QVERIFY(!(second.windowState() & Qt::WindowMinimized));
  }

  void optionsDialogEditsTheDocumentAndStoresDefaults() {
    Session session("fenn", false);
    const Options before = session.document->GetOptions();
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      QCOMPARE(dialog->windowTitle(), QString("Options"));
      QCOMPARE(dialog->GenerateComments()->text(), QString("Generate detailed comments"));
      QCOMPARE(dialog->KeepUserComments()->text(), QString("Preserve user comments"));
      QCOMPARE(dialog->GenerateDefaults()->text(),
               QString("Generate all register values (even if same as reset value)"));
      QVERIFY(dialog->SetAsDefaultBox()->isChecked());
      dialog->KeepUserComments()->setChecked(!dialog->KeepUserComments()->isChecked());
      dialog->accept();
    });
    session.window->Commands()->Action("actionOptions")->trigger();
    QCOMPARE(session.document->GetOptions().keepUserComments, !before.keepUserComments);
    // The defaults went where every later project reads them.
    QCOMPARE(LoadOptions(OptionsFilePath()).keepUserComments, !before.keepUserComments);
    StoreDefaultOptions(Options{});

    // Cancel changes nothing.
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      dialog->GenerateComments()->setChecked(false);
      dialog->reject();
    });
    session.window->Commands()->Action("actionOptions")->trigger();
    QVERIFY(session.document->GetOptions().generateComments);
  }

  void toolHelpIsEnabledOnlyWithTheManual() {
    QTemporaryDir program;
    QVERIFY(QFile::copy(TARQ_BINARY_DIR "/CVX-08.cfg", program.filePath("CVX-08.cfg")));
    TestHost host;
    DocumentEnvironment environment;
    environment.programFolder = program.path().toStdString();
    CProjDoc document(host, environment, RegisterBuiltInModuleKinds);
    MainWindow window(document, host);
    QTemporaryDir projects;
    QVERIFY(document.OpenProject(CopyExample(projects, "fenn").toStdString()));
    window.OnDocumentOpened();
    QAction* help = window.Commands()->Action("actionToolHelp");
    QCOMPARE(help->text(), QString("Configuration Tool  Help"));
    QVERIFY(!help->isEnabled());
    QDir(program.path()).mkpath("help");
    QFile manual(program.filePath("help/ConfigTool.pdf"));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    window.Commands()->UpdateStates();
    QVERIFY(help->isEnabled());
  }

  void heldProjectActivatesItsHolderAndAsksOnlyAfterIdle() {
    QTemporaryDir dir;
    const QString project = CopyExample(dir, "fenn");
    LockHolder holder(project + "/ApplicationConfig/appconfig.lck");
    QVERIFY(holder.Locked());
    // We stand in for the holder's window: its socket carries its process id.
    InstanceServer server;
    QVERIFY(server.Listen(holder.Pid()));
    QSignalSpy activated(&server, &InstanceServer::activateRequested);

    TestHost host;
    host.defaultAnswer = Answer::No;
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    environment.activateOtherInstance = InstanceServer::ActivationHook();
    CProjDoc document(host, environment, RegisterBuiltInModuleKinds);
    QVERIFY(!document.OpenProject(project.toStdString()));
    QVERIFY(host.entries.empty());
    QTRY_COMPARE(activated.count(), 1);

    // Once idle has been reached, the user is asked first; No leaves the holder alone.
    document.SetIdleReached(true);
    QVERIFY(!document.OpenProject(project.toStdString()));
    QVERIFY(host.Saw("This project file is already open in other application. Do you want to activate it?"));
    QTest::qWait(200);
    QCOMPARE(activated.count(), 1);
  }

  void programStartsPaintsAndEnds() {
    QTemporaryDir dir;
    const QString project = CopyExample(dir, "fenn");
    QProcess tarq;
    tarq.setProcessEnvironment(OffscreenEnvironment(dir.filePath("config")));
    tarq.start(kProgram, {project, "--exit-after-paint"});
    QVERIFY(tarq.waitForFinished(30000));
    QCOMPARE(tarq.exitCode(), 0);
    QVERIFY(tarq.readAllStandardOutput().contains("first-paint-epoch-ms"));
    // Ended: the lock is gone with it.
    QVERIFY(!QFile::exists(project + "/ApplicationConfig/appconfig.lck"));
  }

  void reprocessSavesAndEnds() {
    QTemporaryDir dir;
    const QString project = CopyExample(dir, "fenn");
    QProcess tarq;
    tarq.setProcessEnvironment(OffscreenEnvironment(dir.filePath("config")));
    tarq.start(kProgram, {"/REPROCESS", project});
    QVERIFY(tarq.waitForFinished(30000));
    QCOMPARE(tarq.exitCode(), 0);
    QVERIFY(QFile::exists(project + "/ApplicationConfig/appconfig.bak"));
  }

  void secondInstanceHandsOverAndEndsWithoutAQuestion() {
    QTemporaryDir dir;
    const QString project = CopyExample(dir, "fenn");
    const QProcessEnvironment environment = OffscreenEnvironment(dir.filePath("config"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(kProgram, {project});
    QVERIFY(first.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(project + "/ApplicationConfig/appconfig.lck"), 20000);
    QTest::qWait(500);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(kProgram, {project});
    // A question would wait for ever on the offscreen screen.
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    if (!first.waitForFinished(5000)) first.kill();
  }
};

TARQ_UI_TEST(StartupTest);

}  // namespace tarq::uitest

#include "StartupTest.moc"
