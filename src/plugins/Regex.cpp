#include "plugins/Regex.h"

#include <pcre2.h>

namespace tarq {

Regex::~Regex() {
  if (code_ != nullptr) pcre2_code_free(code_);
}

bool Regex::Compile(const std::string& pattern) {
  if (code_ != nullptr) pcre2_code_free(code_);
  code_ = nullptr;
  error_.clear();
  int errorCode = 0;
  PCRE2_SIZE offset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                        PCRE2_MULTILINE, &errorCode, &offset, nullptr);
  if (code_ != nullptr) return true;
  PCRE2_UCHAR message[256];
  pcre2_get_error_message(errorCode, message, sizeof message);
  error_ = reinterpret_cast<const char*>(message);
  error_ += " at offset " + std::to_string(offset);
  return false;
}

bool Regex::Search(std::string_view text, std::vector<std::string>* groups) const {
  if (code_ == nullptr) return false;
  pcre2_match_data* match = pcre2_match_data_create_from_pattern(code_, nullptr);
  if (match == nullptr) return false;
  const int count = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                                match, nullptr);
  if (count > 0 && groups != nullptr) {
    uint32_t pairs = pcre2_get_ovector_count(match);
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match);
    groups->clear();
    for (uint32_t i = 0; i < pairs; ++i) {
      const PCRE2_SIZE start = ovector[2 * i];
      const PCRE2_SIZE end = ovector[2 * i + 1];
      if (start == PCRE2_UNSET || end < start) {
        groups->emplace_back();
      } else {
        groups->emplace_back(text.substr(start, end - start));
      }
    }
  }
  pcre2_match_data_free(match);
  return count > 0;
}

}  // namespace tarq
