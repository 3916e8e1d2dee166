// The desktop program's Host: real message boxes, the status-bar progress bar, the wait
// cursor, and the idle pass driven by the Qt event loop.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "framework/Host.h"
#include "framework/WizardConfirmation.h"

#include <QProgressBar>
class QWidget;

namespace tarq {

// Title of every message box and the application part of the window title.
inline constexpr const char* kAppTitle = "Corvex Tarq";

class GuiHost : public QObject, public Host, public WizardConfirmation {
  Q_OBJECT

 public:
  explicit GuiHost(QObject* parent = nullptr);

  // Message boxes are modal to this window; null while there is none.
  void SetDialogParent(QWidget* parent) { dialogParent_ = parent; }
  void SetProgressBar(QProgressBar* bar) { progress_ = bar; }
  // The work of an idle pass (the document's pending update and the page's deferred work).
  void SetIdleWork(std::function<void()> work) { idleWork_ = std::move(work); }

  void ShowMessage(const std::string& text, MessageIcon icon) override;
  Answer AskYesNoCancel(const std::string& text) override;
  Answer AskYesNo(const std::string& text, MessageIcon icon) override;
  Answer AskOkCancel(const std::string& text) override;
  // "Reload" (Yes), "Keep my version" (No) or Cancel.
  Answer AskReloadOrKeep(const std::string& text) override;
  Answer AskYesNoCancelDefaultNo(const std::string& text) override;
  void BeginProgress(const std::string& caption, int steps) override;
  void StepProgress() override;
  void EndProgress() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  // Any number of wake-ups before the event loop comes round make one idle pass.
  void PostWakeUp() override;
  bool ShellOpen(const std::string& target) override;
  // Starts the reader command of the options for the page or named destination.
  bool OpenDocument(const std::string& path, const std::string& destination) override;
  // The wizard's result in a dialog with Apply and Cancel.
  bool ConfirmWizardResult(const std::string& title, const std::vector<std::string>& lines) override;
  // Why the last OpenDocument failed.
  const std::string& OpenError() const { return openError_; }

  bool IsWakeUpPending() const { return wakeUpPending_; }
  // Runs the idle work now (the posted pass then finds nothing to do).
  void RunIdleWork();
  int WaitCursorDepth() const { return waitDepth_; }

 protected:
  enum class Buttons { Ok, YesNoCancel, YesNo, OkCancel, ReloadKeepCancel, YesNoCancelDefaultNo };
  // The one place that shows a dialog; tests answer here instead.
  virtual Answer Ask(Buttons buttons, const std::string& text, MessageIcon icon);

 private:
  QPointer<QWidget> dialogParent_;
  QPointer<QProgressBar> progress_;
  std::function<void()> idleWork_;
  bool wakeUpPending_ = false;
  int waitDepth_ = 0;
  std::string openError_;
};

}  // namespace tarq
