#include "project/ArchitectureFile.h"

#include <cctype>

#include "framework/TextUtil.h"

namespace tarq {

namespace {

struct Token {
  std::string text;  // word text, or string contents without the quotes
  bool quoted = false;
  size_t begin = 0;  // raw offsets of the token, quotes included
  size_t end = 0;
  int line = 0;  // logical line on which the token starts
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Cuts architecture text into words and strings; comments are dropped. A backslash before
// a line break joins the two lines, so the tokens after it still count as the same line.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    while (pos_ < text_.size()) {
      if (SkipLineJoin()) continue;
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (IsSpace(c)) {
        ++pos_;
      } else if (c == '"' || c == '\'') {
        tokens.push_back(ReadString(c));
      } else if (c == '#' || StartsLineComment()) {
        SkipToLineEnd();
      } else if (StartsBlockComment()) {
        SkipBlockComment();
      } else {
        tokens.push_back(ReadWord());
      }
    }
    return tokens;
  }

 private:
  bool At(size_t pos, char c) const { return pos < text_.size() && text_[pos] == c; }
  bool StartsLineComment() const { return At(pos_, '/') && At(pos_ + 1, '/'); }
  bool StartsBlockComment() const { return At(pos_, '/') && At(pos_ + 1, '*'); }

  // A backslash directly before a line break ("\n" or "\r\n"): both are dropped.
  bool SkipLineJoin() {
    if (!At(pos_, '\\')) return false;
    if (At(pos_ + 1, '\n')) {
      pos_ += 2;
      return true;
    }
    if (At(pos_ + 1, '\r') && At(pos_ + 2, '\n')) {
      pos_ += 3;
      return true;
    }
    return false;
  }

