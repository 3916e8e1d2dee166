// The module base class: identity from the architecture file, the register table with its
// reading and writing, the parameter map and the selection state.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/CommentSource.h"
#include "framework/Page.h"
#include "framework/Register.h"
#include "project/ArchitectureFile.h"
#include "project/Settings.h"

namespace tarq {

class CModuleBase;
class HeaderFile;
class WarningList;
class Host;
struct InterruptUser;

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

  // The rest has neutral defaults so that a small test context needs only the above.
  virtual const ProjectSettings& GetSettings() const;
  // Part test n of the current part (cached results); false outside 0..47.
  virtual bool TestPart(int n) const { (void)n; return false; }
  // Sends a broadcast hint to every view and module page except the sender.
  virtual void Broadcast(int hint, CModuleBase* sender) { (void)hint; (void)sender; }
  // The document's warning list; none in a bare context.
  virtual WarningList* GetWarnings() { return nullptr; }
  // Deferred: mark a pass pending and post a wake-up; otherwise run the pass now.
  virtual void CheckAllWarnings(bool deferred) { (void)deferred; }
  virtual bool WarningsEnabled() const { return false; }
  // Folder of the program (architecture files, help/ and program-wide plugins).
  virtual std::string GetProgramFolder() const { return {}; }
  // Switches the right pane to a module's page; false when the page on screen refuses to
  // be left. Without views nothing can refuse.
  virtual bool ShowModule(CModuleBase* module) { (void)module; return true; }
  // The module whose page is on screen; none without views.
  virtual CModuleBase* GetCurrentModule() { return nullptr; }
  // The project settings for modules that edit them (the clock module's oscillator
  // frequencies); none in a bare context.
  virtual ProjectSettings* GetEditableSettings() { return nullptr; }
  // Names the user's action under way for the undo history ("SCI_0 Assign missing pins"),
  // where no single control names it; nothing records it in a bare context.
  virtual void NameNextStep(const std::string& name) { (void)name; }
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
  // Whether a text can stand as a define value (no line break, NUL, trailing backslash or
  // comment opener or closer); with `identifier`, whether it is a C identifier or empty
  // (interrupt-routine names). False with `message` filled otherwise.
  static bool CheckTextValue(const std::string& text, bool identifier, std::string& message);
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

  // ==== life cycle, update and warnings (ModuleLifecycle.cpp) ====
  // First step of the start: attaches the module to its document, resolves the linked
  // module by prefix and applies the "_RESET" parameters. Overrides declare their registers
  // and controls here and call the inherited version; partners are not looked at yet.
  virtual void InitModule(ModuleContext& doc);
  // Second step of the start, once every module of the document has its own state: the
  // module finds its partners (by capability) and hands them what they keep of it.
  virtual void OnModulesReady() {}
  // After loading: fill missing texts of text registers.
  virtual void FixDefaults() {}
  // Recompute derived values (frequencies, periods, baud rates) and show them.
  virtual void UpdateValues() {}
  // Enable, disable, show and hide controls by the current settings.
  virtual void UpdateEnables() {}
  // Evaluate this module's conditions and SetWarning each warning control, on every pass.
  virtual void CheckWarnings() {}
  // Checks every visible, enabled control of the page; true while there is nothing to check.
  virtual bool ValidateControls(bool showMessages);
  // Appends the comment block written above the module's defines.
  virtual void GenerateComment(std::string& text);
  // Document broadcast; hint 0 recomputes and, with warnings enabled, re-checks.
  virtual void OnUpdate(int hint, CModuleBase* sender);
  // Tells the module the project's part text.
  virtual void OnPartNumber(const std::string& partText) { (void)partText; }

  CModuleBase* GetLinkedModule() const { return linkedModule_; }
  // The module that created this one, or none.
  CModuleBase* GetParentModule() const { return parentModule_; }
  void SetParentModule(CModuleBase* parent) { parentModule_ = parent; }

  // Sets (or clears) the warning of one control: updates the document's warning list and
  // broadcasts hint 24. A control on a child page passes MakeWarningId(child, control).
  void SetWarning(uint32_t controlId, bool set, const std::string& controlText,
                  const std::string& message = {});

