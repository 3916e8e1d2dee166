#include "ui/PageAutomation.h"

#include <QFile>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "ui/UiText.h"

namespace tarq {

namespace {

nlohmann::json ToJson(const QVariant& value) {
  if (value.isNull() || !value.isValid()) return nullptr;
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
      return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return value.toULongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
      const double d = value.toDouble();
      // Scripts have only doubles: a whole number is passed as one.
      if (d == static_cast<double>(static_cast<long long>(d))) return static_cast<long long>(d);
      return d;
    }
    default:
      return FromQt(value.toString());
  }
}

QVariant ToVariant(const nlohmann::json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number_unsigned()) return QVariant::fromValue(value.get<qulonglong>());
  if (value.is_number_integer()) return QVariant::fromValue(value.get<qlonglong>());
  if (value.is_number_float()) return value.get<double>();
  if (value.is_string()) return ToQt(value.get<std::string>());
  return {};
}

std::string Text(const QVariant& value) {
  return value.isValid() && !value.isNull() ? FromQt(value.toString()) : std::string();
}

}  // namespace

PageAutomation::PageAutomation(CProjDocBase* doc, CModuleBase* module, QObject* parent)
    : QObject(parent), object_(std::make_unique<CConfigToolObj>(doc)) {
  if (module != nullptr) object_->Bind(module);
  object_->AddSink(this);
}

PageAutomation::~PageAutomation() { object_->RemoveSink(this); }

void PageAutomation::Attach(QWebEnginePage* page) {
  auto* channel = new QWebChannel(page);
  channel->registerObject(QStringLiteral("tarq"), this);
  page->setWebChannel(channel);
  // The channel's own script, from Qt's resources, in every document the page loads.
  QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  if (!file.open(QIODevice::ReadOnly)) return;
  QWebEngineScript script;
  script.setName(QStringLiteral("qwebchannel"));
  script.setSourceCode(QString::fromUtf8(file.readAll()));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  page->scripts().insert(script);
}

bool PageAutomation::AssignModule(const QVariant& prefix) {
  return object_->AssignModule(Text(prefix));
}

bool PageAutomation::SetReg(const QVariant& name, const QVariant& value) {
  return object_->SetReg(Text(name), ToJson(value));
}

QVariant PageAutomation::GetReg(const QVariant& name) {
  return ToVariant(object_->GetReg(Text(name)));
}

void PageAutomation::SetWarning(const QVariant& warningId, const QVariant& set,
                                const QVariant& text) {
  object_->SetWarning(warningId.toUInt(), set.toBool(), Text(text));
}

void PageAutomation::NavigatePage(const QVariant& url, const QVariant& tipText) {
  object_->NavigatePage(Text(url), Text(tipText));
}

void PageAutomation::SetComment(const QVariant& comment) { object_->SetComment(Text(comment)); }

QVariant PageAutomation::CreateDynamicPlugin(const QVariant& id, const QVariant& className,
                                             const QVariant& treePath, const QVariant& headerFile,
                                             const QVariant& helpFile,
                                             const QVariant& deviceFilter) {
  return ToVariant(object_->CreateDynamicPlugin(Text(id), Text(className), Text(treePath),
                                                Text(headerFile), Text(helpFile),
                                                Text(deviceFilter)));
}

bool PageAutomation::Deliver(const std::string& event, const nlohmann::json& params,
                             nlohmann::json& answer) {
  answer = 0;
  if (event == kEventRefreshAll)
    emit OnRefreshAll();
  else if (event == kEventUpdateAll)
    emit OnUpdateAll();
  else if (event == kEventCheckWarnings)
    emit OnCheckWarnings();
  else if (event == kEventGenerateComment)
    emit OnGenerateComment();
  else if (event == kEventProjectClosing)
    emit OnProjectClosing();
  else if (event == kEventShowToolTip && params.is_array() && params.size() >= 3)
    emit OnShowToolTip(params[0].is_number() ? params[0].get<int>() : 0,
                       ToQt(params[1].is_string() ? params[1].get<std::string>() : ""),
                       ToQt(params[2].is_string() ? params[2].get<std::string>() : ""));
  return true;
}

}  // namespace tarq
