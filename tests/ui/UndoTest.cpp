// Undo and Redo in the window: an edit undone with Ctrl+Z shows its old value on the page
// and in the registers summary, and the title bar marks unsaved changes until an undo or
// redo comes back to what was saved.
#include <QAction>
#include <QLineEdit>
#include <QTest>

#include "UiTestSupport.h"
#include "framework/Register.h"
#include "project/ModuleTree.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/ModuleTreeView.h"
#include "ui/PagePane.h"
#include "ui/RegistersSummaryBar.h"
#include "ui/UndoCommands.h"

namespace tarq::uitest {

class UndoTest : public QObject {
  Q_OBJECT

 private slots:
  void ctrlZRestoresPageSummaryAndTitleMark() {
    Session session;
    MainWindow& window = *session.window;
    QVERIFY(window.ShowModule(session.Module("SCI_0")));
    QAction* undo = window.Undo()->UndoAction();
    QAction* redo = window.Undo()->RedoAction();
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    const QString clean = "fenn (appconfig.h) - Corvex Tarq";
    const QString marked = "fenn (appconfig.h)* - Corvex Tarq";
    QCOMPARE(window.windowTitle(), clean);
    auto divisorText = [&] { return qobject_cast<QLineEdit*>(session.Widget(kIdDivisor))->text(); };
    auto summaryText = [&] { return window.RegistersBar()->EditFor("SCI_0_SCIBR:")->text(); };
    QCOMPARE(divisorText(), QString("0x21"));

    auto* divisor = qobject_cast<QLineEdit*>(session.Widget(kIdDivisor));
    divisor->setFocus();
    divisor->selectAll();
    QTest::keyClicks(divisor, "0x30");
    window.Tree()->setFocus();  // leaving the box hands its text on
    session.Idle();
    QCOMPARE(session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value, 0x30u);
    QCOMPARE(summaryText(), QString("0x0030"));
    QCOMPARE(window.windowTitle(), marked);
    QVERIFY(undo->isEnabled());
    QCOMPARE(undo->text(), QString("&Undo: SCI_0 Baud divisor"));

    QTest::keyClick(window.Tree(), Qt::Key_Z, Qt::ControlModifier);
    session.Idle();
    QCOMPARE(session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value, 0x21u);
    QCOMPARE(divisorText(), QString("0x21"));
    QCOMPARE(summaryText(), QString("0x0021"));
    QCOMPARE(window.windowTitle(), clean);
    QVERIFY(!undo->isEnabled());
    QCOMPARE(redo->text(), QString("&Redo: SCI_0 Baud divisor"));

    QTest::keyClick(window.Tree(), Qt::Key_Y, Qt::ControlModifier);
    session.Idle();
    QCOMPARE(divisorText(), QString("0x30"));
    QCOMPARE(summaryText(), QString("0x0030"));
    QCOMPARE(window.windowTitle(), marked);

    // Saving clears the mark and keeps the history; undo past the save sets it again and
    // the redo to the saved state clears it.
    window.Commands()->Action("actionSave")->trigger();
    QCOMPARE(window.windowTitle(), clean);
    QVERIFY(undo->isEnabled());
    undo->trigger();
    session.Idle();
    QCOMPARE(divisorText(), QString("0x21"));
    QCOMPARE(window.windowTitle(), marked);
    QTest::keyClick(window.Tree(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    session.Idle();
    QCOMPARE(divisorText(), QString("0x30"));
    QCOMPARE(window.windowTitle(), clean);
  }

  // Undo and redo from another page: the changed module's page comes back, selected in the
  // tree, with the focus on the control that changed.
  void undoAndRedoShowTheChangedPageAndFocusTheControl() {
    Session session;
    MainWindow& window = *session.window;
    CModuleBase* serial = session.Module("SCI_0");
    QVERIFY(window.ShowModule(serial));
    auto* divisor = qobject_cast<QLineEdit*>(session.Widget(kIdDivisor));
    divisor->setFocus();
    divisor->selectAll();
    QTest::keyClicks(divisor, "0x30");
    window.Tree()->setFocus();
    session.Idle();
    auto treeShows = [&](CModuleBase* module) {
      return window.Tree()->currentItem() ==
             window.Tree()->ItemOf(session.document->GetTree().FindNode(module));
    };

    for (QAction* action : {window.Undo()->UndoAction(), window.Undo()->RedoAction()}) {
      QVERIFY(window.ShowModule(session.Module("OCCS")));
      session.Idle();
      QVERIFY(treeShows(session.Module("OCCS")));
      action->trigger();
      session.Idle();
      QCOMPARE(window.Pane()->CurrentModule(), serial);
      QVERIFY(treeShows(serial));
      QTRY_VERIFY(session.Widget(kIdDivisor)->hasFocus());
    }
    QCOMPARE(qobject_cast<QLineEdit*>(session.Widget(kIdDivisor))->text(), QString("0x30"));
  }
};

TARQ_UI_TEST(UndoTest);

}  // namespace tarq::uitest

#include "UndoTest.moc"
