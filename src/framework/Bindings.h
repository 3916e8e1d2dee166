// Control bindings: a page control standing for a bit-field (or the text) of a register.
// A binding keeps control and register in step both ways, validates entries, describes
// itself for the header comment and exercises itself in the self-test. Bindings are
// members of their module; they are bound to registers in InitModule and attached to the
// page's controls whenever the page is built. Without a control they read and write the
// register directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/CommentSource.h"
#include "framework/Page.h"

namespace tarq {

class CModuleBase;
class Host;
struct Register;

// A caption as a label: line breaks become blanks, trailing colons go.
std::string CaptionLabel(std::string caption);

// A register held by its module and position: tables may grow and move their entries.
struct RegisterRef {
  CModuleBase* module = nullptr;
  size_t index = 0;

  Register* Get() const;
  explicit operator bool() const { return Get() != nullptr; }
  // The module's own register of that name; empty when there is none.
  static RegisterRef Named(CModuleBase& module, const std::string& name);
  // A register given by reference; empty when it is not one of the module's registers.
  static RegisterRef Of(CModuleBase& module, const Register& reg);
};

class CSetCtrl : public CommentSource {
 public:
  CSetCtrl() = default;
  ~CSetCtrl() override;
  CSetCtrl(const CSetCtrl&) = delete;
  CSetCtrl& operator=(const CSetCtrl&) = delete;

  // ---- the binding interface ----
  // The attached control, or null.
  Control* GetWnd() const;
  // Register bit-field -> control (nothing without a control).
  virtual void Refresh() = 0;
  // Control -> register bit-field, then the change is announced.
  virtual void Update() = 0;
  // Exercises every state, one log line per state.
  virtual void SelfTest(const SelfTestLog& log) { (void)log; }
  bool HasWindow() const { return GetWnd() != nullptr; }
  bool IsActive() const;
  bool IsDescribed() const override;
  // Remembers the flag, enables or disables the control, refreshes when enabling.
  void SetEnabled(bool enabled);
  uint32_t GetCtrlId() const { return ctrlId_; }
  std::string GetDescription(bool detail, uint32_t style) const override = 0;

  // ---- page side ----
  // Checks the current entry; with messages the user is told why it is refused (and may be
  // asked about rounding). The control gets the focus from the caller.
  virtual bool Validate(bool showMessages) { (void)showMessages; return true; }
  // A notification of the attached control; runs Update for the kind's notifications.
  virtual void OnControlEvent(ControlEvent event) = 0;
  // Switches hexadecimal and decimal display; false for kinds without numbers.
  virtual bool ToggleHexDec() { return false; }
  // Bound controls need an id of their own: the binding finds its control by it.
  void Attach(Page& page, Control& control);
  void Detach();
  Page* GetPage() const { return page_; }
  void OnWindowEnabled(bool enabled) { windowEnabled_ = enabled; }
  void OnWindowShown(bool shown) { windowShown_ = shown; }

  // ---- state ----
  virtual const char* GetKindName() const = 0;
  // Label after the caption rule (available once a control was attached).
  const std::string& GetLabel() const { return label_; }
  // Unit after "##" in the label, or empty.
  const std::string& GetUnit() const { return unit_; }
  void SetForcedDescription(bool forced) { forced_ = forced; }
  bool IsEnabledByModule() const { return enabledByModule_; }
  // The module whose page broadcasts this binding's changes; the register's module until
  // a page attaches the binding.
  CModuleBase* GetOwner() const { return owner_ ? owner_ : reg_.module; }
  const RegisterRef& GetRegisterRef() const { return reg_; }
  // Self-test text of the register ("Reg[NAME] = 0x0004"), or the custom-handler text.
  std::string RegisterText() const;

  // Blanks up to 40 characters (self-test columns).
  static std::string Padded(std::string text);
  // "<Description Text Missing>" for an empty label.
  std::string SelfTestLabel() const;

 protected:
  // Kinds pick up what the control brings (list items) before the first Refresh.
  virtual void OnAttach(Control& control) { (void)control; }
  // The label caption rule: a bit uses its own text, other kinds the control before it.
  virtual bool UsesOwnCaption() const { return false; }
  virtual bool HasHandlers() const { return false; }
  void SetGivenLabel(const std::string& label);
  Register* Reg() const { return reg_.Get(); }
  Host* GetHost() const;
  void Broadcast(int hint);
  void ShowError(const std::string& message);
  // Control changes made by the binding itself (no notification comes back).
  void ShowText(const std::string& text);
  void ShowSelection(int index);
  void ShowCheck(bool checked);
  void ShowBackground(bool invalid);
  void FocusControl();

