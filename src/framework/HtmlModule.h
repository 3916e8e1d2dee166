// A module whose page is an HTML document shown by a web view (plugin pages, the pinout
// page). The model decides what the view does; the view loads, redraws and runs scripts.
#pragma once

#include <string>
#include <vector>

#include "framework/Module.h"

namespace tarq {

// What the module needs from the web view that fills its page.
class HtmlView {
 public:
  virtual ~HtmlView() = default;
  // Whether the module's page is the active view of the right pane.
  virtual bool IsActiveView() const = 0;
  virtual void Redraw() = 0;
  // Starts loading a URL. Once the document is complete (which may take a while) the view
  // calls CHtmlModule::OnDocumentComplete.
  virtual void Load(const std::string& url) = 0;
  // Calls a script function of the loaded page with text arguments in their natural order.
  // False with `reason` filled when the call could not be made or the script failed.
  virtual bool CallScript(const std::string& function, const std::vector<std::string>& arguments,
                          std::string& result, std::string& reason) = 0;
};

// Text of the page shown while a document is open in another application.
inline constexpr const char* kExternalPlaceholderHtml =
    "<html><head></head><body>\n"
    "The document file is opened externally. Please keep the Tarq running until you close "
    "the external document."
    "</body></html>\n";
inline constexpr const char* kScriptErrorPrefix = "JSCall Error:\n";

class CHtmlModule : public CModule {
 public:
  explicit CHtmlModule(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  ~CHtmlModule() override;

  // ---- state ----
  void SetStartUrl(const std::string& url) { startUrl_ = url; }
  const std::string& GetStartUrl() const { return startUrl_; }
  // The URL last navigated to; empty before the first navigation.
  const std::string& GetShownUrl() const { return shownUrl_; }
  // Navigate even when the URL is the one shown.
  void SetForceReload(bool force) { forceReload_ = force; }
  // Navigate even when the page is not the active view.
  void SetForceWhenInactive(bool force) { forceWhenInactive_ = force; }
  // Hand every navigation to OpenExternal.
  void SetOpenExternally(bool external) { openExternally_ = external; }
  bool IsForceReload() const { return forceReload_; }
  bool IsForceWhenInactive() const { return forceWhenInactive_; }
  bool IsOpenExternally() const { return openExternally_; }

  // ---- the view ----
  // The page's view exists now (first show of the page): the start URL is loaded.
  void AttachView(HtmlView* view);
  // The page and its view are gone.
  void DetachView() { view_ = nullptr; }
  // Whether the page loads as soon as the project is open, before it is first shown, so that
  // its script runs from the start (plugins marked "earlyload").
  virtual bool LoadsEarly() const { return false; }
  // Attaches a view that is not on screen and loads the start URL into it.
  void LoadInBackground(HtmlView* view);
  HtmlView* GetView() const { return view_; }

  // ---- operations ----
  // Loads a URL into the view, or only redraws when the URL is already shown (and reloading
  // is not forced) or when the page is not the active view (and that is not overridden).
  virtual void Navigate(const std::string& url);
  // Free text written into the comment block.
  virtual void SetComment(const std::string& text) { comment_ = text; }
  const std::string& GetComment() const { return comment_; }
  // The loaded document is complete; modules fill their page here.
  virtual void OnPageLoaded() {}
  // Opens a document with the system's application and shows a note in the view instead.
  // False (with a message) when the document could not be opened.
  virtual bool OpenExternal(const std::string& url);

  // Called by the view when a document has finished loading.
  void OnDocumentComplete() { OnPageLoaded(); }

  // Calls a script function of the page. On failure `result` is "JSCall Error:\n" and the
  // reason, which is also kept as the last script error.
  bool CallScript(const std::string& function, const std::vector<std::string>& arguments,
                  std::string& result);
  const std::string& GetLastScriptError() const { return lastScriptError_; }

  // Display name and " Software Module Configuration", then the free comment text.
  void GenerateComment(std::string& text) override;

  // Where the placeholder page is written; a file in the temporary folder by default.
  void SetPlaceholderPath(const std::string& path) { placeholderPath_ = path; }
  const std::string& GetPlaceholderPath() const { return placeholderPath_; }

  // The file a "file:" URL names, as the system opener expects it.
  static std::string ExternalPathOf(const std::string& url);

 private:
  // Writes the placeholder page; the URL to show, "about:blank" when writing failed.
  std::string WritePlaceholder();

  HtmlView* view_ = nullptr;
  std::string startUrl_;
  std::string shownUrl_;
  std::string comment_;
  std::string lastScriptError_;
  std::string placeholderPath_;
  bool placeholderWritten_ = false;
  bool forceReload_ = false;
  bool forceWhenInactive_ = false;
  bool openExternally_ = false;
};

}  // namespace tarq
