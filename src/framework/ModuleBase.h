// The module base class: identity from the architecture file, the register table with its
// reading and writing, the parameter map and the selection state.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/Register.h"
#include "project/Settings.h"

namespace tarq {

class CModuleBase;
class HeaderFile;
class Host;

// One module line of the architecture file.
struct ArchitectureEntry {
  std::string name;          // instance name and define prefix, e.g. SCI_0
  std::string kind;          // module factory key, e.g. SCI
  std::string linkedModule;  // another module's name or "NONE"
  std::string interrupts;    // part after the first ':' lists vector numbers
  std::string labelSuffix;   // shown after " - " in the tree
  std::string helpReference; // "document#destination"
  std::string displayName;   // from the two-part "!display!suffix" form of the label
};

// What a module needs from the document it belongs to. The project document implements it;
// tests can supply a small one of their own.
class ModuleContext {
 public:
  virtual ~ModuleContext() = default;
  virtual Host& GetHost() = 0;
  virtual const Options& GetOptions() const = 0;
  // First module in list order with this prefix and, when kind is not empty, this kind.
  virtual CModuleBase* FindModule(const std::string& prefix, const std::string& kind) = 0;
  // Every module in document order.
  virtual std::vector<CModuleBase*> GetModules() = 0;
};

class CModuleBase {
 public:
  explicit CModuleBase(const ArchitectureEntry& entry);
  virtual ~CModuleBase();
  CModuleBase(const CModuleBase&) = delete;
  CModuleBase& operator=(const CModuleBase&) = delete;

  // ---- identity ----
  const std::string& GetPrefix() const { return entry_.name; }
  const std::string& GetClass() const { return entry_.kind; }
  const ArchitectureEntry& GetEntry() const { return entry_; }
  // Display name, or the prefix when there is none.
  std::string GetDisplayName() const;
  // Display name (or prefix) followed by " - " and the class when the two differ.
  std::string GetLabel() const;

  void SetContext(ModuleContext* context) { context_ = context; }
  ModuleContext* GetContext() const { return context_; }

  // ---- register table ----
  void InitRegisters(const RegisterDecl* declarations, size_t count);
  // Appends one register at run time (plugins and modules that grow their table).
  Register& AddRegister(const RegisterDecl& declaration);
  std::vector<Register>& Registers() { return registers_; }
  const std::vector<Register>& Registers() const { return registers_; }
  size_t GetRegisterCount() const { return registers_.size(); }
  // Keeps only the first `count` registers (smaller part variants).
  void SetRegisterCount(size_t count);

  // Overrides reset values (and current values) from "..._RESET" module parameters.
  void ApplyResetParameters();
  // Reads every register from the header; returns how many were found. The module becomes
  // selected exactly when one or more were found. Unreadable numbers are reported once.
  virtual int LoadDefines(HeaderFile& header);
  // Appends the parameter block and the define lines; false when the user cancels the
  // "not selected" question.
  virtual bool WriteDefines(std::string& text);

  static std::string FormatValue(const Register& reg, bool withSuffix);
  // Sets a register from user text; false with `message` filled when not acceptable.
  static bool ParseValue(Register& reg, const std::string& text, std::string& message);
  std::string GetDefineName(const Register& reg) const;
  // Finds a register by name here and, when `owner` is given, in the other modules.
  Register* FindRegister(const std::string& name, CModuleBase** owner = nullptr);
  Register* FindOwnRegister(const std::string& name);

  virtual bool IsModified() const;
  virtual void MarkSaved();

  // ---- parameters from the architecture file ----
  void SetParameterText(const std::string& text);
  const std::string& GetParameterText() const { return parameterText_; }
  const std::map<std::string, std::string>& GetParameters() const { return parameters_; }
  bool GetParameter(const std::string& name, std::string& text) const;
  bool GetParameterInt(const std::string& name, uint32_t& value) const;
  static bool IsTrueText(const std::string& text);
  static bool IsFalseText(const std::string& text);

  // ---- selection ----
  virtual void SetSelected(bool selected) { selected_ = selected; }
  virtual bool IsSelected() const;
  virtual bool IsSelectable() const { return !registers_.empty(); }

  // ---- define source ----
  void SetDefineSource(HeaderFile* header) { defineSource_ = header; }
  bool IsDefineSource(const HeaderFile* header) const { return defineSource_ == header; }
  HeaderFile* GetDefineSource() const { return defineSource_; }

 protected:
  // Builds the define lines and the parameter block without asking anything; `changed`
  // tells whether a critical register differs from its reset value.
  void BuildDefineText(std::string& text, bool& changed) const;
  // The module-level "not selected" question; false when the user cancels.
  bool ConfirmUnselectedChanges(bool changed);
  const Options& OptionsInForce() const;
  Host* HostInForce() const;

  ArchitectureEntry entry_;
  std::vector<Register> registers_;
  std::map<std::string, std::string> parameters_;
  std::string parameterText_;
  bool selected_ = false;
  bool rememberedSelected_ = false;
  HeaderFile* defineSource_ = nullptr;
  ModuleContext* context_ = nullptr;
};

}  // namespace tarq
