// A pin's link, as the pinout page and the duplicate-function notes give it, leads to the
// port page scrolled to the pin's row, with the row's function list focused and the tip.
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "UiTestSupport.h"
#include "modules/gpio.h"
#include "ui/BalloonTip.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"

namespace tarq::uitest {

class PinRowLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void pinLinkShowsThePortPageAtTheRowWithTheTip() {
    Session session;
    session.window->resize(900, 460);
    session.Idle();
    auto* port = dynamic_cast<CpmGPIO*>(session.Module("GPIO_D"));
    QVERIFY(port);
    const std::vector<int> pins = port->ExistingPins();
    QVERIFY(!pins.empty());
    const int last = pins.back();
    QVERIFY(session.Module("OCCS")->OpenLink(port->PinLink(last), "Pinout: GPIO_D" + std::to_string(last)));
    session.Idle();

    QCOMPARE(session.window->Pane()->CurrentModule(), static_cast<CModuleBase*>(port));
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
    QCOMPARE(session.Renderer()->Balloon()->Text(), QString::fromStdString("Pinout: GPIO_D" + std::to_string(last)));
    // The row's function list has the focus and is in view, though the row is the last.
    QWidget* list = session.Widget(port->FindPinDlg(last)->FullId(CpmGPIO_PinDlg::kModeList));
    QVERIFY(list);
    QTRY_VERIFY(list->hasFocus());
    QScrollArea* area = session.window->Pane()->ScrollArea();
    QVERIFY(area->verticalScrollBar()->value() > 0);
    const QRect shown(list->mapTo(area->viewport(), QPoint(0, 0)), list->size());
    QVERIFY2(area->viewport()->rect().contains(shown), "the pin's row is not in view");
  }
};

TARQ_UI_TEST(PinRowLinkTest);

}  // namespace tarq::uitest

#include "PinRowLinkTest.moc"
