// The clock-tree data `show --json` carries under the clock module: its clocks agree with
// `info --json` on every example, it is one connected tree, and a worked example follows the
// arithmetic from the crystal to the peripheral clocks.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "CliTestSupport.h"

using nlohmann::json;

namespace tarq {
namespace {

using apptest::ExampleCopy;
using apptest::ExampleProjects;
using apptest::RunCli;
using apptest::ShownModule;

std::map<std::string, json> NodesById(const json& tree) {
  std::map<std::string, json> nodes;
  for (const json& node : tree) nodes[node["id"].get<std::string>()] = node;
  return nodes;
}

// A node's frequency in whole hertz; null when it is off.
json Hertz(const json& node) {
  if (node["mhz"].is_null()) return nullptr;
  return std::llround(node["mhz"].get<double>() * 1e6);
}

TEST(ClockTreeCli, EveryExampleTreeAgreesWithInfoAndIsOneTree) {
  for (const auto& project : ExampleProjects()) {
    SCOPED_TRACE(project.filename().string());
    std::string infoText, errors;
    ASSERT_EQ(RunCli("info --json " + project.string(), &infoText, &errors), 0) << errors;
    const json info = json::parse(infoText);
    const json occs = ShownModule(project.string(), "OCCS");
    ASSERT_TRUE(occs.contains("clockTree")) << "no clock tree";
    const std::map<std::string, json> nodes = NodesById(occs["clockTree"]);
    ASSERT_TRUE(nodes.count("system") && nodes.count("bus"));
    EXPECT_EQ(Hertz(nodes.at("system")), info["system_clock_hz"]);
    EXPECT_EQ(Hertz(nodes.at("bus")), info["bus_clock_hz"]);
    // The high-speed box shows what the clock page's own display shows.
    if (nodes.count("highspeed")) {
      EXPECT_EQ(nodes.at("highspeed")["text"], apptest::DisplayAfter(occs, "HS freq."));
    }

    int gates = 0;
    for (const auto& [id, node] : nodes) {
      SCOPED_TRACE(id);
      // A box marked "/N" runs at its parent's clock divided by N, one marked "xN" at N times
      // it: what the diagram shows adds up from box to box.
      const std::string detail = node["detail"];
      if (!node["parent"].is_null() && !node["mhz"].is_null() && detail.size() > 1 &&
          (detail[0] == '/' || detail[0] == 'x')) {
        const double factor = std::stod(detail.substr(1));
        const double parentMHz = nodes.at(node["parent"])["mhz"].get<double>();
        const double expected = detail[0] == '/' ? parentMHz / factor : parentMHz * factor;
        EXPECT_NEAR(node["mhz"].get<double>(), expected, 1e-3) << detail;
      }
      const std::string text = node["text"];
      // An unknown or zero clock reads "OFF", never a number that is not one.
      EXPECT_EQ(text.find("inf"), std::string::npos);
      EXPECT_EQ(text.find("nan"), std::string::npos);
      EXPECT_EQ(node["mhz"].is_null(), text == "OFF");
      if (!node["parent"].is_null()) {
        EXPECT_TRUE(nodes.count(node["parent"])) << "dangling parent";
      }
      EXPECT_EQ(node["link"].get<std::string>().rfind("tarq:", 0), 0u) << node["link"];
      if (node["gate"].get<bool>()) {
        ++gates;
        EXPECT_EQ(node["parent"], "bus");
        // A peripheral clock that is on runs at the bus clock.
        if (!node["mhz"].is_null()) {
          EXPECT_EQ(Hertz(node), Hertz(nodes.at("bus")));
        }
        EXPECT_EQ(node["detail"], node["mhz"].is_null() ? "off" : "on");
      }
    }
    // The classic group's system module gates no peripheral clocks; every other one does.
    if (project.filename() != "classic") {
      EXPECT_GT(gates, 0) << "the system module's peripheral clock boxes are missing";
    }

    // The clock-tree page draws the same tree: a box per node, in the same order.
    const json page = ShownModule(project.string(), "CLOCKTREE");
    json boxes;
    for (const json& control : page["controls"])
      if (control["kind"] == "diagram") boxes = control["boxes"];
    ASSERT_EQ(boxes.size(), occs["clockTree"].size());
    for (size_t i = 0; i < boxes.size(); ++i) {
      const json& box = boxes[i];
      const json& node = occs["clockTree"][i];
      SCOPED_TRACE(node["id"].get<std::string>());
      EXPECT_EQ(box["id"], node["id"]);
      EXPECT_EQ(box["parent"], node["parent"]);
      EXPECT_EQ(box["value"], node["text"]);
      EXPECT_EQ(box["alert"], node["violates"]);
      EXPECT_EQ(box["off"], node["mhz"].is_null());
      EXPECT_EQ(box["link"], node["link"]);
    }
  }
}

// The Fenn example runs from the 8 MHz relaxation oscillator: prescaler /1, PLL x30 gives a VCO of
// 8 * 30 = 240 MHz (inside 160...260); the PLL output is half of that (its own box, "/2"),
// postscaler /1 as the clock page shows it, so the clock generator gives 120 MHz and the
// system and bus clocks are 120 / 2 = 60 MHz, just at the 60 MHz limit.
TEST(ClockTreeCli, WorkedExampleFromTheCrystalToThePeripheralClocks) {
  ExampleCopy copy("fenn");
  std::map<std::string, json> nodes = NodesById(ShownModule(copy.root(), "OCCS")["clockTree"]);
  ASSERT_FALSE(nodes.empty());
  EXPECT_EQ(nodes["relaxation"]["text"], "8 MHz");
  EXPECT_EQ(nodes["crystal"]["text"], "OFF");
  EXPECT_EQ(nodes["input"]["parent"], "relaxation");
  EXPECT_EQ(nodes["prescaler"]["detail"], "/1");
  EXPECT_EQ(nodes["pll"]["parent"], "prescaler");
  EXPECT_EQ(nodes["pll"]["detail"], "x30");
  EXPECT_EQ(nodes["pll"]["text"], "240 MHz");
  EXPECT_FALSE(nodes["pll"]["violates"]);
  EXPECT_EQ(nodes["pllout"]["parent"], "pll");
  EXPECT_EQ(nodes["pllout"]["detail"], "/2");
  EXPECT_EQ(nodes["pllout"]["text"], "120 MHz");
  EXPECT_EQ(nodes["postscaler"]["parent"], "pllout");
  EXPECT_EQ(nodes["postscaler"]["detail"], "/1");
  EXPECT_EQ(nodes["postscaler"]["text"], "120 MHz");
  EXPECT_EQ(nodes["system"]["parent"], "postscaler");
  EXPECT_EQ(nodes["system"]["text"], "60 MHz");
  EXPECT_FALSE(nodes["system"]["violates"]);
  EXPECT_EQ(nodes["bus"]["text"], "60 MHz");

  // x34: 8 * 34 = 272 MHz leaves the VCO range, and 272 / 2 / 2 = 68 MHz passes the limit.
  ASSERT_TRUE(copy.Replace("OCCS_PLLDB_INIT                   0x201DU",
                           "OCCS_PLLDB_INIT                   0x2021U"));
  nodes = NodesById(ShownModule(copy.root(), "OCCS")["clockTree"]);
  EXPECT_EQ(nodes["pll"]["text"], "272 MHz");
  EXPECT_TRUE(nodes["pll"]["violates"]);
  EXPECT_EQ(nodes["pll"]["limit"], "(160...260 MHz)");
  EXPECT_EQ(nodes["system"]["text"], "68 MHz");
  EXPECT_TRUE(nodes["system"]["violates"]);
  EXPECT_EQ(nodes["system"]["limit"], "(max. 60 MHz)");

  // Without an input clock (relaxation oscillator not used, no external clock) nothing runs:
  // the boxes read "OFF" rather than a number. The PLL, which still runs, is below its range,
  // as the clock page warns; the system clock passes no limit.
  ASSERT_TRUE(copy.Replace("OCCS_PLLCR_INIT                   0x0082U",
                           "OCCS_PLLCR_INIT                   0x0086U"));
  ASSERT_TRUE(copy.Replace("APPCFG_EXTCLK 8000000L", "APPCFG_EXTCLK 0L"));
  nodes = NodesById(ShownModule(copy.root(), "OCCS")["clockTree"]);
  EXPECT_EQ(nodes["input"]["parent"], "crystal");
  for (const char* id : {"relaxation", "crystal", "input", "pll", "postscaler", "system", "bus", "gate:SCI 0"}) {
    EXPECT_EQ(nodes[id]["text"], "OFF") << id;
    EXPECT_TRUE(nodes[id]["mhz"].is_null()) << id;
  }
  EXPECT_TRUE(nodes["pll"]["violates"]);
  EXPECT_FALSE(nodes["system"]["violates"]);
}

}  // namespace
}  // namespace tarq