  RegisterRef reg_;
  CModuleBase* owner_ = nullptr;
  Page* page_ = nullptr;
  uint32_t ctrlId_ = 0;
  bool forced_ = false;
  bool enabledByModule_ = false;
  bool windowEnabled_ = true;
  bool windowShown_ = true;
  std::string givenLabel_;  // label proper as bound, before the caption rule
  std::string label_;
  std::string unit_;
};

// Check box or radio button to one bit.
class CSetBit : public CSetCtrl {
 public:
  void Bind(RegisterRef reg, int bit, bool inverted = false, const std::string& label = {});
  void Refresh() override;
  void Update() override;
  void SelfTest(const SelfTestLog& log) override;
  std::string GetDescription(bool detail, uint32_t style) const override;
  void OnControlEvent(ControlEvent event) override;
  const char* GetKindName() const override { return "CSetBit"; }

  // The check state: from the control, or computed from the register without one.
  bool GetCheck() const;
  // Sets the check mark, or the register bit without a control.
  void SetCheck(bool checked);
  // The state the register holds.
  bool RegisterCheck() const;

 protected:
  bool UsesOwnCaption() const override { return true; }

 private:
  void WriteCheck(bool checked);
  uint32_t mask_ = 0;
  bool inverted_ = false;
};

// Drop-down list of named texts to the text of a text register.
class CSetEnum : public CSetCtrl {
 public:
  void Bind(RegisterRef reg, bool setIndexToo = false, const std::string& label = {});
  // Display texts and the value texts written for them; refills the list.
  void SetItems(std::vector<std::string> displayTexts, std::vector<std::string> valueTexts);
  void Refresh() override;
  void Update() override;
  std::string GetDescription(bool detail, uint32_t style) const override;
  void OnControlEvent(ControlEvent event) override;
  const char* GetKindName() const override { return "CSetEnum"; }

  // Selected item: the list's selection, or the item matching the register text.
  int GetIndex() const;
  void SetIndex(int index);
  const std::vector<std::string>& DisplayTexts() const { return displayTexts_; }
  const std::vector<std::string>& ValueTexts() const { return valueTexts_; }

 protected:
  void OnAttach(Control& control) override;

 private:
  int RegisterIndex() const;
  void WriteIndex(int index);
  bool setIndexToo_ = false;
  bool itemsGiven_ = false;
  std::vector<std::string> displayTexts_;
  std::vector<std::string> valueTexts_;
};

// List of modes to a bit-field; an editable combo also takes typed numbers.
class CSetMode : public CSetCtrl {
 public:
  using GetHandler = std::function<int()>;
  using SetHandler = std::function<void(int index)>;

  void Bind(RegisterRef reg, int lowBit, int highBit, uint32_t offset = 0,
            const std::string& label = {}, std::vector<uint32_t> table = {});
  // Module code instead of the field access.
  void SetHandlers(GetHandler get, SetHandler set, const std::string& label = {});
  // Replaces the value table and the item texts (and refills the list).
  void SetItems(std::vector<uint32_t> table, std::vector<std::string> items);
  void Refresh() override;
  void Update() override;
  void SelfTest(const SelfTestLog& log) override;
  bool Validate(bool showMessages) override;
  std::string GetDescription(bool detail, uint32_t style) const override;
  void OnControlEvent(ControlEvent event) override;
  const char* GetKindName() const override { return "CSetMode"; }

  // Index the register (or the get handler) holds; -1 when the table has no such value.
  int RegisterIndex() const;
  // Current index: the selection, the typed number of an editable combo, or the register's.
  // Invalid typed numbers report false (with a message when asked).
  bool GetCurrentIndex(int& index, bool showMessages);
  void SetIndex(int index);
  const std::vector<std::string>& Items() const { return items_; }
  bool IsEditable() const { return editable_; }
  uint32_t GetMask() const { return mask_; }
  uint32_t GetOffset() const { return offset_; }

 protected:
  void OnAttach(Control& control) override;
  bool HasHandlers() const override { return static_cast<bool>(get_) || static_cast<bool>(set_); }

 private:
  void WriteIndex(int index);
  // Item of an editable combo that carries this number, or -1.
  int ItemWithNumber(uint32_t number) const;
  std::string ItemText(int index) const;

