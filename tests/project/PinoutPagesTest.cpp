// The pinout pages (data/pages/<PART>.html, written by tools/gen_pinout_pages.py) against the
// family matrix: the PINOUT module loads the page its PAGE parameter names, calls the page's
// script functions, finds pins by their data-pin names and sends the names of the module check
// boxes back to the program, so each of these must agree with the part.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/TextUtil.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kDataFolder = fs::path(TARQ_SOURCE_DIR) / "data";
const std::string kPinChars = "0123456789ABCDEF";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const json& Matrix() {
  static const json matrix = json::parse(ReadFile(kDataFolder / "family" / "family.json"));
  return matrix;
}

void Flatten(const json& modules, std::map<std::string, const json*>& out) {
  for (const json& module : modules) {
    out[module["name"].get<std::string>()] = &module;
    if (module.contains("children")) Flatten(module["children"], out);
  }
}

// Every value of attribute `name` in the page, in document order.
std::vector<std::string> AttributeValues(const std::string& page, const std::string& name) {
  std::vector<std::string> values;
  const std::string key = " " + name + "=\"";
  for (size_t at = page.find(key); at != std::string::npos; at = page.find(key, at + 1)) {
    const size_t start = at + key.size();
    values.push_back(page.substr(start, page.find('"', start) - start));
  }
  return values;
}

// Module -> port letter -> pins, from the GPIO pin description lines of the part: the modules
// of the part whose signals the lines route to pins (GPIO_* and SYS aside).
using Routes = std::map<std::string, std::map<char, std::set<int>>>;

Routes RoutesOf(const json& part, const std::map<std::string, const json*>& modules) {
  Routes routes;
  for (const auto& [port, count] : part["ports"].items()) {
    const json& gpio = *modules.at(port);
    for (std::string line : gpio.value("pins", json::array()).get<std::vector<std::string>>()) {
      std::erase_if(line, [](char c) { return c == ' ' || c == '\t' || c == '"'; });
      std::stringstream fields(line);
      std::string field;
      uint32_t pin = 0;
      std::getline(fields, field, ',');
      EXPECT_TRUE(ReadCIntegerExact(field, pin)) << port << ": " << line;
      while (std::getline(fields, field, ',')) {
        if (field == "checkall") continue;
        if (size_t colon = field.find(':'); colon != std::string::npos) field.erase(0, colon + 1);
        std::stringstream owners(field.substr(0, field.find('.')));
        std::string owner;
        while (std::getline(owners, owner, '|')) {
          // A line may name a module that only other parts of the group have.
          if (owner == "SYS" || StartsWith(owner, "GPIO_") || !modules.count(owner)) continue;
          routes[owner][port.back()].insert(static_cast<int>(pin));
        }
      }
    }
  }
  return routes;
}

struct PartPage {
  std::string part;
  const json* entry = nullptr;
  std::string text;
};

// The page of each part, as its PINOUT module names it; an empty text when it cannot be read.
std::vector<PartPage> Pages() {
  std::vector<PartPage> pages;
  for (const json& part : Matrix()["parts"]) {
    std::map<std::string, const json*> modules;
    Flatten(part["modules"], modules);
    PartPage page{part["part"].get<std::string>(), &part, ""};
    if (modules.count("PINOUT")) {
      const json info = modules["PINOUT"]->value("info", json::object());
      const fs::path path = kDataFolder / "pages" / info.value("PAGE", "");
      if (info.contains("PAGE") && fs::is_regular_file(path)) page.text = ReadFile(path);
    }
    pages.push_back(page);
  }
  return pages;
}

}  // namespace

TEST(PinoutPages, EveryPartHasItsPageWithTheScriptFunctionsAndOneViewPerPackage) {
  const std::vector<PartPage> pages = Pages();
  ASSERT_EQ(pages.size(), 35u);
  std::set<std::string> expectedFiles;
  for (const PartPage& page : pages) {
    ASSERT_FALSE(page.text.empty())
        << page.part << ": no page; run tools/gen_pinout_pages.py";
    expectedFiles.insert(page.part + ".html");
    for (const char* function : {"ShowView", "GetActiveView", "SetPinName", "GetGpioCheckboxes",
                                 "SetGpioCheckbox", "SetCpuName", "SetPreliminary"}) {
      EXPECT_NE(page.text.find("function " + std::string(function) + "("), std::string::npos)
          << page.part << " lacks " << function;
    }
    // Views are numbered 0, 1, ... in the order of the package list; one tab per view.
    const json& packages = (*page.entry)["packages"];
    std::vector<std::string> views;
    for (const std::string& id : AttributeValues(page.text, "id")) {
      if (id.size() > 4 && StartsWith(id, "view") &&
          id.find_first_not_of("0123456789", 4) == std::string::npos) {
        views.push_back(id);
      }
    }
    ASSERT_EQ(views.size(), packages.size()) << page.part;
    for (size_t i = 0; i < views.size(); ++i) {
      EXPECT_EQ(views[i], "view" + std::to_string(i)) << page.part;
      const std::string tab = packages[i]["name"].get<std::string>() + " · " +
                              std::to_string(packages[i]["pins"].get<int>()) + " pins</button>";
      EXPECT_NE(page.text.find(tab), std::string::npos) << page.part << " tab " << i;
    }
    EXPECT_EQ(page.text.find("<script src"), std::string::npos) << page.part;
    EXPECT_EQ(page.text.find("<link"), std::string::npos) << page.part;
  }
  // Nothing in the folder that no part loads.
  std::set<std::string> files;
  for (const auto& item : fs::directory_iterator(kDataFolder / "pages")) {
    files.insert(item.path().filename().string());
  }
  EXPECT_EQ(files, expectedFiles);
}

