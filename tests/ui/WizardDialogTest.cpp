// The sub-module PWM wizard's confirmation: the dialog shows the core's result and only its
// Apply writes the submodules.
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "UiTestSupport.h"
#include "modules/smpwm.h"
#include "modules/smpwm_calc.h"
#include "ui/MainWindow.h"
#include "ui/UndoCommands.h"
#include "ui/WizardDialog.h"

namespace tarq::uitest {

namespace {

// Answers the next wizard dialog that opens, after recording what it shows.
void AnswerNextWizard(bool apply, QString* shown) {
  QTimer::singleShot(0, [apply, shown] {
    auto* dialog = qobject_cast<WizardDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (shown) *shown = dialog->ResultView()->toPlainText();
    // TARQ_WIZARD_SHOT=<file.png> keeps a picture of the dialog for a look at its layout.
    const QByteArray shot = qgetenv("TARQ_WIZARD_SHOT");
    if (!shot.isEmpty()) dialog->grab().save(QString::fromLocal8Bit(shot));
    if (apply)
      dialog->ApplyButton()->click();
    else
      dialog->reject();
  });
}

}  // namespace

class WizardDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void theDialogShowsEveryLineOfTheResult() {
    const smpwm::WizardResult result = smpwm::ComputeWizard(
        {.clockHz = 60e6, .frequencyHz = 7500, .deadTimeNs = 500, .submodules = {0, 1, 2}});
    const std::vector<std::string> lines = smpwm::DescribeWizard(result);
    WizardDialog dialog("EZPWM submodules CENTER/EDGE ALIGN wizard", lines);
    const QStringList shown = dialog.ResultView()->toPlainText().split('\n');
    QCOMPARE(shown.size(), static_cast<int>(lines.size()));
    QCOMPARE(shown.front(), QString("Prescaler /1, 8000 counts per period, frequency 7500.000 Hz"));
    QVERIFY(dialog.ResultView()->isReadOnly());
    QVERIFY(dialog.ApplyButton()->isDefault());
  }

  // TARQ_PAGE_SHOTS=<folder> keeps pictures of the whole pages in a tall window.
  void wholePagesCanBePictured() {
    const QByteArray folder = qgetenv("TARQ_PAGE_SHOTS");
    if (folder.isEmpty()) QSKIP("TARQ_PAGE_SHOTS not set");
    Session session("dorn", true, false);
    session.window->resize(1500, 2600);
    for (const char* prefix : {"PWM", "PWM_0", "PWM_1", "PWM_SW"}) {
      QVERIFY(session.window->ShowModule(session.Module(prefix)));
      session.Idle();
      QVERIFY(session.window->grab().save(QString::fromLocal8Bit(folder) + "/" + prefix + ".png"));
    }
  }

  void onlyApplyWritesTheSubmodules() {
    Session session("dorn", true, false);
    QVERIFY(session.document);
    auto* common = dynamic_cast<CpmPWMAll_Dorn*>(session.Module("PWM"));
    QVERIFY(common);
    QVERIFY(session.window->ShowModule(common));
    // 15 kHz centred on PWM_1 alone: 60 MHz / 15 kHz = 4000 counts, INIT -2000, VAL1 1999.
    common->FindOwnRegister("PWM_WIZARD0_INIT")->value = 15000;
    common->FindOwnRegister("PWM_WIZARD3_INIT")->value = 0x20;
    Register* val1 = session.Module("PWM_1")->FindOwnRegister("VAL1_INIT");
    QVERIFY(val1);
    const uint32_t before = val1->value;
    const std::string link = common->MakeLink(0, CpmPWMAll_Dorn::kApplyWizardQuery, true);

    QString shown;
    AnswerNextWizard(false, &shown);
    common->OnLinkQuery(common, link, CpmPWMAll_Dorn::kApplyWizardQuery);
    QVERIFY(shown.contains("PWM_1: INIT -2000, VAL1 1999"));
    QCOMPARE(val1->value, before);

    AnswerNextWizard(true, nullptr);
    common->OnLinkQuery(common, link, CpmPWMAll_Dorn::kApplyWizardQuery);
    QCOMPARE(val1->value, 1999u);

    // The applied wizard is one undo step, named after it; its undo takes it all back.
    session.Idle();
    QCOMPARE(session.window->Undo()->UndoAction()->text(),
             QString("&Undo: PWM EZPWM submodules CENTER/EDGE ALIGN wizard"));
    QVERIFY(session.window->Undo()->Undo());
    QCOMPARE(val1->value, before);
  }
};

TARQ_UI_TEST(WizardDialogTest);

}  // namespace tarq::uitest

#include "WizardDialogTest.moc"
