#include "plugins/PluginArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace tarq {

namespace fs = std::filesystem;

namespace {

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

struct Member {
  zip_uint64_t index = 0;
  std::string relative;
  bool folder = false;
};

// The kind a member claims in its Unix attributes: only plain files and folders are
// extracted, never links, devices or pipes.
bool IsPlainMember(zip_t* archive, zip_uint64_t index, bool folder) {
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) return false;
  if (system != ZIP_OPSYS_UNIX) return true;  // other systems keep no file kind here
  const mode_t mode = static_cast<mode_t>(attributes >> 16);
  const mode_t kind = mode & S_IFMT;
  if (kind == 0) return true;
  return folder ? kind == S_IFDIR : kind == S_IFREG;
}

// Every member checked before anything is written: a refused archive leaves nothing.
bool ListMembers(zip_t* archive, uint64_t budget, std::vector<Member>& members,
                 std::string& error) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) {
    error = "not a readable archive";
    return false;
  }
  if (static_cast<uint64_t>(count) > kArchiveMemberLimit) {
    error = "too many members (" + std::to_string(count) + ")";
    return false;
  }
  uint64_t declared = 0;
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    const char* name = zip_get_name(archive, i, ZIP_FL_ENC_RAW);
    Member member;
    member.index = i;
    if (name == nullptr || !SafeMemberPath(name, member.relative)) {
      error = "member '" + std::string(name ? name : "") + "' would leave the extraction folder";
      return false;
    }
    member.folder = member.relative.back() == '/';
    if (!IsPlainMember(archive, i, member.folder)) {
      error = "member '" + std::string(name) + "' is a link or a special file";
      return false;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, i, 0, &stat) != 0) {
      error = "member '" + std::string(name) + "' cannot be read";
      return false;
    }
    if (stat.valid & ZIP_STAT_SIZE) declared += stat.size;
    if (declared > budget) {
      error = "the archive expands beyond " + std::to_string(kArchiveSizeBudget >> 20) + " MiB";
      return false;
    }
    members.push_back(std::move(member));
  }
  return true;
}

bool WriteMember(zip_t* archive, const Member& member, const fs::path& folder, uint64_t& budget,
                 std::string& error) {
  const fs::path target = folder / member.relative;
  std::error_code ec;
  fs::create_directories(member.folder ? target : target.parent_path(), ec);
  if (ec) {
    error = "cannot make folder for '" + member.relative + "': " + ec.message();
    return false;
  }
  if (member.folder) return true;
  std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(archive, member.index, 0));
  if (!in) {
    error = "cannot read member '" + member.relative + "'";
    return false;
  }
  // Never through a link, whatever stands at that name.
  const int out =
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) {
    error = "cannot write '" + member.relative + "'";
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const zip_int64_t got = zip_fread(in.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      error = "member '" + member.relative + "' is damaged";
      ok = false;
      break;
    }
    // The sizes an archive states may lie: what is really written counts.
    if (static_cast<uint64_t>(got) > budget) {
      error = "the archive expands beyond " + std::to_string(kArchiveSizeBudget >> 20) + " MiB";
      ok = false;
      break;
    }
    budget -= static_cast<uint64_t>(got);
    if (::write(out, buffer, static_cast<size_t>(got)) != got) {
      error = "cannot write '" + member.relative + "'";
      ok = false;
      break;
    }
  }
  if (::close(out) != 0 && ok) {
    error = "cannot write '" + member.relative + "'";
    ok = false;
  }
  return ok;
}

void EmptyFolder(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    fs::remove_all(it->path(), ec);
}

bool ExtractOpened(zip_t* archive, const std::string& folder, uint64_t& budget,
                   std::string& error) {
  std::vector<Member> members;
  if (!ListMembers(archive, budget, members, error)) return false;
  for (const Member& member : members) {
    if (!WriteMember(archive, member, folder, budget, error)) {
      EmptyFolder(folder);
      return false;
    }
  }
  return true;
}

}  // namespace

bool SafeMemberPath(const std::string& name, std::string& relative) {
  relative.clear();
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.front() == '/') return false;
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
    return false;
  const bool folder = path.back() == '/';
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") return false;
    if (!part.empty() && part != ".") {
      if (!relative.empty()) relative += '/';
      relative += part;
    }
    start = end + 1;
  }
  if (relative.empty()) return false;
  if (folder) relative += '/';
  return true;
}

std::string MakePrivateFolder(std::string& error) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
  pattern += "/TarqXXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp makes the folder with mode 0700.
  if (::mkdtemp(buffer.data()) == nullptr) {
    error = "cannot make a temporary folder in " + pattern;
    return {};
  }
  return buffer.data();
}

bool ExtractArchive(const std::string& zipPath, const std::string& folder, uint64_t& budget,
                    std::string& error) {
  int code = 0;
  ZipHandle archive(zip_open(zipPath.c_str(), ZIP_RDONLY, &code));
  if (!archive) {
    error = "not a readable archive";
    return false;
  }
  return ExtractOpened(archive.get(), folder, budget, error);
}

}  // namespace tarq
