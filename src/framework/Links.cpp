// Making and following program links.
#include "framework/Links.h"

#include <cctype>

#include "framework/Host.h"
#include "framework/Module.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/TextUtil.h"

namespace tarq {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the scheme (with its colon) of a program link, 0 when it is none.
size_t ProgramSchemeLength(std::string_view url, bool* activate) {
  const std::string_view activating = kLinkScheme;
  const std::string_view passive = kLinkSchemeNoActivate;
  if (url.size() >= activating.size() &&
      EqualsNoCase(url.substr(0, activating.size()), activating)) {
    if (activate) *activate = true;
    return activating.size();
  }
  if (url.size() >= passive.size() && EqualsNoCase(url.substr(0, passive.size()), passive)) {
    if (activate) *activate = false;
    return passive.size();
  }
  return 0;
}

}  // namespace

std::string EncodeUrlText(std::string_view text) {
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '(' || c == ')')
      encoded += static_cast<char>(c);
    else
      encoded += Format("%%%02X", c);
  }
  return encoded;
}

std::string DecodeUrlEscapes(std::string_view url) {
  std::string decoded;
  for (size_t i = 0; i < url.size() && decoded.size() < kMaxDecodedLinkLength; ++i) {
    if (url[i] == '%' && i + 2 < url.size() && HexDigitValue(url[i + 1]) >= 0 &&
        HexDigitValue(url[i + 2]) >= 0) {
      decoded += static_cast<char>(HexDigitValue(url[i + 1]) * 16 + HexDigitValue(url[i + 2]));
      i += 2;
    } else {
      decoded += url[i];
    }
  }
  return decoded;
}

bool IsProgramLink(std::string_view url, bool* activate) {
  return ProgramSchemeLength(url, activate) != 0;
}

LinkParams ParseLinkParams(std::string_view query) {
  LinkParams params;
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view piece = query.substr(0, amp);
    if (!piece.empty()) {
      const size_t equals = piece.find('=');
      const std::string key = ToLower(Trim(piece.substr(0, equals)));
      const std::string value =
          equals == std::string_view::npos ? std::string() : std::string(piece.substr(equals + 1));
      if (!key.empty()) params[key] = value;
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return params;
}

bool SplitProgramLink(std::string_view url, LinkParts& parts) {
  parts = LinkParts();
  size_t start = ProgramSchemeLength(url, &parts.activate);
  if (start == 0) return false;
  // "tarq://X/Y" is read like "tarq:X/Y".
  while (start < url.size() && url[start] == '/') ++start;
  std::string_view rest = url.substr(start);

  const size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    parts.query = std::string(rest.substr(question + 1));
    parts.params = ParseLinkParams(parts.query);
    rest = rest.substr(0, question);
  }
  const size_t slash1 = rest.find('/');
  parts.prefix = std::string(rest.substr(0, slash1));
  if (slash1 == std::string_view::npos) return true;
  rest.remove_prefix(slash1 + 1);
  const size_t slash2 = rest.find('/');
  parts.kind = std::string(rest.substr(0, slash2));
  // The control part is the rest of the path, so that a caption such as "Rx/Tx" survives.
  if (slash2 != std::string_view::npos) parts.control = std::string(rest.substr(slash2 + 1));
  return true;
}

std::string MissingLinkControlMessage(const std::string& prefix, const std::string& control) {
  return "The page of module " + prefix + " has no control \"" + control + "\"";
}

// ---- CModuleBase services ----

std::string CModuleBase::MakeLink(uint32_t controlId, const std::string& query,
                                  bool noActivate) const {
  const char* na = noActivate ? "na" : "";
  const std::string queryPart = query.empty() ? std::string() : "?" + query;
  if (controlId != 0) {
    return Format("tarq%s:%s/%s/%u%s", na, GetPrefix().c_str(), GetClass().c_str(), controlId,
                  queryPart.c_str());
  }
  return Format("tarq%s:%s/%s%s", na, GetPrefix().c_str(), GetClass().c_str(), queryPart.c_str());
}

std::string CModuleBase::MakeLinkHtml(const std::string& text, uint32_t controlId,
                                      const std::string& query, bool noActivate) const {
  const std::string shown = text.empty() ? GetDisplayName() : text;
  return Format("<A HREF=\"%s\">%s</A>", MakeLink(controlId, query, noActivate).c_str(),
                shown.c_str());
}

bool CModuleBase::OpenLink(const std::string& url, const std::string& tipText) {
  if (context_ == nullptr) return false;
  LinkParts parts;
  if (!SplitProgramLink(url, parts)) {
    if (context_->GetHost().ShellOpen(url)) return true;
    context_->GetHost().ShowMessage(Format("Can not open link \"%s\"", url.c_str()));
    return false;
  }
  CModuleBase* target = context_->FindModule(parts.prefix, parts.kind);
  if (target == nullptr) return false;
  // Leaving the page on screen may be refused (its entries do not validate).
  if (parts.activate && !context_->ShowModule(target)) return false;
  target->NavigateTo(this, url, tipText);
  return true;
}

ControlRef CModuleBase::FindLinkControl(const std::string& control) {
  if (control.empty()) return {};
  if (!IsDigit(control.front())) return FindControlByText(control);
  uint32_t id = 0;
  return ReadCIntegerPrefix(control, id) && id != 0 ? FindControlById(id) : ControlRef{};
}

void CModuleBase::NavigateTo(CModuleBase* source, const std::string& url,
                             const std::string& tipText) {
  const std::string decoded = DecodeUrlEscapes(url);
  LinkParts parts;
  if (!SplitProgramLink(decoded, parts)) {
    // Not a program link: only the query can mean anything here.
    const size_t question = decoded.find('?');
    if (question != std::string::npos) {
      parts.query = decoded.substr(question + 1);
      parts.params = ParseLinkParams(parts.query);
    }
  }

  // Tips only make sense on the page the user is looking at.
  const bool onScreen =
      GetPage() != nullptr && context_ != nullptr && context_->GetCurrentModule() == this;
  if (!parts.control.empty() && onScreen) {
    const ControlRef found = FindLinkControl(parts.control);
    if (!found) {
      // A link that leads nowhere on the page says so rather than leaving the user guessing.
      context_->GetHost().ShowMessage(MissingLinkControlMessage(GetPrefix(), parts.control));
    } else {
      std::string text = tipText;
      std::string title;
      if (auto it = parts.params.find("tiptext"); it != parts.params.end()) text = it->second;
      if (auto it = parts.params.find("tiptitle"); it != parts.params.end()) title = it->second;
      if (!text.empty()) ShowToolTip(found.fullId, text, title);
    }
  }

  if (!parts.query.empty()) {
    OnLinkQuery(source, decoded, parts.query);
    OnLinkParams(source, decoded, parts.params);
  }
}

// ---- CModule ----

void CModule::OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) {
  if (query == "FIXPINS") {
    if (ModuleContext* context = GetContext())
      context->NameNextStep(GetPrefix() + " Assign missing pins");
    FixPins();
    // Checked again even when nothing moved: the warning then still tells the truth.
    CheckPinWarnings();
    return;
  }
  CModuleBase::OnLinkQuery(source, url, query);
}

}  // namespace tarq
