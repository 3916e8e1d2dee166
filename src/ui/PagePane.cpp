#include "ui/PagePane.h"

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "framework/HtmlModule.h"
#include "project/ProjDoc.h"
#include "ui/HtmlPageView.h"
#include "ui/PageRenderer.h"
#include "ui/UiText.h"

namespace tarq {

PagePane::PagePane(CProjDocBase& document, QWidget* parent) : QWidget(parent), document_(document) {
  setObjectName("PagePane");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  caption_ = new QLabel(this);
  caption_->setObjectName("PageCaption");
  caption_->setTextFormat(Qt::PlainText);
  caption_->setContentsMargins(10, 6, 10, 4);
  QFont bold = caption_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  caption_->setFont(bold);
  column->addWidget(caption_);

  stack_ = new QStackedWidget(this);
  scroll_ = new QScrollArea(stack_);
  scroll_->setObjectName("PageScrollArea");
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  stack_->addWidget(scroll_);
  column->addWidget(stack_, 1);
  document_.AddObserver(this);
}

PagePane::~PagePane() {
  document_.RemoveObserver(this);
  Clear();
}

PageRenderer* PagePane::Renderer() const { return renderer_.data(); }
HtmlPageView* PagePane::HtmlView() const { return htmlView_.data(); }

bool PagePane::CommitCurrentPage() {
  if (!current_ || !current_->HasPage()) return true;
  return current_->DoDataExchange(true);
}

void PagePane::Leave() {
  if (renderer_) {
    renderer_->Detach();
    renderer_->hide();
    // Deleted later: the input that switched pages may come from one of its widgets.
    if (scroll_->widget() == renderer_) scroll_->takeWidget();
    renderer_->deleteLater();
    renderer_ = nullptr;
  }
  if (htmlView_) {
    stack_->removeWidget(htmlView_);
    htmlView_->hide();
    if (current_ && current_->DestroyWhenHidden()) {
      htmlView_->DetachModule();
      htmlView_->deleteLater();
    } else if (current_) {
      keptViews_[current_] = htmlView_;
    }
    htmlView_ = nullptr;
  }
  if (current_ && current_->HasPage()) {
    current_->GetPage()->CloseToolTip();
    if (current_->DestroyWhenHidden()) {
      toDestroy_.insert(current_);
      QTimer::singleShot(0, this, [this] { DestroyHiddenPages(); });
    }
  }
  current_ = nullptr;
}

void PagePane::DestroyHiddenPages() {
  std::set<CModuleBase*> pages;
  pages.swap(toDestroy_);
  for (CModuleBase* module : pages) {
    if (module != current_ && module->HasPage() && module->DestroyWhenHidden()) module->DestroyPage();
  }
}

bool PagePane::Show(CModuleBase* module) {
  if (module == current_) return true;
  if (!CommitCurrentPage()) return false;
  Leave();
  // The caption reads like the module's node in the tree.
  const TreeNode* node = module ? document_.GetTree().FindNode(module) : nullptr;
  caption_->setText(node ? ToQt(node->text) : module ? ToQt(module->GetLabel()) : QString());
  if (!module) return true;
  toDestroy_.erase(module);
  current_ = module;
  module->CreatePage();

  if (auto* html = dynamic_cast<CHtmlModule*>(module)) {
    HtmlPageView* view = nullptr;
    if (auto kept = keptViews_.find(module); kept != keptViews_.end()) {
      view = kept->second;
      keptViews_.erase(kept);
    }
    const bool fresh = view == nullptr;
    if (fresh) view = new HtmlPageView(*html, [this, module] { return current_ == module; }, stack_);
    htmlView_ = view;
    stack_->addWidget(view);
    stack_->setCurrentWidget(view);
    view->show();
    // The start URL loads once the view is the active one; a kept view shows what it has.
    if (fresh || html->GetView() != view) {
      html->AttachView(view);
    } else {
      html->Navigate(html->GetShownUrl().empty() ? html->GetStartUrl() : html->GetShownUrl());
    }
  } else if (Page* page = module->GetPage()) {
    renderer_ = new PageRenderer(*page);
    renderer_->SetScrollArea(scroll_);
    scroll_->setWidget(renderer_);
    stack_->setCurrentWidget(scroll_);
  }
  emit pageShown(module);
  // The page's first show left its enables for the idle moment.
  document_.GetHost().PostWakeUp();
  return true;
}

void PagePane::LoadEarlyPages() {
  for (CModuleBase* module : document_.GetModules()) {
    auto* html = dynamic_cast<CHtmlModule*>(module);
    if (html == nullptr || !html->LoadsEarly() || keptViews_.count(module) != 0) continue;
    module->CreatePage();
    auto* view = new HtmlPageView(*html, [this, module] { return current_ == module; }, stack_);
    view->hide();
    keptViews_[module] = view;
    html->LoadInBackground(view);
  }
}

void PagePane::Clear() {
  Leave();
  caption_->clear();
  toDestroy_.clear();
  for (auto& [module, view] : keptViews_) {
    if (!view) continue;
    view->DetachModule();
    view->deleteLater();
  }
  keptViews_.clear();
}

void PagePane::FocusPage() {
  if (renderer_) {
    renderer_->FocusPage();
  } else if (htmlView_) {
    htmlView_->setFocus(Qt::OtherFocusReason);
  }
}

void PagePane::RunDeferredWork() {
  if (current_) current_->RunDeferredPageWork();
}

bool PagePane::ExecuteCommand(uint32_t command) {
  if (!current_ || !current_->HasPage()) return false;
  return current_->GetPage()->ExecuteCommand(command);
}

void PagePane::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  // The modules are about to go: no page may outlive its module.
  if (hint == kHintDocumentClosing) Clear();
}

}  // namespace tarq
