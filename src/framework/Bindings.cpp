// The five control bindings: register <-> control, entry checks, descriptions for the
// header comment and the self-test lines.
#include "framework/Bindings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"

namespace tarq {

namespace {

constexpr const char* kCustomHandlerText = "No Value Specified (Custom Handler)";
constexpr size_t kSelfTestColumn = 40;

uint32_t FieldMask(int lowBit, int highBit) {
  const int width = highBit - lowBit + 1;
  if (width <= 0) return 0;
  if (width >= 32) return 0xFFFFFFFFu;
  return (1u << width) - 1;
}

uint32_t ShiftRight(uint32_t value, int bits) { return bits >= 32 ? 0 : value >> bits; }
uint32_t ShiftLeft(uint32_t value, int bits) { return bits >= 32 ? 0 : value << bits; }

std::string Quoted(const std::string& text, uint32_t style) {
  return (style & 0x100) ? "\"" + text + "\"" : text;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Digits of one base; false without a digit or when the number does not fit 32 bits.
bool ReadDigits(std::string_view text, size_t& pos, unsigned base, size_t maxChars,
                uint32_t& value) {
  uint64_t number = 0;
  size_t count = 0;
  while (pos < text.size() && count < maxChars) {
    const char c = text[pos];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (digit >= base) break;
    number = number * base + digit;
    if (number > 0xFFFFFFFFull) return false;
    ++pos;
    ++count;
  }
  if (count == 0) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

// One integer as scanf reads it for a conversion letter: optional sign (wrapping like
// the C library), "0x" for x and i, a leading 0 for octal with i.
bool ReadConversion(std::string_view text, size_t& pos, char conversion, size_t width,
                    uint32_t& value) {
  const size_t limit = width == 0 ? std::numeric_limits<size_t>::max() : width;
  size_t used = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+') && used < limit) {
    negative = text[pos] == '-';
    ++pos;
    ++used;
  }
  unsigned base = 10;
  if (conversion == 'x' || conversion == 'X') base = 16;
  if (conversion == 'o') base = 8;
  if ((conversion == 'x' || conversion == 'X' || conversion == 'i') && pos + 1 < text.size() &&
      text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') && used + 2 < limit &&
      pos + 2 < text.size() && IsHexDigit(text[pos + 2])) {
    pos += 2;
    used += 2;
    base = 16;
  } else if (conversion == 'i' && pos < text.size() && text[pos] == '0') {
    base = 8;
  }
  if (!ReadDigits(text, pos, base, limit - used, value)) return false;
  if (negative) value = 0u - value;
  return true;
}

// A custom value format: exactly one integer conversion (d i u x X o) with flags, width
// and precision; length modifiers are dropped so the value is always passed as 32 bits.
// Anything else (strings, floats, '*', several conversions) makes the format unusable.
bool CleanIntegerFormat(const std::string& format, std::string& cleaned, char& conversion) {
  cleaned.clear();
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    cleaned += c;
    if (c != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      cleaned += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < format.size() && std::strchr("-+ #0", format[j])) cleaned += format[j++];
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
      cleaned += format[j++];
    if (j < format.size() && format[j] == '.') {
      cleaned += format[j++];
      while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
        cleaned += format[j++];
    }
    while (j < format.size() && std::strchr("hlLqjzt", format[j])) ++j;
    if (j >= format.size() || !std::strchr("diuxXo", format[j])) return false;
    conversion = format[j];
    cleaned += format[j];
    ++conversions;
    i = j;
  }
  return conversions == 1;
}

// Reads a text with a custom format the way "format%c" is scanned: the literal text before
// the number must match, the number must convert, and nothing may follow. The literal text
// after the number may be left out, but text that differs from it is refused.
bool MatchIntegerFormat(const std::string& format, std::string_view text, uint32_t& value) {
  size_t pos = 0;
  bool converted = false;
  auto skipBlanks = [&] {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  };
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      skipBlanks();
      continue;
    }
    if (c == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      skipBlanks();
      if (pos >= text.size()) return converted && pos == text.size();
      if (text[pos] != '%') return false;
      ++pos;
      ++i;
      continue;
    }
    if (c == '%') {
      size_t j = i + 1;
      while (j < format.size() && std::strchr("-+ #0", format[j])) ++j;
      size_t width = 0;
      while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
        width = width * 10 + static_cast<size_t>(format[j++] - '0');
      if (j < format.size() && format[j] == '.') {
        ++j;
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
      }
      if (j >= format.size()) return false;
      skipBlanks();
      if (!ReadConversion(text, pos, format[j], width, value)) return false;
      converted = true;
      i = j;
      continue;
    }
    if (pos >= text.size()) return converted;
    if (text[pos] != c) return false;
    ++pos;
  }
  return converted && pos == text.size();
}

}  // namespace

