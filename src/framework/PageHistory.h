// The page history of the right pane: Back and Forward over the module pages the user has
// seen, like a browser's history.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Hints.h"

namespace tarq {

class CModuleBase;

// Commands of the main window, with their prompt and tooltip texts.
inline constexpr uint32_t kCmdPageBack = 32807;
inline constexpr uint32_t kCmdPageForward = 32808;
inline constexpr const char* kCmdPageBackText = "Go back in page history\nBack";
inline constexpr const char* kCmdPageForwardText = "Go forward in page history\nForward";

class PageHistory : public DocumentObserver {
 public:
  // Switches the right pane to a module's page; false when the page on screen refuses.
  using ShowPage = std::function<bool(CModuleBase*)>;

  // A page has been shown in the right pane. Records it unless Back or Forward is showing
  // it; whatever was ahead of the current position becomes unreachable.
  void OnPageShown(CModuleBase* page);

  bool CanGoBack() const;
  bool CanGoForward() const;
  // Whether a command is enabled; false for commands that are not the history's.
  bool IsCommandEnabled(uint32_t command) const;

  // Shows the previous (next) page. False when there is none or `show` refused; the
  // position then stays where it was so the history still matches the screen.
  bool Back(const ShowPage& show);
  bool Forward(const ShowPage& show);
  // Runs command 32807 or 32808; false for any other command.
  bool OnCommand(uint32_t command, const ShowPage& show);

  // The entries point at modules: a closing document takes them all away.
  void OnHint(int hint, CModuleBase* sender) override;
  void Clear();

  const std::vector<CModuleBase*>& Entries() const { return entries_; }
  // Index of the current entry; -1 while nothing has been shown.
  int Position() const { return position_; }
  CModuleBase* Current() const;
  bool IsGuarded() const { return guard_ > 0; }

 private:
  bool Step(int delta, const ShowPage& show);

  std::vector<CModuleBase*> entries_;
  int position_ = -1;
  int guard_ = 0;  // raised while Back or Forward shows a page
};

}  // namespace tarq
