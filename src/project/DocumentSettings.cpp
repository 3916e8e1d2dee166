#include "project/DocumentSettings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/TextUtil.h"
#include "project/HeaderFile.h"
#include "project/KnownParts.h"

namespace tarq {

namespace {

// Looks a setting up and marks it taken, so it does not count as unrecognised.
Definition* Take(HeaderFile& header, const std::string& name) {
  Definition* definition = header.FindDefinition(name);
  if (definition) definition->used = true;
  return definition;
}

void ReadPart(HeaderFile& header, ProjectSettings& settings) {
  const auto& parts = KnownParts();
  for (int row = 0; row < kKnownPartCount; ++row) {
    if (!Take(header, parts[static_cast<size_t>(row)].name)) continue;
    settings.partRow = row;
    settings.partName = ReplaceAll(PartNameOfRow(row), "APPCFG_", "");
    return;
  }
}

// The prefixed name wins; the bare one switches the project to un-prefixed clock names.
// A value that is no plain number of hertz leaves the frequency at 0 and its text is kept
// to be written back as it stands.
void ReadClock(HeaderFile& header, const char* prefixedName, const char* plainName,
               ProjectSettings& settings, float& megahertz, uint32_t& hertz, std::string& valueText,
               bool& keepText, std::vector<std::string>* invalid) {
  Definition* definition = Take(header, prefixedName);
  const char* name = prefixedName;
  if (!definition) {
    definition = Take(header, plainName);
    if (!definition) return;
    name = plainName;
    settings.prefixedNames = false;
  }
  valueText = Trim(definition->value);
  uint32_t read = 0;
  if (ReadPlainHertz(valueText, read)) {
    hertz = read;
    megahertz = static_cast<float>(static_cast<double>(read) / 1e6);
    keepText = read == 0;
    return;
  }
  keepText = true;
  if (invalid) invalid->push_back(std::string("#define ") + name + " " + valueText);
}

}  // namespace

bool ReadClockHertz(std::string_view text, long long& hertz) {
  uint32_t value = 0;
  if (!ReadPlainHertz(text, value)) return false;
  hertz = value;
  return true;
}

bool ReadPlainHertz(std::string_view text, uint32_t& hertz) {
  const std::string_view trimmed = TrimView(text);
  size_t i = 0;
  int base = 10;
  if (trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X')) {
    base = 16;
    i = 2;
  }
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < trimmed.size(); ++i, ++digits) {
    const unsigned char c = static_cast<unsigned char>(trimmed[i]);
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && std::isxdigit(c))
      digit = std::tolower(c) - 'a' + 10;
    if (digit < 0) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (digits == 0) return false;
  // Only the C integer suffixes may follow ("8000000L", "8000000UL").
  const std::string_view suffix = trimmed.substr(i);
  if (suffix.size() > 3) return false;
  for (char c : suffix)
    if (c != 'u' && c != 'U' && c != 'l' && c != 'L') return false;
  hertz = static_cast<uint32_t>(value);
  return true;
}

bool ReplaceOlderPartName(ProjectSettings& settings) {
  if (settings.partRow < 0 || settings.partRow >= kKnownPartCount) return false;
  if (std::string_view(KnownParts()[static_cast<size_t>(settings.partRow)].name) != "CVX-36")
    return false;
  settings.partRow = kPartRowCVX08;
  settings.partName = PartNameOfRow(kPartRowCVX08);
  return true;
}

void ReadDocumentSettings(HeaderFile& header, ProjectSettings& settings, Options& options,
                          std::vector<std::string>* invalidLines) {
  settings = ProjectSettings{};
  ReadPart(header, settings);

  if (Definition* mask = Take(header, "APPCFG_MASKNUM")) settings.maskNumber = Trim(mask->value);
  if (Definition* number = Take(header, "APPCFG_PARTNUM"))
    settings.partNumber = Trim(number->value);
  if (Definition* package = Take(header, "APPCFG_PACKAGE")) settings.package = Trim(package->value);

  ReadClock(header, "APPCFG_EXTCLK", "EXTCLK", settings, settings.extClkMHz, settings.extClkHz,
            settings.extClkText, settings.extClkKeepText, invalidLines);
  ReadClock(header, "APPCFG_EXTAL", "EXTAL", settings, settings.extalMHz, settings.extalHz,
            settings.extalText, settings.extalKeepText, invalidLines);

  // The line is only written when defaults are left out, so its absence means "all written".
  options.generateDefaults = true;
  if (Definition* omitted = Take(header, "APPCFG_DFLTS_OMITTED")) {
    // Read like C's integer conversion: text that holds no number counts as 0.
    options.generateDefaults = std::strtol(omitted->value.c_str(), nullptr, 0) == 0;
  }

  settings.briefView = Take(header, "APPCFG_BRIEFVIEW") != nullptr;
  Take(header, "APPCFG_TARQ_VERSION");
}

}  // namespace tarq
