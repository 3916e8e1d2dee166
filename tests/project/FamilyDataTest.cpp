// The family matrix (data/family/family.json) against the architecture files written from it
// and against the known-part table: a module list, a vector table or a pin description that
// drifted apart shows up here instead of as a puzzling warning in some project.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FamilyTestSupport.h"
#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "project/ArchitectureFile.h"
#include "project/DocumentSettings.h"
#include "project/HeaderFile.h"
#include "project/KnownParts.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kDataFolder = familytest::DataFolder();

// Every kind the module factory knows (the family's rows and the base document's).
// clang-format off
const std::set<std::string> kFactoryKinds = {
    "PINOUT", "OCCS", "UNREC", "PNM", "TSN", "DEC", "DAC", "CMP", "SYS_V1", "SYS_V2_Classic",
    "SYS_V2_Casp", "SYS_Brel", "SYS_V2_Dorn", "SEMI", "ADC", "SPI", "SCI", "I2C", "I2C_Casp",
    "GPIO", "PWM", "PIT", "EMPTY", "INTC", "QTALL", "QT", "ZCAN", "YSCAN", "SCOPX", "PMC", "PGA",
    "PDB", "ADC_Brel", "PWM_Brel", "HSCMP", "I2C_Brel", "RTC", "COP_Brel", "PWM_Dorn",
    "PWMAll_Dorn", "PWM_Dorn_SWLayer", "XBAR", "VREF_DAC", "VOID", "PLUGINS", "CLOCKTREE"};
// clang-format on

using familytest::Matrix;
using familytest::ReadFile;

const json& VectorTableOf(const json& part) {
  return Matrix()["vectorTables"][part["vectorTable"].get<std::string>()];
}

std::string Str(const json& module, const char* key, const char* fallback = "") {
  return module.contains(key) ? module[key].get<std::string>() : fallback;
}

void Flatten(const json& modules, std::vector<const json*>& out) {
  for (const json& module : modules) {
    out.push_back(&module);
    if (module.contains("children")) Flatten(module["children"], out);
  }
}

std::vector<const json*> ModulesOf(const json& part) {
  std::vector<const json*> out;
  Flatten(part["modules"], out);
  return out;
}

std::vector<int> ParseInterruptList(const std::string& text) {
  std::vector<int> numbers;
  size_t colon = text.find(':');
  if (colon == std::string::npos) return numbers;
  std::stringstream list(text.substr(colon + 1));
  std::string item;
  while (std::getline(list, item, ',')) {
    uint32_t value = 0;
    EXPECT_TRUE(ReadCIntegerExact(item, value)) << "interrupt list " << text;
    numbers.push_back(static_cast<int>(value));
  }
  return numbers;
}

// Key=value pairs and the other non-empty lines (pin descriptions) of a module info block.
void SplitBlock(const std::string& block, std::map<std::string, std::string>& params,
                std::vector<std::string>& lines) {
  std::stringstream in(block);
  std::string line;
  while (std::getline(in, line)) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) {
      params[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    } else if (!Trim(line).empty()) {
      lines.push_back(Trim(line));
    }
  }
}

void ExpectSameTree(const json& modules, const std::vector<ArchitectureNode>& nodes,
                    const std::string& where) {
  ASSERT_EQ(nodes.size(), modules.size()) << where;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const json& module = modules[i];
    const ArchitectureEntry& entry = nodes[i].entry;
    const std::string at = where + "/" + Str(module, "name");
    EXPECT_EQ(entry.name, Str(module, "name")) << at;
    EXPECT_EQ(entry.kind, Str(module, "kind")) << at;
    EXPECT_EQ(entry.linkedModule, Str(module, "linked", "NONE")) << at;
    EXPECT_EQ(ParseInterruptList(entry.interrupts), module["irq"].get<std::vector<int>>()) << at;
    EXPECT_EQ(entry.labelSuffix, Str(module, "label")) << at;
    EXPECT_EQ(entry.displayName, Str(module, "display")) << at;
    EXPECT_EQ(entry.helpReference, Str(module, "help")) << at;
    ExpectSameTree(module.value("children", json::array()), nodes[i].children, at);
  }
}