std::string CaptionLabel(std::string caption) {
  caption = ReplaceAll(std::move(caption), "\r\n", " ");
  std::replace(caption.begin(), caption.end(), '\n', ' ');
  std::replace(caption.begin(), caption.end(), '\r', ' ');
  caption = Trim(caption);
  while (!caption.empty() && caption.back() == ':') caption.pop_back();
  return TrimRight(caption);
}

// ---- RegisterRef ----

Register* RegisterRef::Get() const {
  if (!module || index >= module->Registers().size()) return nullptr;
  return &module->Registers()[index];
}

RegisterRef RegisterRef::Named(CModuleBase& module, const std::string& name) {
  const std::vector<Register>& registers = module.Registers();
  for (size_t i = 0; i < registers.size(); ++i) {
    if (registers[i].name == name) return {&module, i};
  }
  return {};
}

RegisterRef RegisterRef::Of(CModuleBase& module, const Register& reg) {
  const std::vector<Register>& registers = module.Registers();
  for (size_t i = 0; i < registers.size(); ++i) {
    if (&registers[i] == &reg) return {&module, i};
  }
  return {};
}

// ---- CSetCtrl ----

CSetCtrl::~CSetCtrl() { Detach(); }

Control* CSetCtrl::GetWnd() const {
  return page_ ? page_->Find(ctrlId_) : nullptr;
}

bool CSetCtrl::IsActive() const {
  const Control* control = GetWnd();
  return control && control->enabled;
}

bool CSetCtrl::IsDescribed() const {
  return forced_ || (enabledByModule_ && windowEnabled_ && windowShown_);
}

void CSetCtrl::SetEnabled(bool enabled) {
  enabledByModule_ = enabled;
  if (page_ && GetWnd()) page_->SetEnabled(ctrlId_, enabled);
  if (enabled) Refresh();
}

void CSetCtrl::Attach(Page& page, Control& control) {
  if (page_) Detach();
  if (control.binding && control.binding != this) control.binding->Detach();
  page_ = &page;
  ctrlId_ = control.id;
  control.binding = this;
  owner_ = page.GetModule();
  enabledByModule_ = true;
  windowEnabled_ = control.enabled;
  windowShown_ = control.shown;

  // The label: the bound text, and when that is empty or ends with a colon the caption
  // in front of the control (a button's own text).
  label_ = givenLabel_;
  if (label_.empty() || label_.back() == ':') {
    const Control* captionControl = UsesOwnCaption() ? &control : page.ControlBefore(control);
    const std::string caption = captionControl ? CaptionLabel(captionControl->text) : "";
    if (!caption.empty()) label_ = label_.empty() ? caption : label_ + " " + caption;
  }
  OnAttach(control);
  Refresh();
}

void CSetCtrl::Detach() {
  if (page_) {
    if (Control* control = page_->Find(ctrlId_); control && control->binding == this)
      control->binding = nullptr;
  }
  page_ = nullptr;
}

void CSetCtrl::SetGivenLabel(const std::string& label) {
  const size_t units = label.find("##");
  givenLabel_ = label.substr(0, units);
  unit_ = units == std::string::npos ? std::string() : label.substr(units + 2);
  if (!page_) label_ = givenLabel_;
}

std::string CSetCtrl::RegisterText() const {
  const Register* reg = Reg();
  if (HasHandlers() || !reg) return kCustomHandlerText;
  const int digits = reg->Has(DW8) ? 2 : reg->Has(DW16) ? 4 : 8;
  // Same as applying "Reg[%s] = 0x%%0%dx" twice, without trusting the name as a format.
  return "Reg[" + reg->name + "] = " + Format("0x%0*x", digits, reg->value);
}

std::string CSetCtrl::Padded(std::string text) {
  PadTo(text, kSelfTestColumn);
  return text;
}

std::string CSetCtrl::SelfTestLabel() const {
  return label_.empty() ? std::string("<Description Text Missing>") : label_;
}

