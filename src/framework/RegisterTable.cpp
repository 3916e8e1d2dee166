// The register table of a module: declaration, reading from a parsed header, writing the
// define lines and the parameter block, user entry, lookup, and the module parameter map.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "project/HeaderFile.h"

namespace tarq {

namespace {

// Define lines put their value after the name padded to this column, comments after this one.
constexpr size_t kValueColumn = 40;
constexpr size_t kCommentColumn = 50;
constexpr size_t kReservedRegisters = 200;

const char kInvalidValuesCaption[] = "Invalid values found (ignoring):\n\n";
const char kParameterBlockOpener[] = "/*. Internal Tarq parameters, do not edit!";

// A comment read from the header may come from a "//" comment and hold "*/", or start with
// '.', which would turn "/*" into the opener of an internal comment. Either would change how
// the written file reads back, so such comments are written with a blank in between.
std::string CommentForWriting(const std::string& comment) {
  std::string safe = ReplaceAll(comment, "*/", "* /");
  if (!safe.empty() && safe.front() == '.') safe.insert(safe.begin(), ' ');
  return safe;
}

// Exactly one C integer with an optional minus, as the user typed it. Unlike a plain 32-bit
// wrap, a magnitude beyond 32 bits is refused so "0x100000000" is not taken as 0.
bool ReadUserInteger(const std::string& text, uint32_t& value) {
  if (!ReadCIntegerExact(text, value)) return false;
  std::string digits = TrimLeft(text);
  if (!digits.empty() && digits.front() == '-') digits.erase(0, 1);
  errno = 0;
  const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, 0);
  return errno != ERANGE && magnitude <= 0xFFFFFFFFull;
}

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

}  // namespace

uint32_t Register::Limit() const {
  if (flags & DW8) return 0xFF;
  if (flags & DW16) return 0xFFFF;
  return 0xFFFFFFFF;
}

// ---- declaration ----

static Register MakeRegister(const RegisterDecl& declaration) {
  Register reg;
  const std::string declared = declaration.name ? declaration.name : "";
  const size_t cut = declared.find_first_of(" ~");
  reg.name = declared.substr(0, cut);
  if (cut != std::string::npos) {
    size_t noteStart = cut + 1;
    while (noteStart < declared.size() && declared[noteStart] == ' ') ++noteStart;
    reg.note = declared.substr(noteStart);
  }
  reg.resetValue = declaration.resetValue;
  reg.value = declaration.resetValue;
  reg.flags = declaration.flags;
  reg.savedValue = reg.value;
  reg.savedText = reg.text;
  return reg;
}

void CModuleBase::InitRegisters(const RegisterDecl* declarations, size_t count) {
  registers_.clear();
  registers_.reserve(std::max(kReservedRegisters, count));
  for (size_t i = 0; i < count; ++i) registers_.push_back(MakeRegister(declarations[i]));
}

Register& CModuleBase::AddRegister(const RegisterDecl& declaration) {
  registers_.push_back(MakeRegister(declaration));
  return registers_.back();
}

void CModuleBase::SetRegisterCount(size_t count) {
  // Only shrinks: entries beyond the table would have no name and would be written as junk.
  if (count < registers_.size()) registers_.erase(registers_.begin() + count, registers_.end());
}

void CModuleBase::ApplyResetParameters() {
  for (Register& reg : registers_) {
    std::string name = reg.name;
    if (!name.empty() && name.front() == '-') name.erase(0, 1);
    if (EndsWith(name, "_INIT")) name.replace(name.size() - 5, 5, "_RESET");
    uint32_t value = 0;
    if (GetParameterInt(name, value)) {
      reg.resetValue = value;
      reg.value = value;
    }
  }
}

// ---- reading ----

