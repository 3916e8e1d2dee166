// The known parts of the Corvex family and the part tests that modules ask.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tarq {

struct KnownPart {
  const char* name;   // the bare definition that names the part in a header
  const char* alias;  // the name the part goes by in the tool, or "" for none
};

constexpr int kKnownPartCount = 36;
constexpr int kPartTestCount = 48;
// Row of CVX-08, which replaces the older name CVX-36.
constexpr int kPartRowCVX08 = 9;
// Row of CVX-36, the older name of CVX-08.
constexpr int kPartRowCVX36 = 7;

const std::array<KnownPart, kKnownPartCount>& KnownParts();

// The part name a row goes by: its alias when it has one, else its name.
std::string PartNameOfRow(int row);

// The part tests modules ask by name (the others are asked by number where needed).
enum PartTest : int {
  kTestCvx01 = 0, kTestCvx02 = 1, kTestCvx06 = 5, kTestCvx07 = 6, kTestCvx09 = 7,
  kTestCvx08 = 8, kTestClassic = 33, kTestTeboOrCasp = 35, kTestTebo = 36, kTestCasp = 39,
  kTestFenn = 40, kTestCvx17To19 = 41, kTestBrel = 42, kTestCvx28 = 44, kTestDorn = 45,
};

// Test n (0..47) on a part name; any other index is false.
bool TestPartName(std::string_view partName, int n);
std::array<bool, kPartTestCount> ComputePartResults(std::string_view partName);

// Readable chip-group name of a part ("classic", "Fenn", "Tebo", "Casp", "Brel", "Dorn",
// or "later" for the later parts outside those groups); empty for a name that is no known part.
std::string ChipGroupOf(std::string_view partName);

}  // namespace tarq
