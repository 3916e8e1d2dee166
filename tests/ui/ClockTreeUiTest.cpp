// The clock-tree page under the clock module (also View > Clock Tree) draws the clock
// module's stages and the system module's peripheral clocks; clicking a box lands on the
// control that sets it, with the tip, as a warning link.
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "UiTestSupport.h"
#include "modules/occs.h"
#include "ui/BalloonTip.h"
#include "modules/ClockTree.h"
#include "ui/DiagramWidget.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"

namespace tarq::uitest {

namespace {

DiagramWidget* OpenClockTree(Session& session) {
  session.window->Commands()->Action("actionClockTree")->trigger();
  session.Idle();
  if (session.window->Pane()->CurrentModule() != session.Module("CLOCKTREE")) return nullptr;
  return qobject_cast<DiagramWidget*>(session.Widget(CpmCLOCKTREE::kDiagramId));
}

// With TARQ_CLOCK_TREE_SHOTS set, the diagram is saved there for a look.
void SaveShot(DiagramWidget* view, const QString& group) {
  const QString folder = qEnvironmentVariable("TARQ_CLOCK_TREE_SHOTS");
  if (!folder.isEmpty()) view->grab().save(QDir(folder).filePath("clocktree-" + group + ".png"));
}

}  // namespace

class ClockTreeUiTest : public QObject {
  Q_OBJECT

 private slots:
  void clickingTheVcoBoxLandsOnTheMultiplier() {
    Session session;
    DiagramWidget* view = OpenClockTree(session);
    QVERIFY(view);
    SaveShot(view, "fenn");
    const QRectF pll = view->BoxOf("pll");
    QVERIFY(!pll.isNull());
    QTest::mouseClick(view, Qt::LeftButton, {}, pll.center().toPoint());
    session.Idle();

    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("OCCS"));
    QWidget* multiplier = session.Widget(kOccsMultiplyEdit);
    QVERIFY(multiplier);
    QTRY_VERIFY(multiplier->hasFocus());
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
    QCOMPARE(session.Renderer()->Balloon()->Text(), QString("Clock Tree: PLL (VCO) 240 MHz"));
  }

  void aPeripheralClockBoxLandsOnTheSystemModulesBox() {
    Session session;
    DiagramWidget* view = OpenClockTree(session);
    QVERIFY(view);
    const DiagramBox* gate = nullptr;
    for (const DiagramBox& box : view->Boxes())
      if (box.leaf) gate = gate ? gate : &box;
    QVERIFY(gate);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->BoxOf(gate->id).center().toPoint());
    session.Idle();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("SYS"));
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
  }

  void typingOnTheClockPageShowsInTheTreeAndPassingALimitTurnsItRed() {
    Session session;
    QVERIFY(session.window->ShowModule(session.Module("OCCS")));
    session.Idle();
    auto* multiplier = qobject_cast<QLineEdit*>(session.Widget(kOccsMultiplyEdit));
    QVERIFY(multiplier);
    multiplier->setFocus();
    multiplier->selectAll();
    QTest::keyClicks(multiplier, "34");
    session.Idle();
    DiagramWidget* view = OpenClockTree(session);
    QVERIFY(view);
    // 8 MHz x34 = 272 MHz: past the VCO's 260 MHz, and 68 MHz past the 60 MHz system limit.
    QVERIFY(view->Find("pll") && view->Find("pll")->value == "272 MHz");
    QVERIFY(view->Find("pll")->alert);
    QVERIFY(view->Find("system")->alert);
    const QImage shot = view->grab().toImage();
    const QPoint inside = view->BoxOf("pll").topLeft().toPoint() + QPoint(4, 20);
    const QColor fill = shot.pixelColor(inside);
    QVERIFY2(fill.red() > 200 && fill.green() < 220 && fill.blue() < 220, qPrintable(fill.name()));
    SaveShot(view, "fenn-x34");
  }

  void everyGroupGetsItsOwnTree() {
    for (const char* group : {"dorn", "tebo", "classic", "brel", "casp", "later"}) {
      Session session(group);
      DiagramWidget* view = OpenClockTree(session);
      QVERIFY(view);
      QVERIFY(!view->Boxes().empty());
      QVERIFY(!view->BoxOf("system").isNull());
      SaveShot(view, group);
    }
  }
};

TARQ_UI_TEST(ClockTreeUiTest);

}  // namespace tarq::uitest

#include "ClockTreeUiTest.moc"