int CModuleBase::LoadDefines(HeaderFile& header) {
  int found = 0;
  std::string report;
  for (Register& reg : registers_) {
    reg.savedValue = reg.value;
    reg.savedText = reg.text;

    Definition* definition = nullptr;
    const std::string* valueText = nullptr;
    if (reg.Has(INTERNAL)) {
      valueText = header.FindParameter(GetPrefix(), reg.name);
    } else {
      definition = header.FindDefinition(GetDefineName(reg));
      if (definition) valueText = &definition->value;
    }
    if (!valueText) continue;

    // Texts are kept whole: a cut value or comment would be written back damaged.
    if (definition) reg.comment = definition->comment;
    reg.text = *valueText;
    if (reg.Has(STRVALUE)) {
      reg.value = 1;
      if (reg.Has(QUOTEDVALUE) && reg.text.size() >= 2 && reg.text.front() == '"' &&
          reg.text.back() == '"')
        reg.text = reg.text.substr(1, reg.text.size() - 2);
    } else if (reg.Has(NOVALUE)) {
      reg.value = 1;
    } else if (!ReadCIntegerPrefix(reg.text, reg.value)) {
      reg.value = reg.resetValue;
      report += "     #define " + GetDefineName(reg) + " " + reg.text + "\n";
    }

    reg.savedValue = reg.value;
    reg.savedText = reg.text;
    reg.flags |= LOADED;
    // Only a register that writes its definition takes it; a placeholder that is never
    // written leaves it to the unrecognised definitions, which keep it.
    if (definition && !reg.Has(DUMMYREG)) definition->used = true;
    ++found;
  }

  if (!report.empty()) {
    if (Host* host = HostInForce()) host->ShowMessage(kInvalidValuesCaption + report);
  }
  SetSelected(found > 0);
  rememberedSelected_ = IsSelected();
  SetDefineSource(&header);
  return found;
}

// ---- writing ----

std::string CModuleBase::FormatValue(const Register& reg, bool withSuffix) {
  if (reg.Has(STRVALUE)) return reg.text;
  // 32-bit decimal values are unsigned: 3000000000 must read back as it was written.
  if (reg.Has(DECVALUE))
    return reg.Has(DW32) ? Format("%u", reg.value) : Format("%d", static_cast<int>(reg.value));
  if (reg.Has(DW16)) return Format(withSuffix ? "0x%04XU" : "0x%04X", reg.value);
  if (reg.Has(DW32)) return Format(withSuffix ? "0x%08XU" : "0x%08X", reg.value);
  return Format(withSuffix ? "0x%02XU" : "0x%02X", reg.value);
}

const Options& CModuleBase::OptionsInForce() const {
  static const Options kDefaults;
  return context_ ? context_->GetOptions() : kDefaults;
}

Host* CModuleBase::HostInForce() const { return context_ ? &context_->GetHost() : nullptr; }

// The value of an INTERNAL register as its parameter line carries it.
static std::string ParameterValue(const Register& reg) {
  if (!reg.Has(STRVALUE)) return CModuleBase::FormatValue(reg, true);
  if (reg.value == 0) return {};
  return reg.Has(QUOTEDVALUE) ? "\"" + reg.text + "\"" : reg.text;
}

void CModuleBase::BuildDefineText(std::string& text, bool& changed) const {
  const Options& options = OptionsInForce();
  std::string defines;
  std::string parameters;
  changed = false;

  for (const Register& reg : registers_) {
    if (reg.Has(DUMMYREG)) continue;
    if (reg.Has(INTERNAL)) {
      parameters += reg.name + "=" + ParameterValue(reg) + "\n";
      continue;
    }
    if (reg.value == reg.resetValue) {
      if (!reg.Has(NODEFAULT) && !options.generateDefaults) continue;
    } else if (!reg.Has(NONCRITICAL)) {
      changed = true;
    }

    const std::string name = GetDefineName(reg);
    const size_t used = std::string("#define ").size() + name.size();
    const std::string padding(used < kValueColumn ? kValueColumn - used : 0, ' ');

    std::string line;
    if (reg.Has(NOVALUE)) {
      if (reg.value != 0)
        line = "#define " + name;
      else if (options.generateDefaults)
        line = "#undef " + name;
    } else if (!reg.Has(STRVALUE)) {
      line = "#define " + name + " " + padding + " " + FormatValue(reg, true);
    } else if (reg.value != 0) {
      const std::string value = reg.Has(QUOTEDVALUE) ? "\"" + reg.text + "\"" : reg.text;
      line = "#define " + name + " " + padding + " " + value;
      // A text read with a backslash at its end stood before a blank: keep the line whole.
      if (!value.empty() && value.back() == '\\') line += ' ';
    }
    if (line.empty()) continue;

    if (!reg.comment.empty() && options.keepUserComments) {
      PadTo(line, kCommentColumn);
      line += " /*" + CommentForWriting(reg.comment) + " */";
    }
    defines += line + "\n";
  }

  if (!parameters.empty()) {
    std::string block = TrimRight("\n[PARAMETERS:" + GetPrefix() + "]\n" + parameters);
    text += kParameterBlockOpener + ReplaceAll(block, "\n", "\n    ") + "\n.*/\n";
  }
  text += defines;
}

