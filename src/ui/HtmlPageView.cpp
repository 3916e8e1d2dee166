#include "ui/HtmlPageView.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <memory>

#include "framework/Links.h"
#include "plugins/PluginModule.h"
#include "project/ProjDoc.h"
#include "ui/PageAutomation.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

// The browser only lets a page follow links of schemes that someone handles. Program links
// never get this far (the page hands them over before navigating); anything that does,
// such as an image with a program link as its source, is refused.
class ProgramLinkRefusal : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
  }
};

void InstallProgramLinkHandler(QWebEngineProfile* profile) {
  for (const char* name : {"tarq", "tarqna"}) {
    if (profile->urlSchemeHandler(name)) continue;
    profile->installUrlSchemeHandler(name, new ProgramLinkRefusal(profile));
  }
}

}  // namespace

// ---- HtmlPage ----

HtmlPage::HtmlPage(QObject* parent) : QWebEnginePage(parent) { InstallProgramLinkHandler(profile()); }

bool HtmlPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  const QString text = url.toString(QUrl::FullyEncoded);
  if (IsProgramLink(FromQt(text))) {
    refusedNavigation_ = true;
    // Deferred: the module may switch pages, which must not happen inside the browser's
    // navigation callback.
    QTimer::singleShot(0, this, [this, text] { emit programLinkClicked(text); });
    return false;
  }
  return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

bool HtmlPage::TakeRefusedNavigation() {
  const bool refused = refusedNavigation_;
  refusedNavigation_ = false;
  return refused;
}

// ---- HtmlPageView ----

void HtmlPageView::RegisterProgramLinkSchemes() {
  for (const char* name : {"tarq", "tarqna"}) {
    QWebEngineUrlScheme scheme(name);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
  }
}

HtmlPageView::HtmlPageView(CHtmlModule& module, std::function<bool()> isActive, QWidget* parent)
    : QWebEngineView(parent), module_(&module), isActive_(std::move(isActive)) {
  setObjectName("HtmlPageView");
  auto* page = new HtmlPage(this);
  setPage(page);
  // A plugin's page scripts reach the automation object as "tarq".
  if (dynamic_cast<CPluginModule*>(&module) != nullptr) {
    auto* automation =
        new PageAutomation(dynamic_cast<CProjDocBase*>(module.GetContext()), &module, this);
    automation->Attach(page);
  }
  connect(page, &HtmlPage::programLinkClicked, this, [this](const QString& url) {
    if (!module_) return;
    // As from a link text of the page, with an empty link text.
    module_->OpenLink(FromQt(url), module_->GetDisplayName() + ": ");
  });
  connect(this, &QWebEngineView::loadStarted, this, [this, page] {
    // A refused program link keeps the document: scripts may still be called.
    if (!page->HasRefusedNavigation()) complete_ = false;
  });
  connect(this, &QWebEngineView::loadFinished, this, [this, page](bool ok) {
    if (page->TakeRefusedNavigation() && !ok) return;
    complete_ = true;
    // Only a document that did load is news to the module.
    if (module_ && ok) module_->OnDocumentComplete();
    emit documentComplete(ok);
  });
}

HtmlPageView::~HtmlPageView() { DetachModule(); }

void HtmlPageView::DetachModule() {
  if (module_ && module_->GetView() == this) module_->DetachView();
  module_ = nullptr;
}

bool HtmlPageView::IsActiveView() const { return isActive_ && isActive_(); }

void HtmlPageView::Redraw() { update(); }

void HtmlPageView::Load(const std::string& url) {
  complete_ = false;
  setUrl(QUrl::fromUserInput(ToQt(url)));
}

bool HtmlPageView::CallScript(const std::string& function,
                              const std::vector<std::string>& arguments, std::string& result,
                              std::string& reason) {
  if (!complete_) {
    reason = "Failed to get HTML document COM object";
    return false;
  }
  // Name and arguments travel as one JSON array, so no text can break out of the script.
  QJsonArray call;
  call.append(ToQt(function));
  for (const std::string& argument : arguments) call.append(ToQt(argument));
  const QString script =
      QStringLiteral(
          "(function(a){var f=window[a[0]];"
          "if(typeof f!=='function')return {ok:false,error:'Cannot GetScript'};"
          "try{var r=f.apply(window,a.slice(1));"
          "return {ok:true,value:(r===undefined||r===null)?'':String(r)};}"
          "catch(e){return {ok:false,error:String(e)};}})(%1)")
          .arg(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));

  // The answer comes back through the event loop; wait for it, but not for ever. The
  // state is shared so that a late answer finds it alive.
  struct Pending {
    bool done = false;
    QVariant value;
    QEventLoop loop;
  };
  auto pending = std::make_shared<Pending>();
  page()->runJavaScript(script, [pending](const QVariant& value) {
    pending->value = value;
    pending->done = true;
    pending->loop.quit();
  });
  if (!pending->done) {
    QTimer::singleShot(kScriptTimeoutMs, &pending->loop, &QEventLoop::quit);
    pending->loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!pending->done) {
    reason = "The page did not answer in time";
    return false;
  }
  const QVariantMap answer = pending->value.toMap();
  if (!answer.value("ok").toBool()) {
    reason = FromQt(answer.value("error").toString());
    if (reason.empty()) reason = "Cannot GetScript";
    return false;
  }
  result = FromQt(answer.value("value").toString());
  return true;
}

}  // namespace tarq
