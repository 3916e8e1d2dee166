// A module added by a plugin entry: its registers come from the entry's register list, its
// page is the entry's web page, and its definitions may live in a header of its own.
#pragma once

#include <map>
#include <string>

#include "framework/HtmlModule.h"
#include "plugins/PluginFile.h"

namespace tarq {

class CPluginModule : public CHtmlModule {
 public:
  // The architecture entry made from a plugin entry: name = id, kind = class, label suffix
  // = display name, help reference = help file.
  static ArchitectureEntry EntryOf(const CPluginInfo& info);

  explicit CPluginModule(CPluginInfo info);
  ~CPluginModule() override;

  const CPluginInfo& GetInfo() const { return info_; }
  bool IsEarlyLoad() const { return info_.earlyLoad; }
  bool IsExternalApp() const { return info_.externalApp; }
  // An early page keeps its view for the whole session: its script state lives there.
  bool LoadsEarly() const override { return info_.earlyLoad && !info_.externalApp; }

  // The register list, then the inherited steps ("_RESET" parameters).
  void InitModule(ModuleContext& doc) override;
  // The help file relative to the description file ("doc.pdf#12"); the framework's help
  // when that file does not exist.
  bool ShowHelp() override;

  // Objects that plugin applications create from now on bind to this module; then the
  // page (or, for an external application, the system) shows the document.
  void Navigate(const std::string& url) override;

  // The base work, then the matching event to the automation objects bound to the module.
  void CheckWarnings() override;
  // The event first: the application sets the comment that the module then writes.
  void GenerateComment(std::string& text) override;
  // A link to one of the page's controls with a tip: the page has no controls of Tarq's, so
  // the plugin application is asked to show the tip.
  void OnLinkParams(CModuleBase* source, const std::string& url,
                    const std::map<std::string, std::string>& params) override;

 private:
  void DeclareRegisters();

  CPluginInfo info_;
};

// The file and page of a help reference "document#page" relative to `folder`; a page that
// does not read as an integer is 0.
void SplitPluginHelp(const std::string& folder, const std::string& helpFile, std::string& path,
                     int& page);

}  // namespace tarq
