// The web view that fills the page of an HTML module (plugin pages, the pinout page).
// Program links ("tarq:", "tarqna:") clicked in the page are taken away from the browser
// before it navigates and handed to the module; the module hears when a document is
// complete and can call script functions of the page by name.
#pragma once

#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>

#include "framework/HtmlModule.h"

namespace tarq {

// The browser side of the page: intercepts program links before navigation.
class HtmlPage : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit HtmlPage(QObject* parent = nullptr);
  // A program link was refused since the last load report: the browser reports that
  // refusal as a load of its own, which leaves the shown document as it was.
  bool TakeRefusedNavigation();
  bool HasRefusedNavigation() const { return refusedNavigation_; }

 signals:
  void programLinkClicked(const QString& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

 private:
  bool refusedNavigation_ = false;
};

class HtmlPageView : public QWebEngineView, public HtmlView {
  Q_OBJECT

 public:
  // Longest wait for a script call to answer.
  static constexpr int kScriptTimeoutMs = 5000;

  // `isActive` tells whether the module's page is the one on screen.
  HtmlPageView(CHtmlModule& module, std::function<bool()> isActive, QWidget* parent = nullptr);
  ~HtmlPageView() override;

  // The program's link schemes are known to the browser before any page exists; call
  // before the application object is made.
  static void RegisterProgramLinkSchemes();

  CHtmlModule* Module() const { return module_; }
  // The module lets go of the view (its page is leaving the pane).
  void DetachModule();
  bool IsDocumentComplete() const { return complete_; }

  // ---- HtmlView ----
  bool IsActiveView() const override;
  void Redraw() override;
  void Load(const std::string& url) override;
  bool CallScript(const std::string& function, const std::vector<std::string>& arguments,
                  std::string& result, std::string& reason) override;

 signals:
  void documentComplete(bool ok);

 private:
  CHtmlModule* module_;
  std::function<bool()> isActive_;
  bool complete_ = false;
};

}  // namespace tarq
