// The import dialog and the Help menu in the desktop program: an import between two serial
// ports and from another project, and the manual and a module's chapter opened by a stand-in
// reader that records its arguments.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include "UiTestSupport.h"
#include "modules/ModuleKinds.h"
#include "ui/ImportDialog.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/UndoCommands.h"
#include "ui/WindowSettings.h"

namespace tarq::uitest {

namespace {

// A window over a copy of an example, the real module kinds and the given program folder.
struct PlainSession {
  PlainSession(const QString& group, const QString& programFolder) {
    project = CopyExample(dir, group);
    DocumentEnvironment environment;
    environment.programFolder = programFolder.toStdString();
    document = std::make_unique<CProjDoc>(host, environment, RegisterBuiltInModuleKinds);
    window = std::make_unique<MainWindow>(*document, host);
    if (document->OpenProject(project.toStdString())) window->OnDocumentOpened();
    QCoreApplication::processEvents();
  }
  ~PlainSession() {
    window.reset();
    document.reset();
  }
  CModuleBase* Module(const char* prefix) const { return document->FindModule(prefix, {}); }

  QTemporaryDir dir;
  QString project;
  TestHost host;
  std::unique_ptr<CProjDoc> document;
  std::unique_ptr<MainWindow> window;
};

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

void Choose(QComboBox* box, const QString& text) {
  const int index = box->findText(text);
  QVERIFY2(index >= 0, qPrintable(text));
  box->setCurrentIndex(index);
}

QStringList ReadLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Waits for the stand-in reader to have written its arguments.
QStringList WaitForArguments(const QString& path, int count) {
  // A busy machine may take seconds to start a process.
  for (int i = 0; i < 750 && ReadLines(path).size() < count; ++i) QTest::qWait(20);
  return ReadLines(path);
}

}  // namespace

class ImportHelpTest : public QObject {
  Q_OBJECT

 private slots:
  void importDialogCopiesBetweenSerialPortsAndFromAnotherProject() {
    PlainSession session("fenn", TARQ_BINARY_DIR);
    QVERIFY(session.document->IsLoaded());
    session.window->Commands()->Action("actionImport")->trigger();
    ImportDialog* dialog = session.window->Commands()->ImportSettingsDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->ProjectLabel()->text(), QString(" Importing from the current project..."));
    QVERIFY(!dialog->CurrentProjectButton()->isEnabled());

    Choose(dialog->Destinations(), "SCI_1");
    QCOMPARE(Items(dialog->Sources()), QStringList({"SCI_0"}));
    QVERIFY(dialog->OkButton()->isEnabled());
    QVERIFY(!dialog->RegisterList()->isEnabled());
    QVERIFY(dialog->RegisterList()->count() > 0);

    // Only the rate register: every entry unchecked first gives the error and changes nothing.
    dialog->SelectedMode()->setChecked(true);
    QVERIFY(dialog->RegisterList()->isEnabled());
    for (int row = 0; row < dialog->RegisterList()->count(); ++row)
      dialog->RegisterList()->item(row)->setCheckState(Qt::Unchecked);
    const uint32_t rateBefore = session.Module("SCI_1")->FindOwnRegister("SCIBR_INIT")->value;
    session.host.entries.clear();
    dialog->OkButton()->click();
    QVERIFY(session.host.Saw("No registers selected for importing!"));
    QCOMPARE(session.Module("SCI_1")->FindOwnRegister("SCIBR_INIT")->value, rateBefore);

    const QList<QListWidgetItem*> rate =
        dialog->RegisterList()->findItems(" SCI_0_SCIBR_INIT", Qt::MatchExactly);
    QCOMPARE(rate.size(), 1);
    rate.front()->setCheckState(Qt::Checked);
    session.host.answers = {Answer::Yes};
    dialog->OkButton()->click();
    QVERIFY(session.host.Saw("Are you sure to modify the SCI_1 module settings?"));
    QCOMPARE(session.Module("SCI_1")->FindOwnRegister("SCIBR_INIT")->value,
             session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value);
    QVERIFY(session.Module("SCI_1")->FindOwnRegister("SCIBR_INIT")->value != rateBefore);
    // The destination's page is on screen and the dialog closed.
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
    QVERIFY(!dialog->isVisible());
    // The import is one step of the undo history, named as such.
    session.document->OnIdle();
    QCOMPARE(session.window->Undo()->UndoAction()->text(), QString("&Undo: SCI_1 Import"));

