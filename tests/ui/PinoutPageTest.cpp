// The real pinout page in the web view: the program fills in every pin's function, and a
// click on a module's check box places the module's missing signals and ticks the box.
#include <QTest>
#include <QVariant>

#include "UiTestSupport.h"
#include "modules/gpio.h"
#include "modules/pinout.h"
#include "ui/HtmlPageView.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"

namespace tarq::uitest {

namespace {

// Runs a script expression in the page and waits for its value.
QVariant Evaluate(HtmlPageView* view, const QString& expression) {
  bool done = false;
  QVariant value;
  view->page()->runJavaScript(expression, [&](const QVariant& result) {
    value = result;
    done = true;
  });
  for (int i = 0; i < 200 && !done; ++i) QTest::qWait(25);
  return value;
}

QString FunctionText(HtmlPageView* view, const char* pin) {
  return Evaluate(view, QString("document.querySelector('[data-pin=\"%1\"] .fn').textContent").arg(pin))
      .toString();
}

}  // namespace

class PinoutPageTest : public QObject {
  Q_OBJECT

 private slots:
  void pageShowsFunctionsAndABoxClickPlacesTheSignals() {
    Session session("brel", true, false);
    auto* pinout = dynamic_cast<CpmPINOUT*>(session.Module("PINOUT"));
    auto* portA = dynamic_cast<CpmGPIO*>(session.Module("GPIO_A"));
    QVERIFY(pinout && portA);
    // The crystal oscillator on: the clock module needs EXTAL, which no pin carries yet.
    session.Module("OCCS")->Registers()[2].value = 0x0200;
    QVERIFY(portA->CurrentFunctionName(3) != "EXTAL");

    QVERIFY(session.window->ShowModule(pinout));
    HtmlPageView* view = session.window->Pane()->HtmlView();
    QVERIFY(view);
    QTRY_VERIFY_WITH_TIMEOUT(view->IsDocumentComplete(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(FunctionText(view, "GPIO_A0"), QString("PWM0"), 10000);
    QCOMPARE(Evaluate(view, "document.getElementById('GPIOXB_OCCS').checked").toBool(), false);

    view->page()->runJavaScript("document.getElementById('GPIOXB_OCCS').click();");
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(portA->CurrentFunctionName(3)), QString("EXTAL"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(FunctionText(view, "GPIO_A3"), QString("EXTAL"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(Evaluate(view, "document.getElementById('GPIOXB_OCCS').checked").toBool(), 10000);
    // The page stays the pinout page; the click was not a navigation away.
    QCOMPARE(session.window->Pane()->CurrentModule(), static_cast<CModuleBase*>(pinout));
  }
};

TARQ_UI_TEST(PinoutPageTest);

}  // namespace tarq::uitest

#include "PinoutPageTest.moc"
