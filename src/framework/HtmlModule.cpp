#include "framework/HtmlModule.h"

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "framework/Host.h"
#include "framework/Links.h"
#include "framework/TextUtil.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarq {

namespace {

constexpr const char* kCommentRule = "--------------------------------------------";

std::string DefaultPlaceholderPath(const std::string& prefix) {
  static std::atomic<int> counter{0};
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = ".";
#ifdef _WIN32
  const std::string process = "0";
#else
  const std::string process = std::to_string(static_cast<long>(getpid()));
#endif
  return (folder /
          ("tarq-external-" + process + "-" + std::to_string(++counter) + "-" + prefix + ".html"))
      .string();
}

bool LooksLikeDrivePath(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

CHtmlModule::CHtmlModule(const ArchitectureEntry& entry, CModuleBase* parent)
    : CModule(entry, parent), placeholderPath_(DefaultPlaceholderPath(entry.name)) {}

CHtmlModule::~CHtmlModule() {
  if (placeholderWritten_) {
    std::error_code error;
    std::filesystem::remove(placeholderPath_, error);
  }
}

void CHtmlModule::AttachView(HtmlView* view) {
  view_ = view;
  if (view_ != nullptr && !startUrl_.empty()) Navigate(startUrl_);
}

void CHtmlModule::LoadInBackground(HtmlView* view) {
  view_ = view;
  if (view_ == nullptr || startUrl_.empty() || openExternally_) return;
  view_->Load(startUrl_);
  shownUrl_ = startUrl_;
}

void CHtmlModule::Navigate(const std::string& url) {
  if (view_ == nullptr) return;
  const bool sameUrl = url == shownUrl_ && !forceReload_;
  const bool hidden = !view_->IsActiveView() && !forceWhenInactive_;
  if (sameUrl || hidden) {
    view_->Redraw();
    return;
  }
  if (openExternally_) {
    // A document that could not be opened is not "shown": asking again tries again.
    if (!OpenExternal(url)) return;
  } else {
    view_->Load(url);
  }
  shownUrl_ = url;
}

std::string CHtmlModule::ExternalPathOf(const std::string& url) {
  std::string path = url;
  if (path.size() >= 5 && EqualsNoCase(std::string_view(path).substr(0, 5), "file:")) {
    path.erase(0, 5);
    size_t slashes = 0;
    while (slashes < path.size() && path[slashes] == '/') ++slashes;
    path.erase(0, slashes);
    // Web views escape blanks and the like in file URLs; the file system knows no escapes.
    path = DecodeUrlEscapes(path);
#ifdef _WIN32
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
#else
    // "file:///home/x" names the absolute path /home/x here.
    if (slashes > 0 && !LooksLikeDrivePath(path)) path.insert(path.begin(), '/');
#endif
  }
  return path;
}

std::string CHtmlModule::WritePlaceholder() {
  std::ofstream out(placeholderPath_, std::ios::binary | std::ios::trunc);
  out << kExternalPlaceholderHtml;
  out.close();
  if (!out) return "about:blank";
  placeholderWritten_ = true;
  return "file://" + std::filesystem::absolute(placeholderPath_).generic_string();
}

bool CHtmlModule::OpenExternal(const std::string& url) {
  const std::string path = ExternalPathOf(url);
  Host* host = HostInForce();
  if (host == nullptr || !host->ShellOpen(path)) {
    if (host != nullptr) host->ShowMessage(Format("Can not open link \"%s\"", url.c_str()));
    return false;
  }
  if (url != shownUrl_ && view_ != nullptr) view_->Load(WritePlaceholder());
  return true;
}

bool CHtmlModule::CallScript(const std::string& function, const std::vector<std::string>& arguments,
                             std::string& result) {
  std::string reason;
  bool done = false;
  if (view_ == nullptr) {
    reason = "NULL pointer";
  } else {
    result.clear();
    done = view_->CallScript(function, arguments, result, reason);
  }
  if (done) {
    lastScriptError_.clear();
    return true;
  }
  lastScriptError_ = kScriptErrorPrefix + reason;
  result = lastScriptError_;
  return false;
}

void CHtmlModule::GenerateComment(std::string& text) {
  text += "    " + GetDisplayName() + " Software Module Configuration\n" + kCommentRule;
  if (Trim(comment_).empty()) return;
  // A CR LF pair is one line end; a lone CR counts as one too.
  std::string body = ReplaceAll(comment_, "\r\n", "\n");
  body = ReplaceAll(body, "\r", "\n");
  body = ReplaceAll("\n" + body, "\n", "\n    ");
  // The block is a C comment: the text must not be able to close it early.
  text += ReplaceAll(body, "*/", "* /");
}

}  // namespace tarq
