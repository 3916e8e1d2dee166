// Saving from the window writes exactly what the core writes for the same edits, and the
// other save commands go where they are told.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "UiTestSupport.h"
#include "modules/ModuleKinds.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"

namespace tarq::uitest {

class SaveTest : public QObject {
  Q_OBJECT

 private slots:
  void windowSaveMatchesCoreSave() {
    // The same edits, once through the widgets and once through the page model alone.
    Session session;
    QVERIFY(session.window->ShowModule(session.Module("SCI_0")));
    auto* divisor = qobject_cast<QLineEdit*>(session.Widget(kIdDivisor));
    divisor->setFocus();
    divisor->selectAll();
    QTest::keyClicks(divisor, "0x30");
    QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);
    QTest::mouseClick(session.Widget(kIdTransmit), Qt::LeftButton);
    session.Idle();
    QVERIFY(session.window->ShowModule(session.Module("OCCS")));
    QVERIFY(session.window->Commands()->Save());

    QTemporaryDir coreDir;
    const QString coreProject = CopyExample(coreDir, "fenn");
    CollectingHost coreHost;
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    CProjDoc core(coreHost, environment, RegisterBuiltInModuleKinds);
    RegisterTestModules(core);
    QVERIFY(core.OpenProject(coreProject.toStdString()));
    CModuleBase* sci = core.FindModule("SCI_0", {});
    QVERIFY(sci->CreatePage());
    Page* page = sci->GetPage();
    QVERIFY(page->TypeText(kIdDivisor, "0x30"));
    QVERIFY(page->Click(kIdReceive));
    QVERIFY(page->Click(kIdTransmit));
    core.OnIdle();
    QVERIFY(core.Save());

    const QStringList fromWindow = LinesWithoutDate(session.project + "/ApplicationConfig/appconfig.h");
    const QStringList fromCore = LinesWithoutDate(coreProject + "/ApplicationConfig/appconfig.h");
    QCOMPARE(fromWindow, fromCore);
    QVERIFY(fromWindow.join('\n').contains("#define SCI_0_SCIBR_INIT                  0x0030U"));
    QVERIFY(fromWindow.join('\n').contains("#define SCI_0_SCICR_INIT                  0x0020U"));
    QVERIFY(QFile::exists(session.project + "/ApplicationConfig/appconfig.bak"));
    QVERIFY(!session.document->IsModified());
  }

  void saveAsMovesTheProjectAndCopyAsDoesNot() {
    Session session;
    QVERIFY(session.window->ShowModule(session.Module("SCI_0")));
    QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);
    const QString copy = session.dir.filePath("copy/appconfig.h");
    const QString moved = session.dir.filePath("moved/header");
    QDir().mkpath(session.dir.filePath("copy"));
    QDir().mkpath(session.dir.filePath("moved"));
    MainCommands* commands = session.window->Commands();
    commands->SetFileChooser([&](MainCommands::FileDialog kind, const QString& proposed) {
      // The dialog proposes the project's own header.
      if (proposed != QString::fromStdString(session.document->GetPath())) return QString();
      return kind == MainCommands::FileDialog::SaveCopyAs ? copy : moved;
    });
    QVERIFY(commands->SaveCopyAs());
    QVERIFY(QFile::exists(copy));
    QVERIFY(session.document->IsModified());
    QVERIFY(commands->SaveAs());
    // A name without an extension gets ".h"; the window title follows the new path.
    QVERIFY(QFile::exists(moved + ".h"));
    QCOMPARE(QString::fromStdString(session.document->GetPath()), moved + ".h");
    QCOMPARE(session.window->windowTitle(), QString("moved (header.h) - Corvex Tarq"));
    QVERIFY(!session.document->IsModified());
  }

  void aHeaderChangedOnDiskIsNotOverwrittenWithoutAsking() {
    const char* question =
        "The file has been changed by another program. Reload it and lose your changes, or keep "
        "your version?";
    for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
      Session session;
      const QString header = session.project + "/ApplicationConfig/appconfig.h";
      QVERIFY(session.window->ShowModule(session.Module("SCI_0")));
      QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);
      // Another editor (or a checkout) changes the file meanwhile.
      QFile file(header);
      QVERIFY(file.open(QIODevice::Append));
      file.write("/* changed elsewhere */\n");
      file.close();
      const QByteArray onDisk = [&] {
        QFile in(header);
        in.open(QIODevice::ReadOnly);
        return in.readAll();
      }();
      session.host.answers = {answer};
      const bool saved = session.window->Commands()->Save();
      QVERIFY(session.host.Saw(question));
      QFile in(header);
      QVERIFY(in.open(QIODevice::ReadOnly));
      const QByteArray now = in.readAll();
      if (answer == Answer::No) {
        // Kept: this version overwrites the file.
        QVERIFY(saved);
        QVERIFY(!now.contains("changed elsewhere"));
        QVERIFY(now.contains("#define SCI_0_SCICR_INIT"));
      } else {
        QVERIFY(!saved);
        QCOMPARE(now, onDisk);
        // Reloaded: the document shows the file again and has no changes.
        if (answer == Answer::Yes) QVERIFY(!session.document->IsModified());
        if (answer == Answer::Cancel) QVERIFY(session.document->IsModified());
      }
    }
  }

  void failedOpenThatEmptiedTheDocumentAsksForAnotherFile() {
    Session session;
    // A header without a known part: reading starts, then the open fails and the
    // document is left empty.
    const QString broken = session.dir.filePath("broken/appconfig.h");
    QDir().mkpath(session.dir.filePath("broken"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#define SOMETHING 1\n");
    file.close();
    const QString good = session.project + "/ApplicationConfig/appconfig.h";
    QStringList offered{broken, QString(), good};
    session.window->Commands()->SetFileChooser([&](MainCommands::FileDialog, const QString&) {
      return offered.isEmpty() ? QString() : offered.takeFirst();
    });
    session.host.answers = {Answer::No};  // not "Terminate Application?"
    QVERIFY(!session.window->Commands()->Open());
    QVERIFY(session.host.Saw("Processor unknown or not defined in project header file.\n"));
    QVERIFY(session.host.Saw("Can not live with uninitialized document.\n\nTerminate Application?"));
    QVERIFY(offered.isEmpty());
    QVERIFY(session.document->IsLoaded());
    QCOMPARE(session.window->windowTitle(), QString("fenn (appconfig.h) - Corvex Tarq"));
    QVERIFY(session.window->Pane()->CurrentModule());
  }
};

TARQ_UI_TEST(SaveTest);

}  // namespace tarq::uitest

#include "SaveTest.moc"