Host* CSetCtrl::GetHost() const {
  CModuleBase* owner = GetOwner();
  if (!owner || !owner->GetContext()) return nullptr;
  return &owner->GetContext()->GetHost();
}

void CSetCtrl::Broadcast(int hint) {
  CModuleBase* owner = GetOwner();
  if (owner && owner->GetContext()) owner->GetContext()->Broadcast(hint, owner);
}

void CSetCtrl::ShowError(const std::string& message) {
  if (Host* host = GetHost()) host->ShowMessage(message, MessageIcon::Error);
}

void CSetCtrl::ShowText(const std::string& text) {
  Control* control = GetWnd();
  if (!control || control->text == text) return;
  control->text = text;
  if (control->kind == ControlKind::EditableCombo || control->kind == ControlKind::DropDownList) {
    auto it = std::find(control->items.begin(), control->items.end(), text);
    control->selection = it == control->items.end() ? -1 : static_cast<int>(it - control->items.begin());
  }
  page_->NotifyChanged(*control);
}

void CSetCtrl::ShowSelection(int index) {
  Control* control = GetWnd();
  if (!control) return;
  if (index < 0 || index >= static_cast<int>(control->items.size())) index = -1;
  control->selection = index;
  if (control->kind != ControlKind::ListBox) control->text = control->SelectedText();
  page_->NotifyChanged(*control);
}

void CSetCtrl::ShowCheck(bool checked) {
  Control* control = GetWnd();
  if (!control || control->checked == checked) return;
  control->checked = checked;
  page_->NotifyChanged(*control);
}

void CSetCtrl::ShowBackground(bool invalid) {
  Control* control = GetWnd();
  if (!control) return;
  std::optional<Rgb> colour;
  if (invalid) colour = kInvalidEntryColour;
  if (control->backgroundColour == colour) return;
  control->backgroundColour = colour;
  page_->NotifyChanged(*control);
}

void CSetCtrl::FocusControl() {
  if (Control* control = GetWnd()) page_->SetFocus(*control, true);
}

// ---- CSetBit ----

void CSetBit::Bind(RegisterRef reg, int bit, bool inverted, const std::string& label) {
  reg_ = reg;
  mask_ = bit >= 0 && bit < 32 ? 1u << bit : 0;
  inverted_ = inverted;
  SetGivenLabel(label);
  Refresh();
}

bool CSetBit::RegisterCheck() const {
  const Register* reg = Reg();
  if (!reg) return false;
  return ((reg->value & mask_) != 0) != inverted_;
}

bool CSetBit::GetCheck() const {
  const Control* control = GetWnd();
  return control ? control->checked : RegisterCheck();
}

void CSetBit::SetCheck(bool checked) {
  if (GetWnd()) ShowCheck(checked);
  else WriteCheck(checked);
}

void CSetBit::WriteCheck(bool checked) {
  Register* reg = Reg();
  if (!reg) return;
  reg->value &= ~mask_;
  if (checked != inverted_) reg->value |= mask_;
}

void CSetBit::Refresh() {
  if (GetWnd()) ShowCheck(RegisterCheck());
}

void CSetBit::Update() {
  WriteCheck(GetCheck());
  Broadcast(kHintCheckChanged);
}

void CSetBit::OnControlEvent(ControlEvent event) {
  if (event == ControlEvent::Clicked || event == ControlEvent::FocusLost) Update();
}

void CSetBit::SelfTest(const SelfTestLog& log) {
  const bool earlier = GetCheck();
  const Control* control = GetWnd();
  for (bool checked : {false, true}) {
    SetCheck(checked);
    Update();
    log(Format("SB[%4d]; CHKBOX_%s; %s; %s; %s", static_cast<int>(GetCtrlId()),
               checked ? "ON " : "OFF", Padded(RegisterText()).c_str(),
               Padded(control ? control->text : std::string()).c_str(),
               Padded(SelfTestLabel()).c_str()));
  }
  SetCheck(earlier);
  Update();
}

std::string CSetBit::GetDescription(bool detail, uint32_t style) const {
  if (!enabledByModule_) return {};
  if (!detail) return label_;
  const bool checked = GetCheck();
  const uint32_t words = style & 0xFF;
  if (words == 6) return checked ? label_ : std::string();
  const char* word;
  switch (words) {
    case 1: word = checked ? "Enabled " : "Disabled"; break;
    case 2: word = checked ? "On " : "Off"; break;
    case 3: word = checked ? "Yes" : "No "; break;
    case 4: word = checked ? "True " : "False"; break;
    case 5: word = checked ? "1" : "0"; break;
    default: word = checked ? "Enable " : "Disable"; break;
  }
  return label_ + ": " + word;
}

