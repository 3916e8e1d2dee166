// Import of register values from another module of the same class, of this project or of
// another one read for the purpose.
#include <algorithm>
#include <set>
#include <string_view>

#include "framework/Capabilities.h"
#include "framework/Host.h"
#include "framework/Module.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"

namespace tarq {

namespace {

// Part tests of the two part groups whose clock, interrupt and SPI layouts differ.
constexpr int kClassicGroupTest = 33;
constexpr int kLaterGroupTest = 34;

// The register's name as the header spells it after the prefix: absolute names lose their
// '-' and, when they carry it, the module's own prefix, so SCI_0's "-SCI_0_SCIBR_INIT" and
// SCI_1's "SCIBR_INIT" compare equal.
std::string_view NameWithoutPrefix(const CModuleBase& module, const Register& reg) {
  std::string_view name = reg.name;
  if (!name.empty() && name.front() == '-') name.remove_prefix(1);
  const std::string& prefix = module.GetPrefix();
  if (name.size() > prefix.size() + 1 && name.substr(0, prefix.size()) == prefix &&
      name[prefix.size()] == '_')
    name.remove_prefix(prefix.size() + 1);
  return name;
}

std::string PartOf(const CModuleBase& module) {
  ModuleContext* context = module.GetContext();
  return context != nullptr ? context->GetSettings().partName : std::string();
}

// Modules whose register layout changed between the two part groups.
bool DiffersAcrossPartGroups(const CModuleBase& module) {
  return dynamic_cast<const ClockSource*>(&module) != nullptr ||
         dynamic_cast<const InterruptController*>(&module) != nullptr || module.GetClass() == "SPI";
}

}  // namespace

bool CModuleBase::IsImportable(const Register& reg) {
  return !reg.Has(NOIMPORT) && !reg.Has(DUMMYREG);
}

bool CModuleBase::CanImportFrom(const CModuleBase& other, bool& forbidden) const {
  forbidden = false;
  return &other != this && other.GetClass() == GetClass();
}

bool CModule::CanImportFrom(const CModuleBase& other, bool& forbidden) const {
  if (!CModuleBase::CanImportFrom(other, forbidden)) return false;
  forbidden = true;
  if (!DiffersAcrossPartGroups(*this)) return true;
  const std::string destinationPart = PartOf(*this);
  const std::string sourcePart = PartOf(other);
  for (int group : {kClassicGroupTest, kLaterGroupTest}) {
    if (TestPartName(destinationPart, group) && !TestPartName(sourcePart, group)) return false;
  }
  return true;
}

bool CModuleBase::ImportFrom(const CModuleBase& source, const std::vector<size_t>* selection,
                             bool ask) {
  const size_t count = std::min(registers_.size(), source.registers_.size());
  const std::set<size_t> chosen =
      selection != nullptr ? std::set<size_t>(selection->begin(), selection->end())
                           : std::set<size_t>();
  Host* host = ask ? HostInForce() : nullptr;

  // First pass: decide every index, so a Cancel leaves the module as it was.
  std::vector<size_t> toCopy;
  for (size_t i = 0; i < count; ++i) {
    if (selection != nullptr && chosen.count(i) == 0) continue;
    const Register& target = registers_[i];
    const Register& from = source.registers_[i];
    if (!IsImportable(target)) continue;
    if (NameWithoutPrefix(*this, target) != NameWithoutPrefix(source, from)) {
      if (host == nullptr) continue;
      const Answer answer = host->AskYesNoCancelDefaultNo(
          "The register names do not match! The " + GetDefineName(target) +
          " register value will set to value of the " + source.GetDefineName(from) +
          " register from the source project\n\nDo you want this to happen?");
      if (answer == Answer::Cancel) return false;
      if (answer != Answer::Yes) continue;
    }
    toCopy.push_back(i);
  }
  if (toCopy.empty()) return false;

  // Second pass: values and texts; saved copies, comments and flags stay, so the module
  // reads as modified where a value changed.
  for (size_t i : toCopy) {
    registers_[i].value = source.registers_[i].value;
    registers_[i].text = source.registers_[i].text;
  }
  if (HasPage()) RefreshAll();
  UpdateValues();
  // The warnings of this module and of those that depend on it follow at the next idle.
  if (context_ != nullptr) context_->CheckAllWarnings(true);
  return true;
}

}  // namespace tarq
