// One register of a module's table: one line of the configuration header.
#pragma once

#include <cstdint>
#include <string>

namespace tarq {

// Register flag bits. The words are the ones plugin files use.
enum RegisterFlags : uint32_t {
  DW8 = 0x1,
  DW16 = 0x2,
  DW32 = 0x4,
  LOADED = 0x8,
  NODEFAULT = 0x10,
  NONCRITICAL = 0x20,
  NOVALUE = 0x40,
  STRVALUE = 0x80,
  QUOTEDVALUE = 0x100,
  SIGNEDVALUE = 0x100,
  DECVALUE = 0x200,
  INTERNAL = 0x1000,
  NOIMPORT = 0x2000,
  DUMMYREG = 0x4000,
  NOSHOWLIST = 0x8000,
  NOEDITLIST = 0x10000,
  FLOATVALUE = 0x20000,
  USERDEFINE = 0x40000,
};

// A static row a module class supplies per register, in the order they are written.
struct RegisterDecl {
  const char* name;  // e.g. "SCIBR_INIT"; a leading '-' makes the define name absolute
  uint32_t resetValue;
  uint32_t flags;
};

struct Register {
  std::string name;  // declared name cut at the first blank or '~'
  std::string note;  // what followed that blank or '~'
  uint32_t resetValue = 0;
  uint32_t value = 0;  // 1/0 for text-valued and presence-only registers
  std::string text;    // value of a text-valued register
  uint32_t savedValue = 0;
  std::string savedText;
  std::string comment;  // the comment that followed the define in the header
  uint32_t flags = 0;

  bool Has(uint32_t flag) const { return (flags & flag) != 0; }
  // Largest value the register's width allows.
  uint32_t Limit() const;
};

}  // namespace tarq