// ---- CSetEnum ----

void CSetEnum::Bind(RegisterRef reg, bool setIndexToo, const std::string& label) {
  reg_ = reg;
  setIndexToo_ = setIndexToo;
  SetGivenLabel(label);
  Refresh();
}

void CSetEnum::SetItems(std::vector<std::string> displayTexts, std::vector<std::string> valueTexts) {
  displayTexts_ = std::move(displayTexts);
  valueTexts_ = std::move(valueTexts);
  valueTexts_.resize(displayTexts_.size());
  itemsGiven_ = true;
  if (Control* control = GetWnd()) {
    control->items = displayTexts_;
    Refresh();
  }
}

void CSetEnum::OnAttach(Control& control) {
  if (!itemsGiven_) {
    // The list's own entries, each "display=value" (the whole entry when there is no '=').
    displayTexts_.clear();
    valueTexts_.clear();
    for (const std::string& entry : control.items) {
      const size_t equals = entry.find('=');
      if (equals == std::string::npos) {
        displayTexts_.push_back(Trim(entry));
        valueTexts_.push_back(Trim(entry));
      } else {
        displayTexts_.push_back(Trim(std::string_view(entry).substr(0, equals)));
        valueTexts_.push_back(Trim(std::string_view(entry).substr(equals + 1)));
      }
    }
  }
  control.items = displayTexts_;
}

int CSetEnum::RegisterIndex() const {
  const Register* reg = Reg();
  if (!reg) return -1;
  auto it = std::find(valueTexts_.begin(), valueTexts_.end(), reg->text);
  return it == valueTexts_.end() ? -1 : static_cast<int>(it - valueTexts_.begin());
}

int CSetEnum::GetIndex() const {
  const Control* control = GetWnd();
  return control ? control->selection : RegisterIndex();
}

void CSetEnum::SetIndex(int index) {
  if (GetWnd()) ShowSelection(index);
  else WriteIndex(index);
}

void CSetEnum::WriteIndex(int index) {
  Register* reg = Reg();
  if (!reg || index < 0 || static_cast<size_t>(index) >= valueTexts_.size()) return;
  reg->text = valueTexts_[static_cast<size_t>(index)];
  // The writer leaves out a text register whose value is 0: a chosen text must count.
  if (setIndexToo_) reg->value = static_cast<uint32_t>(index);
  else reg->value = reg->text.empty() ? 0 : 1;
}

void CSetEnum::Refresh() {
  if (GetWnd()) ShowSelection(RegisterIndex());
}

void CSetEnum::Update() {
  const int index = GetIndex();
  if (index < 0 || static_cast<size_t>(index) >= valueTexts_.size()) return;
  WriteIndex(index);
  Broadcast(kHintChoiceChanged);
}

void CSetEnum::OnControlEvent(ControlEvent event) {
  if (event == ControlEvent::SelectionChanged || event == ControlEvent::FocusLost) Update();
}

std::string CSetEnum::GetDescription(bool detail, uint32_t style) const {
  if (!enabledByModule_) return {};
  if (!detail) return label_;
  const int index = GetIndex();
  const std::string text = index >= 0 && static_cast<size_t>(index) < displayTexts_.size()
                               ? displayTexts_[static_cast<size_t>(index)]
                               : std::string();
  return label_ + ": " + Quoted(text, style) + " " + unit_;
}

// ---- CSetMode ----

void CSetMode::Bind(RegisterRef reg, int lowBit, int highBit, uint32_t offset,
                    const std::string& label, std::vector<uint32_t> table) {
  reg_ = reg;
  lowBit_ = std::max(lowBit, 0);
  mask_ = FieldMask(lowBit, highBit);
  offset_ = offset;
  table_ = std::move(table);
  SetGivenLabel(label);
  Refresh();
}

void CSetMode::SetHandlers(GetHandler get, SetHandler set, const std::string& label) {
  get_ = std::move(get);
  set_ = std::move(set);
  if (!label.empty()) SetGivenLabel(label);
  Refresh();
}

void CSetMode::SetItems(std::vector<uint32_t> table, std::vector<std::string> items) {
  table_ = std::move(table);
  items_ = std::move(items);
  itemsGiven_ = true;
  if (Control* control = GetWnd()) {
    control->items = items_;
    Refresh();
  }
}

