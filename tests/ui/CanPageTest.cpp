// The ZedCAN page in the desktop program: the bit-timing graph is a widget drawn from the
// page model's boxes, and a click on a column header of the solution list sorts the rows in
// the model, keeping the chosen row.
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>

#include "UiTestSupport.h"
#include "modules/can.h"
#include "ui/MainWindow.h"
#include "ui/PageRenderer.h"

namespace tarq::uitest {

namespace {

const Control* FirstOfKind(Page& page, ControlKind kind) {
  for (size_t n = 0; n < page.GetControlCount(); ++n)
    if (page.ControlAt(n).kind == kind) return &page.ControlAt(n);
  return nullptr;
}

}  // namespace

class CanPageTest : public QObject {
  Q_OBJECT

 private slots:
  void graphAndSortableSolutionList() {
    Session session("later");
    auto* zcan = dynamic_cast<CpmZCAN*>(session.Module("ZCAN"));
    QVERIFY(zcan);
    QVERIFY(session.window->ShowModule(zcan));
    session.Idle();
    Page& page = *zcan->GetPage();
    const Control* graph = FirstOfKind(page, ControlKind::BarGraph);
    QVERIFY(graph);
    QWidget* graphWidget = session.Widget(graph->id);
    QVERIFY(graphWidget);
    QCOMPARE(graphWidget->property("tarqKind").toString(), QString("bar"));
    QVERIFY(graphWidget->height() > 0);

    const Control* list = FirstOfKind(page, ControlKind::ListBox);
    QVERIFY(list);
    auto* tree = qobject_cast<QTreeWidget*>(session.Widget(list->id));
    QVERIFY(tree);
    QCOMPARE(tree->columnCount(), 8);
    QCOMPARE(tree->headerItem()->text(2), QString("PROPSEG"));
    zcan->SolveTyped("250k", false);
    session.Idle();
    QVERIFY(tree->topLevelItemCount() > 10);
    // Choose a row with the mouse's signal, then sort by PROPSEG through the header.
    tree->setCurrentItem(tree->topLevelItem(5));
    session.Idle();
    QCOMPARE(list->selection, 5);
    const QString chosen = tree->topLevelItem(5)->data(0, Qt::UserRole).toString();
    emit tree->header()->sectionClicked(2);
    session.Idle();
    QCOMPARE(zcan->SortColumn(), 2);
    for (int row = 1; row < tree->topLevelItemCount(); ++row)
      QVERIFY(tree->topLevelItem(row - 1)->text(2).toInt() <= tree->topLevelItem(row)->text(2).toInt());
    QVERIFY(tree->currentItem());
    QCOMPARE(tree->currentItem()->data(0, Qt::UserRole).toString(), chosen);
  }
};

TARQ_UI_TEST(CanPageTest);

}  // namespace tarq::uitest

#include "CanPageTest.moc"
