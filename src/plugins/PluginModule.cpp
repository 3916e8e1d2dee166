#include "plugins/PluginModule.h"

#include <filesystem>
#include <vector>

#include "framework/Host.h"
#include "framework/Links.h"
#include "framework/TextUtil.h"
#include "plugins/Automation.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace fs = std::filesystem;

ArchitectureEntry CPluginModule::EntryOf(const CPluginInfo& info) {
  ArchitectureEntry entry;
  entry.name = info.id;
  entry.kind = info.className;
  entry.labelSuffix = info.displayName;
  entry.helpReference = info.helpFile;
  return entry;
}

CPluginModule::CPluginModule(CPluginInfo info)
    : CHtmlModule(EntryOf(info)), info_(std::move(info)) {
  SetStartUrl(info_.PageAddress());
  SetOpenExternally(info_.externalApp);
  SetDestroyWhenHidden(!LoadsEarly());
}

CPluginModule::~CPluginModule() {
  RaiseAutomationEvent(this, kEventProjectClosing);
  UnbindAutomationObjects(this);
}

void CPluginModule::Navigate(const std::string& url) {
  // Only a page on screen of the project the user works on counts.
  if (GetView() != nullptr && GetContext() == CurrentDocument()) SetCurrentPluginPageModule(this);
  CHtmlModule::Navigate(url);
}

void CPluginModule::CheckWarnings() {
  CHtmlModule::CheckWarnings();
  RaiseAutomationEvent(this, kEventCheckWarnings);
}

void CPluginModule::GenerateComment(std::string& text) {
  RaiseAutomationEvent(this, kEventGenerateComment);
  CHtmlModule::GenerateComment(text);
}

void CPluginModule::DeclareRegisters() {
  if (!info_.registers) {
    InitRegisters(nullptr, 0);
    return;
  }
  const auto& rows = info_.registers->Rows();
  std::vector<RegisterDecl> declarations;
  declarations.reserve(rows.size());
  for (const CPluginRegs::Row& row : rows)
    declarations.push_back({row.name.c_str(), row.defaultValue, row.flags});
  InitRegisters(declarations.data(), declarations.size());
  // A text register starts with its default text, whole.
  for (size_t i = 0; i < rows.size(); ++i) {
    Register& reg = registers_[i];
    if (!reg.Has(STRVALUE)) continue;
    reg.text = rows[i].defaultText;
    reg.value = reg.resetValue = reg.savedValue = reg.text.empty() ? 0 : 1;
    reg.savedText = reg.text;
  }
}

void CPluginModule::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  DeclareRegisters();
  CHtmlModule::InitModule(doc);
}

void CPluginModule::OnLinkParams(CModuleBase* source, const std::string& url,
                                 const std::map<std::string, std::string>& params) {
  CHtmlModule::OnLinkParams(source, url, params);
  LinkParts parts;
  uint32_t controlId = 0;
  if (!SplitProgramLink(url, parts) || !ReadCIntegerExact(parts.control, controlId)) return;
  auto text = params.find("tiptext");
  auto title = params.find("tiptitle");
  if (text == params.end()) return;
  RaiseAutomationEvent(this, kEventShowToolTip,
                       {controlId, text->second, title != params.end() ? title->second : ""});
}

void SplitPluginHelp(const std::string& folder, const std::string& helpFile, std::string& path,
                     int& page) {
  const size_t hash = helpFile.find('#');
  const std::string document = ReplaceAll(helpFile.substr(0, hash), "\\", "/");
  page = 0;
  if (hash != std::string::npos) {
    uint32_t number = 0;
    if (ReadCIntegerExact(helpFile.substr(hash + 1), number)) page = static_cast<int>(number);
  }
  path = document.empty() ? std::string() : (fs::path(folder) / document).string();
}

bool CPluginModule::ShowHelp() {
  std::string path;
  int page = 0;
  SplitPluginHelp(info_.Folder(), info_.helpFile, path, page);
  std::error_code error;
  if (path.empty() || info_.filePath.empty() || !fs::is_regular_file(path, error))
    return CHtmlModule::ShowHelp();
  if (GetContext() == nullptr) return false;
  Host& host = GetContext()->GetHost();
  if (EqualsNoCase(fs::path(path).extension().string(), ".pdf"))
    return host.OpenDocument(path, std::to_string(page));
  return host.ShellOpen(path);
}

}  // namespace tarq
