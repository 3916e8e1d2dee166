// A compiled PCRE2 pattern: multi-line, dot without line breaks, as the header reader uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

namespace tarq {

class Regex {
 public:
  Regex() = default;
  explicit Regex(const std::string& pattern) { Compile(pattern); }
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // False with the reason in GetError() when the pattern does not compile.
  bool Compile(const std::string& pattern);
  bool IsValid() const { return code_ != nullptr; }
  const std::string& GetError() const { return error_; }

  // Whether the pattern matches somewhere in `text`; `groups` receives the whole match and
  // each capture group (empty for a group that took no part). A pattern that failed to
  // compile matches nothing.
  bool Search(std::string_view text, std::vector<std::string>* groups = nullptr) const;

 private:
  pcre2_real_code_8* code_ = nullptr;
  std::string error_;
};

}  // namespace tarq
