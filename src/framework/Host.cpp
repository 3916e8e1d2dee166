#include "framework/Host.h"

#include <iostream>

namespace tarq {

static const char* AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Ok: return "OK";
    case Answer::Cancel: return "Cancel";
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
  }
  return "?";
}

static void PrintQuestion(bool quiet, const std::string& text, Answer answer) {
  if (!quiet) std::cerr << text << "\n  [batch answer: " << AnswerName(answer) << "]\n";
}

void BatchHost::ShowMessage(const std::string& text, MessageIcon) {
  ++messageCount;
  if (!quiet) std::cerr << text << (text.empty() || text.back() != '\n' ? "\n" : "");
}

Answer BatchHost::AskYesNoCancel(const std::string& text) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::Yes);
  return Answer::Yes;
}

Answer BatchHost::AskYesNo(const std::string& text, MessageIcon) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::Yes);
  return Answer::Yes;
}

Answer BatchHost::AskOkCancel(const std::string& text) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::Cancel);
  return Answer::Cancel;
}

Answer BatchHost::AskYesNoLosingData(const std::string& text) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::No);
  return Answer::No;
}

Answer BatchHost::AskReloadOrKeep(const std::string& text) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::Cancel);
  return Answer::Cancel;
}

Answer BatchHost::AskYesNoCancelDefaultNo(const std::string& text) {
  ++messageCount;
  PrintQuestion(quiet, text, Answer::No);
  return Answer::No;
}

void BatchHost::BeginProgress(const std::string& caption, int steps) {
  if (!quiet && steps > 0) std::cerr << caption << " (" << steps << " steps)\n";
}

void BatchHost::EndProgress() {}

void CollectingHost::ShowMessage(const std::string& text, MessageIcon) {
  entries.push_back({"message", text});
}

Answer CollectingHost::Next(const std::string& kind, const std::string& text) {
  entries.push_back({kind, text});
  if (answers.empty()) return defaultAnswer;
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

Answer CollectingHost::AskYesNoCancel(const std::string& text) { return Next("yesnocancel", text); }
Answer CollectingHost::AskYesNo(const std::string& text, MessageIcon) { return Next("yesno", text); }
Answer CollectingHost::AskOkCancel(const std::string& text) { return Next("okcancel", text); }

void CollectingHost::BeginProgress(const std::string&, int steps) {
  progressTotal = steps;
  progressSteps = 0;
}

std::vector<std::string> CollectingHost::Messages() const {
  std::vector<std::string> texts;
  for (const Entry& entry : entries) texts.push_back(entry.text);
  return texts;
}

}  // namespace tarq
