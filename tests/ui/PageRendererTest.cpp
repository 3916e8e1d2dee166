// The page renderer against the test module's page: one widget per control kind, the
// model's changes mirrored, user input fed back, spin steps that keep their form, the
// mouse-wheel rule, Toggle Hex/Dec and link following.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "UiTestSupport.h"
#include "ui/BalloonTip.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/ModuleTreeView.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"

namespace tarq::uitest {

namespace {

void ShowSci(Session& session, const char* prefix = "SCI_0") {
  QVERIFY(session.window->ShowModule(session.Module(prefix)));
  session.Idle();
}

uint32_t ControlRegister(Session& session) {
  return session.Module("SCI_0")->FindOwnRegister("SCICR_INIT")->value;
}

void Wheel(QWidget* widget, int delta) {
  const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
  QWheelEvent event(inside, widget->mapToGlobal(inside), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

class PageRendererTest : public QObject {
  Q_OBJECT

 private slots:
  void everyKindGetsItsWidgetWithTheModelsState() {
    Session session;
    ShowSci(session);
    QVERIFY(qobject_cast<QGroupBox*>(session.Widget(kIdGroup)));
    QCOMPARE(qobject_cast<QGroupBox*>(session.Widget(kIdGroup))->title(), QString("Transfer"));
    QVERIFY(qobject_cast<QCheckBox*>(session.Widget(kIdTransmit))->isChecked());
    QVERIFY(qobject_cast<QRadioButton*>(session.Widget(kIdNormal))->isChecked());
    QVERIFY(!qobject_cast<QRadioButton*>(session.Widget(kIdLoop))->isChecked());
    auto* parity = qobject_cast<QComboBox*>(session.Widget(kIdParity));
    QVERIFY(parity && !parity->isEditable());
    QCOMPARE(parity->count(), 3);
    QCOMPARE(parity->currentText(), QString("None"));
    auto* bits = qobject_cast<QComboBox*>(session.Widget(kIdBits));
    QVERIFY(bits && bits->isEditable());
    QCOMPARE(bits->currentText(), QString("8 bits (=8)"));
    auto* rate = qobject_cast<QLineEdit*>(session.Widget(kIdRate));
    QVERIFY(rate && rate->isReadOnly());
    QCOMPARE(rate->text(), QString::number(1000000 / 0x21));
    QCOMPARE(qobject_cast<QLabel*>(session.Widget(kIdParityCaption))->text(), QString("Parity:"));
    QCOMPARE(qobject_cast<QListWidget*>(session.Widget(kIdList))->count(), 3);
    // The warning control is hidden while there is nothing to say.
    QVERIFY(!session.Widget(kIdWarning)->isVisible());
    // A control of a child page is addressed with the child page's id in the upper half.
    auto* row = qobject_cast<QCheckBox*>(session.Widget((kIdRowHolder << 16) | kIdRowCheck));
    QVERIFY(row && row->isVisible());
    QCOMPARE(row->text(), QString("Row enabled"));
  }

  void inputReachesTheRegistersAndTheModelsAnswerComesBack() {
    Session session;
    ShowSci(session);
    // Radio buttons: the page keeps one of the group checked.
    QTest::mouseClick(session.Widget(kIdLoop), Qt::LeftButton);
    QVERIFY(ControlRegister(session) & 0x80);
    QVERIFY(qobject_cast<QRadioButton*>(session.Widget(kIdLoop))->isChecked());
    QVERIFY(!qobject_cast<QRadioButton*>(session.Widget(kIdNormal))->isChecked());
    QTest::mouseClick(session.Widget(kIdLoop), Qt::LeftButton);
    QVERIFY(qobject_cast<QRadioButton*>(session.Widget(kIdLoop))->isChecked());

    // The child page's check box writes its own bit.
    QTest::mouseClick(session.Widget((kIdRowHolder << 16) | kIdRowCheck), Qt::LeftButton);
    QVERIFY(ControlRegister(session) & 0x40);

    // Switching the receiver off disables the parity list (UpdateEnables of the module).
    QVERIFY(session.Widget(kIdParity)->isEnabled());
    QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);
    QVERIFY(!(ControlRegister(session) & 0x4));
    QVERIFY(!session.Widget(kIdParity)->isEnabled());
    QTest::mouseClick(session.Widget(kIdReceive), Qt::LeftButton);

    // Keys on a closed drop-down list choose the next item.
    auto* parity = qobject_cast<QComboBox*>(session.Widget(kIdParity));
    parity->setFocus();
    QTest::keyClick(parity, Qt::Key_Down);
    QCOMPARE(ControlRegister(session) & 0x3, 1u);

    // An editable combo takes a typed number as well as an item.
    auto* bits = qobject_cast<QComboBox*>(session.Widget(kIdBits));
    bits->setFocus();
    bits->lineEdit()->selectAll();
    QTest::keyClicks(bits->lineEdit(), "9");
    QVERIFY(ControlRegister(session) & 0x10);

    // The display follows an edit at every keystroke.
    auto* divisor = qobject_cast<QLineEdit*>(session.Widget(kIdDivisor));
    divisor->setFocus();
    divisor->selectAll();
    QTest::keyClicks(divisor, "100");
    QCOMPARE(qobject_cast<QLineEdit*>(session.Widget(kIdRate))->text(), QString::number(10000));
  }

  void spinStepsKeepTheFormOfTheNumber() {
    Session session;
    ShowSci(session);
    auto* divisor = qobject_cast<QLineEdit*>(session.Widget(kIdDivisor));
    QCOMPARE(divisor->text(), QString("0x21"));
    auto buttons = session.Widget(kIdDivisorSpin)->findChildren<QToolButton*>();
    QCOMPARE(buttons.size(), 2);
    QToolButton* up = buttons[0]->arrowType() == Qt::UpArrow ? buttons[0] : buttons[1];
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(divisor->text(), QString("0x22"));
    QCOMPARE(session.Module("SCI_0")->FindOwnRegister("SCIBR_INIT")->value, 0x22u);
    // Arrow keys in the edit box step it too; decimal stays decimal.
    divisor->setFocus();
    divisor->selectAll();
    QTest::keyClicks(divisor, "9");
    QTest::keyClick(divisor, Qt::Key_Down);
    QCOMPARE(divisor->text(), QString("8"));
    QTest::keyClick(divisor, Qt::Key_Up);
    QTest::keyClick(divisor, Qt::Key_Up);
    QCOMPARE(divisor->text(), QString("10"));

    // Toggle Hex/Dec acts on the focused value.
    QTRY_COMPARE(session.CurrentPage()->GetFocusId(), static_cast<uint32_t>(kIdDivisor));
    session.window->Commands()->Action("actionToggleHexDec")->trigger();
    QCOMPARE(divisor->text(), QString("0xA"));
    session.window->Commands()->Action("actionToggleHexDec")->trigger();
    QCOMPARE(divisor->text(), QString("10"));
  }

  void wheelOverAControlWithoutFocusScrollsThePage() {
    Session session;
    session.window->resize(900, 420);
    ShowSci(session);
    QScrollBar* bar = session.window->Pane()->ScrollArea()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    auto* parity = qobject_cast<QComboBox*>(session.Widget(kIdParity));
    session.window->Tree()->setFocus();
    QVERIFY(!parity->hasFocus());
    Wheel(parity, -120);
    QCOMPARE(parity->currentIndex(), 0);
    QVERIFY(bar->value() > 0);
    QCOMPARE(ControlRegister(session) & 0x3, 0u);

    // With the focus, the control takes the wheel.
    bar->setValue(0);
    parity->setFocus();
    Wheel(parity, -120);
    QCOMPARE(parity->currentIndex(), 1);
    QCOMPARE(ControlRegister(session) & 0x3, 1u);
  }

  void focusedControlScrollsIntoView() {
    Session session;
    session.window->resize(900, 420);
    ShowSci(session);
    QScrollArea* area = session.window->Pane()->ScrollArea();
    QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
    QWidget* row = session.Widget((kIdRowHolder << 16) | kIdRowCheck);
    session.CurrentPage()->SetFocus(kIdRowHolder << 16 | kIdRowCheck);
    session.Idle();
    const QRect shown = QRect(row->mapTo(area->viewport(), QPoint(0, 0)), row->size());
    QVERIFY2(area->viewport()->rect().contains(shown), "the focused control is not in view");
  }

  void linkTextLeadsToTheNamedControlWithItsTip() {
    Session session;
    ShowSci(session);
    auto* link = qobject_cast<QLabel*>(session.Widget(kIdLink));
    QVERIFY(link);
    emit link->linkActivated("tarq:SCI_1/SCI/1011?tiptext=Set%20this&tiptitle=Note");
    session.Idle();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
    QCOMPARE(session.Renderer()->Balloon()->Title(), QString("Note"));
    QCOMPARE(session.Renderer()->Balloon()->Text(), QString("Set this"));
    QVERIFY(session.Widget(kIdDivisor)->hasFocus());
    // Back returns to the page the link was followed from.
    session.window->Commands()->Action("actionBack")->trigger();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_0"));
  }

  // A link to a control the target page lacks still shows the page, and says what is
  // missing instead of leaving the user to guess.
  void linkToAMissingControlSaysSo() {
    Session session;
    ShowSci(session);
    auto* link = qobject_cast<QLabel*>(session.Widget(kIdLink));
    QVERIFY(link);
    emit link->linkActivated("tarq:SCI_1/SCI/4242?tiptext=Set%20this");
    session.Idle();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SCI_1"));
    QVERIFY(session.host.Saw("The page of module SCI_1 has no control \"4242\""));
    QVERIFY(!session.Renderer()->Balloon() || !session.Renderer()->Balloon()->isVisible());
  }

  void modelChangesRebuildTheStructure() {
    Session session;
    ShowSci(session);
    Page* page = session.CurrentPage();
    page->AddStatic(4000, "Added later");
    QTRY_VERIFY(session.Widget(4000));
    QCOMPARE(qobject_cast<QLabel*>(session.Widget(4000))->text(), QString("Added later"));
    page->SetShown(kIdList, false);
    QVERIFY(!session.Widget(kIdList)->isVisible());
    page->SetTextColour(kIdParityCaption, kWarningTextColour);
    QCOMPARE(session.Widget(kIdParityCaption)->palette().color(QPalette::Active, QPalette::WindowText),
             QColor(128, 0, 0));
  }
};

TARQ_UI_TEST(PageRendererTest);

}  // namespace tarq::uitest

#include "PageRendererTest.moc"