    // Mass-import mode: the dialog stays open for the next destination.
    session.window->Commands()->Action("actionImport")->trigger();
    dialog->AllMode()->setChecked(true);
    dialog->MassImport()->setChecked(true);
    session.host.answers = {Answer::Yes, Answer::No};
    dialog->OkButton()->click();
    QVERIFY(session.host.Saw("Module SCI_1 was successfully updated"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(session.Module("SCI_1")->FindOwnRegister("SCICR_INIT")->value,
             session.Module("SCI_0")->FindOwnRegister("SCICR_INIT")->value);
    dialog->MassImport()->setChecked(false);

    // Another project: its clock module is refused across the part groups; its unwritten
    // serial port is offered as "(empty)".
    QTemporaryDir otherDir;
    const QString classic = CopyExample(otherDir, "classic");
    dialog->SetProjectChooser([&] { return classic + "/ApplicationConfig/appconfig.h"; });
    session.window->Commands()->Action("actionImport")->trigger();
    QCOMPARE(dialog->Destinations()->currentText(), QString("SCI_1"));
    dialog->OtherProject();
    QVERIFY(dialog->ProjectLabel()->text().endsWith("appconfig.h (CVX03LF100)"));
    QVERIFY(dialog->CurrentProjectButton()->isEnabled());
    QCOMPARE(Items(dialog->Sources()), QStringList({"SCI_0", "SCI_1 (empty)"}));
    Choose(dialog->Destinations(), "OCCS");
    QCOMPARE(Items(dialog->Sources()), QStringList({"OCCS (forbidden)"}));
    QVERIFY(!dialog->OkButton()->isEnabled());
    dialog->CurrentProject();
    QCOMPARE(Items(dialog->Sources()), QStringList({"n/a"}));
    dialog->hide();
  }

  void helpMenuOpensTheManualAndTheModuleChapterWithTheConfiguredReader() {
    // A program folder with the part's architecture file and stand-in documents.
    QTemporaryDir program;
    QDir().mkpath(program.filePath("help"));
    QVERIFY(QFile::copy(TARQ_BINARY_DIR "/CVX-08.cfg", program.filePath("CVX-08.cfg")));
    for (const char* name : {"help/ConfigTool.pdf", "help/CVX08RM.pdf"}) {
      QFile file(program.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("%PDF-1.4\n");
    }
    const QString log = program.filePath("arguments.txt");
    const QString reader = program.filePath("reader.sh");
    {
      QFile script(reader);
      QVERIFY(script.open(QIODevice::WriteOnly));
      script.write(("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log +
                    "'\n").toUtf8());
    }
    QFile::setPermissions(reader, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    {
      QSettings settings(kSettingsOrganisation, kSettingsApplication);
      // The temporary folder's name holds a blank: the program is quoted in the command.
      settings.setValue("Options/Opener", "\"" + reader + "\" %f");
      settings.setValue("Options/PdfReaderDest", "\"" + reader + "\" --dest=%d %f");
    }

    PlainSession session("fenn", program.path());
    QVERIFY(session.document->IsLoaded());
    MainCommands* commands = session.window->Commands();
    commands->UpdateStates();
    QVERIFY(commands->Action("actionToolHelp")->isEnabled());
    commands->Action("actionToolHelp")->trigger();
    QVERIFY2(session.window->statusBar()->currentMessage().isEmpty() ||
                 session.window->statusBar()->currentMessage() == "Ready",
             qPrintable(session.window->statusBar()->currentMessage()));
    QCOMPARE(WaitForArguments(log, 1), QStringList({program.filePath("help/ConfigTool.pdf")}));

    QFile::remove(log);
    QVERIFY(session.window->ShowModule(session.Module("SCI_0")));
    commands->Action("actionLookupHelp")->trigger();
    QCOMPARE(WaitForArguments(log, 2),
             QStringList({"--dest=SCI", program.filePath("help/CVX08RM.pdf")}));

    // A missing chapter document opens nothing and the status bar says why.
    QFile::remove(log);
    QFile::remove(program.filePath("help/CVX08RM.pdf"));
    commands->Action("actionLookupHelp")->trigger();
    QCOMPARE(session.window->statusBar()->currentMessage(),
             "Help document not found: " + program.filePath("help/CVX08RM.pdf"));
    QTest::qWait(100);
    QVERIFY(!QFile::exists(log));

    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.remove("Options/Opener");
    settings.remove("Options/PdfReaderDest");
  }
};

TARQ_UI_TEST(ImportHelpTest);

}  // namespace tarq::uitest

#include "ImportHelpTest.moc"