bool CModuleBase::ConfirmUnselectedChanges(bool changed) {
  if (!changed || IsSelected()) return true;
  Host* host = HostInForce();
  if (!host) return true;  // nobody to ask: the module stays out, as with "No"
  const Answer answer = host->AskYesNoCancel(
      "Warning: Module " + GetLabel() +
      " is not selected to be written into the configuration file. Any changes in this module "
      "will be lost!\n\nDo you want to keep changes in this module?");
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) SetSelected(true);
  return true;
}

bool CModuleBase::WriteDefines(std::string& text) {
  const size_t start = text.size();
  bool changed = false;
  BuildDefineText(text, changed);
  const bool keep = ConfirmUnselectedChanges(changed);
  // Only what this module appended goes; the caller's text before it stays as it was.
  if (!keep || !IsSelected()) text.resize(start);
  return keep;
}

// ---- user entry ----

bool CModuleBase::CheckTextValue(const std::string& text, bool identifier, std::string& message) {
  if (identifier && !text.empty()) {
    const auto isStart = [](char c) {
      return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
    };
    bool valid = isStart(text.front());
    for (char c : text)
      valid = valid && (isStart(c) || std::isdigit(static_cast<unsigned char>(c)));
    if (!valid) {
      message = "'" + text +
                "' is not a valid interrupt routine name: use a C identifier (letters, digits and "
                "'_', not beginning with a digit), or leave it empty.";
      return false;
    }
    return true;
  }
  const char* problem = nullptr;
  if (text.find_first_of("\r\n") != std::string::npos)
    problem = "a line break";
  else if (text.find('\0') != std::string::npos)
    problem = "a NUL character";
  else if (!text.empty() && text.back() == '\\')
    problem = "a backslash at its end";
  else if (text.find("/*") != std::string::npos || text.find("*/") != std::string::npos ||
           text.find("//") != std::string::npos)
    problem = "a comment opener or closer";
  if (problem == nullptr) return true;
  message =
      std::string("This text cannot stand in the configuration file: it holds ") + problem + ".";
  return false;
}

bool CModuleBase::ParseValue(Register& reg, const std::string& text, std::string& message) {
  if (reg.Has(STRVALUE)) {
    // The text becomes a define value: it must not break the header's lines or comments.
    if (!CheckTextValue(text, false, message)) return false;
    if (reg.Has(FLOATVALUE)) {
      double number = 0;
      const std::string trimmed = TrimRight(text);
      // strtod also reads "inf" and "nan"; a letter at the end marks those and unit texts.
      if (!ReadFloatExact(text, number) || trimmed.empty() || IsLetter(trimmed.back())) {
        message = "This value must be a floating point number";
        return false;
      }
    }
    reg.text = text;
    // A text register counts as having a value exactly when it has a text.
    reg.value = text.empty() ? 0 : 1;
    return true;
  }

  uint32_t value = 0;
  const uint32_t limit = reg.Limit();
  if (!ReadUserInteger(text, value) || (value & ~limit) != 0) {
    message = Format("This register value must be a number between 0 and 0x%x", limit);
    return false;
  }
  reg.value = value;
  return true;
}