TEST(PinoutPages, PinNamesAndModuleCheckBoxesBelongToThePart) {
  for (const PartPage& page : Pages()) {
    if (page.text.empty()) continue;  // reported by the test above
    const json& part = *page.entry;
    std::map<std::string, const json*> modules;
    Flatten(part["modules"], modules);
    const Routes routes = RoutesOf(part, modules);

    // Every data-pin is a pin of the part's ports, and every such pin is somewhere on the
    // page (bonded, or listed as unbonded), so that SetPinName can show it.
    std::set<std::string> partPins;
    for (const auto& [port, count] : part["ports"].items()) {
      for (int n = 0; n < count.get<int>(); ++n) partPins.insert(port + std::to_string(n));
    }
    std::set<std::string> pagePins;
    for (const std::string& pin : AttributeValues(page.text, "data-pin")) {
      EXPECT_TRUE(partPins.count(pin)) << page.part << ": no pin " << pin;
      pagePins.insert(pin);
    }
    EXPECT_EQ(pagePins, partPins) << page.part;

    // Check boxes: GPIOXB_<module>, plus GPIOXB_<module>__<port><pins> for each port of a
    // module that reaches several ports, each filter naming exactly the pins of that port
    // that carry the module's signals.
    std::vector<std::string> names = AttributeValues(page.text, "name");
    std::erase_if(names, [](const std::string& name) { return !StartsWith(name, "GPIOXB_"); });
    std::set<std::string> seen;
    std::map<std::string, std::set<char>> filteredPorts;
    for (const std::string& name : names) {
      const std::string at = page.part + " " + name;
      EXPECT_TRUE(seen.insert(name).second) << at << " twice";
      EXPECT_NE(page.text.find("id=\"" + name + "\" name=\"" + name + "\""), std::string::npos)
          << at << ": id and name differ";
      const std::string rest = name.substr(7);
      const size_t split = rest.find("__");
      const std::string module = rest.substr(0, split);
      ASSERT_TRUE(modules.count(module)) << at << ": no such module";
      ASSERT_TRUE(routes.count(module)) << at << ": the module has no signals on pins";
      if (split == std::string::npos) continue;

      const std::string filter = rest.substr(split + 2);
      ASSERT_GE(filter.size(), 2u) << at;
      const char port = static_cast<char>(filter[0] - 'a' + 'A');
      ASSERT_TRUE(filter[0] >= 'a' && filter[0] <= 'f') << at << ": port letter";
      ASSERT_TRUE(part["ports"].contains(std::string("GPIO_") + port)) << at << ": no port";
      const int count = part["ports"][std::string("GPIO_") + port].get<int>();
      std::set<int> pins;
      int previous = -1;
      for (char c : filter.substr(1)) {
        const size_t pin = kPinChars.find(c);
        ASSERT_NE(pin, std::string::npos) << at << ": pin character " << c;
        EXPECT_GT(static_cast<int>(pin), previous) << at << ": pins out of order";
        EXPECT_LT(static_cast<int>(pin), count) << at << ": no pin " << c << " on the port";
        previous = static_cast<int>(pin);
        pins.insert(static_cast<int>(pin));
      }
      const auto& modulePorts = routes.at(module);
      EXPECT_GT(modulePorts.size(), 1u) << at << ": a filter for a module on one port";
      ASSERT_TRUE(modulePorts.count(port)) << at << ": the module has no signal on the port";
      EXPECT_EQ(pins, modulePorts.at(port)) << at;
      filteredPorts[module].insert(port);
    }
    // And every routed module has its box, with one filter box per port when it has several.
    for (const auto& [module, ports] : routes) {
      EXPECT_TRUE(seen.count("GPIOXB_" + module)) << page.part << ": no box for " << module;
      if (ports.size() < 2) continue;
      std::set<char> letters;
      for (const auto& [letter, pins] : ports) letters.insert(letter);
      EXPECT_EQ(filteredPorts[module], letters) << page.part << " " << module;
    }
  }
}

}  // namespace tarq
