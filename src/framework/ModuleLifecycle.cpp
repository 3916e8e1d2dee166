// The module life cycle shared by every module: attaching to the document, the update
// path, warnings, value display, help and the comment block.
#include <filesystem>
#include <system_error>

#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"

namespace tarq {

namespace {

constexpr const char* kCommentRule = "--------------------------------------------";

// "%.5f" without trailing zeros and without a trailing decimal point.
std::string ShortNumber(double value) {
  std::string text = Format("%.5f", value);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

// A description as the comment block shows it: doubled separators and the "&&" of
// control captions reduced, no leading colons or blanks.
std::string CleanDescription(std::string text) {
  text = ReplaceAll(std::move(text), ": : ", ": ");
  text = ReplaceAll(std::move(text), "::", ":");
  text = ReplaceAll(std::move(text), "&&", "&");
  const size_t start = text.find_first_not_of(": \t");
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

void CModuleBase::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  linkedModule_ = nullptr;
  const std::string& linked = entry_.linkedModule;
  if (!linked.empty() && !EqualsNoCase(linked, "NONE")) linkedModule_ = doc.FindModule(linked, "");
  ApplyResetParameters();
}

void CModuleBase::OnUpdate(int hint, CModuleBase* sender) {
  (void)sender;
  if (hint != kHintRefreshAll) return;
  UpdateValues();
  if (context_ && context_->WarningsEnabled()) CheckWarnings();
}

void CModuleBase::SetWarning(uint32_t controlId, bool set, const std::string& controlText,
                             const std::string& message) {
  ShowWarningControl(controlId, set, controlText);
  if (!context_) return;
  if (WarningList* warnings = context_->GetWarnings())
    warnings->Set(this, controlId, set, controlText, message);
  context_->Broadcast(kHintWarningChanged, this);
}

// ---- value display ----

std::string CModuleBase::FrequencyText(double hertz, bool autoUnit, const char* fallbackText,
                                       const char* format) {
  if (hertz == 0) return fallbackText ? fallbackText : "OFF";
  double value = hertz;
  const char* prefix = " ";
  if (autoUnit && hertz > 0) {
    if (hertz > 500000) {
      value = hertz / 1e6;
      prefix = " M";
    } else if (hertz > 500) {
      value = hertz / 1000;
      prefix = " k";
    }
  }
  if (format) return Format(format, value, prefix, "Hz");
  return Format("%s%s%s", ShortNumber(value).c_str(), prefix, "Hz");
}

std::string CModuleBase::TimeText(double seconds, bool autoUnit, const char* fallbackText,
                                  const char* format) {
  if (seconds == 0) return fallbackText ? fallbackText : "OFF";
  double value = seconds;
  const char* unit = " sec";
  if (autoUnit && seconds > 0) {
    if (seconds > 0.5) {
      unit = " sec";
    } else if (seconds > 0.0001) {
      value = seconds * 1000;
      unit = " ms";
    } else {
      value = seconds * 1e6;
      unit = " us";
    }
  }
  if (format) return Format(format, value, unit);
  return Format("%s%s", ShortNumber(value).c_str(), unit);
}

std::string CModuleBase::ShowFrequency(uint32_t controlId, double hertz, bool autoUnit,
                                       const char* fallbackText, const char* format) {
  std::string text = FrequencyText(hertz, autoUnit, fallbackText, format);
  if (controlId != 0) ShowControlText(controlId, text);
  return text;
}

std::string CModuleBase::ShowTime(uint32_t controlId, double seconds, bool autoUnit,
                                  const char* fallbackText, const char* format) {
  std::string text = TimeText(seconds, autoUnit, fallbackText, format);
  if (controlId != 0) ShowControlText(controlId, text);
  return text;
}

// ---- help ----

bool CModuleBase::GetHelpFileAndDestination(std::string& file, std::string& destination) const {
  const std::string& reference = entry_.helpReference;
  const size_t hash = reference.find('#');
  file = Trim(std::string_view(reference).substr(0, hash));
  destination = hash == std::string::npos ? std::string() : Trim(reference.substr(hash + 1));
  return !file.empty();
}

CModuleBase::HelpTarget CModuleBase::GetHelpTarget() const {
  HelpTarget target;
  std::string file;
  if (!GetHelpFileAndDestination(file, target.destination) || !context_) return target;
  namespace fs = std::filesystem;
  target.file = (fs::path(context_->GetProgramFolder()) / "help" / file).string();
  std::error_code error;
  target.exists = fs::is_regular_file(target.file, error);
  return target;
}

bool CModuleBase::ShowHelp() {
  const HelpTarget target = GetHelpTarget();
  if (!target.exists || !context_) return false;
  Host& host = context_->GetHost();
  if (target.systemOpen) return host.ShellOpen(target.file);
  host.OpenDocument(target.file, target.destination);
  return true;
}

// ---- comment block ----

void CModuleBase::AddCommentItem(const CommentSource* source, uint32_t flags) {
  commentItems_.push_back({source, flags});
}

void CModuleBase::AddCommentItems(std::initializer_list<CommentItem> items) {
  commentItems_.insert(commentItems_.end(), items.begin(), items.end());
}

void CModuleBase::GenerateComment(std::string& text) {
  text += "    " + GetDisplayName() + " Configuration\n" + kCommentRule;
  if (!OptionsInForce().generateComments) return;
  text += "\n";
  AppendCommentItems(text);
  text = TrimRight(text);
}

void CModuleBase::AppendCommentItems(std::string& text) const {
  bool continued = false;  // the previous item left its line open
  std::string groupLabel;  // label of the item that started the current group
  for (const CommentItem& item : commentItems_) {
    const uint32_t flags = item.flags;
    std::string piece;
    if (item.source && item.source->IsDescribed())
      piece = CleanDescription(item.source->GetDescription(true, flags & kCommentStyleMask));

    if ((flags & kCommentNewLine) && continued) {
      text += "\n";
      continued = false;
    }
    if (piece.empty()) {
      if (continued) text += "\n";
      continued = false;
      continue;
    }

    // "Label: value" under a group of the same label keeps only the value, lined up
    // under the group's first value (or simply after ", " on a continued line).
    const size_t colon = piece.find(": ");
    if (colon != std::string::npos && colon > 0) {
      const std::string label = piece.substr(0, colon);
      if (label == groupLabel) {
        std::string value = piece.substr(colon + 2);
        piece = EndsWith(text, ", ") ? value : std::string(colon + 2, ' ') + value;
      } else {
        groupLabel = label;
      }
    } else {
      groupLabel.clear();
    }

    if (!continued) text += (flags & kCommentIndentDeep) ? "        " : "    ";
    text += piece;
    if (flags & kCommentNoLineEnd) {
      continued = true;
    } else if (flags & kCommentContinue) {
      text += ", ";
      continued = true;
    } else {
      text += "\n";
      continued = false;
    }
    if (flags & kCommentEmptyLineAfter) {
      text += "\n";
      continued = false;
    }
  }
}

}  // namespace tarq
