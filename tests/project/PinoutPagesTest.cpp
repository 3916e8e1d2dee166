// The pinout pages (data/pages/<PART>.html, written by tools/gen_pinout_pages.py) against the
// family matrix: the PINOUT module loads the page its PAGE parameter names, calls the page's
// script functions, finds pins by their data-pin names and sends the names of the module check
// boxes back to the program, so each of these must agree with the part. The stylesheet and the
// script are shared by all pages (data/pages/pinout.css and pinout.js, loaded by relative links
// from the page's own folder), so the checks of styles and script functions read those files.

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
#include "framework/TextUtil.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kDataFolder = familytest::DataFolder();
const fs::path kPageFolder = kDataFolder / "pages";
const std::string kPinChars = "0123456789ABCDEF";
const std::string kStylesheet = "pinout.css";
const std::string kScript = "pinout.js";
// How every page loads them: the stylesheet in the head, the script after the content it
// gathers when it runs (views, tabs, boxes), as a classic script whose functions are global.
const std::string kStylesheetLink = "<link rel=\"stylesheet\" href=\"" + kStylesheet + "\">";
const std::string kScriptElement = "<script src=\"" + kScript + "\"></script>";

using familytest::Matrix;
using familytest::ReadFile;

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

// The opening tags of the elements named `element` whose tag holds `marker`, e.g.
// Tags(page, "text", "class=\"lbl\"").
std::vector<std::string> Tags(const std::string& page, const std::string& element,
                              const std::string& marker = "") {
  std::vector<std::string> tags;
  const std::string open = "<" + element + " ";
  for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
    const std::string tag = page.substr(at, page.find('>', at) - at + 1);
    if (tag.find(marker) != std::string::npos) tags.push_back(tag);
  }
  return tags;
}

// Attribute `name` of one tag, empty when it has none.
std::string Attribute(const std::string& tag, const std::string& name) {
  const std::vector<std::string> values = AttributeValues(tag, name);
  return values.empty() ? std::string() : values.front();
}

double Number(const std::string& text) { return text.empty() ? -1.0 : std::stod(text); }

// A file of the page folder; empty when it is missing.
std::string PageFolderFile(const std::string& name) {
  const fs::path path = kPageFolder / name;
  return fs::is_regular_file(path) ? ReadFile(path) : std::string();
}

// Selector list -> font size in px, for each rule of the stylesheet that sets one.
std::map<std::string, double> FontSizes(std::string stylesheet) {
  for (size_t at = stylesheet.find("/*"); at != std::string::npos; at = stylesheet.find("/*", at)) {
    stylesheet.erase(at, stylesheet.find("*/", at) + 2 - at);
  }
  std::map<std::string, double> sizes;
  std::stringstream css(stylesheet);
  for (std::string rule; std::getline(css, rule, '}');) {
    std::erase_if(rule, [](char c) { return c == '\n'; });
    const size_t brace = rule.find('{');
    const size_t size = rule.find("font-size:", brace);
    if (brace == std::string::npos || size == std::string::npos) continue;
    sizes[rule.substr(0, brace)] = std::stod(rule.substr(size + 10));
  }
  return sizes;
}

// The number a script constant is set to ("var NAME = 11;"), or -1.
double ScriptConstant(const std::string& script, const std::string& name) {
  const std::string key = "var " + name + " = ";
  const size_t at = script.find(key);
  if (at == std::string::npos) return -1.0;
  return Number(script.substr(at + key.size(), script.find(';', at) - at - key.size()));
}

// How often `text` occurs in `in`.
size_t Count(const std::string& in, const std::string& text) {
  size_t count = 0;
  for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1)) ++count;
  return count;
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
      const fs::path path = kPageFolder / info.value("PAGE", "");
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
  // The functions the PINOUT module calls, once for every page in the shared script.
  const std::string script = PageFolderFile(kScript);
  ASSERT_FALSE(script.empty()) << "no " << kScript << "; run tools/gen_pinout_pages.py";
  for (const char* function : {"ShowView", "GetActiveView", "SetPinName", "GetGpioCheckboxes",
                               "SetGpioCheckbox", "SetCpuName", "SetPreliminary"}) {
    EXPECT_EQ(Count(script, "function " + std::string(function) + "("), 1u)
        << kScript << " does not define " << function << " once";
  }
  std::set<std::string> expectedFiles = {kStylesheet, kScript};
  for (const PartPage& page : pages) {
    ASSERT_FALSE(page.text.empty())
        << page.part << ": no page; run tools/gen_pinout_pages.py";
    expectedFiles.insert(page.part + ".html");
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
  }
  // Nothing in the folder that no part loads.
  std::set<std::string> files;
  for (const auto& item : fs::directory_iterator(kPageFolder)) {
    files.insert(item.path().filename().string());
  }
  EXPECT_EQ(files, expectedFiles);
}