bool ParseCfg(const json& part, ArchitectureFile& file, std::string& error) {
  const fs::path path = kDataFolder / (part["part"].get<std::string>() + ".cfg");
  if (!fs::exists(path)) {
    error = path.string() + " is missing";
    return false;
  }
  return ParseArchitectureText(ReadFile(path), file, error);
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// The fields of a pin line as written (the product's reader caps what it keeps, so limits
// are checked on the text): function fields and the distinct selector words.
size_t FunctionFieldCount(const std::string& line) { return SplitOn(line, ',').size() - 1; }
std::set<std::string> SelectorWordsOf(const std::string& line) {
  std::set<std::string> words;
  for (size_t at = line.find("GPS"); at != std::string::npos; at = line.find("GPS", at + 3)) {
    size_t end = at + 3;
    while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
    words.insert(line.substr(at, end - at));
  }
  return words;
}

// Pin-select bits the part's system module offers: its GPS registers times 16.
int GpsBitsOf(const json& part, const std::string& sysKind) {
  const std::string group = part["group"];
  if (sysKind == "SYS_V2_Classic") return (group == "Fenn" || group == "Tebo") ? 16 : 0;
  if (sysKind == "SYS_V2_Casp" || sysKind == "SYS_Brel") return 80;
  if (sysKind == "SYS_V2_Dorn") return 64;
  return 0;
}

bool ReadNumber(const std::string& text, uint32_t& value) { return ReadCIntegerExact(text, value); }

}  // namespace

TEST(FamilyData, EveryKnownPartHasExactlyOneArchitectureFile) {
  std::set<std::string> matrixParts;
  for (const json& part : Matrix()["parts"]) {
    EXPECT_TRUE(matrixParts.insert(part["part"].get<std::string>()).second) << part["part"];
  }
  // Every name a project can end up with, except CVX-36 which is read as CVX-08.
  std::set<std::string> knownNames;
  for (int row = 0; row < kKnownPartCount; ++row) {
    if (PartNameOfRow(row) != "CVX-36") knownNames.insert(PartNameOfRow(row));
  }
  EXPECT_EQ(matrixParts, knownNames);
  EXPECT_EQ(matrixParts.size(), 35u);

  std::set<std::string> files;
  for (const auto& item : fs::directory_iterator(kDataFolder)) {
    if (item.path().extension() == ".cfg") files.insert(item.path().stem().string());
  }
  EXPECT_EQ(files, matrixParts) << "run tools/gen_architecture.py";
}

TEST(FamilyData, ChipGroupsAgreeWithThePartTests) {
  for (const json& part : Matrix()["parts"]) {
    const std::string name = part["part"];
    EXPECT_EQ(ChipGroupOf(name), part["group"].get<std::string>()) << name;
    EXPECT_TRUE(Matrix()["groups"].contains(part["group"].get<std::string>())) << name;
  }
}

TEST(FamilyData, VectorTablesHaveTheSizesOfTheirControllers) {
  for (const auto& [name, table] : Matrix()["vectorTables"].items()) {
    const json& vectors = table["vectors"];
    ASSERT_EQ(vectors.size(), table["count"].get<size_t>()) << name;
    for (size_t i = 0; i < vectors.size(); ++i) {
      EXPECT_EQ(vectors[i][0].get<size_t>(), i) << name << " is not numbered in order";
      EXPECT_FALSE(vectors[i][1].get<std::string>().empty()) << name << " " << i;
      uint32_t flags = 0;
      ASSERT_TRUE(ReadNumber(vectors[i][2].get<std::string>(), flags)) << name << " " << i;
      EXPECT_EQ(flags & ~0x81F7u, 0u) << name << " vector " << i << " has an unknown flag";
    }
  }
  // Sizes per part as the interrupt controller builds its table.
  for (const json& part : Matrix()["parts"]) {
    const std::string name = part["part"];
    const std::string group = part["group"];
    size_t expected = 0;
    if (group == "classic") expected = 64;
    if (name == "CVX-37") expected = 78;
    if (name == "CVX-07" || group == "Fenn") {
      expected = (name == "CVX-17" || name == "CVX-18" || name == "CVX-19") ? 86 : 82;
    }
    if (group == "Tebo") expected = 46;
    if (group == "Casp") expected = 64;
    if (group == "Dorn") expected = 67;
    if (group == "Brel") expected = 51;
    EXPECT_EQ(VectorTableOf(part)["count"].get<size_t>(), expected) << name;
  }
  // The Brel table is the chip's own; spot rows the user slots and the modules depend on.
  const json& brel = Matrix()["vectorTables"]["brel"]["vectors"];
  EXPECT_EQ(brel[0][2], "0x0103");
  EXPECT_EQ(brel[21][1], "SCI Transmitter Empty/Idle");
  EXPECT_EQ(brel[33][1], "Real Time Counter");
  for (int n = 34; n <= 39; ++n) EXPECT_EQ(brel[n][2], "0x0013") << n;
  EXPECT_EQ(brel[43][2], "0x0102");
  for (int n = 45; n <= 47; ++n) EXPECT_EQ(brel[n][2], "0x8042") << n;
  EXPECT_EQ(brel[50][1], "User programmable L2 Interrupt/Fast");
  EXPECT_EQ(brel[50][2], "0x8082");
}

