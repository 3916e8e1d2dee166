// Feeds arbitrary bytes to the document settings reader (the APPCFG_ lines of a header) and
// to the per-user options file reader. The settings are written back as a save writes them
// and read again: what was read must come back the same, whatever the text was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "project/DocumentSettings.h"
#include "project/HeaderFile.h"
#include "project/HeaderWriter.h"
#include "project/OptionsFile.h"
#include "project/Settings.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void ReadBack(std::string_view text) {
  tarq::HeaderFile header(/*isMainHeader=*/true);
  header.path = "appconfig.h";
  header.Parse(text);
  tarq::ProjectSettings settings;
  tarq::Options options;
  std::vector<std::string> invalid;
  tarq::ReadDocumentSettings(header, settings, options, &invalid);
  tarq::ReplaceOlderPartName(settings);
  if (settings.partRow < 0) return;  // a save needs a part

  tarq::HeaderWriteContext context;
  context.settings = &settings;
  context.options = &options;
  context.now = 1700000000;
  const std::string written = tarq::BuildHeaderText(header, "", true, context);

  tarq::HeaderFile again(/*isMainHeader=*/true);
  again.path = "appconfig.h";
  again.Parse(written);
  tarq::ProjectSettings reread;
  tarq::Options rereadOptions;
  tarq::ReadDocumentSettings(again, reread, rereadOptions);
  tarq::ReplaceOlderPartName(reread);
  Check(reread.partRow == settings.partRow);
  Check(reread.prefixedNames == settings.prefixedNames ||
        (settings.extClkMHz <= 0 && !settings.extClkKeepText && settings.extalMHz <= 0 &&
         !settings.extalKeepText));
  Check(reread.extClkHz == settings.extClkHz && reread.extalHz == settings.extalHz);
  Check(reread.extClkKeepText == settings.extClkKeepText);
  Check(reread.extalKeepText == settings.extalKeepText);
  if (settings.extClkKeepText) Check(reread.extClkText == settings.extClkText);
  if (settings.extalKeepText) Check(reread.extalText == settings.extalText);
  Check(reread.briefView == settings.briefView);
  Check(rereadOptions.generateDefaults == options.generateDefaults);
}

void ReadOptionsFile(std::string_view text) {
  char path[] = "/tmp/tarq_settings_fuzz_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  if (written) {
    const tarq::Options options = tarq::LoadOptions(path);
    // Storing what was read and reading it again gives the same options.
    if (tarq::StoreOptions(path, options)) Check(tarq::LoadOptions(path) == options);
  }
  ::unlink(path);
  std::remove((std::string(path) + ".tmp").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ReadBack(text);
  if (size < 4096) ReadOptionsFile(text);
  return 0;
}
