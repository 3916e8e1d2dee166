// The main window driven through its real widgets: the tree switches pages (and cannot
// leave a page that does not validate), edits reach the registers summary at once and the
// warnings summary after the idle pass, a warning leads to its control, history, title,
// closing.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "UiTestSupport.h"
#include "framework/Summaries.h"
#include "ui/BalloonTip.h"
#include "ui/InfoBar.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/ModuleTreeView.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"
#include "ui/RegistersSummaryBar.h"
#include "ui/WarningsSummaryBar.h"

namespace tarq::uitest {

namespace {

QTreeWidgetItem* ItemOf(Session& session, const char* prefix) {
  ModuleTreeView* tree = session.window->Tree();
  return tree->ItemOf(session.document->GetTree().FindNode(session.Module(prefix)));
}

// Selects a node the way a click does.
void ClickNode(Session& session, const char* prefix) {
  QTreeWidgetItem* item = ItemOf(session, prefix);
  QVERIFY(item);
  session.window->Tree()->setCurrentItem(item);
  session.Idle();
}

void TypeInto(QWidget* widget, const QString& text) {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  QVERIFY(edit);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void opensOnTheFirstModuleWithTitleAndTree() {
    Session session;
    QVERIFY(session.document->IsLoaded());
    QCOMPARE(session.window->windowTitle(), QString("fenn (appconfig.h) - Corvex Tarq"));
    const TreeNode* first = session.document->GetTree().TopLevel().front().get();
    QCOMPARE(session.window->Pane()->CurrentModule(), first->module);
    QCOMPARE(session.window->Tree()->currentItem(), session.window->Tree()->ItemOf(first));
    // Every node of the model has an item, with the model's text.
    for (TreeNode* node : session.document->GetTree().AllNodes()) {
      QTreeWidgetItem* item = session.window->Tree()->ItemOf(node);
      QVERIFY(item);
      QCOMPARE(item->text(0).toStdString(), node->text);
    }
  }

  void treeSelectionSwitchesPagesAndBars() {
    Session session;
    ClickNode(session, "SCI_0");
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));
    QVERIFY(session.Widget(kIdDivisor));
    QCOMPARE(qobject_cast<QLineEdit*>(session.Widget(kIdDivisor))->text(), QString("0x21"));
    // The registers summary follows the tree.
    RegistersSummaryBar* registers = session.window->RegistersBar();
    QCOMPARE(registers->Model().ListedModule(), session.Module("SCI_0"));
    QVERIFY(registers->EditFor("SCI_0_SCIBR:"));
    QCOMPARE(registers->EditFor("SCI_0_SCIBR:")->text(), QString("0x0021"));

    ClickNode(session, "SCI_1");
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
    QVERIFY(registers->EditFor("SCI_1_SCICR:"));
    // The page left behind is let go once the event loop comes round.
    QTRY_VERIFY(!session.Module("SCI_0")->HasPage());

