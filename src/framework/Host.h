// The document's window to the user. The core never shows anything itself: messages,
// questions, progress, the wait cursor and the idle wake-up all go through a Host that each
// front end implements.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tarq {

enum class MessageIcon { None, Information, Exclamation, Error, Question };
enum class Answer { Ok, Cancel, Yes, No };

class Host {
 public:
  virtual ~Host() = default;

  virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::Exclamation) = 0;
  // Yes/No/Cancel question; answers Yes, No or Cancel.
  virtual Answer AskYesNoCancel(const std::string& text) = 0;
  // Yes/No question; answers Yes or No.
  virtual Answer AskYesNo(const std::string& text, MessageIcon icon = MessageIcon::Question) = 0;
  // OK/Cancel question; answers Ok or Cancel.
  virtual Answer AskOkCancel(const std::string& text) = 0;
  // Yes/No question whose Yes gives up some of the user's text; a batch run answers No.
  virtual Answer AskYesNoLosingData(const std::string& text) {
    return AskYesNo(text, MessageIcon::Exclamation);
  }
  // Yes/No/Cancel question whose default button is No; a batch run answers No.
  virtual Answer AskYesNoCancelDefaultNo(const std::string& text) { return AskYesNoCancel(text); }
  // The file changed on disk: Yes reloads it, No keeps this version (and overwrites the
  // file), Cancel stops. A batch run answers Cancel.
  virtual Answer AskReloadOrKeep(const std::string& text) { return AskYesNoCancel(text); }

  virtual void BeginProgress(const std::string& caption, int steps) { (void)caption; (void)steps; }
  virtual void StepProgress() {}
  virtual void EndProgress() {}
  virtual void BeginWaitCursor() {}
  virtual void EndWaitCursor() {}
  // Asks the front end to run the document's idle work at its next idle moment.
  virtual void PostWakeUp() {}
  // Opens a file, folder or URL with the system's handler ("open"); false on failure.
  virtual bool ShellOpen(const std::string& target) {
    (void)target;
    return false;
  }
  // Opens a document (help PDF) at a page number or named destination; false when the
  // front end cannot open documents.
  virtual bool OpenDocument(const std::string& path, const std::string& destination) {
    (void)path; (void)destination;
    return false;
  }
};

// Batch answers: never waits for input and never loses data. Messages and questions go to
// stderr with the answer given. Yes/No/Cancel answers Yes (keep the user's changes), Yes/No
// answers Yes, OK/Cancel answers Cancel (a write protection is never overridden); a question
// whose Yes drops user text answers No, and a file changed on disk is neither reloaded nor
// overwritten (Cancel).
class BatchHost : public Host {
 public:
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  Answer AskYesNoCancel(const std::string& text) override;
  Answer AskYesNo(const std::string& text, MessageIcon icon) override;
  Answer AskOkCancel(const std::string& text) override;
  Answer AskYesNoLosingData(const std::string& text) override;
  Answer AskReloadOrKeep(const std::string& text) override;
  Answer AskYesNoCancelDefaultNo(const std::string& text) override;
  void BeginProgress(const std::string& caption, int steps) override;
  void EndProgress() override;
  void PostWakeUp() override { wakeUpPosted = true; }

  int messageCount = 0;
  bool wakeUpPosted = false;
  bool quiet = false;  // suppresses stderr output (messages are still counted)
};

// Records every message and question; answers questions from a queue (default when empty).
class CollectingHost : public Host {
 public:
  struct Entry {
    std::string kind;  // "message", "yesnocancel", "yesno", "okcancel"
    std::string text;
  };

  void ShowMessage(const std::string& text, MessageIcon icon) override;
  Answer AskYesNoCancel(const std::string& text) override;
  Answer AskYesNo(const std::string& text, MessageIcon icon) override;
  Answer AskOkCancel(const std::string& text) override;
  void BeginProgress(const std::string& caption, int steps) override;
  void StepProgress() override { ++progressSteps; }
  void PostWakeUp() override { ++wakeUps; }

  std::vector<std::string> Messages() const;
  std::vector<Entry> entries;
  std::deque<Answer> answers;
  Answer defaultAnswer = Answer::Cancel;
  int progressSteps = 0;
  int progressTotal = 0;
  int wakeUps = 0;

 private:
  Answer Next(const std::string& kind, const std::string& text);
};

}  // namespace tarq