  // Value display. The text is returned and handed to the control `controlId` (0: none).
  // A null fallback shows "OFF" for 0; a null format prints "%.5f" without trailing zeros.
  // A format receives (double value, const char* unit prefix, const char* unit) for a
  // frequency and (double value, const char* unit) for a time.
  std::string ShowFrequency(uint32_t controlId, double hertz, bool autoUnit = true,
                            const char* fallbackText = nullptr, const char* format = nullptr);
  std::string ShowTime(uint32_t controlId, double seconds, bool autoUnit = true,
                       const char* fallbackText = nullptr, const char* format = nullptr);
  static std::string FrequencyText(double hertz, bool autoUnit, const char* fallbackText,
                                   const char* format);
  static std::string TimeText(double seconds, bool autoUnit, const char* fallbackText,
                              const char* format);

  // Help reference "file#destination", both trimmed; false when there is no file name.
  bool GetHelpFileAndDestination(std::string& file, std::string& destination) const;
  // Where the module's help opens: the document (resolved in <program folder>/help) and the
  // place in it. Plugin modules answer with their own help file and fall back to this.
  struct HelpTarget {
    std::string file;         // full path; empty when there is no reference
    std::string destination;  // page number or named destination; empty: the document only
    bool exists = false;      // the file is there
    bool systemOpen = false;  // not a PDF: the system's opener shows it
  };
  virtual HelpTarget GetHelpTarget() const;
  // Opens GetHelpTarget() through the host; true when the file exists.
  virtual bool ShowHelp();

  // Comment items, in order, for GenerateComment. Sources must outlive the module's use.
  void AddCommentItem(const CommentSource* source, uint32_t flags);
  void AddCommentItems(std::initializer_list<CommentItem> items);
  void ClearCommentItems() { commentItems_.clear(); }
  const std::vector<CommentItem>& GetCommentItems() const { return commentItems_; }

  // ==== import of settings (ModuleImport.cpp) ====
  // Whether `other` (of this or another project) can be a source of ImportFrom. When it
  // cannot, `forbidden` tells whether it is still listed, marked " (forbidden)".
  virtual bool CanImportFrom(const CModuleBase& other, bool& forbidden) const;
  // Copies register values from `source`, index by index up to the shorter table; only the
  // indexes in `selection` when one is given. With `ask`, a register whose name differs is
  // asked about (No by default); without, it is left out. True when anything was copied.
  bool ImportFrom(const CModuleBase& source, const std::vector<size_t>* selection, bool ask);
  // A register may be imported: neither NOIMPORT nor DUMMYREG.
  static bool IsImportable(const Register& reg);

