#include "ui/GuiHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>

#include "ui/WizardDialog.h"
#include "help/DocumentationLookup.h"
#include "project/OptionsFile.h"

namespace tarq {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// A target with a scheme ("https://", "mailto:", "file:") is a URL; anything else a path.
QUrl TargetUrl(const std::string& target) {
  const QString text = QString::fromStdString(target);
  const QUrl url(text, QUrl::StrictMode);
  if (url.isValid() && url.scheme().size() > 1) return url;
  return QUrl::fromLocalFile(text);
}

}  // namespace

GuiHost::GuiHost(QObject* parent) : QObject(parent) {}

Answer GuiHost::Ask(Buttons buttons, const std::string& text, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), kAppTitle, QString::fromStdString(text), QMessageBox::NoButton,
                  dialogParent_);
  // Core texts are plain; a "<" in a path must not turn the box into rich text.
  box.setTextFormat(Qt::PlainText);
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::YesNoCancelDefaultNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::No);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case Buttons::ReloadKeepCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.button(QMessageBox::Yes)->setText("&Reload");
      box.button(QMessageBox::No)->setText("&Keep my version");
      box.setDefaultButton(QMessageBox::Cancel);
      break;
  }
  // A wait cursor set by a save must not hide the arrow over the question.
  const bool waiting = waitDepth_ > 0;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = box.exec();
  if (waiting) QApplication::restoreOverrideCursor();
  switch (result) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return Answer::Cancel;
  }
}

void GuiHost::ShowMessage(const std::string& text, MessageIcon icon) {
  Ask(Buttons::Ok, text, icon);
}

Answer GuiHost::AskYesNoCancel(const std::string& text) {
  return Ask(Buttons::YesNoCancel, text, MessageIcon::Exclamation);
}

Answer GuiHost::AskYesNo(const std::string& text, MessageIcon icon) {
  return Ask(Buttons::YesNo, text, icon);
}

Answer GuiHost::AskReloadOrKeep(const std::string& text) {
  return Ask(Buttons::ReloadKeepCancel, text, MessageIcon::Question);
}

Answer GuiHost::AskOkCancel(const std::string& text) {
  return Ask(Buttons::OkCancel, text, MessageIcon::Exclamation);
}

void GuiHost::BeginProgress(const std::string& caption, int steps) {
  if (!progress_) return;
  progress_->setRange(0, steps > 0 ? steps : 0);
  progress_->setValue(0);
  progress_->setFormat(QString::fromStdString(caption) + " %p%");
  progress_->setVisible(true);
}

void GuiHost::StepProgress() {
  if (!progress_) return;
  progress_->setValue(progress_->value() + 1);
  // Loading runs without returning to the event loop; paint the bar now.
  if (progress_->isVisible()) progress_->repaint();
}

void GuiHost::EndProgress() {
  if (progress_) progress_->setVisible(false);
}

void GuiHost::BeginWaitCursor() {
  if (waitDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void GuiHost::EndWaitCursor() {
  if (waitDepth_ == 0) return;
  if (--waitDepth_ == 0) QApplication::restoreOverrideCursor();
}

void GuiHost::PostWakeUp() {
  if (wakeUpPending_) return;
  wakeUpPending_ = true;
  // A zero timer fires once the events queued now have been handled: the next idle moment.
  QTimer::singleShot(0, this, [this] {
    if (wakeUpPending_) RunIdleWork();
  });
}

void GuiHost::RunIdleWork() {
  wakeUpPending_ = false;
  if (idleWork_) idleWork_();
}

bool GuiHost::ShellOpen(const std::string& target) {
  if (target.empty()) return false;
  return QDesktopServices::openUrl(TargetUrl(target));
}

bool GuiHost::OpenDocument(const std::string& path, const std::string& destination) {
  const std::vector<std::string> command =
      ReaderCommandFor(LoadReaderCommands(OptionsFilePath()), path, destination);
  openError_.clear();
  if (command.empty()) {
    openError_ = "no reader command";
    return false;
  }
  QStringList arguments;
  for (size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
  // An argument list, never a shell line: the path is one argument whatever it holds.
  if (!QProcess::startDetached(QString::fromStdString(command.front()), arguments)) {
    openError_ = command.front() + " did not start";
    return false;
  }
  return true;
}

Answer GuiHost::AskYesNoCancelDefaultNo(const std::string& text) {
  return Ask(Buttons::YesNoCancelDefaultNo, text, MessageIcon::Question);
}

bool GuiHost::ConfirmWizardResult(const std::string& title, const std::vector<std::string>& lines) {
  WizardDialog dialog(title, lines, dialogParent_);
  const bool waiting = waitDepth_ > 0;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = dialog.exec();
  if (waiting) QApplication::restoreOverrideCursor();
  return result == QDialog::Accepted;
}

}  // namespace tarq