// ---- lookup ----

std::string CModuleBase::GetDefineName(const Register& reg) const {
  if (!reg.name.empty() && reg.name.front() == '-') return reg.name.substr(1);
  return GetPrefix() + "_" + reg.name;
}

Register* CModuleBase::FindOwnRegister(const std::string& name) {
  std::string shortName;
  bool hasShortName = false;
  const std::string& prefix = GetPrefix();
  if (!prefix.empty() && StartsWith(name, prefix) && name.size() > prefix.size()) {
    shortName = name.substr(prefix.size() + 1);  // skips the separator after the prefix
    hasShortName = true;
  }
  const std::string absolute = "-" + name;
  for (Register& reg : registers_) {
    if (reg.name == name || reg.name == absolute || (hasShortName && reg.name == shortName))
      return &reg;
  }
  return nullptr;
}

Register* CModuleBase::FindRegister(const std::string& name, CModuleBase** owner) {
  if (owner) *owner = nullptr;
  if (Register* reg = FindOwnRegister(name)) {
    if (owner) *owner = this;
    return reg;
  }
  if (!owner || !context_) return nullptr;

  // A full define name starts with its module's prefix, which may itself hold up to two '_'.
  if (name.empty() || name.front() != '-') {
    size_t end = name.find('_');
    for (int parts = 1; parts <= 3; ++parts) {
      CModuleBase* module = context_->FindModule(name.substr(0, end), "");
      if (module && module != this) {
        if (Register* reg = module->FindOwnRegister(name)) {
          *owner = module;
          return reg;
        }
      }
      if (end == std::string::npos) break;
      end = name.find('_', end + 1);
    }
  }

  for (CModuleBase* module : context_->GetModules()) {
    if (!module || module == this) continue;
    if (Register* reg = module->FindOwnRegister(name)) {
      *owner = module;
      return reg;
    }
  }
  return nullptr;
}

// ---- modification ----

bool CModuleBase::IsModified() const {
  for (const Register& reg : registers_) {
    if (reg.Has(DUMMYREG) || reg.Has(NONCRITICAL)) continue;
    if (reg.value != reg.savedValue || reg.text != reg.savedText) return true;
  }
  return IsSelected() != rememberedSelected_;
}

void CModuleBase::MarkSaved() {
  for (Register& reg : registers_) {
    reg.savedValue = reg.value;
    reg.savedText = reg.text;
  }
  rememberedSelected_ = IsSelected();
}

bool CModuleBase::IsSelected() const { return IsSelectable() ? selected_ : !registers_.empty(); }

// ---- parameters ----

void CModuleBase::SetParameterText(const std::string& text) {
  parameterText_ = text;
  parameters_.clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      std::string key = Trim(line.substr(0, equals));
      if (!key.empty()) parameters_[key] = Trim(line.substr(equals + 1));
    }
    start = end + 1;
  }
}

bool CModuleBase::GetParameter(const std::string& name, std::string& text) const {
  const auto found = parameters_.find(name);
  if (found == parameters_.end()) {
    text.clear();
    return false;
  }
  text = found->second;
  return true;
}

bool CModuleBase::GetParameterInt(const std::string& name, uint32_t& value) const {
  std::string text;
  if (!GetParameter(name, text)) return false;
  uint32_t parsed = 0;
  if (!ReadCIntegerPrefix(text, parsed)) return false;
  value = parsed;
  return true;
}

bool CModuleBase::IsTrueText(const std::string& text) {
  if (!text.empty() && (text[0] == '1' || text[0] == 'Y' || text[0] == 'y')) return true;
  return EqualsNoCase(text, "true");
}

bool CModuleBase::IsFalseText(const std::string& text) {
  if (!text.empty() && (text[0] == '0' || text[0] == 'N' || text[0] == 'n')) return true;
  return EqualsNoCase(text, "false");
}

}  // namespace tarq
