// The pages of the unrecognised definitions and of a group node show their content.
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "UiTestSupport.h"
#include "project/UnrecognisedDefinitions.h"
#include "ui/MainWindow.h"

namespace tarq::uitest {

class PageOnlyPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void unrecognisedDefinitionsShowTheirTextAndList() {
    Session session("fenn");
    auto* unrec = dynamic_cast<CpmUNREC*>(session.Module("UNREC"));
    QVERIFY(unrec);
    QVERIFY(!unrec->Entries().empty());
    QVERIFY(session.window->ShowModule(unrec));
    auto* text = qobject_cast<QLabel*>(session.Widget(CpmUNREC::kPageTextId));
    QVERIFY(text);
    QCOMPARE(text->text(), QString(CpmUNREC::kPageText));
    auto* list = qobject_cast<QListWidget*>(session.Widget(CpmUNREC::kListId));
    QVERIFY(list);
    QCOMPARE(list->count(), static_cast<int>(unrec->Entries().size()));
    QCOMPARE(list->item(0)->text(), QString::fromStdString(unrec->GetListLines().front()));
  }

  void theGroupPageSaysWhereItsContentIs() {
    Session session("fenn");
    CModuleBase* group = session.Module("GPIO");
    QVERIFY(group);
    QCOMPARE(QString::fromStdString(group->GetClass()), QString("EMPTY"));
    QVERIFY(session.window->ShowModule(group));
    auto* text = qobject_cast<QLabel*>(session.Widget(CpmEMPTY::kPageTextId));
    QVERIFY(text);
    QCOMPARE(text->text(), QString("See submodules of this module."));
  }
};

TARQ_UI_TEST(PageOnlyPagesTest);

}  // namespace tarq::uitest

#include "PageOnlyPagesTest.moc"
