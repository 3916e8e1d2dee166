#include "project/HeaderWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "framework/Host.h"
#include "framework/TextUtil.h"
#include "project/DocumentSettings.h"
#include "project/HeaderFile.h"
#include "project/KnownParts.h"

#ifndef TARQ_VERSION_TEXT
#define TARQ_VERSION_TEXT "0.0.0.0"
#endif

namespace tarq {

namespace fs = std::filesystem;

namespace {

// English names whatever the process locale is: the banner must not change with the
// user's language settings.
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "%a, %d/%b/%Y, %H:%M:%S" of the local time, as the C locale prints it. SOURCE_DATE_EPOCH,
// when set to a number of seconds, stands for the time (in UTC), so builds can reproduce a
// header byte for byte.
std::string BannerDate(std::time_t now) {
  bool utc = false;
  if (now == 0) {
    now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
      char* end = nullptr;
      errno = 0;
      const long long seconds = std::strtoll(epoch, &end, 10);
      if (*end == '\0' && errno == 0 && seconds >= 0) {
        now = static_cast<std::time_t>(seconds);
        utc = true;
      }
    }
  }
  std::tm local{};
  if (!(utc ? gmtime_r(&now, &local) : localtime_r(&now, &local))) return {};
  return Format("%s, %02d/%s/%d, %02d:%02d:%02d", kWeekdays[local.tm_wday % 7], local.tm_mday,
                kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                local.tm_sec);
}

// A value read from a header that ends in a backslash (it stood before a blank there) gets
// the blank back, so the written line does not join the next one.
std::string LineSafe(const std::string& value) {
  return !value.empty() && value.back() == '\\' ? value + " " : value;
}

// Whole hertz of a clock setting. The exact hertz (read or typed) and then the integer read
// from the header are kept while the megahertz value still matches them, so single
// precision never alters a value.
unsigned long long ClockHertz(float megahertz, uint32_t hertz, const std::string& valueText) {
  if (hertz != 0 && static_cast<float>(static_cast<double>(hertz) / 1e6) == megahertz) return hertz;
  long long original = 0;
  if (ReadClockHertz(valueText, original) &&
      static_cast<float>(static_cast<double>(original) / 1e6) == megahertz)
    return static_cast<unsigned long long>(original);
  return static_cast<unsigned long long>(std::llround(static_cast<double>(megahertz) * 1e6));
}

// One clock line: the number of hertz, or the text as read while the frequency is unset and
// the read value was no plain number.
void AppendClockLine(std::string& text, const char* prefix, const char* name, float megahertz,
                     uint32_t hertz, const std::string& valueText, bool keepText) {
  if (megahertz > 0) {
    text += Format("#define %s%s %lluL\n", prefix, name, ClockHertz(megahertz, hertz, valueText));
  } else if (keepText) {
    text += Format("#define %s%s", prefix, name);
    if (!valueText.empty()) text += " " + LineSafe(valueText);
    text += "\n";
  }
}

void AppendSettingsLines(std::string& text, const ProjectSettings& settings,
                         const Options& options) {
  if (settings.partRow >= 0 && settings.partRow < kKnownPartCount)
    text += Format("#define %s\n", KnownParts()[static_cast<size_t>(settings.partRow)].name);
  if (!settings.partNumber.empty())
    text += "#define APPCFG_PARTNUM  " + LineSafe(settings.partNumber) + "\n";
  if (!settings.package.empty())
    text += "#define APPCFG_PACKAGE  " + LineSafe(settings.package) + "\n";
  // The mask number is taken from the header like the other settings, so a save must not
  // drop it.
  if (!settings.maskNumber.empty())
    text += "#define APPCFG_MASKNUM  " + LineSafe(settings.maskNumber) + "\n";
  const char* prefix = settings.prefixedNames ? "APPCFG_" : "";
  AppendClockLine(text, prefix, "EXTCLK", settings.extClkMHz, settings.extClkHz,
                  settings.extClkText, settings.extClkKeepText);
  AppendClockLine(text, prefix, "EXTAL", settings.extalMHz, settings.extalHz, settings.extalText,
                  settings.extalKeepText);
  if (!options.generateDefaults) text += "#define APPCFG_DFLTS_OMITTED 1\n";
  if (settings.briefView) text += "#define APPCFG_BRIEFVIEW\n";
  text += "#define APPCFG_TARQ_VERSION " + VersionDefineValue(TARQ_VERSION_TEXT) + "\n";
}

// POSIX stands in for the read-only attribute: a file its owner may not write.
bool IsReadOnly(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) return false;
  return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

// Asks before overriding a write protection; false when the user keeps it.
bool ConfirmOverwrite(const std::string& path, const std::string& question, Host* host) {
  if (!IsReadOnly(path)) return true;
  if (!host || host->AskOkCancel(question) != Answer::Ok) return false;
  std::error_code error;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
  return true;
}

void Report(Host* host, const std::string& text) {
  if (host) host->ShowMessage(text, MessageIcon::Exclamation);
}

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// "\r\n" for every line break of generated text that is a lone "\n".
std::string WithCrlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

void SetReason(const HeaderWriteContext& context, const std::string& reason) {
  if (context.failureReason) *context.failureReason = reason;
}

// Writes all of `text` to a new file beside `target` and forces it to the disk; the name of
// that file on success. On failure nothing is left behind and `error` holds errno.
bool WriteTemporary(const std::string& target, std::initializer_list<std::string_view> pieces,
                    std::string& temporary, int& error) {
  const fs::path targetPath(target);
  const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + targetPath.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = errno;
    return false;
  }
  temporary = pattern;
  // The new file takes the old one's permissions (mkstemp makes it private).
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    // The owner stays the file's owner where the system lets us say so (a save as root).
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not allowed: the new file keeps our owner, as a copy would.
    }
    ::fchmod(fd, old.st_mode & 07777);
  } else {
    ::fchmod(fd, 0666 & ~CurrentUmask());
  }
  error = 0;
  for (const std::string_view text : pieces) {
    size_t done = 0;
    while (error == 0 && done < text.size()) {
      const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
      if (wrote < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      done += static_cast<size_t>(wrote);
    }
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    temporary.clear();
    return false;
  }
  return true;
}