void CSetMode::OnAttach(Control& control) {
  editable_ = control.kind == ControlKind::EditableCombo;
  if (itemsGiven_) control.items = items_;
  else items_ = control.items;
}

int CSetMode::RegisterIndex() const {
  if (get_) return get_();
  const Register* reg = Reg();
  if (!reg) return -1;
  const uint32_t field = ShiftRight(reg->value, lowBit_) & mask_;
  if (table_.empty()) return static_cast<int>(field);
  auto it = std::find(table_.begin(), table_.end(), field);
  return it == table_.end() ? -1 : static_cast<int>(it - table_.begin());
}

int CSetMode::ItemWithNumber(uint32_t number) const {
  const Control* control = GetWnd();
  const std::vector<std::string>& items = control ? control->items : items_;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& text = items[i];
    const size_t mark = text.find("(=");
    uint32_t carried = 0;
    const bool read = mark != std::string::npos
                          ? ReadCIntegerPrefix(std::string_view(text).substr(mark + 2), carried)
                          : ReadCIntegerExact(Trim(text), carried);
    if (read && carried == number) return static_cast<int>(i);
  }
  return -1;
}

std::string CSetMode::ItemText(int index) const {
  const Control* control = GetWnd();
  const std::vector<std::string>& items = control ? control->items : items_;
  if (editable_) {
    // Editable combos show numbers: the index plus the offset, as an item or bare.
    if (index < 0) return {};
    const uint32_t number = static_cast<uint32_t>(index) + offset_;
    const int item = ItemWithNumber(number);
    return item >= 0 ? items[static_cast<size_t>(item)] : Format("%u", number);
  }
  if (index < 0 || static_cast<size_t>(index) >= items.size()) return {};
  return items[static_cast<size_t>(index)];
}

void CSetMode::Refresh() {
  Control* control = GetWnd();
  if (!control) return;
  const int index = RegisterIndex();
  if (!editable_) {
    ShowSelection(index);
    return;
  }
  if (index < 0) {
    control->selection = -1;
    control->text.clear();
    page_->NotifyChanged(*control);
    return;
  }
  const uint32_t number = static_cast<uint32_t>(index) + offset_;
  int item = ItemWithNumber(number);
  if (item < 0) {
    control->items.push_back(Format("%u", number));
    item = static_cast<int>(control->items.size()) - 1;
  }
  ShowSelection(item);
}

bool CSetMode::GetCurrentIndex(int& index, bool showMessages) {
  const Control* control = GetWnd();
  if (!control) {
    index = RegisterIndex();
    return index >= 0;
  }
  if (!editable_) {
    index = control->selection;
    if (index < 0 || static_cast<size_t>(index) >= control->items.size()) return false;
    return table_.empty() || static_cast<size_t>(index) < table_.size();
  }
  // A typed number, or the number an item carries after "(=".
  const std::string& text = control->text;
  const size_t mark = text.find("(=");
  uint32_t number = 0;
  const bool read = mark != std::string::npos
                        ? ReadCIntegerPrefix(std::string_view(text).substr(mark + 2), number)
                        : ReadCIntegerExact(Trim(text), number);
  const uint64_t lowest = offset_;
  const uint64_t highest = static_cast<uint64_t>(offset_) + mask_;
  const bool fitsTable =
      table_.empty() || static_cast<uint64_t>(number) - offset_ < table_.size();
  if (!read || number < lowest || number > highest || !fitsTable) {
    if (showMessages) {
      ShowError(Format("Please enter a value between %d and %d", static_cast<int>(offset_),
                       static_cast<int>(offset_ + mask_)));
      FocusControl();
    }
    return false;
  }
  index = static_cast<int>(number - offset_);
  return true;
}

void CSetMode::WriteIndex(int index) {
  if (set_) {
    set_(index);
    return;
  }
  Register* reg = Reg();
  if (!reg || index < 0) return;
  uint32_t value = static_cast<uint32_t>(index);
  if (!table_.empty()) {
    if (static_cast<size_t>(index) >= table_.size()) return;
    value = table_[static_cast<size_t>(index)];
  }
  reg->value &= ~ShiftLeft(mask_, lowBit_);
  reg->value |= ShiftLeft(value & mask_, lowBit_);
}

