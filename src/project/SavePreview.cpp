// The save without the writing: what `reprocess --dry-run` compares with the files.
#include "framework/TextUtil.h"
#include "project/HeaderWriter.h"
#include "project/ProjDoc.h"

namespace tarq {

std::vector<CProjDocBase::HeaderPreview> CProjDocBase::PreviewSave(std::string& problem) {
  problem.clear();
  refusedLines_.clear();
  CModuleBase* invalid = nullptr;
  // As in a batch save: an invalid page does not stop the writing, it fails the save.
  if (!ValidateAllModules(false, &invalid)) problem = DescribeInvalidControl(invalid);

  HeaderWriteContext context;
  context.settings = &settings_;
  context.options = &options_;
  context.host = host_;
  std::vector<HeaderPreview> previews;
  auto preview = [&](HeaderFile& header, const std::string& path, bool isMain) {
    std::string text;
    if (!BuildModuleText(header, text)) {
      if (problem.empty()) problem = "a module question was cancelled";
      return false;
    }
    if (!ConfirmDroppedLines(header, text) && problem.empty())
      problem = Format("'%s' holds lines that are not definitions; the save would not write it",
                       path.c_str());
    previews.push_back({path, BuildHeaderText(header, text, isMain, context)});
    return true;
  };
  for (auto& [key, header] : pluginHeaders_)
    if (!preview(*header, header->path, false)) return previews;
  preview(*mainHeader_, path_, true);
  return previews;
}

}  // namespace tarq