// A page is loaded from a file: URL and must work offline: it takes the shared stylesheet and
// script from its own folder and nothing from anywhere else, and keeps no copy of either.
TEST(PinoutPages, EveryPageLoadsTheSharedStylesheetAndScriptFromItsFolderOnly) {
  const std::string stylesheet = PageFolderFile(kStylesheet);
  const std::string script = PageFolderFile(kScript);
  ASSERT_FALSE(stylesheet.empty()) << "no " << kStylesheet << "; run tools/gen_pinout_pages.py";
  ASSERT_FALSE(script.empty()) << "no " << kScript << "; run tools/gen_pinout_pages.py";
  for (const auto& [name, text] :
       {std::pair{kStylesheet, stylesheet}, std::pair{kScript, script}}) {
    for (const char* outside : {"://", "url(", "@import", "import(", "fetch(", "XMLHttpRequest"}) {
      EXPECT_EQ(text.find(outside), std::string::npos) << name << " reaches out with " << outside;
    }
  }

  for (const PartPage& page : Pages()) {
    if (page.text.empty()) continue;  // reported by the first test
    const std::string& part = page.part;
    const size_t headEnd = page.text.find("</head>");
    const size_t contentEnd = page.text.find("</main>");
    const size_t bodyEnd = page.text.find("</body>");
    ASSERT_TRUE(headEnd != std::string::npos && contentEnd != std::string::npos &&
                bodyEnd != std::string::npos)
        << part << ": no head, main or body end";

    EXPECT_EQ(Count(page.text, kStylesheetLink), 1u) << part << ": does not link " << kStylesheet;
    EXPECT_LT(page.text.find(kStylesheetLink), headEnd) << part << ": stylesheet outside the head";
    EXPECT_EQ(Count(page.text, kScriptElement), 1u) << part << ": does not load " << kScript;
    const size_t scriptAt = page.text.find(kScriptElement);
    EXPECT_TRUE(scriptAt > contentEnd && scriptAt < bodyEnd)
        << part << ": the script does not come after the views and the check boxes";

    // No other element that loads anything, no inline copy of the shared parts.
    EXPECT_EQ(Count(page.text, "<link"), 1u) << part;
    EXPECT_EQ(Count(page.text, "<script"), 1u) << part << ": a script besides " << kScript;
    EXPECT_EQ(page.text.find("<style"), std::string::npos) << part << ": a stylesheet of its own";
    for (const char* attribute : {"href", "src", "xlink:href", "data"}) {
      for (const std::string& value : AttributeValues(page.text, attribute)) {
        EXPECT_TRUE(value == kStylesheet || value == kScript)
            << part << ": " << attribute << "=\"" << value << "\" loads from elsewhere";
      }
    }
    EXPECT_EQ(page.text.find("url("), std::string::npos) << part;
    EXPECT_EQ(page.text.find("://"), std::string::npos) << part;
  }
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

// The drawings stay readable: pin names and functions are never drawn or zoomed below 11 px,
// pins are far enough apart for their texts, every label has room up to the drawing's edge
// for a pin name and a shortened function text, and the zoom buttons are no package tabs.
TEST(PinoutPages, DrawingsKeepTheirPinTextsLegible) {
  constexpr double kLegiblePx = 11.0;
  // "GPIO_A10 HSCMP_A.CMPA_O" (a pin name and a function cut to 14 characters) took 153 px
  // in the embedded browser at 12 px.
  constexpr double kLabelRoom = 150.0;
  constexpr double kPinPitch = 16.0;

  // Every rule of the shared stylesheet that sizes a pin text sizes it legibly, and the
  // zoom's lower limit in the shared script is worked out from the size the labels really have.
  const std::map<std::string, double> sizes = FontSizes(PageFolderFile(kStylesheet));
  for (const auto& [selectors, size] : sizes) {
    for (const char* pinText : {".lbl", ".nm", ".fn", ".bnm"}) {
      if (selectors.find(pinText) != std::string::npos) {
        EXPECT_GE(size, kLegiblePx) << kStylesheet << ": " << selectors << " font-size";
      }
    }
  }
  ASSERT_TRUE(sizes.count(".lbl") && sizes.count(".bnm")) << kStylesheet << ": pin texts unsized";
  const double labelPx = sizes.at(".lbl");
  const std::string script = PageFolderFile(kScript);
  EXPECT_GE(ScriptConstant(script, "LEGIBLE_PX"), kLegiblePx)
      << kScript << ": the zoom's smallest text";
  EXPECT_EQ(ScriptConstant(script, "PIN_TEXT_PX"), labelPx)
      << kScript << ": the zoom scales from another text size than the labels have";

  for (const PartPage& page : Pages()) {
    if (page.text.empty()) continue;  // reported by the first test
    const std::string& part = page.part;

    // ShowView and the tabs count the buttons of the tab bar: one per package, nothing else.
    const size_t nav = page.text.find("<nav");
    const std::string tabBar = page.text.substr(nav, page.text.find("</nav>", nav) - nav);
    EXPECT_EQ(Tags(tabBar, "button").size(), (*page.entry)["packages"].size()) << part;
    EXPECT_EQ(Tags(page.text, "button", "data-zoom=").size(), 2u) << part << ": zoom buttons";

    // Each drawing comes at its own size, in the units of its view box; the zoom scales it.
    const std::vector<std::string> svgs = Tags(page.text, "svg");
    ASSERT_EQ(svgs.size(), (*page.entry)["packages"].size()) << part;
    size_t from = 0;
    for (const std::string& svg : svgs) {
      std::stringstream box(Attribute(svg, "viewBox"));
      double x = -1, y = -1, width = -1, height = -1;
      box >> x >> y >> width >> height;
      ASSERT_TRUE(box) << part << ": " << svg;
      EXPECT_EQ(Number(Attribute(svg, "width")), width) << part << ": " << svg;
      EXPECT_EQ(Number(Attribute(svg, "height")), height) << part << ": " << svg;

      const size_t start = page.text.find(svg, from);
      from = page.text.find("</svg>", start);
      const std::string drawing = page.text.substr(start, from - start);
      // Labels by side: the direction they run and the line the pins stand on.
      std::map<std::string, std::vector<double>> sides;
      for (const std::string& label : Tags(drawing, "text", "class=\"lbl\"")) {
        const double lx = Number(Attribute(label, "x"));
        const double ly = Number(Attribute(label, "y"));
        const bool rotated = !Attribute(label, "transform").empty();
        const bool atEnd = Attribute(label, "text-anchor") == "end";
        double room = 0;
        if (!rotated) room = atEnd ? lx - x : x + width - lx;  // left side / right side
        else room = atEnd ? y + height - ly : ly - y;           // bottom side / top side
        EXPECT_GE(room, kLabelRoom) << part << ": no room for " << label;
        const std::string side = std::string(rotated ? "v" : "h") + (atEnd ? "e" : "s") +
                                 std::to_string(rotated ? ly : lx);
        sides[side].push_back(rotated ? lx : ly);
      }
      for (auto& [side, places] : sides) {
        std::sort(places.begin(), places.end());
        for (size_t i = 1; i < places.size(); ++i) {
          EXPECT_GE(places[i] - places[i - 1], kPinPitch) << part << ": labels too close, " << side;
        }
      }
      // Balls big enough for a name such as RESET at that size, and not touching.
      std::map<double, std::vector<double>> rows;
      for (const std::string& ball : Tags(drawing, "circle", "cx=")) {
        if (Attribute(ball, "class") == "dot") continue;
        EXPECT_GE(Number(Attribute(ball, "r")), 20.0) << part << ": " << ball;
        rows[Number(Attribute(ball, "cy"))].push_back(Number(Attribute(ball, "cx")));
      }
      for (auto& [row, centres] : rows) {
        std::sort(centres.begin(), centres.end());
        for (size_t i = 1; i < centres.size(); ++i) {
          EXPECT_GE(centres[i] - centres[i - 1], 44.0) << part << ": balls touch in row " << row;
        }
      }
    }
  }
}

}  // namespace tarq
