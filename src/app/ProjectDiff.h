// What a project holds, as the user sees it on the pages: the field listing that two
// projects are compared by.
#pragma once

#include <string>
#include <vector>

namespace tarq {

class CProjDocBase;

struct ListedField {
  std::string key;    // stable across two projects of the same kind: control ids
  std::string label;  // the caption, or the display's label
  std::string value;  // check state, item text, typed text or shown text
};

struct ListedRegister {
  std::string define;               // the define name
  std::string value;                // as the header writes it
  std::vector<ListedField> fields;  // the page's controls bound to it
};

struct ListedModule {
  std::string prefix;
  std::string className;
  bool selected = false;
  std::vector<ListedRegister> registers;
  std::vector<ListedField> others;  // displays and controls bound to no single register
};

struct ListedDefinition {
  std::string name;
  std::string value;
};

struct ProjectListing {
  std::vector<ListedDefinition> settings;  // the settings lines a save writes
  std::vector<ListedModule> modules;
  std::vector<ListedDefinition> userDefinitions;
};

// Builds every module's page (as `show` does) to read what it shows.
ProjectListing ListProject(CProjDocBase& doc);

// One change: a side that lacks the item has no value.
struct FieldChange {
  std::string label;
  std::string a, b;
  bool inA = true, inB = true;
};

struct RegisterChange {
  std::string define;
  std::string a, b;
  bool inA = true, inB = true;
  std::vector<FieldChange> fields;
};

struct ModuleChange {
  std::string prefix;
  std::string className;
  bool inA = true, inB = true;
  bool selectedA = false, selectedB = false;
  std::vector<RegisterChange> registers;
  std::vector<FieldChange> others;  // fields whose register did not change, displays
};

struct ProjectChanges {
  std::vector<FieldChange> settings;
  std::vector<ModuleChange> modules;
  std::vector<FieldChange> userDefinitions;
  bool Empty() const { return settings.empty() && modules.empty() && userDefinitions.empty(); }
};

ProjectChanges CompareListings(const ProjectListing& a, const ProjectListing& b);

// "SCI_0  Baud rate divisor: 33 → 65" lines.
std::string ChangesAsText(const ProjectChanges& changes);
std::string ListingAsText(const ProjectListing& listing);

}  // namespace tarq