void CSetMode::SetIndex(int index) {
  if (!GetWnd()) {
    WriteIndex(index);
    return;
  }
  if (editable_) ShowText(ItemText(index));
  else ShowSelection(index);
}

void CSetMode::Update() {
  int index = -1;
  if (!GetCurrentIndex(index, false)) return;
  WriteIndex(index);
  Broadcast(kHintChoiceChanged);
}

bool CSetMode::Validate(bool showMessages) {
  int index = -1;
  if (GetCurrentIndex(index, showMessages)) return true;
  // An editable combo has told the user already.
  if (showMessages && !editable_) {
    ShowError("Selection is not valid");
    FocusControl();
  }
  return false;
}

bool CSetKeptMode::Validate(bool showMessages) {
  int index = -1;
  if (GetCurrentIndex(index, false)) return true;
  const Control* control = GetWnd();
  const bool nothingSelected = !control || control->selection < 0;
  if (nothingSelected && RegisterIndex() < 0) return true;
  return CSetMode::Validate(showMessages);
}

void CSetMode::OnControlEvent(ControlEvent event) {
  if (event == ControlEvent::SelectionChanged || event == ControlEvent::TextChanged ||
      event == ControlEvent::FocusLost)
    Update();
}

void CSetMode::SelfTest(const SelfTestLog& log) {
  Control* control = GetWnd();
  const std::vector<std::string> items = control ? control->items : items_;
  const int earlierSelection = control ? control->selection : -1;
  const std::string earlierText = control ? control->text : std::string();
  const Register* reg = Reg();
  const uint32_t earlierValue = reg ? reg->value : 0;
  int earlierIndex = -1;
  const bool earlierValid = GetCurrentIndex(earlierIndex, false);

  for (size_t i = 0; i < items.size(); ++i) {
    if (control) ShowSelection(static_cast<int>(i));
    else WriteIndex(static_cast<int>(i));
    Update();
    log(Format("SM[%4d]; LBITEM[%02d]; ", static_cast<int>(GetCtrlId()), static_cast<int>(i)) +
        Padded(RegisterText()) + "; " + Padded(items[i]) + "; " + Padded(SelfTestLabel()));
  }

  if (control) {
    control->selection = earlierSelection;
    control->text = earlierText;
    page_->NotifyChanged(*control);
  }
  Update();
  // A state that Update cannot write (no valid selection) must not leave the last test
  // item in the register.
  if (!earlierValid && !HasHandlers()) {
    if (Register* target = Reg()) target->value = earlierValue;
  }
}

std::string CSetMode::GetDescription(bool detail, uint32_t style) const {
  if (!enabledByModule_) return {};
  if (!detail) return label_;
  std::string text;
  if (const Control* control = GetWnd()) text = editable_ ? control->text : control->SelectedText();
  else text = ItemText(RegisterIndex());
  std::string description = (style & 0x200) ? std::string() : label_ + ": ";
  return description + Quoted(text, style) + " " + unit_;
}

// ---- CSetValue ----

void CSetValue::Bind(RegisterRef reg, const Field& field) {
  reg_ = reg;
  shift_ = field.lowBit;
  mask_ = FieldMask(field.lowBit, field.highBit);
  offset_ = field.offset;
  hex_ = field.hex;
  minimum_ = field.minimum;
  maximum_ = field.maximum == 0 ? mask_ : field.maximum;
  zeroAllowed_ = field.zeroAllowed;
  SetGivenLabel(field.label);
  Refresh();
}

void CSetValue::SetHandlers(SetHandler set, GetHandler get, const std::string& label) {
  set_ = std::move(set);
  get_ = std::move(get);
  if (!label.empty()) SetGivenLabel(label);
  Refresh();
}

void CSetValue::SetTextHandlers(ParseHandler parse, FormatHandler format) {
  parse_ = std::move(parse);
  formatHandler_ = std::move(format);
  Refresh();
}

void CSetValue::SetSpecialValue(uint32_t value, bool use) {
  special_ = value;
  useSpecial_ = use;
  Refresh();
}

bool CSetValue::SetFormat(const std::string& format) {
  std::string cleaned;
  char conversion = 0;
  if (!format.empty() && !CleanIntegerFormat(format, cleaned, conversion)) return false;
  format_ = cleaned;
  Refresh();
  return true;
}

