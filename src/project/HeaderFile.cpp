#include "project/HeaderFile.h"

#include <pcre2.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/Host.h"
#include "framework/TextUtil.h"

namespace tarq {

namespace {

// ---------------------------------------------------------------------------------------
// Character classes
// ---------------------------------------------------------------------------------------

enum CharClass : unsigned char { kOther = 0, kSpace, kQuote, kSlash, kBackslash };

constexpr std::array<unsigned char, 256> MakeClassTable() {
  std::array<unsigned char, 256> table{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = kSpace;
  table['"'] = kQuote;
  table['\''] = kQuote;
  table['/'] = kSlash;
  table['\\'] = kBackslash;
  return table;
}

constexpr std::array<unsigned char, 256> kClass = MakeClassTable();

inline unsigned char ClassOf(char c) { return kClass[static_cast<unsigned char>(c)]; }

// ---------------------------------------------------------------------------------------
// Tokenizer
// ---------------------------------------------------------------------------------------

enum class TokenKind { End, Word, String, Comment, InternalComment };

struct Token {
  TokenKind kind = TokenKind::End;
  size_t begin = 0;  // raw extent in the file
  size_t end = 0;
  size_t textBegin = 0;  // comments: between opener and closer; else the raw extent
  size_t textEnd = 0;
  size_t lineStart = 0;  // where the (joined) line of the token's first character begins
  int startLine = 0;
  int endLine = 0;
  bool joined = false;  // a word or string continued over a backslash-newline pair

  bool IsComment() const {
    return kind == TokenKind::Comment || kind == TokenKind::InternalComment;
  }
};

// Cuts header text into words, strings and comments. Lines are logical lines: a backslash
// directly before a line break joins the two lines, as the C preprocessor does.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : s_(text) {}

  Token Next() {
    if (hasPending_) {
      hasPending_ = false;
      return pending_;
    }
    SkipSpace();
    Token t;
    t.begin = pos_;
    t.lineStart = lineStart_;
    t.startLine = line_;
    if (pos_ >= s_.size()) {
      t.end = t.textBegin = t.textEnd = pos_;
      t.endLine = line_;
      return t;
    }
    const char c = s_[pos_];
    if (ClassOf(c) == kQuote) {
      ReadString(t);
    } else if (c == '/' && At(pos_ + 1) == '*') {
      ReadBlockComment(t);
    } else if (c == '/' && At(pos_ + 1) == '/') {
      ReadLineComment(t);
    } else {
      ReadWord(t);
    }
    t.end = pos_;
    t.endLine = line_;
    return t;
  }

  // Hands the token back; the next call of Next returns it again.
  void PushBack(const Token& t) {
    pending_ = t;
    hasPending_ = true;
  }

  std::string_view Source() const { return s_; }

 private:
  char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

  // Length of a backslash-newline pair at `i` (including "\\\r\n"), 0 when there is none.
  size_t JoinAt(size_t i) const {
    if (s_[i] != '\\') return 0;
    if (At(i + 1) == '\n') return 2;
    if (At(i + 1) == '\r' && At(i + 2) == '\n') return 3;
    return 0;
  }

  void NewLineAt(size_t newlinePos) {
    ++line_;
    lineStart_ = newlinePos + 1;
  }

  void SkipSpace() {
    while (pos_ < s_.size()) {
      const unsigned char cls = ClassOf(s_[pos_]);
      if (cls == kSpace) {
        if (s_[pos_] == '\n') NewLineAt(pos_);
        ++pos_;
      } else if (cls == kBackslash) {
        const size_t join = JoinAt(pos_);
        if (join == 0) return;
        pos_ += join;
      } else {
        return;
      }
    }
  }

  // Counts the line breaks in [pos_, to) that are not joined, then moves to `to`.
  void AdvanceCountingLines(size_t to) {
    const char* base = s_.data();
    size_t i = pos_;
    while (i < to) {
      const void* hit = std::memchr(base + i, '\n', to - i);
      if (hit == nullptr) break;
      const size_t nl = static_cast<size_t>(static_cast<const char*>(hit) - base);
      const bool joined = (nl >= 1 && base[nl - 1] == '\\') ||
                          (nl >= 2 && base[nl - 1] == '\r' && base[nl - 2] == '\\');
      if (!joined) NewLineAt(nl);
      i = nl + 1;
    }
    pos_ = to;
  }

  void ReadWord(Token& t) {
    const size_t n = s_.size();
    while (pos_ < n) {
      const unsigned char cls = ClassOf(s_[pos_]);
      if (cls == kOther) {
        ++pos_;
      } else if (cls == kSpace || cls == kQuote) {
        break;
      } else if (cls == kSlash) {
        const char next = At(pos_ + 1);
        if (next == '*' || next == '/') break;
        ++pos_;
      } else {  // backslash
        const size_t join = JoinAt(pos_);
        if (join != 0) t.joined = true;
        pos_ += join != 0 ? join : 1;
      }
    }
    t.textBegin = t.begin;
    t.textEnd = pos_;
    t.kind = TokenKind::Word;
  }

  // A string ends at its closing quote. A backslash escapes the next character, and an
  // unterminated string ends with its line, so a stray apostrophe cannot swallow the rest
  // of the file.
  void ReadString(Token& t) {
    const char quote = s_[pos_];
    const size_t n = s_.size();
    ++pos_;
    while (pos_ < n) {
      const char c = s_[pos_];
      if (c == quote) {
        ++pos_;
        break;
      }
      if (c == '\\') {
        const size_t join = JoinAt(pos_);
        if (join != 0) {
          t.joined = true;
          pos_ += join;
        } else {
          pos_ = std::min(n, pos_ + 2);
        }
        continue;
      }
      if (c == '\n' || (c == '\r' && At(pos_ + 1) == '\n')) break;
      ++pos_;
    }
    t.textBegin = t.begin;
    t.textEnd = pos_;
    t.kind = TokenKind::String;
  }

  // "/*" to "*/"; "/*." opens an internal comment, whose closer is ".*/". A comment ends at
  // its first "*/", as it does for the compiler; a trailing '.' before it belongs to the
  // internal closer.
  void ReadBlockComment(Token& t) {
    const bool internal = At(pos_ + 2) == '.';
    const size_t textBegin = pos_ + (internal ? 3 : 2);
    const size_t close = s_.find("*/", textBegin);
    size_t textEnd = close == std::string_view::npos ? s_.size() : close;
    if (internal && textEnd > textBegin && close != std::string_view::npos &&
        s_[textEnd - 1] == '.')
      --textEnd;
    AdvanceCountingLines(close == std::string_view::npos ? s_.size() : close + 2);
    t.textBegin = textBegin;
    t.textEnd = textEnd;
    t.kind = internal ? TokenKind::InternalComment : TokenKind::Comment;
  }

  // "//" to the end of the line; a joined line continues the comment.
  void ReadLineComment(Token& t) {
    const size_t textBegin = pos_ + 2;
    size_t eol = textBegin;
    while (true) {
      eol = s_.find('\n', eol);
      if (eol == std::string_view::npos) {
        eol = s_.size();
        break;
      }
      const bool joined =
          (s_[eol - 1] == '\\') || (s_[eol - 1] == '\r' && eol >= 2 && s_[eol - 2] == '\\');
      if (!joined) break;
      ++eol;
    }
    size_t textEnd = eol;
    if (textEnd > textBegin && s_[textEnd - 1] == '\r') --textEnd;
    AdvanceCountingLines(eol);
    t.textBegin = textBegin;
    t.textEnd = textEnd;
    t.kind = TokenKind::Comment;
  }

  std::string_view s_;
  size_t pos_ = 0;
  size_t lineStart_ = 0;
  int line_ = 1;
  Token pending_;
  bool hasPending_ = false;
};

// Appends raw text with every backslash-newline pair dropped.
void AppendJoined(std::string& out, std::string_view raw) {
  size_t i = 0;
  while (i < raw.size()) {
    const size_t bs = raw.find('\\', i);
    if (bs == std::string_view::npos) break;
    size_t join = 0;
    if (bs + 1 < raw.size() && raw[bs + 1] == '\n')
      join = 2;
    else if (bs + 2 < raw.size() && raw[bs + 1] == '\r' && raw[bs + 2] == '\n')
      join = 3;
    if (join == 0) {
      out.append(raw, i, bs + 1 - i);
      i = bs + 1;
    } else {
      out.append(raw, i, bs - i);
      i = bs + join;
    }
  }
  out.append(raw, i, std::string_view::npos);
}

// Appends `part` to a comment, one blank between non-empty parts.
void AppendCommentPart(std::string& comment, std::string_view part) {
  part = TrimView(part);
  if (part.empty()) return;
  if (!comment.empty()) comment += ' ';
  comment.append(part);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Regular expressions for the hidden parameter blocks
// ---------------------------------------------------------------------------------------

struct HeaderFile::Patterns {
  pcre2_code* block = nullptr;
  pcre2_code* line = nullptr;
  pcre2_match_data* blockMatch = nullptr;
  pcre2_match_data* lineMatch = nullptr;
  pcre2_match_context* context = nullptr;
  pcre2_jit_stack* jitStack = nullptr;

  Patterns() {
    // The dot stops only at '\n', so a "\r\n" key line still matches; '$' sits before '\n'.
    pcre2_compile_context* compile = pcre2_compile_context_create(nullptr);
    if (compile != nullptr) pcre2_set_newline(compile, PCRE2_NEWLINE_LF);
    block = Compile(R"(\[\s*PARAMETERS\:(\S+)\s*\].*\n((^[^=\n]+\=.*\n)+))", compile);
    line = Compile(R"(^\s*([^\= \t]+)\s*\=\s*(.*?)\s*$)", compile);
    pcre2_compile_context_free(compile);
    if (block != nullptr) blockMatch = pcre2_match_data_create_from_pattern(block, nullptr);
    if (line != nullptr) lineMatch = pcre2_match_data_create_from_pattern(line, nullptr);
    // A block of many key lines backtracks over each repetition; give JIT room for it.
    context = pcre2_match_context_create(nullptr);
    jitStack = pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr);
    if (context != nullptr && jitStack != nullptr)
      pcre2_jit_stack_assign(context, nullptr, jitStack);
  }

  ~Patterns() {
    pcre2_match_data_free(blockMatch);
    pcre2_match_data_free(lineMatch);
    pcre2_code_free(block);
    pcre2_code_free(line);
    pcre2_match_context_free(context);
    if (jitStack != nullptr) pcre2_jit_stack_free(jitStack);
  }

  Patterns(const Patterns&) = delete;
  Patterns& operator=(const Patterns&) = delete;

  static pcre2_code* Compile(const char* pattern, pcre2_compile_context* compile) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                                     PCRE2_MULTILINE, &error, &offset, compile);
    if (code != nullptr) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // falls back if unavailable
    return code;
  }