// The previous header becomes the backup in one step: a second name for the old file (or a
// copy of it) is made beside the backup and renamed over it, so a failure leaves the old
// backup as it was.
bool MakeBackup(const std::string& target, const std::string& backup, int& error) {
  const std::string staging = backup + ".tarq-new";
  ::unlink(staging.c_str());
  if (::link(target.c_str(), staging.c_str()) != 0) {
    std::error_code copyError;
    fs::copy_file(target, staging, fs::copy_options::overwrite_existing, copyError);
    if (copyError) {
      error = copyError.value();
      ::unlink(staging.c_str());
      return false;
    }
  }
  if (::rename(staging.c_str(), backup.c_str()) != 0) {
    error = errno;
    ::unlink(staging.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string VersionDefineValue(const std::string& versionText) {
  int parts[4] = {0, 0, 0, 0};
  std::sscanf(versionText.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
  for (int& part : parts) part = part > 255 ? 255 : (part < 0 ? 0 : part);
  return Format("0x%02x%02x%02x%02xL", parts[0], parts[1], parts[2], parts[3]);
}

std::string BackupPathOf(const std::string& headerPath) {
  return fs::path(headerPath).replace_extension(".bak").string();
}

namespace {

// The text around the module text: preamble, banner and settings before it, the end marker
// and the trailer after it.
struct HeaderFrame {
  std::string head;
  std::string tail;
};

HeaderFrame BuildFrame(const HeaderFile& header, bool isMain, const HeaderWriteContext& context) {
  HeaderFrame frame;
  std::string& text = frame.head;
  text.reserve(header.preamble.size() + 1024);
  text += header.preamble;
  text += "\n\n/*." + std::string(73, '*') + "\n";
  text += "*\n";
  text += "*  File generated by Tarq " + BannerDate(context.now) + "\n";
  text += "*\n";
  text += std::string(76, '*') + ".*/\n\n";
  if (isMain) {
    const ProjectSettings settings = context.settings ? *context.settings : ProjectSettings{};
    const Options options = context.options ? *context.options : Options{};
    AppendSettingsLines(text, settings, options);
  }
  text += "\n";
  frame.tail = "\n/*.         End of autogenerated code\n";
  frame.tail += std::string(70, '*') + " ..*/\n\n";
  const size_t trailerStart = header.trailer.find_first_not_of("\r\n");
  if (trailerStart != std::string::npos) frame.tail.append(header.trailer, trailerStart);
  return frame;
}

}  // namespace

std::string BuildHeaderText(const HeaderFile& header, const std::string& moduleText, bool isMain,
                            const HeaderWriteContext& context) {
  const HeaderFrame frame = BuildFrame(header, isMain, context);
  if (!header.crlf) {
    std::string text;
    text.reserve(frame.head.size() + moduleText.size() + frame.tail.size());
    text += frame.head;
    text += moduleText;
    text += frame.tail;
    return text;
  }
  // A "\r\n" header stays one: the generated lines get the file's line breaks, the user's
  // text before and after them keeps its bytes.
  const size_t preambleSize = header.preamble.size();
  std::string crlf = header.preamble;
  crlf += WithCrlf(std::string_view(frame.head).substr(preambleSize));
  crlf += WithCrlf(moduleText);
  const size_t trailerStart = header.trailer.find_first_not_of("\r\n");
  const size_t trailerSize =
      trailerStart == std::string::npos ? 0 : header.trailer.size() - trailerStart;
  crlf += WithCrlf(std::string_view(frame.tail).substr(0, frame.tail.size() - trailerSize));
  if (trailerSize > 0) {
    std::string_view trailer = std::string_view(header.trailer).substr(trailerStart);
    const bool appendedBreak = !trailer.empty() && trailer.back() == '\n' &&
                               (trailer.size() < 2 || trailer[trailer.size() - 2] != '\r');
    if (appendedBreak) trailer.remove_suffix(1);
    crlf += trailer;
    if (appendedBreak) crlf += "\r\n";
  }
  return crlf;
}

bool WriteHeaderFile(const HeaderFile& header, const std::string& targetPath,
                     const std::string& moduleText, bool isMain,
                     const HeaderWriteContext& context) {
  Host* host = context.host;
  const std::string backupPath = BackupPathOf(targetPath);
  if (!ConfirmOverwrite(
          backupPath, Format("Backup file '%s' is write-protected. Overwrite?", backupPath.c_str()),
          host)) {
    SetReason(context, Format("the backup file '%s' is write-protected", backupPath.c_str()));
    return false;
  }
  if (!ConfirmOverwrite(
          targetPath,
          Format("Destination file '%s' is write-protected. Overwrite?", targetPath.c_str()),
          host)) {
    SetReason(context, Format("the file '%s' is write-protected", targetPath.c_str()));
    return false;
  }

  // Built before anything is touched, so nothing can fail half-way through the header. The
  // module text is written as it stands, without a copy into one buffer.
  std::string crlfText;
  HeaderFrame frame;
  if (header.crlf)
    crlfText = BuildHeaderText(header, moduleText, isMain, context);
  else
    frame = BuildFrame(header, isMain, context);

  // A link is followed: its file is what the user edits.
  std::error_code error;
  std::string target = targetPath;
  if (fs::is_symlink(targetPath, error)) {
    const fs::path resolved = fs::canonical(targetPath, error);
    if (!error) target = resolved.string();
  }

  // The new text goes to a file beside the header first; the header and its backup are
  // touched only when all of it is on the disk.
  std::string temporary;
  int writeError = 0;
  const bool written = header.crlf ? WriteTemporary(target, {crlfText}, temporary, writeError)
                                   : WriteTemporary(target, {frame.head, moduleText, frame.tail},
                                                    temporary, writeError);
  if (!written) {
    const std::string reason = Format("An error occurred while writing '%s': %s",
                                      targetPath.c_str(), std::strerror(writeError));
    SetReason(context, reason);
    Report(host, reason);
    return false;
  }

  if (fs::exists(target, error)) {
    int backupError = 0;
    if (!MakeBackup(target, backupPath, backupError)) {
      ::unlink(temporary.c_str());
      const std::string reason = Format("Can not create backup file. Operation aborted.\n'%s': %s",
                                        backupPath.c_str(), std::strerror(backupError));
      SetReason(context, reason);
      Report(host, reason);
      return false;
    }
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(temporary.c_str());
    const std::string reason = Format("Error openning destination file '%s': %s",
                                      FileNameOf(targetPath).c_str(), std::strerror(renameError));
    SetReason(context, reason);
    Report(host, reason);
    return false;
  }
  return true;
}

}  // namespace tarq