uint32_t CSetValue::GetValue() const {
  if (get_) return get_();
  const Register* reg = Reg();
  if (!reg) return offset_;
  const uint32_t field = shift_ >= 0 ? ShiftRight(reg->value, shift_) : ShiftLeft(reg->value, -shift_);
  return offset_ + (mask_ & field);
}

void CSetValue::SetValue(uint32_t value) {
  if (set_) {
    set_(value);
    return;
  }
  Register* reg = Reg();
  if (!reg) return;
  const uint32_t field = (value - offset_) & mask_;
  if (shift_ >= 0) {
    reg->value &= ~ShiftLeft(mask_, shift_);
    reg->value |= ShiftLeft(field, shift_);
  } else {
    reg->value &= ~ShiftRight(mask_, -shift_);
    reg->value |= ShiftRight(field, -shift_);
  }
}

std::string CSetValue::ValueText(uint32_t value) const {
  if (formatHandler_) return formatHandler_(value);
  if (useSpecial_ && value == special_) return {};
  if (!format_.empty()) {
    const char conversion = format_[format_.find_last_of("diuxXo")];
    if (conversion == 'd' || conversion == 'i')
      return Format(format_.c_str(), static_cast<int>(value));
    return Format(format_.c_str(), value);
  }
  return hex_ ? Format("0x%X", value) : Format("%u", value);
}

bool CSetValue::ParseText(const std::string& text, uint32_t& value) const {
  if (parse_) return parse_(text, value);
  if (!format_.empty()) return MatchIntegerFormat(format_, text, value);
  size_t pos = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    pos = 2;
    return ReadDigits(text, pos, 16, text.size(), value) && pos == text.size();
  }
  return ReadConversion(text, pos, 'u', 0, value) && pos == text.size();
}

bool CSetValue::InRange(const std::string& text, uint32_t value, bool showMessages) {
  if (!parse_ && !text.empty() && TrimLeft(text).front() == '-') {
    if (showMessages) {
      ShowError("Entered value must not be negative.");
      FocusControl();
    }
    return false;
  }
  const uint64_t lowest = static_cast<uint64_t>(offset_) + minimum_;
  const uint64_t highest = static_cast<uint64_t>(offset_) + maximum_;
  if ((value >= lowest || (value == 0 && zeroAllowed_)) && value <= highest) return true;
  if (showMessages) {
    const bool above = value > highest;
    const uint32_t bound = static_cast<uint32_t>(above ? highest + 1 : lowest - 1);
    const std::string number =
        hex_ ? Format("0x%x", bound) : Format("%d", static_cast<int>(bound));
    ShowError(std::string("Entered value must be ") + (above ? "lower than " : "greater than ") +
              number);
    FocusControl();
  }
  return false;
}

bool CSetValue::ParseEntry(const std::string& text, uint32_t& value, bool showMessages) {
  const std::string entry = Trim(text);
  if (!ParseText(entry, value)) {
    if (showMessages) {
      ShowError("Invalid value entered!");
      FocusControl();
    }
    return false;
  }
  return InRange(entry, value, showMessages);
}

bool CSetValue::TakeSpecialValue() {
  SetValue(special_);
  ShowText(ValueText(special_));
  ShowBackground(false);
  return true;
}

void CSetValue::Refresh() {
  if (!GetWnd()) return;
  ShowText(ValueText(GetValue()));
  ShowBackground(false);
}

void CSetValue::Update() {
  const Control* control = GetWnd();
  if (!control) return;
  const std::string entry = Trim(control->text);
  bool valid = false;
  uint32_t value = 0;
  if (useSpecial_ && entry.empty()) {
    // The special value shows as an empty box.
    SetValue(special_);
    valid = true;
  } else if (ParseEntry(entry, value, false)) {
    SetValue(value);
    valid = true;
  }
  if (valid) Broadcast(kHintValueChanged);
  ShowBackground(!valid);
}

bool CSetValue::Validate(bool showMessages) {
  const Control* control = GetWnd();
  if (!control) return true;
  const std::string entry = Trim(control->text);
  if (useSpecial_ && entry.empty()) return TakeSpecialValue();
  uint32_t value = 0;
  if (!ParseEntry(entry, value, showMessages)) {
    if (useSpecial_ && showMessages) return TakeSpecialValue();
    ShowBackground(true);
    return false;
  }
  SetValue(value);
  const uint32_t readBack = GetValue();
  if (readBack == value) {
    ShowBackground(false);
    return true;
  }
  // The field cannot hold the entry exactly. Only the user can accept the nearest value.
  if (!showMessages) return false;
  Host* host = GetHost();
  const std::string question = Format(
      "The value of '%s' (%s) is not valid and should be rounded.The nearest acceptable value "
      "is '%s'.\n\nAccept?",
      label_.c_str(), ValueText(value).c_str(), ValueText(readBack).c_str());
  if (host && host->AskYesNo(question, MessageIcon::Question) == Answer::Yes) {
    ShowText(ValueText(readBack));
    ShowBackground(false);
    return true;
  }
  if (useSpecial_) return TakeSpecialValue();
  FocusControl();
  return false;
}

