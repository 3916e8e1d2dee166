// The automation object as in-page scripts of plugin pages see it, through Qt WebChannel
// as "tarq": the same methods as the socket; events arrive as signals.
#pragma once

#include <QObject>
#include <QVariant>
#include <memory>

#include "plugins/Automation.h"

class QWebEnginePage;

namespace tarq {

class CModuleBase;
class CProjDocBase;

class PageAutomation : public QObject, public AutomationEventSink {
  Q_OBJECT

 public:
  PageAutomation(CProjDocBase* doc, CModuleBase* module, QObject* parent = nullptr);
  ~PageAutomation() override;

  // Gives the page a web channel with this object as "tarq", and the channel's script.
  void Attach(QWebEnginePage* page);

  Q_INVOKABLE bool AssignModule(const QVariant& prefix);
  Q_INVOKABLE bool SetReg(const QVariant& name, const QVariant& value);
  Q_INVOKABLE QVariant GetReg(const QVariant& name);
  Q_INVOKABLE void SetWarning(const QVariant& warningId, const QVariant& set,
                              const QVariant& text = QVariant());
  Q_INVOKABLE void NavigatePage(const QVariant& url, const QVariant& tipText = QVariant());
  Q_INVOKABLE void SetComment(const QVariant& comment);
  Q_INVOKABLE QVariant CreateDynamicPlugin(const QVariant& id, const QVariant& className = {},
                                           const QVariant& treePath = {},
                                           const QVariant& headerFile = {},
                                           const QVariant& helpFile = {},
                                           const QVariant& deviceFilter = {});

  // ---- AutomationEventSink: a page cannot answer, so a tooltip is never handled here ----
  bool Deliver(const std::string& event, const nlohmann::json& params,
               nlohmann::json& answer) override;

 signals:
  void OnRefreshAll();
  void OnUpdateAll();
  void OnCheckWarnings();
  void OnShowToolTip(int tipId, const QString& text, const QString& title);
  void OnGenerateComment();
  void OnProjectClosing();

 private:
  std::unique_ptr<CConfigToolObj> object_;
};

}  // namespace tarq