TEST(FamilyData, ArchitectureFilesHoldTheMatrixTreesAndParameters) {
  for (const json& part : Matrix()["parts"]) {
    const std::string name = part["part"];
    ArchitectureFile file;
    std::string error;
    ASSERT_TRUE(ParseCfg(part, file, error)) << name << ": " << error;
    ExpectSameTree(part["modules"], file.tree, name);

    std::map<std::string, std::string> blocks;
    for (const auto& [module, block] : file.moduleInfo) {
      EXPECT_TRUE(blocks.emplace(module, block).second) << name << ": two blocks for " << module;
    }
    for (const json* module : ModulesOf(part)) {
      const std::string moduleName = Str(*module, "name");
      const bool hasBlock = module->contains("info") || module->contains("pins");
      ASSERT_EQ(blocks.count(moduleName) == 1, hasBlock) << name << " " << moduleName;
      if (!hasBlock) continue;
      std::map<std::string, std::string> params;
      std::vector<std::string> lines;
      SplitBlock(blocks[moduleName], params, lines);
      std::map<std::string, std::string> expected;
      const json info = module->value("info", json::object());
      for (const auto& [key, value] : info.items()) {
        expected[key] = value.get<std::string>();
      }
      EXPECT_EQ(params, expected) << name << " " << moduleName;
      EXPECT_EQ(lines, module->value("pins", json::array()).get<std::vector<std::string>>())
          << name << " " << moduleName;
    }
  }
}

TEST(FamilyData, ModulesOfAPartAreCoherent) {
  for (const json& part : Matrix()["parts"]) {
    const std::string partName = part["part"];
    const std::string group = part["group"];
    const json& vectors = VectorTableOf(part)["vectors"];
    std::map<std::string, const json*> byName;
    for (const json* module : ModulesOf(part)) {
      EXPECT_TRUE(byName.emplace(Str(*module, "name"), module).second)
          << partName << ": module name twice: " << Str(*module, "name");
    }

    std::map<int, std::string> vectorUsers;
    int controllers = 0;
    for (const auto& [name, module] : byName) {
      const std::string at = partName + " " + name;
      EXPECT_TRUE(kFactoryKinds.count(Str(*module, "kind")))
          << at << " kind " << Str(*module, "kind");
      const std::string linked = Str(*module, "linked", "NONE");
      EXPECT_TRUE(linked == "NONE" || byName.count(linked)) << at << " links to " << linked;
      for (int vector : (*module)["irq"].get<std::vector<int>>()) {
        ASSERT_TRUE(vector >= 0 && static_cast<size_t>(vector) < vectors.size())
            << at << " " << vector;
        EXPECT_NE(vectors[vector][1], "Reserved") << at << " uses reserved vector " << vector;
        auto [it, fresh] = vectorUsers.emplace(vector, name);
        EXPECT_TRUE(fresh) << partName << ": vector " << vector << " used by " << it->second
                           << " and " << name;
      }
      const std::string help = Str(*module, "help");
      if (!help.empty()) {
        EXPECT_TRUE(StartsWith(help, part["manual"].get<std::string>() + "#")) << at << " " << help;
      }
      if (Str(*module, "kind") == "INTC") ++controllers;
      if (Str(*module, "kind") == "QT") {
        const char last = name.back();
        EXPECT_TRUE(last >= '0' && last <= '3') << at << ": channel number must end the name";
      }
    }

    // The names other modules look their partners up by.
    EXPECT_EQ(controllers, 1) << partName;
    const std::string intcName = group == "classic" ? "ITCN" : group == "Brel" ? "WINTC" : "INTC";
    ASSERT_TRUE(byName.count(intcName)) << partName;
    EXPECT_EQ(Str(*byName[intcName], "kind"), "INTC") << partName;
    ASSERT_TRUE(byName.count("OCCS")) << partName;
    ASSERT_TRUE(byName.count("SYS")) << partName;
    const std::map<std::string, std::string> sysKinds = {
        {"classic", "SYS_V1"},      {"later", "SYS_V2_Classic"}, {"Fenn", "SYS_V2_Classic"},
        {"Tebo", "SYS_V2_Classic"}, {"Casp", "SYS_V2_Casp"},     {"Brel", "SYS_Brel"},
        {"Dorn", "SYS_V2_Dorn"}};
    EXPECT_EQ(Str(*byName["SYS"], "kind"), sysKinds.at(group)) << partName;

    // Hidden vectors must exist and must not be vectors a module of this part uses.
    const json& intcInfo = byName[intcName]->value("info", json::object());
    if (intcInfo.contains("DISSRC")) {
      for (const std::string& item : SplitOn(intcInfo["DISSRC"].get<std::string>(), ',')) {
        uint32_t vector = 0;
        ASSERT_TRUE(ReadNumber(item, vector)) << partName << " DISSRC " << item;
        EXPECT_LT(vector, vectors.size()) << partName;
        EXPECT_FALSE(vectorUsers.count(static_cast<int>(vector)))
            << partName << ": DISSRC hides vector " << vector << " of "
            << vectorUsers[static_cast<int>(vector)];
      }
    }
    // Each port takes the interrupt of its own letter.
    for (const auto& [port, count] : part["ports"].items()) {
      ASSERT_TRUE(byName.count(port)) << partName << " lacks the module of " << port;
      const std::vector<int> irq = (*byName[port])["irq"].get<std::vector<int>>();
      ASSERT_EQ(irq.size(), 1u) << partName << " " << port;
      EXPECT_EQ(vectors[irq[0]][1], "GPIO " + port.substr(5)) << partName << " " << port;
    }
  }
}