  // ==== links (Links.cpp) ====
  // "tarq:PREFIX/CLASS[/controlId][?query]", "tarqna:..." when the target is not to be shown.
  std::string MakeLink(uint32_t controlId = 0, const std::string& query = {},
                       bool noActivate = false) const;
  // An anchor with MakeLink as target; an empty text shows the display name.
  std::string MakeLinkHtml(const std::string& text, uint32_t controlId = 0,
                           const std::string& query = {}, bool noActivate = false) const;
  // Follows a link this module received: other URLs go to the system opener, program links
  // to their target module. False when nothing could be followed.
  bool OpenLink(const std::string& url, const std::string& tipText);
  // Acts on this module as the link's target: focuses and explains the named control when
  // the page is on screen, then hands the query to OnLinkQuery and OnLinkParams.
  void NavigateTo(CModuleBase* source, const std::string& url, const std::string& tipText);
  // The control a link's control part names on the page as built: a number (C syntax) is a
  // control id, any other text the exact window text. Empty when there is no such control.
  ControlRef FindLinkControl(const std::string& control);
  // A link's query as a whole (a word such as FIXPINS) and as key=value pairs.
  virtual void OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) {
    (void)source; (void)url; (void)query;
  }
  virtual void OnLinkParams(CModuleBase* source, const std::string& url,
                            const std::map<std::string, std::string>& params) {
    (void)source; (void)url; (void)params;
  }

  // ---- registers summary ----
  // Whether a register gets a row (index -1 for a run-time register).
  virtual bool IsRegisterListed(int index, const Register& reg) const {
    (void)index; (void)reg;
    return true;
  }
  // Registers the module made at run time together with their bindings, outside its table.
  virtual std::vector<Register*> RunTimeRegisters() { return {}; }

  // ==== page model (ModulePage.cpp) ====
  // Declares the page: controls in tab order, captions, items, and which binding sits on
  // which control. Modules override it; the base page is empty.
  virtual void BuildPage(Page& page) { (void)page; }
  // Builds the page model when it does not exist (the page is then open) and runs its
  // first show. False only when no page could be made.
  bool CreatePage();
  void DestroyPage();
  Page* GetPage() const { return page_.get(); }
  bool HasPage() const { return page_ != nullptr; }
  // Whether the page is destroyed when another page replaces it (initially true).
  bool DestroyWhenHidden() const { return destroyWhenHidden_; }
  void SetDestroyWhenHidden(bool destroy) { destroyWhenHidden_ = destroy; }
  // First show of the page: control notifications pass from now on, and an UpdateEnables
  // is posted for the next idle or page step.
  virtual void OnInitialUpdate();
  // Page data exchange; saving fails when the page does not validate with messages.
  virtual bool DoDataExchange(bool saveAndValidate);
  // Runs the work posted by the first show; true when something ran.
  bool RunDeferredPageWork();
  bool HasDeferredPageWork() const { return deferredUpdateEnables_; }
  // Every binding reads its register (shown child pages too), UpdateEnables, hint 20.
  void RefreshAll();
  // Every binding writes its control into its register (child pages too), hint 21.
  void UpdateAll();
  // Every binding's self-test, child pages too.
  void SelfTestAll(const SelfTestLog& log);
  // Control lookup; ids of 0x10000 and more address a child page's control.
  ControlRef FindControlById(uint32_t id);
  ControlRef FindControlByText(const std::string& text);
  // Focuses the control (or the next tab stop after it), scrolls it into view and asks
  // the views for a balloon with the title and text. False without such a control.
  bool ShowToolTip(uint32_t controlId, const std::string& text, const std::string& title);
  // The module's own notification handler, after the control's binding. The base does the
  // common thing: buttons re-run UpdateEnables, edits and lists UpdateValues; links go to
  // OnLinkActivated.
  virtual void OnControlEvent(Page& page, Control& control, ControlEvent event);
  virtual void OnLinkActivated(Page& page, Control& control, const std::string& href,
                               const std::string& linkText);
  // Enable/show services over control ids (a spin follows its buddy's enable state).
  void EnableControls(std::initializer_list<uint32_t> ids, bool enable);
  void ShowControls(std::initializer_list<uint32_t> ids, bool show);
  bool EnableControl(uint32_t id, bool enable);
  bool ShowControl(uint32_t id, bool show);

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

  // ==== life cycle (ModuleLifecycle.cpp) ====
  // Puts a display text into a page control; the page layer fills this in.
  virtual void ShowControlText(uint32_t controlId, const std::string& text);
  // Shows a warning control: its text (when given), shown when set or given a text, dark red
  // when set. Warnings of controls that do not exist only enter the list.
  virtual void ShowWarningControl(uint32_t controlId, bool set, const std::string& controlText);
  void AppendCommentItems(std::string& text) const;

  CModuleBase* parentModule_ = nullptr;
  CModuleBase* linkedModule_ = nullptr;
  std::vector<CommentItem> commentItems_;

  // ==== page model (ModulePage.cpp) ====
  // What SetWarning last did to a control, applied again when the page is rebuilt.
  struct WarningControlState {
    bool set = false;
    bool shown = false;
    std::string text;  // the last text given (an empty text leaves the control's own)
  };
  void ApplyWarningControl(uint32_t controlId, const WarningControlState& state);

  std::unique_ptr<Page> page_;
  bool destroyWhenHidden_ = true;
  bool deferredUpdateEnables_ = false;
  std::map<uint32_t, WarningControlState> warningControls_;
};

}  // namespace tarq
