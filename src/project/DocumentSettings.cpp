#include "project/DocumentSettings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

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
void ReadClock(HeaderFile& header, const char* prefixedName, const char* plainName,
               ProjectSettings& settings, float& megahertz, std::string& valueText) {
  Definition* definition = Take(header, prefixedName);
  if (!definition) {
    definition = Take(header, plainName);
    if (!definition) return;
    settings.prefixedNames = false;
  }
  valueText = Trim(definition->value);
  long long hertz = 0;
  if (ReadClockHertz(valueText, hertz))
    megahertz = static_cast<float>(static_cast<double>(hertz) / 1e6);
}

}  // namespace

bool ReadClockHertz(std::string_view text, long long& hertz) {
  const std::string trimmed = Trim(text);
  const bool hex = trimmed.size() > 2 && trimmed[0] == '0' &&
                   (trimmed[1] == 'x' || trimmed[1] == 'X') &&
                   std::isxdigit(static_cast<unsigned char>(trimmed[2]));
  const char* begin = trimmed.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, hex ? 16 : 10);
  if (end == begin || errno == ERANGE) return false;
  hertz = value;
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

void ReadDocumentSettings(HeaderFile& header, ProjectSettings& settings, Options& options) {
  settings = ProjectSettings{};
  ReadPart(header, settings);

  if (Definition* mask = Take(header, "APPCFG_MASKNUM")) settings.maskNumber = Trim(mask->value);
  if (Definition* number = Take(header, "APPCFG_PARTNUM"))
    settings.partNumber = Trim(number->value);
  if (Definition* package = Take(header, "APPCFG_PACKAGE")) settings.package = Trim(package->value);

  ReadClock(header, "APPCFG_EXTCLK", "EXTCLK", settings, settings.extClkMHz, settings.extClkText);
  ReadClock(header, "APPCFG_EXTAL", "EXTAL", settings, settings.extalMHz, settings.extalText);

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
