// What a module's comment block asks of a page control: whether it takes part, and the
// control's setting in words. The control bindings implement it.
#pragma once

#include <cstdint>
#include <string>

namespace tarq {

class CommentSource {
 public:
  virtual ~CommentSource() = default;
  virtual bool IsDescribed() const = 0;
  // `style` carries the item's text-style bits (the layout bits are taken out).
  virtual std::string GetDescription(bool detail, uint32_t style) const = 0;
};

// Layout flags of one comment item; every other bit is the source's text style.
enum CommentLayout : uint32_t {
  kCommentEmptyLineAfter = 0x400,
  kCommentIndentDeep = 0x1000,  // eight blanks instead of four
  kCommentNewLine = 0x2000,     // start a new line even after a continued item
  kCommentContinue = 0x4000,    // ", " instead of a line end
  kCommentNoLineEnd = 0x8000,   // nothing at all after the text
};
// Bits handed to the source: the lowest ten and the upper sixteen.
inline constexpr uint32_t kCommentStyleMask = 0xFFFF03FFu;

struct CommentItem {
  const CommentSource* source;
  uint32_t flags;
};

}  // namespace tarq