  void SkipToLineEnd() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
  }

  void SkipBlockComment() {
    pos_ += 2;
    while (pos_ < text_.size() && !(text_[pos_] == '*' && At(pos_ + 1, '/'))) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    pos_ = pos_ < text_.size() ? pos_ + 2 : text_.size();
  }

  // A string runs to the same quote character; an unclosed one runs to the end of the text.
  Token ReadString(char quote) {
    Token token;
    token.quoted = true;
    token.begin = pos_;
    token.line = line_;
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != quote) {
      if (text_[pos_] == '\n') ++line_;
      token.text += text_[pos_++];
    }
    if (pos_ < text_.size()) ++pos_;
    token.end = pos_;
    return token;
  }

  // A word ends at white space, a quote or a "//" or "/*" opener. A '#' inside a word is
  // kept: help references are written "document#destination".
  Token ReadWord() {
    Token token;
    token.begin = pos_;
    token.line = line_;
    while (pos_ < text_.size()) {
      if (SkipLineJoin()) continue;
      char c = text_[pos_];
      if (IsSpace(c) || c == '"' || c == '\'' || StartsLineComment() || StartsBlockComment()) {
        break;
      }
      token.text += c;
      ++pos_;
    }
    token.end = pos_;
    return token;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

bool IsMark(const Token& token, const char* mark) { return !token.quoted && token.text == mark; }

bool IsStructural(const Token& token) {
  return IsMark(token, "{") || IsMark(token, "}") || IsMark(token, ".END_TREE_LIST") ||
         IsMark(token, ".BEGIN_TREE_LIST");
}

// "!display!suffix" names the node; any other text is the suffix alone.
void SplitLabel(ArchitectureEntry& entry) {
  if (entry.labelSuffix.empty() || entry.labelSuffix[0] != '!') return;
  std::string rest = entry.labelSuffix.substr(1);
  size_t bang = rest.find('!');
  if (bang == std::string::npos) {
    entry.displayName = rest;
    entry.labelSuffix.clear();
  } else {
    entry.displayName = rest.substr(0, bang);
    entry.labelSuffix = rest.substr(bang + 1);
  }
}

// Real files nest two or three levels; the bound keeps the recursive walks over the tree
// (building, destruction) far from the stack limit whatever the input.
constexpr size_t kMaxNesting = 256;

class TreeListParser {
 public:
  TreeListParser(const std::vector<Token>& tokens, size_t& pos) : tokens_(tokens), pos_(pos) {}

  bool Parse(std::vector<ArchitectureNode>& top, std::string& error) {
    std::vector<std::vector<ArchitectureNode>*> enclosing;
    std::vector<int> openLines;
    std::vector<ArchitectureNode>* current = &top;
    while (pos_ < tokens_.size()) {
      const Token& token = tokens_[pos_];
      if (IsMark(token, ".END_TREE_LIST")) {
        ++pos_;
        break;
      }
      if (IsMark(token, ".BEGIN_TREE_LIST")) {
        ++pos_;
      } else if (IsMark(token, "{")) {
        if (enclosing.size() >= kMaxNesting) {
          error = Format("Line %d: lists nested deeper than %zu levels", token.line, kMaxNesting);
          return false;
        }
        // Children of the last entry of this level, or of the enclosing node when the level
        // has no entry yet.
        enclosing.push_back(current);
        openLines.push_back(token.line);
        if (!current->empty()) current = &current->back().children;
        ++pos_;
      } else if (IsMark(token, "}")) {
        if (enclosing.empty()) {
          error = Format("Line %d: '}' without a matching '{'", token.line);
          return false;
        }
        current = enclosing.back();
        enclosing.pop_back();
        openLines.pop_back();
        ++pos_;
      } else {
        ArchitectureNode node;
        if (!ReadEntry(node.entry, error)) return false;
        current->push_back(std::move(node));
      }
    }
    if (!enclosing.empty()) {
      error = Format("Line %d: '{' without a matching '}'", openLines.back());
      return false;
    }
    return true;
  }

 private:
  // The name token and the fields that follow it on the same line.
  bool ReadEntry(ArchitectureEntry& entry, std::string& error) {
    const Token& nameToken = tokens_[pos_++];
    std::vector<std::string> fields;
    while (pos_ < tokens_.size() && tokens_[pos_].line == nameToken.line &&
           !IsStructural(tokens_[pos_])) {
      fields.push_back(tokens_[pos_++].text);
    }
    if (fields.size() < 3) {
      error = Format(
          "Line %d: module entry '%s' needs a kind, a linked module and an "
          "interrupt list",
          nameToken.line, nameToken.text.c_str());
      return false;
    }
    entry.name = nameToken.text;
    entry.kind = fields[0];
    entry.linkedModule = fields[1];
    entry.interrupts = fields[2];
    if (fields.size() > 3) entry.labelSuffix = fields[3];
    if (fields.size() > 4) entry.helpReference = fields[4];
    SplitLabel(entry);
    return true;
  }

  const std::vector<Token>& tokens_;
  size_t& pos_;
};

// Index of the "}" that closes the block opened at `open`, or tokens.size() when the block
// is never closed.
size_t MatchingClose(const std::vector<Token>& tokens, size_t open) {
  int depth = 0;
  for (size_t i = open; i < tokens.size(); ++i) {
    if (IsMark(tokens[i], "{")) ++depth;
    if (IsMark(tokens[i], "}") && --depth == 0) return i;
  }
  return tokens.size();
}

// Pairs of a module name and a "{ ... }" block; sloppy input is skipped, never fatal.
void ParseModuleInfo(std::string_view text, const std::vector<Token>& tokens, size_t pos,
                     std::vector<std::pair<std::string, std::string>>& info) {
  while (pos < tokens.size() && !IsMark(tokens[pos], ".BEGIN_MODULE_INFO")) ++pos;
  if (pos == tokens.size()) return;
  ++pos;
  const Token* name = nullptr;
  while (pos < tokens.size() && !IsMark(tokens[pos], ".END_MODULE_INFO")) {
    const Token& token = tokens[pos];
    if (IsMark(token, "{")) {
      size_t close = MatchingClose(tokens, pos);
      size_t textEnd = close < tokens.size() ? tokens[close].begin : text.size();
      if (name != nullptr) {
        info.emplace_back(name->text, std::string(text.substr(token.end, textEnd - token.end)));
      }
      name = nullptr;
      pos = close < tokens.size() ? close + 1 : close;
    } else {
      // A stray "}" is dropped; a name not followed by a block is replaced by the next one.
      name = IsMark(token, "}") ? nullptr : &token;
      ++pos;
    }
  }
}

}  // namespace

bool ParseArchitectureText(std::string_view text, ArchitectureFile& file, std::string& error) {
  file = ArchitectureFile{};
  error.clear();
  std::vector<Token> tokens = Tokenizer(text).Run();
  size_t pos = 0;
  if (!TreeListParser(tokens, pos).Parse(file.tree, error)) {
    file.tree.clear();
    return false;
  }
  ParseModuleInfo(text, tokens, pos, file.moduleInfo);
  return true;
}

}  // namespace tarq
