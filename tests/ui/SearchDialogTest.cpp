// Ctrl+F: typing words lists the settings that hold them; Enter lands on the first hit's
// control, focused, with a tip; the non-default filter drops settings at their reset value.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/BalloonTip.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"
#include "ui/SearchDialog.h"

namespace tarq::uitest {

class SearchDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void typedWordsFindTheControlAndEnterLandsOnIt() {
    Session session;
    session.Idle();
    QTest::keyClick(session.window.get(), Qt::Key_F, Qt::ControlModifier);
    SearchDialog* search = session.window->Commands()->Search();
    QVERIFY(search && search->isVisible());
    QTest::keyClicks(search->Field(), "divisor TIMEOUT");
    QVERIFY(search->HitList()->count() >= 1);
    QVERIFY(search->HitList()->item(0)->text().startsWith("OCCS"));
    const uint32_t controlId = search->Hits().front().entry->controlId;

    QTest::keyClick(search->Field(), Qt::Key_Return);
    session.Idle();
    QCOMPARE(session.window->Pane()->CurrentModule(), session.Module("OCCS"));
    QVERIFY(!search->isVisible());
    QTRY_VERIFY(session.Renderer()->Balloon() && session.Renderer()->Balloon()->isVisible());
    QCOMPARE(session.Renderer()->Balloon()->Text(), QString("Timeout divisor"));
    QWidget* edit = session.Widget(controlId);
    QVERIFY(edit);
    QTRY_VERIFY(edit->hasFocus());
  }

  void nonDefaultOnlyDropsSettingsAtTheirResetValue() {
    Session session;
    session.Idle();
    session.window->Commands()->FindSetting();
    SearchDialog* search = session.window->Commands()->Search();
    QTest::keyClicks(search->Field(), "timeout divisor");
    QVERIFY(search->HitList()->count() >= 1);
    // The example leaves the watchdog's divisor at its reset value.
    search->ChangedOnlyBox()->setChecked(true);
    for (int row = 0; row < search->HitList()->count(); ++row)
      QVERIFY(!search->HitList()->item(row)->text().contains("Timeout divisor"));
  }
};

TARQ_UI_TEST(SearchDialogTest);

}  // namespace tarq::uitest

#include "SearchDialogTest.moc"