  int lowBit_ = 0;
  uint32_t mask_ = 0;
  uint32_t offset_ = 0;
  std::vector<uint32_t> table_;
  GetHandler get_;
  SetHandler set_;
  bool editable_ = false;
  bool itemsGiven_ = false;
  std::vector<std::string> items_;
};

// A list whose register may hold a value no item stands for (an item the part lacks, kept
// from the header): while nothing is selected that value is kept and is no fault.
class CSetKeptMode : public CSetMode {
 public:
  bool Validate(bool showMessages) override;
};

// Edit box to a numeric bit-field.
class CSetValue : public CSetCtrl {
 public:
  using GetHandler = std::function<uint32_t()>;
  using SetHandler = std::function<void(uint32_t value)>;
  // Text -> value; false when the text is not acceptable.
  using ParseHandler = std::function<bool(const std::string& text, uint32_t& value)>;
  using FormatHandler = std::function<std::string(uint32_t value)>;

  // The field and how its numbers are entered. A negative low bit shifts the value left
  // into the register field (the register holds value / 2^-low). The maximum (relative to
  // the offset) defaults to the mask when 0.
  struct Field {
    int lowBit = 0;
    int highBit = 0;
    uint32_t offset = 0;
    std::string label;
    bool hex = true;
    uint32_t minimum = 0;
    uint32_t maximum = 0;
    bool zeroAllowed = false;
  };
  void Bind(RegisterRef reg, const Field& field);
  void SetHandlers(SetHandler set, GetHandler get, const std::string& label = {});
  void SetTextHandlers(ParseHandler parse, FormatHandler format);
  // A value shown as an empty text (and taken when an entry is refused).
  void SetSpecialValue(uint32_t value = 0xFFFFFFFFu, bool use = true);
  // printf-style text of the value with one integer conversion ("%u kHz"); an unusable
  // format is ignored.
  bool SetFormat(const std::string& format);
  void SetHex(bool hex) { hex_ = hex; }
  bool IsHex() const { return hex_; }

  void Refresh() override;
  void Update() override;
  void SelfTest(const SelfTestLog& log) override;
  bool Validate(bool showMessages) override;
  std::string GetDescription(bool detail, uint32_t style) const override;
  void OnControlEvent(ControlEvent event) override;
  bool ToggleHexDec() override;
  const char* GetKindName() const override { return "CSetValue"; }

  // The field value (offset included), or the get handler's.
  uint32_t GetValue() const;
  // Writes a value into the field (or hands it to the set handler).
  void SetValue(uint32_t value);
  std::string ValueText(uint32_t value) const;
  // Parses and range-checks a text; with messages the user is told why it is refused.
  bool ParseEntry(const std::string& text, uint32_t& value, bool showMessages);
  uint32_t GetMinimum() const { return minimum_; }
  uint32_t GetMaximum() const { return maximum_; }
  uint32_t GetOffset() const { return offset_; }

 protected:
  bool HasHandlers() const override { return static_cast<bool>(get_) || static_cast<bool>(set_); }

 private:
  bool ParseText(const std::string& text, uint32_t& value) const;
  bool InRange(const std::string& text, uint32_t value, bool showMessages);
  bool TakeSpecialValue();
  void RejectEntry(bool showMessages);

  int shift_ = 0;
  uint32_t mask_ = 0;
  uint32_t offset_ = 0;
  uint32_t minimum_ = 0;
  uint32_t maximum_ = 0;
  bool zeroAllowed_ = false;
  bool hex_ = true;
  bool useSpecial_ = false;
  uint32_t special_ = 0xFFFFFFFFu;
  std::string format_;
  GetHandler get_;
  SetHandler set_;
  ParseHandler parse_;
  FormatHandler formatHandler_;
};

// Edit box to the text of a text register.
class CSetString : public CSetCtrl {
 public:
  void Bind(RegisterRef reg, const std::string& label = {});
  void Refresh() override;
  void Update() override;
  std::string GetDescription(bool detail, uint32_t style) const override;
  void OnControlEvent(ControlEvent event) override;
  // The text must be able to stand as a define value (and be a C identifier when asked).
  bool Validate(bool showMessages) override;
  const char* GetKindName() const override { return "CSetString"; }
  // The text the control shows, or the register's text without a control.
  std::string GetText() const;
  // The text names an interrupt routine: only a C identifier (or nothing) is taken.
  void RequireIdentifier() { identifier_ = true; }

 private:
  bool identifier_ = false;
};

}  // namespace tarq
