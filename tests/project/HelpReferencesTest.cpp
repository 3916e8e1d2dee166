// Every documentation reference of every architecture file names a help document that the
// build wrote, and a named destination inside it; the tool manual is written too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "framework/TextUtil.h"
#include "project/ArchitectureFile.h"

namespace fs = std::filesystem;

namespace tarq {
namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void CollectReferences(const std::vector<ArchitectureNode>& nodes, const std::string& part,
                       std::map<std::string, std::set<std::string>>& references,
                       std::vector<std::string>& withoutPlace) {
  for (const ArchitectureNode& node : nodes) {
    const std::string& reference = node.entry.helpReference;
    if (!reference.empty()) {
      const size_t hash = reference.find('#');
      const std::string place = hash == std::string::npos ? "" : Trim(reference.substr(hash + 1));
      if (place.empty()) withoutPlace.push_back(part + ": " + node.entry.name);
      references[Trim(reference.substr(0, hash))].insert(place);
    }
    CollectReferences(node.children, part, references, withoutPlace);
  }
}

TEST(HelpReferences, EveryReferenceNamesAWrittenDocumentAndDestination) {
#ifndef TARQ_HELP_DOCUMENTS
  GTEST_SKIP() << "the help documents are written only in builds with Qt 6 (tarq_manuals)";
#endif
  std::map<std::string, std::set<std::string>> references;  // file -> destinations
  std::vector<std::string> withoutPlace;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "data")) {
    if (entry.path().extension() != ".cfg") continue;
    ++files;
    ArchitectureFile architecture;
    std::string error;
    ASSERT_TRUE(ParseArchitectureText(ReadAll(entry.path()), architecture, error))
        << entry.path() << ": " << error;
    CollectReferences(architecture.tree, entry.path().stem().string(), references, withoutPlace);
  }
  EXPECT_EQ(files, 35);
  EXPECT_TRUE(withoutPlace.empty()) << withoutPlace.front();
  ASSERT_FALSE(references.empty());
  // The tool manual that "Configuration Tool  Help" opens.
  EXPECT_EQ(ReadAll(fs::path(TARQ_BINARY_DIR) / "help" / "ConfigTool.pdf").rfind("%PDF-", 0), 0u);

  for (const auto& [file, destinations] : references) {
    const fs::path path = fs::path(TARQ_BINARY_DIR) / "help" / file;
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    const std::string pdf = ReadAll(path);
    ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u) << path;
    // Named destinations: the names of the document's destination dictionary, each with
    // the page it opens.
    const size_t dests = pdf.find("/Dests ");
    ASSERT_NE(dests, std::string::npos) << path << " has no named destinations";
    for (const std::string& destination : destinations) {
      if (destination.empty()) continue;
      EXPECT_NE(pdf.find("\n/" + destination + " [", dests), std::string::npos)
          << file << " has no destination " << destination;
    }
  }
}

}  // namespace
}  // namespace tarq