  // Matches once; falls back to the interpreter when JIT runs out of stack.
  int Match(pcre2_code* code, pcre2_match_data* data, std::string_view subject) {
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                         data, context);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
      rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0,
                       PCRE2_NO_JIT, data, context);
    return rc;
  }

  static std::string_view Group(pcre2_match_data* data, int rc, int group,
                                std::string_view subject) {
    if (group >= rc) return {};
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    const PCRE2_SIZE from = ovector[2 * group];
    const PCRE2_SIZE to = ovector[2 * group + 1];
    if (from == PCRE2_UNSET || to < from) return {};
    return subject.substr(from, to - from);
  }
};

// ---------------------------------------------------------------------------------------
// HeaderFile
// ---------------------------------------------------------------------------------------

HeaderFile::HeaderFile(bool isMainHeader) : isMainHeader_(isMainHeader) {}

HeaderFile::~HeaderFile() = default;

bool HeaderFile::Read(const std::string& filePath, Host* reportErrors) {
  std::FILE* file = std::fopen(filePath.c_str(), "rb");
  if (file == nullptr) {
    const int error = errno;
    if (reportErrors != nullptr)
      reportErrors->ShowMessage(
          Format("Cannot open file '%s': %s", filePath.c_str(), std::strerror(error)),
          MessageIcon::Exclamation);
    return false;
  }
  // Sized once from the file's length and read in one piece, without filling the buffer
  // first; a file that grows meanwhile is read on in pieces.
  size_t capacity = 64 * 1024;
  struct stat info {};
  if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    capacity = static_cast<size_t>(info.st_size) + 1;
  std::unique_ptr<char[]> buffer(new char[capacity]);
  size_t length = 0;
  size_t got = 0;
  while ((got = std::fread(buffer.get() + length, 1, capacity - length, file)) > 0) {
    length += got;
    if (length == capacity) {
      std::unique_ptr<char[]> larger(new char[capacity * 2]);
      std::memcpy(larger.get(), buffer.get(), length);
      buffer = std::move(larger);
      capacity *= 2;
    }
  }
  const std::string_view content(buffer.get(), length);
  const bool readError = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);

  path = filePath;
  Parse(content);
  if (readError) {
    if (reportErrors != nullptr)
      reportErrors->ShowMessage(
          Format("Cannot read file '%s': %s", filePath.c_str(), std::strerror(error)),
          MessageIcon::Exclamation);
    return false;
  }
  return true;
}