    // Back and Forward walk the pages shown.
    MainCommands* commands = session.window->Commands();
    QVERIFY(commands->Action("actionBack")->isEnabled());
    QVERIFY(!commands->Action("actionForward")->isEnabled());
    commands->Action("actionBack")->trigger();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));
    QCOMPARE(session.window->Tree()->currentItem(), ItemOf(session, "SCI_0"));
    QVERIFY(commands->Action("actionForward")->isEnabled());
    commands->Action("actionForward")->trigger();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
  }

  void pageThatFailsValidationCannotBeLeft() {
    Session session;
    ClickNode(session, "SCI_0");
    TypeInto(session.Widget(kIdDivisor), "0x9999");
    // The refused entry is marked while it is typed.
    const QColor ground = session.Widget(kIdDivisor)->palette().color(QPalette::Active, QPalette::Base);
    QCOMPARE(ground, QColor(255, 192, 192));

    session.window->Tree()->setCurrentItem(ItemOf(session, "SCI_1"));
    session.Idle();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));
    QCOMPARE(session.window->Tree()->currentItem(), ItemOf(session, "SCI_0"));
    QVERIFY(session.host.Saw("Entered value must be lower than 0x2000"));
    // Links and the history cannot leave it either.
    QVERIFY(!session.window->ShowModule(session.Module("OCCS")));
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));

    // Corrected, the page can be left.
    TypeInto(session.Widget(kIdDivisor), "0x40");
    ClickNode(session, "SCI_1");
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
    QCOMPARE(session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value, 0x40u);
  }

  void editReachesRegistersAtOnceAndWarningsAfterIdle() {
    Session session;
    ClickNode(session, "SCI_0");
    WarningsSummaryBar* warnings = session.window->WarningsBar();
    QCOMPARE(warnings->List()->topLevelItemCount(), 0);
    QLineEdit* row = session.window->RegistersBar()->EditFor("SCI_0_SCICR:");
    QVERIFY(row);
    QCOMPARE(row->text(), QString("0x002C"));
    const QColor normal = row->palette().color(QPalette::Text);

    auto* transmit = qobject_cast<QCheckBox*>(session.Widget(kIdTransmit));
    QVERIFY(transmit && transmit->isChecked());
    QTest::mouseClick(transmit, Qt::LeftButton);
    QVERIFY(!transmit->isChecked());
    // The summary has the new value before any idle pass, in red.
    row = session.window->RegistersBar()->EditFor("SCI_0_SCICR:");
    QCOMPARE(row->text(), QString("0x0024"));
    QCOMPARE(row->palette().color(QPalette::Text), QColor(192, 0, 0));
    QVERIFY(row->palette().color(QPalette::Text) != normal);
    QCOMPARE(warnings->List()->topLevelItemCount(), 0);

    session.Idle();
    QCOMPARE(warnings->List()->topLevelItemCount(), 1);
    QCOMPARE(warnings->List()->topLevelItem(0)->text(0), QString("SCI_0"));
    QCOMPARE(warnings->List()->topLevelItem(0)->text(1), QString(kTransmitterOff));
    // The pass makes the present values the ones to compare with.
    QCOMPARE(session.window->RegistersBar()->EditFor("SCI_0_SCICR:")->palette().color(QPalette::Text),
             QColor(0, 0, 0));
    // The warning control turned dark red.
    QWidget* label = session.Widget(kIdWarning);
    QVERIFY(label && label->isVisible());
    QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(128, 0, 0));

    // Typed into the summary, a value reaches the page's controls.
    row = session.window->RegistersBar()->EditFor("SCI_0_SCICR:");
    row->setFocus();
    row->selectAll();
    QTest::keyClicks(row, "0x2C");
    QTest::keyClick(row, Qt::Key_Return);
    QVERIFY(transmit->isChecked());
    session.Idle();
    QCOMPARE(warnings->List()->topLevelItemCount(), 0);
  }

  void refusedSummaryEntryKeepsTheRegister() {
    Session session;
    ClickNode(session, "SCI_0");
    QLineEdit* row = session.window->RegistersBar()->EditFor("SCI_0_SCIBR:");
    row->setFocus();
    row->selectAll();
    QTest::keyClicks(row, "0x12345");
    QTest::keyClick(row, Qt::Key_Return);
    QVERIFY(session.host.Saw("This register value must be a number between 0 and 0xffff"));
    QCOMPARE(session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value, 0x21u);
    QVERIFY(row->hasFocus());
  }

  void activatingAWarningShowsItsControlWithTheTip() {
    Session session;
    ClickNode(session, "SCI_0");
    QTest::mouseClick(session.Widget(kIdTransmit), Qt::LeftButton);
    session.Idle();
    ClickNode(session, "OCCS");
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("OCCS"));

    WarningsSummaryBar* warnings = session.window->WarningsBar();
    QCOMPARE(warnings->List()->topLevelItemCount(), 1);
    warnings->List()->setFocus();
    warnings->List()->setCurrentItem(warnings->List()->topLevelItem(0));
    QTest::keyClick(warnings->List(), Qt::Key_Return);
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));
    QCOMPARE(session.window->Tree()->currentItem(), ItemOf(session, "SCI_0"));
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
    BalloonTip* balloon = session.Renderer()->Balloon();
    QCOMPARE(balloon->Title(), QString("Warning detail"));
    QCOMPARE(balloon->Text(), QString(kTransmitterOff));
    // It points at the warning's control: top edge, 8 pixels in.
    QWidget* control = session.Widget(kIdWarning);
    QCOMPARE(balloon->AnchorPoint(), control->mapToGlobal(QPoint(8, 0)));
    QVERIFY(balloon->width() <= BalloonTip::kMaxWidth);

    // Pictures for looking at the page of every control kind and the balloon.
    const QString pictures = qEnvironmentVariable("TARQ_UI_SCREENSHOTS");
    if (!pictures.isEmpty()) {
      session.window->grab().save(pictures + "/all-kinds-page.png");
      balloon->grab().save(pictures + "/balloon.png");
    }

    // A click anywhere closes it, and the page learns of it.
    QTest::mouseClick(session.Widget(kIdDivisor), Qt::LeftButton);
    QTRY_VERIFY(!session.Renderer()->Balloon());
    QVERIFY(!session.CurrentPage()->CurrentToolTip());
  }

  void unselectedModulesWarnOnlyWhenAskedTo() {
    Session session;
    // SCI_1 has no definitions in the header: not selected, its transmitter is off.
    WarningsSummaryBar* warnings = session.window->WarningsBar();
    QCOMPARE(warnings->List()->topLevelItemCount(), 0);
    warnings->ShowAllBox()->setChecked(true);
    session.Idle();
    // SCI_1 and the unselected SPI_0, whose pins are not routed.
    QCOMPARE(warnings->List()->topLevelItemCount(), 2);
    QCOMPARE(warnings->List()->topLevelItem(0)->text(0), QString("SCI_1"));
    QCOMPARE(warnings->List()->topLevelItem(1)->text(0), QString("SPI_0"));

    // Selecting SCI_1 in the tree keeps it listed with the box unchecked.
    warnings->ShowAllBox()->setChecked(false);
    ModuleTreeView* tree = session.window->Tree();
    TreeNode* node = session.document->GetTree().FindNode(session.Module("SCI_1"));
    QCOMPARE(tree->Controller().StateImageOf(node), 0);
    CModuleBase* shown = session.window->Pane()->CurrentModule();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->CheckBoxRect(ItemOf(session, "SCI_1")).center());
    QVERIFY(session.Module("SCI_1")->IsSelected());
    QCOMPARE(tree->Controller().StateImageOf(node), 1);
    // A click on the box toggles it without leaving the page on screen.
    QCOMPARE(session.window->Pane()->CurrentModule(), shown);
    session.Idle();
    QCOMPARE(warnings->List()->topLevelItemCount(), 1);
    // Space toggles the current node's box; a group without registers has none to toggle.
    ClickNode(session, "SCI_1");
    QTest::keyClick(tree, Qt::Key_Space);
    QVERIFY(!session.Module("SCI_1")->IsSelected());
    session.Idle();
    QCOMPARE(warnings->List()->topLevelItemCount(), 0);
    QVERIFY(!tree->ToggleCheck(session.document->GetTree().FindNode(session.Module("GPIO"))));
  }

  void treeKeysAndFocusCommands() {
    Session session;
    ClickNode(session, "SCI_0");
    session.window->Tree()->setFocus();
    QTest::keyClick(session.window->Tree(), Qt::Key_Escape);
    QVERIFY(session.Renderer()->isAncestorOf(QApplication::focusWidget()));
    session.window->Commands()->Action("actionFocusTree")->trigger();
    QVERIFY(session.window->Tree()->hasFocus());
    session.window->Commands()->Action("actionFocusWarnings")->trigger();
    QVERIFY(session.window->WarningsBar()->List()->hasFocus());
    // Ctrl+R hides and shows the registers summary.
    QAction* registers = session.window->Commands()->Action("actionRegistersSummary");
    QCOMPARE(registers->shortcut(), QKeySequence("Ctrl+R"));
    registers->trigger();
    QVERIFY(!session.window->RegistersBar()->isVisible());
    registers->trigger();
    QVERIFY(session.window->RegistersBar()->isVisible());
    session.window->Commands()->Action("actionCollapseTree")->trigger();
    QVERIFY(!ItemOf(session, "QT_A") || !ItemOf(session, "QT_A")->isExpanded());
    session.window->Commands()->Action("actionExpandTree")->trigger();
    for (TreeNode* node : session.document->GetTree().AllNodes())
      if (!node->children.empty()) QVERIFY(session.window->Tree()->ItemOf(node)->isExpanded());
  }

  void closingAsksAboutUnsavedChanges() {
    Session session;
    ClickNode(session, "SCI_0");
    QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);
    session.host.answers = {Answer::Cancel};
    QVERIFY(!session.window->close());
    QVERIFY(session.host.Saw("Save changes to fenn (appconfig.h)?"));
    QVERIFY(session.document->IsLoaded());

    session.host.answers = {Answer::No};
    QVERIFY(session.window->close());
    // The project is let go with the window: no lock stays behind.
    QVERIFY(!session.document->IsLoaded());
    QVERIFY(!QFile::exists(session.project + "/ApplicationConfig/appconfig.lck"));
  }

  void saveAndExitWritesAndClosesWithoutAQuestion() {
    Session session;
    ClickNode(session, "SCI_0");
    TypeInto(session.Widget(kIdDivisor), "0x30");
    session.window->Commands()->Action("actionSaveAndExit")->trigger();
    QVERIFY(!session.window->isVisible());
    QVERIFY(session.host.entries.empty());
    QFile header(session.project + "/ApplicationConfig/appconfig.h");
    QVERIFY(header.open(QIODevice::ReadOnly));
    QVERIFY(header.readAll().contains("#define SCI_0_SCIBR_INIT                  0x0030U"));
    QCOMPARE(session.window->Commands()->Action("actionSaveAndExit")->shortcut(),
             QKeySequence("Ctrl+Shift+S"));
  }

  void infoBarFollowsTheClockModule() {
    QCOMPARE(InfoBar::ClockText(0), std::string("n/a"));
    QCOMPARE(InfoBar::ClockText(59.9999f), std::string("60.000 MHz"));
    Session session;
    InfoBar* info = session.window->Info();
    QCOMPARE(info->SystemClockText(), QString("60.000 MHz"));
    QCOMPARE(info->BusClockText(), QString("60.000 MHz"));
    ClickNode(session, "OCCS");
    auto* multiply = qobject_cast<QLineEdit*>(session.Widget(1155));  // the PLL multiplier
    QVERIFY(multiply && multiply->isEnabled());
    multiply->setFocus();
    multiply->selectAll();
    QTest::keyClicks(multiply, "20");
    session.Idle();
    QTRY_COMPARE(info->SystemClockText(), QString("40.000 MHz"));
  }

  void broughtToFrontFromMinimized() {
    Session session;
    session.window->setWindowState(Qt::WindowMinimized);
    session.window->BringToFront();
    QVERIFY(!(session.window->windowState() & Qt::WindowMinimized));
    QVERIFY(session.window->isVisible());
  }
};

TARQ_UI_TEST(MainWindowTest);

}  // namespace tarq::uitest

#include "MainWindowTest.moc"