// Every module name some part of each chip group has: a pin may name a module that its own
// part lacks (the silicon routes the signal, the part has no such peripheral) as long as the
// group knows it.
std::map<std::string, std::set<std::string>> GroupModuleNames() {
  std::map<std::string, std::set<std::string>> names;
  for (const json& part : Matrix()["parts"])
    for (const json* module : ModulesOf(part)) names[Str(part, "group")].insert(Str(*module, "name"));
  return names;
}

TEST(FamilyData, PinDescriptionsNameExistingModulesAndDistinctSelectors) {
  const auto groupModules = GroupModuleNames();
  for (const json& part : Matrix()["parts"]) {
    const std::set<std::string>& groupNames = groupModules.at(Str(part, "group"));
    const std::string partName = part["part"];
    std::map<std::string, const json*> byName;
    for (const json* module : ModulesOf(part)) byName[Str(*module, "name")] = module;
    const std::string sysKind = Str(*byName["SYS"], "kind");
    const int gpsBits = GpsBitsOf(part, sysKind);
    if (byName["SYS"]->contains("info")) {
      uint32_t count = 0;
      ASSERT_TRUE(ReadNumber((*byName["SYS"])["info"].value("GPSCNT", "1"), count)) << partName;
      EXPECT_EQ(static_cast<int>(count) * 16, gpsBits) << partName << " GPSCNT";
    }

    std::map<std::string, int> pinCount;
    for (const auto& [port, count] : part["ports"].items()) pinCount[port] = count.get<int>();
    for (const auto& [port, count] : pinCount) {
      const json& gpio = *byName[port];
      const std::string at = partName + " " + port;
      std::set<int> pins;
      uint32_t peripheralAtReset = 0x00FF;
      if (gpio.contains("info") && gpio["info"].contains("PER")) {
        ASSERT_TRUE(ReadNumber(gpio["info"]["PER"].get<std::string>(), peripheralAtReset)) << at;
      }
      for (const std::string& line :
           gpio.value("pins", json::array()).get<std::vector<std::string>>()) {
        PinDescription description;
        ASSERT_TRUE(ParsePinDescription(line, description)) << at << ": " << line;
        const int pin = description.pin;
        const std::vector<PinFunction>& functions = description.functions;
        EXPECT_TRUE(pins.insert(pin).second) << at << " pin " << pin << " twice";
        EXPECT_LE(FunctionFieldCount(line), 8u) << at << " " << line;
        EXPECT_LE(SelectorWordsOf(line).size(), 3u) << at << " " << line;
        for (int bit : description.gpsBits)
          EXPECT_LT(bit, gpsBits) << at << ": no such pin-select bit in " << line;
        if (description.clkosrBit >= 0) {
          EXPECT_LT(description.clkosrBit, 16) << at << " " << line;
          EXPECT_NE(sysKind, "SYS_V1") << at << ": no clock-output register for " << line;
        }
        std::set<std::pair<uint32_t, bool>> requirements;
        for (const PinFunction& function : functions) {
          EXPECT_FALSE(function.signal.empty()) << at << " " << line;
          EXPECT_LE(function.signal.size(), 31u) << at << " " << line;
          EXPECT_LE(function.owners.size(), 4u) << at << " " << line;
          for (const std::string& owner : function.owners) {
            EXPECT_TRUE(byName.count(owner) || groupNames.count(owner))
                << at << ": no module " << owner << " in the group, in " << line;
          }
          // A function that asks for the same bits as another could never be read back.
          EXPECT_TRUE(requirements.insert({function.gpsSet, function.clkosrSet}).second)
              << at << " " << line;
        }
        // A pin in peripheral mode at reset must carry a function with every selector bit
        // clear, or a fresh project could not be saved (its function list has no valid item).
        const bool peripheral = pin >= 0 && pin < 16 && ((peripheralAtReset >> pin) & 1u);
        const bool resetFunction =
            std::any_of(functions.begin(), functions.end(),
                        [](const PinFunction& f) { return f.gpsSet == 0 && !f.clkosrSet; });
        EXPECT_TRUE(!peripheral || functions.empty() || resetFunction)
            << at << ": no function at the reset state of the selector bits in " << line;
      }
      std::set<int> expected;
      for (int pin = 0; pin < count; ++pin) expected.insert(pin);
      EXPECT_EQ(pins, expected) << at;

      const json& info = gpio.value("info", json::object());
      for (const char* key : {"PUR", "PER", "PPMODE"}) {
        if (!info.contains(key)) continue;
        uint32_t mask = 0;
        ASSERT_TRUE(ReadNumber(info[key].get<std::string>(), mask)) << at << " " << key;
        EXPECT_EQ(mask >> count, 0u) << at << " " << key << " names a pin the port lacks";
      }
    }

    // Timer inputs, decoders and the other parameters that name pins or modules.
    for (const auto& [name, module] : byName) {
      const json& info = module->value("info", json::object());
      const std::string at = partName + " " + name;
      if (info.contains("PINS")) {
        for (const std::string& item : SplitOn(info["PINS"].get<std::string>(), ',')) {
          const size_t colon = item.find(':');
          ASSERT_NE(colon, std::string::npos) << at << " " << item;
          uint32_t input = 0;
          ASSERT_TRUE(ReadNumber(item.substr(0, colon), input)) << at << " " << item;
          EXPECT_LE(input, 3u) << at;
          const std::vector<std::string> alternatives = SplitOn(item.substr(colon + 1), '|');
          EXPECT_LE(alternatives.size(), 4u) << at << " " << item;
          for (const std::string& alternative : alternatives) {
            if (StartsWith(alternative, "GPIO_")) {
              const std::string port = alternative.substr(0, 6);
              uint32_t pin = 0;
              ASSERT_TRUE(ReadNumber(alternative.substr(6), pin)) << at << " " << alternative;
              EXPECT_TRUE(pinCount.count(port) && static_cast<int>(pin) < pinCount[port])
                  << at << ": no pin " << alternative;
            } else {
              ASSERT_TRUE(StartsWith(alternative, "PWM_ADC")) << at << " " << alternative;
              const std::string suffix = alternative.substr(7);
              EXPECT_TRUE(byName.count("PWM" + suffix) && byName.count("ADC" + suffix))
                  << at << " " << alternative;
            }
          }
        }
      }
      if (info.contains("DEC")) {
        EXPECT_TRUE(byName.count(info["DEC"].get<std::string>())) << at;
      }
      if (info.contains("CPUNAME")) {
        EXPECT_EQ(info["CPUNAME"], partName) << at;
      }
      if (info.contains("CLKIN_PIN")) {
        const std::string pin = info["CLKIN_PIN"].get<std::string>();
        uint32_t number = 0;
        ASSERT_TRUE(ReadNumber(pin.substr(6), number)) << at;
        EXPECT_TRUE(pinCount.count(pin.substr(0, 6)) &&
                    static_cast<int>(number) < pinCount[pin.substr(0, 6)])
            << at << " " << pin;
      }
    }
  }
}