void HeaderFile::Clear() {
  definitions.clear();
  fileOrder.clear();
  skippedLines.clear();
  parameterBlocks.clear();
}

// Searches one comment for a parameter block: the first block only, every key line of it.
void HeaderFile::ScanComment(std::string_view text) {
  // Cheap pre-check: most comments are definition comments without a block.
  if (text.find("PARAMETERS") == std::string_view::npos) return;
  if (!patterns_) patterns_ = std::make_unique<Patterns>();
  Patterns& p = *patterns_;
  if (p.block == nullptr || p.line == nullptr || p.blockMatch == nullptr || p.lineMatch == nullptr)
    return;
  const int rc = p.Match(p.block, p.blockMatch, text);
  if (rc < 3) return;
  const std::string module(Patterns::Group(p.blockMatch, rc, 1, text));
  const std::string_view lines = Patterns::Group(p.blockMatch, rc, 2, text);
  ParameterBlock& block = parameterBlocks[module];
  // One key line at a time: over the whole block "\s*" would run across the line break
  // of an empty value and take the next key line as that value.
  size_t from = 0;
  while (from < lines.size()) {
    size_t to = lines.find('\n', from);
    to = to == std::string_view::npos ? lines.size() : to + 1;
    const std::string_view keyLine = lines.substr(from, to - from);
    from = to;
    const int lineRc = p.Match(p.line, p.lineMatch, keyLine);
    if (lineRc < 3) continue;
    block[std::string(Patterns::Group(p.lineMatch, lineRc, 1, keyLine))] =
        std::string(Patterns::Group(p.lineMatch, lineRc, 2, keyLine));
  }
}