void CSetValue::OnControlEvent(ControlEvent event) {
  if (event == ControlEvent::TextChanged || event == ControlEvent::FocusLost) Update();
}

bool CSetValue::ToggleHexDec() {
  const Control* control = GetWnd();
  if (!control) return false;
  const std::string text = ToLower(TrimView(control->text));
  hex_ = !StartsWith(text, "0x");
  Refresh();
  return true;
}

void CSetValue::SelfTest(const SelfTestLog& log) {
  const uint32_t earlier = GetValue();
  const bool window = HasWindow();
  if (maximum_ >= minimum_) {
    const uint64_t range = static_cast<uint64_t>(maximum_) - minimum_ + 1;
    const uint64_t count = std::min<uint64_t>(range, 50);
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t step = range <= 50 ? i : (static_cast<uint64_t>(maximum_) - minimum_) * i / count;
      const uint32_t testValue = static_cast<uint32_t>(offset_ + minimum_ + step);
      if (window) {
        ShowText(ValueText(testValue));
        Update();
      } else {
        SetValue(testValue);
      }
      log(Format("ED[%4d]; 0x%08X; ", static_cast<int>(GetCtrlId()), testValue) +
          Padded(RegisterText()) + "; " + Padded(Format("Test Value %u", testValue)) + "; " +
          Padded(SelfTestLabel()));
    }
  }
  SetValue(earlier);
  Refresh();
}

std::string CSetValue::GetDescription(bool detail, uint32_t style) const {
  if (!enabledByModule_) return {};
  if (!detail) return label_;
  const uint32_t value = GetValue();
  std::string text;
  if ((style & 0xFF) == 2) text = Format((style & 0x200) ? "%x" : "0x%x", value);
  else text = ValueText(value);
  std::string description = label_.empty() ? std::string() : label_ + ": ";
  description += Quoted(text, style);
  if (!unit_.empty()) description += " " + unit_;
  return description;
}

// ---- CSetString ----

void CSetString::Bind(RegisterRef reg, const std::string& label) {
  reg_ = reg;
  SetGivenLabel(label);
  Refresh();
}

void CSetString::Refresh() {
  if (!GetWnd()) return;
  const Register* reg = Reg();
  ShowText(reg && reg->value != 0 ? reg->text : std::string());
}

bool CSetString::Validate(bool showMessages) {
  const Control* control = GetWnd();
  if (!control) return true;
  std::string message;
  if (CModuleBase::CheckTextValue(Trim(control->text), identifier_, message)) {
    ShowBackground(false);
    return true;
  }
  ShowBackground(true);
  if (showMessages) {
    if (Host* host = GetHost()) host->ShowMessage(message, MessageIcon::Exclamation);
  }
  return false;
}

void CSetString::Update() {
  const Control* control = GetWnd();
  Register* reg = Reg();
  if (!control || !reg) return;
  // A text that cannot stand in the header never reaches the register.
  std::string message;
  if (!CModuleBase::CheckTextValue(Trim(control->text), identifier_, message)) return;
  // Kept whole: a cut text would be written back damaged.
  reg->text = Trim(control->text);
  reg->value = reg->text.empty() ? 0 : 1;
}

void CSetString::OnControlEvent(ControlEvent event) {
  if (event == ControlEvent::FocusLost || event == ControlEvent::TextSetByProgram) Update();
}

std::string CSetString::GetText() const {
  if (const Control* control = GetWnd()) return control->text;
  const Register* reg = Reg();
  return reg && reg->value != 0 ? reg->text : std::string();
}

std::string CSetString::GetDescription(bool detail, uint32_t style) const {
  if (!enabledByModule_) return {};
  if (!detail) return label_;
  return label_ + ": " + Quoted(GetText(), style) + " " + unit_;
}

}  // namespace tarq
