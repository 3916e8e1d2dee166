// The module pages fit the right pane at the window's default size: no horizontal scroll
// bar on the six-channel PWM pages of the examples, however many options their variant has;
// long captions wrap for it only where their group would not fit.
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "UiTestSupport.h"
#include "framework/Page.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/PageRenderer.h"

namespace tarq::uitest {

class PageWidthTest : public QObject {
  Q_OBJECT

 private slots:
  void pwmPagesFitThePaneWithoutAHorizontalScrollBar() {
    const struct {
      const char* group;
      const char* prefix;
    } pages[] = {{"brel", "PWM"}, {"tebo", "PWM"}, {"casp", "PWM"}, {"classic", "PWM_A"},
                 {"fenn", "PWM_A"}, {"later", "PWM_A"}};
    for (const auto& [group, prefix] : pages) {
      Session session(group);
      QVERIFY(session.window->ShowModule(session.Module(prefix)));
      session.Idle();
      QScrollArea* area = session.window->Pane()->ScrollArea();
      QTest::qWait(50);  // the rows adapt once laid out
      session.Idle();
      QVERIFY2(area->horizontalScrollBar()->maximum() == 0,
               qPrintable(QString("%1 %2 is %3 px too wide:%4")
                              .arg(group, prefix)
                              .arg(area->horizontalScrollBar()->maximum())
                              .arg(Overhang(session, area))));
    }
  }

  // A long caption wraps only while its group would not fit: in a wide window it stays on
  // one line.
  void longCaptionsWrapOnlyWhereTheGroupWouldNotFit() {
    Session session("brel");
    QVERIFY(session.window->ShowModule(session.Module("PWM")));
    session.Idle();
    const ControlRef asymmetric =
        session.CurrentPage()->FindControlByText("Asymetric output (center alignment only)");
    QVERIFY(asymmetric);
    auto* caption = qobject_cast<QLabel*>(session.Widget(asymmetric.fullId));
    QVERIFY(caption);
    QTRY_VERIFY(caption->wordWrap());
    session.window->resize(1800, 700);
    QTRY_VERIFY(!caption->wordWrap());
    QTRY_COMPARE(session.window->Pane()->ScrollArea()->horizontalScrollBar()->maximum(), 0);
    session.window->resize(900, 700);
    QTRY_VERIFY(caption->wordWrap());
  }

 private:
  // The controls that reach past the pane's right edge, for the failure message.
  static QString Overhang(Session& session, QScrollArea* area) {
    QString text;
    Page* page = session.CurrentPage();
    const int edge = area->viewport()->width();
    for (size_t i = 0; i < page->GetControlCount(); ++i) {
      const Control& control = page->ControlAt(i);
      QWidget* widget = session.Widget(page->FullIdOf(control));
      if (!widget || !widget->isVisible()) continue;
      const int right = widget->mapTo(area->viewport(), QPoint(widget->width(), 0)).x();
      if (right > edge)
        text += QString("\n  %1 \"%2\" right edge %3").arg(control.id).arg(QString::fromStdString(control.text)).arg(right);
    }
    return text;
  }
};

TARQ_UI_TEST(PageWidthTest);

}  // namespace tarq::uitest

#include "PageWidthTest.moc"