// The example projects open on their parts, name only modules and vectors those parts have,
// and set only priorities their vectors offer.
TEST(FamilyData, ExampleProjectsFitTheirParts) {
  const std::pair<const char*, const char*> examples[] = {
      {"classic", "CVX-03"}, {"later", "CVX-07"}, {"fenn", "CVX-08"}, {"tebo", "CVX-21"},
      {"casp", "CVX-25"},    {"brel", "CVX-28"},  {"dorn", "CVX-33"}};
  for (const auto& [folder, partName] : examples) {
    const fs::path path =
        fs::path(TARQ_SOURCE_DIR) / "examples" / folder / "ApplicationConfig" / "appconfig.h";
    HeaderFile header(true);
    ASSERT_TRUE(header.Read(path.string(), nullptr)) << path;
    ProjectSettings settings;
    Options options;
    ReadDocumentSettings(header, settings, options);
    EXPECT_EQ(settings.partName, partName) << folder;
    EXPECT_TRUE(settings.extClkMHz > 0 || settings.extalMHz > 0) << folder;
    EXPECT_FALSE(options.generateDefaults) << folder;
    EXPECT_NE(header.preamble.find("#include"), std::string::npos) << folder;
    EXPECT_NE(header.trailer.find("#endif"), std::string::npos) << folder;

    const json* found = nullptr;
    for (const json& part : Matrix()["parts"]) {
      if (part["part"] == partName) found = &part;
    }
    ASSERT_NE(found, nullptr) << partName;
    const json& part = *found;
    bool packageKnown = false;
    for (const json& package : part["packages"])
      packageKnown |= package["name"] == settings.package;
    EXPECT_TRUE(packageKnown) << folder << " package " << settings.package;

    std::set<std::string> modules;
    std::set<uint32_t> hidden;
    for (const json* module : ModulesOf(part)) {
      modules.insert(Str(*module, "name"));
      const json info = module->value("info", json::object());
      if (Str(*module, "kind") == "INTC" && info.contains("DISSRC")) {
        for (const std::string& item : SplitOn(info["DISSRC"].get<std::string>(), ',')) {
          uint32_t vector = 0;
          if (ReadNumber(item, vector)) hidden.insert(vector);
        }
      }
    }
    const json& vectors = VectorTableOf(part)["vectors"];
    const bool classic = part["group"] == "classic";
    int userDefinitions = 0;
    for (const auto& [name, definition] : header.definitions) {
      if (definition.used) continue;
      const std::string at = std::string(folder) + " " + name;
      for (const char* pattern : {"INT_VECTOR_ADDR_", "INT_PRIORITY_LEVEL_"}) {
        if (!StartsWith(name, pattern)) continue;
        uint32_t vector = 0;
        ASSERT_TRUE(ReadNumber(name.substr(std::string(pattern).size()), vector)) << at;
        ASSERT_LT(vector, vectors.size()) << at;
        EXPECT_FALSE(hidden.count(vector)) << at << " names a vector this part hides";
        uint32_t flags = 0;
        ASSERT_TRUE(ReadNumber(vectors[vector][2].get<std::string>(), flags));
        if (pattern[4] == 'V') {
          EXPECT_EQ(flags & 0x1u, 0u) << at << ": the service routine of this vector is fixed";
        } else if (classic) {
          EXPECT_TRUE(definition.value.size() == 1 && definition.value[0] >= '0' &&
                      definition.value[0] <= '7')
              << at << " = " << definition.value;
        } else {
          EXPECT_EQ(flags & 0x6u, 0u) << at << ": the priority of this vector is fixed";
          uint32_t level = 0;
          ASSERT_TRUE(StartsWith(definition.value, "INTC_LEVEL") &&
                      ReadNumber(definition.value.substr(10), level))
              << at << " = " << definition.value;
          EXPECT_NE(flags & (0x20u << level), 0u) << at << " offers no " << definition.value;
        }
      }
      if (StartsWith(name, "INT_VECTOR_ADDR_") || StartsWith(name, "INT_PRIORITY_LEVEL_")) continue;
      // Registers carry a module prefix or one of the absolute system names.
      bool registerName = false;
      for (const std::string& module : modules) registerName |= StartsWith(name, module + "_");
      for (const char* absolute : {"SIM_", "BCR_INIT", "SYS_CNTL_INIT", "COP_", "PMC_"}) {
        registerName |= StartsWith(name, absolute);
      }
      if (registerName) {
        uint32_t value = 0;
        EXPECT_TRUE(EndsWith(name, "_INIT")) << at;
        EXPECT_TRUE(ReadCIntegerPrefix(definition.value, value)) << at << " = " << definition.value;
      } else {
        ++userDefinitions;
      }
    }
    EXPECT_GE(userDefinitions, 1) << folder;
    ASSERT_TRUE(header.definitions.count("MY_BOARD_REV")) << folder;
  }
}

}  // namespace tarq
