// An HTML module's page in the web view: the document-complete notification, script
// calls by name, and program links taken away from the browser and followed.
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/HtmlPageView.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"

namespace tarq::uitest {

class HtmlPageTest : public QObject {
  Q_OBJECT

 private slots:
  void pageLoadsCallsScriptsAndHandsOverProgramLinks() {
    QTemporaryDir pages;
    const QString file = pages.filePath("pins.html");
    {
      QFile html(file);
      QVERIFY(html.open(QIODevice::WriteOnly));
      html.write(
          "<html><body><a id='go' href='tarq:SCI_0/SCI/1011?tiptext=From%20the%20page'>SCI</a>"
          "<script>function join(a, b) { return a + '|' + b; }"
          "function fail() { throw new Error('broken'); }</script></body></html>");
    }
    HtmlTestModule::startUrl = QUrl::fromLocalFile(file).toString().toStdString();
    Session session;
    auto* module = dynamic_cast<HtmlTestModule*>(session.Module("PINOUT"));
    QVERIFY(module);
    QVERIFY(session.window->ShowModule(module));
    HtmlPageView* view = session.window->Pane()->HtmlView();
    QVERIFY(view);
    QTRY_VERIFY_WITH_TIMEOUT(view->IsDocumentComplete(), 20000);
    QCOMPARE(module->loads, 1);
    QCOMPARE(module->GetShownUrl(), HtmlTestModule::startUrl);

    // Script functions by name, arguments in their natural order.
    std::string result;
    QVERIFY(module->CallScript("join", {"first", "sec'ond"}, result));
    QCOMPARE(QString::fromStdString(result), QString("first|sec'ond"));
    QVERIFY(!module->CallScript("missing", {}, result));
    QCOMPARE(QString::fromStdString(result), QString("JSCall Error:\nCannot GetScript"));
    QVERIFY(!module->CallScript("fail", {}, result));
    QVERIFY(QString::fromStdString(result).contains("broken"));

    // A program link clicked in the page switches to its module instead of navigating.
    auto* page = qobject_cast<HtmlPage*>(view->page());
    QVERIFY(page);
    QSignalSpy clicked(page, &HtmlPage::programLinkClicked);
    view->page()->runJavaScript("document.getElementById('go').click();");
    QTRY_COMPARE_WITH_TIMEOUT(session.window->Pane()->CurrentModule(), session.Module("SCI_0"), 10000);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(module->GetShownUrl(), HtmlTestModule::startUrl);
    // Followed with the page's tip: the named control has the focus.
    QTRY_VERIFY(session.Widget(kIdDivisor) && session.Widget(kIdDivisor)->hasFocus());
  }
};

TARQ_UI_TEST(HtmlPageTest);

}  // namespace tarq::uitest

#include "HtmlPageTest.moc"