void HeaderFile::Parse(std::string_view content) {
  preamble.clear();
  trailer.clear();
  guardName.clear();
  parameterBlocks.clear();
  skippedLines.clear();
  fileOrder.clear();
  {
    // The file's kind of line break: what most of its first lines end with.
    size_t breaks = 0, crlfBreaks = 0;
    for (size_t nl = content.find('\n'); nl != std::string_view::npos && breaks < 1000;
         nl = content.find('\n', nl + 1)) {
      ++breaks;
      if (nl > 0 && content[nl - 1] == '\r') ++crlfBreaks;
    }
    crlf = crlfBreaks * 2 > breaks;
  }
  // Nodes and string buffers of the previous read are reused, so reading a header again
  // into the same record allocates next to nothing.
  auto recycled = std::move(definitions);
  definitions.clear();

  Tokenizer tokens(content);
  auto textOf = [&](const Token& t) {
    return content.substr(t.textBegin, t.textEnd - t.textBegin);
  };
  auto wordOf = [&](const Token& t, std::string& word) {
    word.clear();
    if (t.joined)
      AppendJoined(word, textOf(t));
    else
      word.assign(textOf(t));
  };
  // Buffers of the definition being read, kept across definitions.
  std::string defName;
  std::string value;
  std::string comment;
  std::string gap;  // white space since the last value token

  bool inPreamble = true;
  size_t preambleEnd = content.size();
  bool guardDefined = false;
  bool endMarker = false;
  // Ordinary comments that ended on `commentLine` and were not taken by a definition line.
  int commentLine = -1;
  std::string lineComments;
  // Start of the line where the current run of tokens began: a comment that spans lines
  // and ends on a #define line keeps that line's start in front of the comment.
  size_t runStart = 0;
  int runLine = -1;
  size_t definitionCount = 0;
  auto lastSlot = definitions.end();  // where the previous definition went

  // Lines of the generated section that yield no definition, by the offset of their start.
  std::vector<size_t> skippedStarts;
  // Where the last definition's line (or the last internal comment) ends.
  size_t sectionEnd = 0;
  auto recordLines = [&](size_t from, size_t to) {
    size_t pos = from;
    while (true) {
      skippedStarts.push_back(pos);
      const size_t nl = content.find('\n', pos);
      if (nl == std::string_view::npos || nl + 1 >= to) return;
      pos = nl + 1;
    }
  };
  auto skipToken = [&](const Token& t) {
    if (!inPreamble) recordLines(t.lineStart, t.end);
  };
  // Ordinary comments of the section not yet known to belong to a definition.
  std::vector<std::pair<size_t, size_t>> pendingComments;
  auto flushPendingComments = [&]() {
    for (const auto& [from, to] : pendingComments) recordLines(from, to);
    pendingComments.clear();
  };
  auto lineEndAfter = [&](size_t pos) {
    const size_t nl = content.find('\n', pos);
    return nl == std::string_view::npos ? content.size() : nl + 1;
  };

  // Skips the tokens left on the line that `line` ends at (comments are still searched).
  auto skipRestOfLine = [&](int line) {
    for (Token t = tokens.Next(); t.kind != TokenKind::End; t = tokens.Next()) {
      if (t.startLine != line) {
        tokens.PushBack(t);
        return;
      }
      if (t.IsComment()) ScanComment(textOf(t));
      line = t.endLine;
    }
  };

  for (Token t = tokens.Next(); t.kind != TokenKind::End && !endMarker; t = tokens.Next()) {
    if (t.startLine != runLine) runStart = t.lineStart;
    runLine = t.endLine;
    if (t.IsComment()) {
      const std::string_view text = textOf(t);
      ScanComment(text);
      if (t.kind == TokenKind::InternalComment) {
        if (inPreamble) {
          preambleEnd = t.begin;
          inPreamble = false;
        }
        if (!text.empty() && text.back() == '.') {
          trailer.assign(content.substr(t.end));
          endMarker = true;
        } else {
          sectionEnd = std::max(sectionEnd, lineEndAfter(t.end));
        }
      } else {
        if (t.endLine != commentLine) {
          lineComments.clear();
          flushPendingComments();
        }
        commentLine = t.endLine;
        AppendCommentPart(lineComments, text);
        if (!inPreamble) pendingComments.emplace_back(t.lineStart, t.end);
      }
      continue;
    }
    if (t.kind != TokenKind::Word) {
      skipToken(t);
      continue;
    }
    const std::string_view word = textOf(t);

    if (word == "#ifndef" && inPreamble) {
      Token name = tokens.Next();
      int line = t.endLine;
      while (name.IsComment() && name.startLine == line) {
        ScanComment(textOf(name));
        line = name.endLine;
        name = tokens.Next();
      }
      if (name.kind == TokenKind::End || name.startLine != line) {
        tokens.PushBack(name);
        continue;
      }
      if (name.kind == TokenKind::Word) wordOf(name, guardName);
      skipRestOfLine(name.endLine);
      continue;
    }
    if (word != "#define") {
      skipToken(t);
      continue;
    }

    // The name: the next token on the line, comments skipped.
    const int defineLine = t.startLine;
    comment.clear();
    // Comments of the line before, or those in front of #define on its own line.
    if (commentLine == defineLine - 1 || commentLine == defineLine) {
      AppendCommentPart(comment, lineComments);
      pendingComments.clear();
    } else {
      flushPendingComments();
    }
    commentLine = -1;
    lineComments.clear();

    int line = t.endLine;
    Token name = tokens.Next();
    while (name.IsComment() && name.startLine == line) {
      ScanComment(textOf(name));
      AppendCommentPart(comment, textOf(name));
      line = name.endLine;
      name = tokens.Next();
    }
    if (name.kind == TokenKind::End || name.startLine != line) {
      skipToken(t);
      tokens.PushBack(name);
      continue;
    }
    wordOf(name, defName);
    if (inPreamble && !guardName.empty() && defName == guardName) {
      guardDefined = true;
      trailer = "#endif";
      skipRestOfLine(name.endLine);
      continue;
    }
    if (inPreamble) {
      preambleEnd = runStart;
      inPreamble = false;
    }

    // The value: words and strings with the white space between them; comments aside.
    value.clear();
    gap.clear();
    line = name.endLine;
    size_t previousEnd = name.end;
    for (Token v = tokens.Next(); v.kind != TokenKind::End; v = tokens.Next()) {
      if (v.startLine != line) {
        tokens.PushBack(v);
        break;
      }
      const std::string_view space = content.substr(previousEnd, v.begin - previousEnd);
      if (v.IsComment()) {
        ScanComment(textOf(v));
        AppendCommentPart(comment, textOf(v));
        if (!value.empty()) AppendJoined(gap, space);
      } else {
        if (!value.empty()) {
          value += gap;
          AppendJoined(value, space);
        }
        gap.clear();
        if (v.joined)
          AppendJoined(value, textOf(v));
        else
          value.append(textOf(v));
      }
      line = v.endLine;
      previousEnd = v.end;
    }
    sectionEnd = std::max(sectionEnd, lineEndAfter(previousEnd));

    // Definitions often come in name order (a module's registers, a block of the user's):
    // then the new one goes right after the one before it, without a search.
    auto slot = definitions.end();
    if (lastSlot != definitions.end() && lastSlot->first < defName) {
      slot = std::next(lastSlot);
      if (slot != definitions.end() && !(defName <= slot->first))
        slot = definitions.lower_bound(defName);
    } else {
      slot = definitions.lower_bound(defName);
    }
    if (slot == definitions.end() || slot->first != defName) {
      if (!recycled.empty()) {
        auto node = recycled.extract(recycled.begin());
        node.key() = defName;
        slot = definitions.insert(slot, std::move(node));
      } else {
        slot = definitions.emplace_hint(slot, defName, Definition{});
      }
    }
    lastSlot = slot;
    Definition& definition = slot->second;
    definition.name = defName;
    definition.value = value;
    definition.comment = comment;
    definition.used = false;
    definition.order = definitionCount++;
    fileOrder.push_back(&definition);
  }
  flushPendingComments();

  if (!endMarker && !inPreamble) {
    // No end marker: what follows the last definition is the user's closing text (it is
    // kept as the trailer), and only the lines before it belong to the generated section.
    const std::string_view tail = content.substr(std::min(sectionEnd, content.size()));
    if (!TrimView(tail).empty()) trailer.assign(tail);
    std::erase_if(skippedStarts, [&](size_t start) { return start >= sectionEnd; });
  }
  std::sort(skippedStarts.begin(), skippedStarts.end());
  skippedStarts.erase(std::unique(skippedStarts.begin(), skippedStarts.end()), skippedStarts.end());
  for (size_t start : skippedStarts) {
    const size_t nl = content.find('\n', start);
    const std::string_view line = TrimView(
        content.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
    if (!line.empty()) skippedLines.emplace_back(line);
  }

  if (inPreamble) preambleEnd = content.size();
  std::string_view rawPreamble = TrimView(content.substr(0, preambleEnd));
  // A guarded header with nothing but preamble text: its closing #endif is the trailer,
  // otherwise it would be written twice.
  if (inPreamble && guardDefined) {
    const size_t lastLine = rawPreamble.find_last_of('\n');
    const std::string_view last = TrimView(
        lastLine == std::string_view::npos ? rawPreamble : rawPreamble.substr(lastLine + 1));
    if (StartsWith(last, "#endif") && lastLine != std::string_view::npos) {
      trailer.assign(last);
      rawPreamble = TrimView(rawPreamble.substr(0, lastLine));
    }
  }
  preamble.assign(rawPreamble);
  trailer = Trim(trailer);

  if (preamble.empty() && trailer.empty()) {
    const size_t slash = path.find_last_of("/\\");
    guardName = GuardNameFromFileName(slash == std::string::npos
                                          ? std::string_view(path)
                                          : std::string_view(path).substr(slash + 1));
    preamble = Format("#ifndef %s\n#define %s\n", guardName.c_str(), guardName.c_str());
    trailer = Format("\n#endif /* %s */", guardName.c_str());
  }
  trailer += '\n';
}

Definition* HeaderFile::FindDefinition(const std::string& name) {
  auto found = definitions.find(name);
  if (found != definitions.end()) return &found->second;
  if (!isMainHeader_) return nullptr;
  const auto& aliases = DefinitionAliases();
  const auto alias = aliases.find(name);
  if (alias == aliases.end()) return nullptr;
  found = definitions.find(alias->second);
  return found != definitions.end() ? &found->second : nullptr;
}

const std::string* HeaderFile::FindParameter(const std::string& module,
                                             const std::string& key) const {
  const auto block = parameterBlocks.find(module);
  if (block == parameterBlocks.end()) return nullptr;
  const auto value = block->second.find(key);
  return value != block->second.end() ? &value->second : nullptr;
}

// ---------------------------------------------------------------------------------------
// Older-generation names
// ---------------------------------------------------------------------------------------

namespace {

// One row of name pairs: "<g>" runs over `groups`, "<n>" over nFirst..nLast, "<m>" over
// mFirst..mLast; a range with last < first leaves its placeholder out.
struct AliasFamily {
  const char* older;
  const char* current;
  const char* groups;
  int nFirst, nLast;
  int mFirst, mLast;
};

constexpr int kNone = -1;

// clang-format off
constexpr AliasFamily kAliasFamilies[] = {
  {"ADC_<g>_CONTROL_REG<n>",          "ADC_<g>_ADCR<n>_INIT",     "AB", 1, 2,  0, kNone},
  {"ADC_<g>_ZERO_CROSS_CONTROL_REG",  "ADC_<g>_ADZCC_INIT",       "AB", 0, kNone, 0, kNone},
  {"ADC_<g>_CHANNEL_LIST_REG<n>",     "ADC_<g>_ADLST<n>_INIT",    "AB", 1, 2,  0, kNone},
  {"ADC_<g>_SAMPLE_DISABLE_REG",      "ADC_<g>_ADSDIS_INIT",      "AB", 0, kNone, 0, kNone},
  {"ADC_<g>_STATUS_REG",              "ADC_<g>_ADSTAT_INIT",      "AB", 0, kNone, 0, kNone},
  {"ADC_<g>_LIMIT_STATUS_REG",        "ADC_<g>_ADLSTAT_INIT",     "AB", 0, kNone, 0, kNone},
  {"ADC_<g>_ZERO_CROSS_STATUS_REG",   "ADC_<g>_ADZCSTAT_INIT",    "AB", 0, kNone, 0, kNone},
  {"ADC_<g>_LOW_LIMIT_REG<n>",        "ADC_<g>_ADLLMT<n>_INIT",   "AB", 0, 7,  0, kNone},
  {"ADC_<g>_HIGH_LIMIT_REG<n>",       "ADC_<g>_ADHLMT<n>_INIT",   "AB", 0, 7,  0, kNone},
  {"ADC_<g>_OFFSET_REG<n>",           "ADC_<g>_ADOFS<n>_INIT",    "AB", 0, 7,  0, kNone},
  {"COP_CONTROL_REG",                 "COP_COPCTL_INIT",          "",   0, kNone, 0, kNone},
  {"COP_TIMEOUT_REG",                 "COP_COPTO_INIT",           "",   0, kNone, 0, kNone},
  {"DEC_<n>_CONTROL_REG",             "DEC_<n>_DECCR_INIT",       "",   0, 1,  0, kNone},
  {"DEC_<n>_WATCHDOG_TIMEOUT_REG",    "DEC_<n>_WTR_INIT",         "",   0, 1,  0, kNone},
  {"DEC_<n>_FILTER_INTERVAL_REG",     "DEC_<n>_FIR_INIT",         "",   0, 1,  0, kNone},
  {"DEC_<n>_UPPER_INIT_REG",          "DEC_<n>_UIR_INIT",         "",   0, 1,  0, kNone},
  {"DEC_<n>_LOWER_INIT_REG",          "DEC_<n>_LIR_INIT",         "",   0, 1,  0, kNone},
  {"GPIO_<g>_PULLUP_ENABLE_REG",      "GPIO_<g>_PUR_INIT",        "ABCDE", 0, kNone, 0, kNone},
  {"GPIO_<g>_DATA_DIRECTION_REG",     "GPIO_<g>_DDR_INIT",        "ABCDE", 0, kNone, 0, kNone},
  {"GPIO_<g>_PERIPHERAL_ENABLE_REG",  "GPIO_<g>_PER_INIT",        "ABCDE", 0, kNone, 0, kNone},
  {"GPIO_<g>_INTERRUPT_ENABLE_REG",   "GPIO_<g>_IENR_INIT",       "ABCDE", 0, kNone, 0, kNone},
  {"GPIO_<g>_INTERRUPT_POLARITY_REG", "GPIO_<g>_IPOLR_INIT",      "ABCDE", 0, kNone, 0, kNone},
  {"GPIO_<g>_PUSHPULL_MODE_REG",      "GPIO_<g>_PPMODE_INIT",     "ABCDE", 0, kNone, 0, kNone},
  {"ITCN_INT_PRIORITY_<n>",           "INT_PRIORITY_LEVEL_<n>",   "",   10, 63, 0, kNone},
  {"OCCS_CONTROL_REG",                "OCCS_PLLCR_INIT",          "",   0, kNone, 0, kNone},
  {"OCCS_DIVIDE_BY_REG",              "OCCS_PLLDB_INIT",          "",   0, kNone, 0, kNone},
  {"OCCS_CLKO_SELECT_REG",            "OCCS_CLKOSR_INIT",         "",   0, kNone, 0, kNone},
  {"OCCS_INTERNAL_OSC_REG",           "OCCS_IOSCTL_INIT",         "",   0, kNone, 0, kNone},
  {"PWM_<g>_CONTROL_REG",             "PWM_<g>_PMCTL_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_FAULT_CONTROL_REG",       "PWM_<g>_PMFCTL_INIT",      "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_FAULT_STATUS_REG",        "PWM_<g>_PMFSA_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_OUTPUT_CONTROL_REG",      "PWM_<g>_PMOUT_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_COUNTER_MODULO_REG",      "PWM_<g>_PWMCM_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_DEAD_TIME_REG",           "PWM_<g>_PMDEADTM_INIT",    "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_CONFIG_REG",              "PWM_<g>_PMCFG_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_CHANNEL_CONTROL_REG",     "PWM_<g>_PMCCR_INIT",       "AB", 0, kNone, 0, kNone},
  {"PWM_<g>_DISABLE_MAPPING_<n>_REG", "PWM_<g>_PMDISMAP<n>_INIT", "AB", 1, 2,  0, kNone},
  {"QT_<g><n>_CONTROL_REG",           "QT_<g><n>_CTRL_INIT",      "ABCD", 0, 3, 0, kNone},
  {"QT_<g><n>_STATUS_CONTROL_REG",    "QT_<g><n>_SCR_INIT",       "ABCD", 0, 3, 0, kNone},
  {"QT_<g><n>_LOAD_REG",              "QT_<g><n>_LOAD_INIT",      "ABCD", 0, 3, 0, kNone},
  {"QT_<g><n>_COUNTER_REG",           "QT_<g><n>_CNTR_INIT",      "ABCD", 0, 3, 0, kNone},
  {"QT_<g><n>_COMPARE_REG<m>",        "QT_<g><n>_CMP<m>_INIT",    "ABCD", 0, 3, 1, 2},
  {"SCI_<n>_BAUD_RATE_REG",           "SCI_<n>_SCIBR_INIT",       "",   0, 1,  0, kNone},
  {"SCI_<n>_CONTROL_REG",             "SCI_<n>_SCICR_INIT",       "",   0, 1,  0, kNone},
  {"SPI_<n>_STATUS_CONTROL_REG",      "SPI_<n>_SPSCR_INIT",       "",   0, 1,  0, kNone},
  {"SPI_<n>_DATA_SIZE_REG",           "SPI_<n>_SPDSCR_INIT",      "",   0, 1,  0, kNone},
  {"SYS_BASEREG_<n>",                 "SEMI_CSBAR<n>_INIT",       "",   0, 7,  0, kNone},
  {"SYS_OPTIONREG_<n>",               "SEMI_CSOR<n>_INIT",        "",   0, 7,  0, kNone},
  {"SYS_CONTROL_REG",                 "SIM_CONROL_INIT",          "",   0, kNone, 0, kNone},
  {"SYS_BUS_CONTROL_REG",             "BCR_INIT",                 "",   0, kNone, 0, kNone},
};
// clang-format on

std::string Expand(std::string_view pattern, char group, int n, int m) {
  std::string name(pattern);
  name = ReplaceAll(std::move(name), "<g>", std::string(1, group));
  name = ReplaceAll(std::move(name), "<n>", std::to_string(n));
  name = ReplaceAll(std::move(name), "<m>", std::to_string(m));
  return name;
}

struct AliasTable {
  std::unordered_map<std::string, std::string> map;
  int pairs = 0;

  AliasTable() {
    for (const AliasFamily& family : kAliasFamilies) {
      const std::string_view groups =
          *family.groups != '\0' ? family.groups : std::string_view(" ");
      const int nLast = family.nLast < family.nFirst ? family.nFirst : family.nLast;
      const int mLast = family.mLast < family.mFirst ? family.mFirst : family.mLast;
      for (char g : groups)
        for (int n = family.nFirst; n <= nLast; ++n)
          for (int m = family.mFirst; m <= mLast; ++m)
            Add(Expand(family.older, g, n, m), Expand(family.current, g, n, m));
    }
  }

  void Add(const std::string& older, const std::string& current) {
    map.emplace(older, current);
    map.emplace(current, older);
    ++pairs;
  }
};

const AliasTable& Aliases() {
  static const AliasTable table;
  return table;
}

}  // namespace

const std::unordered_map<std::string, std::string>& DefinitionAliases() { return Aliases().map; }

int DefinitionAliasPairCount() { return Aliases().pairs; }

std::string GuardNameFromFileName(std::string_view fileName) {
  std::string guard = "__";
  guard.reserve(2 + fileName.size());
  for (char c : fileName) {
    // Any character a C name cannot hold becomes '_' (the full stop included), so the
    // generated #ifndef line stays valid C for file names with blanks or dashes.
    if ((c >= 'a' && c <= 'z'))
      guard += static_cast<char>(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
      guard += c;
    else
      guard += '_';
  }
  return guard;
}

}  // namespace tarq
