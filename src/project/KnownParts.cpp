#include "project/KnownParts.h"

namespace tarq {

namespace {

// Row order matters: the part decision walks the table top to bottom and the first
// defined name wins.
constexpr std::array<KnownPart, kKnownPartCount> kParts = {{
    {"CVX-01", ""},       {"CVX-02", ""}, {"CVX-03", ""}, {"CVX-04", ""}, {"CVX-05", ""},
    {"CVX-06", "CVX-37"}, {"CVX-07", ""}, {"CVX-36", ""}, {"CVX-09", ""}, {"CVX-08", ""},
    {"CVX-10", ""},       {"CVX-11", ""}, {"CVX-12", ""}, {"CVX-13", ""}, {"CVX-14", ""},
    {"CVX-15", ""},       {"CVX-16", ""}, {"CVX-17", ""}, {"CVX-18", ""}, {"CVX-19", ""},
    {"CVX-20", ""},       {"CVX-21", ""}, {"CVX-22", ""}, {"CVX-23", ""}, {"CVX-24", ""},
    {"CVX-25", ""},       {"CVX-26", ""}, {"CVX-27", ""}, {"CVX-28", ""}, {"CVX-29", ""},
    {"CVX-30", ""},       {"CVX-31", ""}, {"CVX-32", ""}, {"CVX-33", ""}, {"CVX-34", ""},
    {"CVX-35", ""},
}};

// Tests 0..32, 43 and 44 look for a text inside the part name; nullptr marks a group test.
constexpr const char* kContainsText[kPartTestCount] = {
    "CVX-01", "CVX-02", "CVX-03", "CVX-04", "CVX-05",  // 0..4
    "CVX-06", "CVX-07",                                // 5, 6
    "CVX-09", "CVX-08",                                // 7, 8
    "CVX-10", "CVX-11", "CVX-12", "CVX-13", "CVX-14",  // 9..13
    "CVX-15", "CVX-16", "CVX-17", "CVX-18", "CVX-19",  // 14..18
    "CVX-20", "CVX-21", "CVX-22", "CVX-23",            // 19..22
    "CVX-24", "CVX-25", "CVX-26", "CVX-27",            // 23..26
    "CVX-30", "CVX-31", "CVX-32", "CVX-33", "CVX-34",  // 27..31
    "CVX-35",                                          // 32
    nullptr,  nullptr,  nullptr,  nullptr,  nullptr,   // 33..37
    nullptr,  nullptr,  nullptr,  nullptr,  nullptr,   // 38..42
    "CVX-29", "CVX-28",                                // 43, 44
    nullptr,  nullptr,  nullptr,                       // 45..47
};

constexpr int kTestCVX06 = 5;
constexpr size_t kRowCVX06 = 5;

struct GroupRange {
  int first;
  int last;
};

// Group tests are true when any test of the inclusive range is true.
constexpr GroupRange GroupOf(int n) {
  switch (n) {
    case 33:
      return {0, 4};  // classic
    case 34:
      return {5, 32};  // later
    case 35:
      return {19, 26};  // Tebo or Casp
    case 36:
      return {19, 22};  // Tebo
    case 37:
      return {23, 24};
    case 38:
      return {25, 26};
    case 39:
      return {23, 26};  // Casp
    case 40:
      return {7, 18};  // Fenn
    case 41:
      return {16, 18};
    case 42:
      return {43, 44};  // Brel
    case 45:
      return {27, 32};  // Dorn
    case 46:
      return {27, 29};
    case 47:
      return {30, 32};
    default:
      return {0, -1};
  }
}

}  // namespace

const std::array<KnownPart, kKnownPartCount>& KnownParts() { return kParts; }

std::string PartNameOfRow(int row) {
  if (row < 0 || row >= kKnownPartCount) return {};
  const KnownPart& part = kParts[static_cast<size_t>(row)];
  return part.alias[0] != '\0' ? part.alias : part.name;
}

bool TestPartName(std::string_view partName, int n) {
  if (n < 0 || n >= kPartTestCount) return false;
  if (const char* text = kContainsText[n]) {
    if (partName.find(text) != std::string_view::npos) return true;
    // CVX-06 goes by its alias CVX-37; without this its own test, and with it the later
    // group, would be false for it.
    return n == kTestCVX06 && partName.find(kParts[kRowCVX06].alias) != std::string_view::npos;
  }
  const GroupRange range = GroupOf(n);
  for (int i = range.first; i <= range.last; ++i) {
    // Group ranges only name "contains" tests, so this never recurses further.
    if (TestPartName(partName, i)) return true;
  }
  return false;
}

std::array<bool, kPartTestCount> ComputePartResults(std::string_view partName) {
  std::array<bool, kPartTestCount> results{};
  for (int n = 0; n < kPartTestCount; ++n)
    results[static_cast<size_t>(n)] = TestPartName(partName, n);
  return results;
}

std::string ChipGroupOf(std::string_view partName) {
  // CVX-36 is the older name of CVX-08 and belongs where CVX-08 does.
  if (partName == "CVX-36") partName = "CVX-08";
  bool known = false;
  for (const KnownPart& part : kParts) {
    if (partName == part.name || (part.alias[0] != '\0' && partName == part.alias)) known = true;
  }
  if (!known) return {};
  if (TestPartName(partName, 33)) return "classic";
  if (TestPartName(partName, 40)) return "Fenn";
  if (TestPartName(partName, 36)) return "Tebo";
  if (TestPartName(partName, 39)) return "Casp";
  if (TestPartName(partName, 42)) return "Brel";
  if (TestPartName(partName, 45)) return "Dorn";
  return "later";
}

}  // namespace tarq
