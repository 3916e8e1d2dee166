// Reading the family matrix (data/family/family.json) in the tests that check the program's
// data against it.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace tarq::familytest {

inline const std::filesystem::path& DataFolder() {
  static const std::filesystem::path folder = std::filesystem::path(TARQ_SOURCE_DIR) / "data";
  return folder;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline const nlohmann::json& Matrix() {
  static const nlohmann::json matrix =
      nlohmann::json::parse(ReadFile(DataFolder() / "family" / "family.json"));
  return matrix;
}

}  // namespace tarq::familytest
