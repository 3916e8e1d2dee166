// `tarq-cli diff` and the field listing behind the git text conversion.
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/Cli.h"
#include "app/CliVersionControl.h"
#include "app/ProjectDiff.h"
#include "framework/Host.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

// A project opened for reading only: no lock, so a project open in the desktop program or
// a temporary file of git can be read.
std::unique_ptr<CProjDoc> OpenForReading(const std::string& path, const std::string& programFolder,
                                         Host& host, std::ostream& err) {
  DocumentEnvironment environment;
  environment.programFolder = programFolder;
  environment.takeLock = false;
  auto doc = std::make_unique<CProjDoc>(host, environment, RegisterBuiltInModuleKinds);
  doc->SetIdleReached(true);
  if (!doc->OpenProject(path)) {
    err << "tarq-cli: cannot open project '" << path << "'\n";
    return nullptr;
  }
  doc->OnIdle();  // every module recomputed, as the pages show it
  return doc;
}

// Git runs the text conversion for every file it shows: its messages reach the terminal,
// the progress of opening would only be noise there.
class QuietProgressHost : public BatchHost {
 public:
  void BeginProgress(const std::string&, int) override {}
};

nlohmann::json Value(bool present, const std::string& value) {
  return present ? nlohmann::json(value) : nlohmann::json(nullptr);
}

nlohmann::json FieldsToJson(const std::vector<FieldChange>& fields, const char* nameKey) {
  nlohmann::json list = nlohmann::json::array();
  for (const FieldChange& field : fields)
    list.push_back({{nameKey, field.label},
                    {"a", Value(field.inA, field.a)},
                    {"b", Value(field.inB, field.b)}});
  return list;
}

nlohmann::json ChangesToJson(const ProjectChanges& changes, const std::string& pathA,
                             const std::string& pathB) {
  nlohmann::json modules = nlohmann::json::array();
  for (const ModuleChange& module : changes.modules) {
    nlohmann::json registers = nlohmann::json::array();
    for (const RegisterChange& reg : module.registers)
      registers.push_back({{"define", reg.define},
                           {"a", Value(reg.inA, reg.a)},
                           {"b", Value(reg.inB, reg.b)},
                           {"fields", FieldsToJson(reg.fields, "label")}});
    modules.push_back({{"prefix", module.prefix},
                       {"class", module.className},
                       {"in_a", module.inA},
                       {"in_b", module.inB},
                       {"written_a", module.inA ? nlohmann::json(module.selectedA) : nullptr},
                       {"written_b", module.inB ? nlohmann::json(module.selectedB) : nullptr},
                       {"registers", registers},
                       {"fields", FieldsToJson(module.others, "label")}});
  }
  return {{"a", pathA},
          {"b", pathB},
          {"equal", changes.Empty()},
          {"settings", FieldsToJson(changes.settings, "name")},
          {"modules", modules},
          {"user_definitions", FieldsToJson(changes.userDefinitions, "name")}};
}

}  // namespace

int RunProjectDiff(const ProjectDiffRequest& request, std::ostream& out, std::ostream& err) {
  BatchHost host;
  const auto a = OpenForReading(request.pathA, request.programFolder, host, err);
  if (!a) return kExitUsage;
  const auto b = OpenForReading(request.pathB, request.programFolder, host, err);
  if (!b) return kExitUsage;
  const ProjectChanges changes = CompareListings(ListProject(*a), ListProject(*b));
  if (request.json)
    out << DumpJson(ChangesToJson(changes, request.pathA, request.pathB)) << "\n";
  else
    out << ChangesAsText(changes);
  return changes.Empty() ? kExitOk : kExitFailed;
}

int RunFieldListing(const std::string& path, const std::string& programFolder, std::ostream& out,
                    std::ostream& err) {
  QuietProgressHost host;
  const auto doc = OpenForReading(path, programFolder, host, err);
  if (!doc) return kExitUsage;
  out << ListingAsText(ListProject(*doc));
  return kExitOk;
}

}  // namespace tarq
