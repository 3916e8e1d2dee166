#include "framework/PageHistory.h"

#include <algorithm>

namespace tarq {

void PageHistory::OnPageShown(CModuleBase* page) {
  if (guard_ > 0 || page == nullptr) return;
  // Showing the page that is already current (a link to one of its own controls) is not
  // a visit; recording it would make Back appear to do nothing.
  if (page == Current()) return;
  position_ = std::min(position_, static_cast<int>(entries_.size()) - 1) + 1;
  entries_.resize(static_cast<size_t>(position_));
  entries_.push_back(page);
}

bool PageHistory::CanGoBack() const { return position_ > 0; }

bool PageHistory::CanGoForward() const {
  const size_t next = static_cast<size_t>(position_ + 1);
  return next < entries_.size() && entries_[next] != nullptr;
}

bool PageHistory::IsCommandEnabled(uint32_t command) const {
  if (command == kCmdPageBack) return CanGoBack();
  if (command == kCmdPageForward) return CanGoForward();
  return false;
}

CModuleBase* PageHistory::Current() const {
  if (position_ < 0 || position_ >= static_cast<int>(entries_.size())) return nullptr;
  return entries_[static_cast<size_t>(position_)];
}

bool PageHistory::Step(int delta, const ShowPage& show) {
  const int target = position_ + delta;
  CModuleBase* page = entries_[static_cast<size_t>(target)];
  bool shown = true;
  ++guard_;
  if (show) shown = show(page);
  --guard_;
  if (shown) position_ = target;
  return shown;
}

bool PageHistory::Back(const ShowPage& show) {
  if (!CanGoBack()) return false;
  return Step(-1, show);
}

bool PageHistory::Forward(const ShowPage& show) {
  if (!CanGoForward()) return false;
  return Step(+1, show);
}

bool PageHistory::OnCommand(uint32_t command, const ShowPage& show) {
  if (command == kCmdPageBack) return Back(show);
  if (command == kCmdPageForward) return Forward(show);
  return false;
}

void PageHistory::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  if (hint == kHintDocumentClosing) Clear();
}

void PageHistory::Clear() {
  entries_.clear();
  position_ = -1;
  guard_ = 0;
}

}  // namespace tarq
