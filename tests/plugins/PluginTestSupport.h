// Builds plugin archives and description files for the plugin tests.
#pragma once

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarq::plugintest {

namespace fs = std::filesystem;

struct ZipMember {
  enum Kind { File, Folder, Link };
  std::string name;
  std::string content;  // a link's target for Link
  Kind kind = File;
  uint64_t zeros = 0;  // File: this many zero bytes instead of `content`
};

// Streams `count` zero bytes into libzip without holding them in memory.
inline zip_int64_t ZeroSource(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  auto* left = static_cast<uint64_t*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_READ: {
      const zip_uint64_t n = std::min<zip_uint64_t>(length, *left);
      std::memset(data, 0, n);
      *left -= n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: {
      auto* codes = static_cast<int*>(data);
      codes[0] = codes[1] = 0;
      return 2 * sizeof(int);
    }
    case ZIP_SOURCE_FREE:
      delete left;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return -1;
  }
}

// Writes a ZIP archive; false when libzip refused something.
inline bool WriteZip(const fs::path& path, const std::vector<ZipMember>& members) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) return false;
  bool ok = true;
  for (const ZipMember& member : members) {
    zip_int64_t index = -1;
    if (member.kind == ZipMember::Folder) {
      index = zip_dir_add(archive, member.name.c_str(), ZIP_FL_ENC_RAW);
    } else {
      zip_source_t* source = nullptr;
      if (member.zeros > 0) {
        source = zip_source_function(archive, ZeroSource, new uint64_t(member.zeros));
      } else {
        char* copy = static_cast<char*>(std::malloc(member.content.size() + 1));
        std::memcpy(copy, member.content.data(), member.content.size());
        source = zip_source_buffer(archive, copy, member.content.size(), 1);
      }
      if (source == nullptr) {
        ok = false;
        continue;
      }
      index = zip_file_add(archive, member.name.c_str(), source, ZIP_FL_ENC_RAW | ZIP_FL_OVERWRITE);
      if (index < 0) zip_source_free(source);
    }
    if (index < 0) {
      ok = false;
      continue;
    }
    // Zeros compress fast at the lowest level, and a large expansion costs little to make.
    if (member.zeros > 0)
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    if (member.kind == ZipMember::Link) {
      const zip_uint32_t mode = S_IFLNK | 0777;
      zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                       mode << 16);
    }
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    return false;
  }
  return ok;
}

inline void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Every path below `folder`, relative, sorted.
inline std::vector<std::string> ListTree(const fs::path& folder) {
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    paths.push_back(fs::relative(it->path(), folder).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace tarq::plugintest
