// Executable name keys elsewhere: the UTF-8 name upper-cased letter by letter
// with the C.UTF-8 locale's simple case mapping (the one Windows' file names
// follow too: one letter for one letter, "ß" stays). Bytes that are not UTF-8
// stay as they are; without that locale only A to Z fold.
#include <locale.h>
#include <wctype.h>

#include <cstdint>

#include "profiles/exe_name_key.h"

namespace {

locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

// The code point at p and its length in bytes; 0 when p holds no well-formed
// sequence (then the byte is taken as it is).
size_t Decode(const unsigned char* p, uint32_t* code) {
  if (p[0] < 0x80) {
    *code = p[0];
    return 1;
  }
  size_t length;
  uint32_t value;
  if ((p[0] & 0xE0) == 0xC0) {
    length = 2;
    value = p[0] & 0x1F;
  } else if ((p[0] & 0xF0) == 0xE0) {
    length = 3;
    value = p[0] & 0x0F;
  } else if ((p[0] & 0xF8) == 0xF0) {
    length = 4;
    value = p[0] & 0x07;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the terminating 0
    value = (value << 6) | (p[i] & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

size_t Encode(uint32_t code, unsigned char* out) {
  if (code < 0x80) {
    out[0] = static_cast<unsigned char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  return 4;
}

uint32_t Upper(uint32_t code) {
  if (code >= 'a' && code <= 'z') return code - 'a' + 'A';
  if (code < 0x80) return code;
  const locale_t locale = Utf8Locale();
  if (locale == static_cast<locale_t>(0)) return code;
  const uint32_t upper = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(code), locale));
  return upper <= 0x10FFFF ? upper : code;
}

}  // namespace

bool ExeNameKey(const char* name, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = 0;
  if (!name) return true;
  auto* key = reinterpret_cast<unsigned char*>(out);
  size_t used = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p;) {
    uint32_t code = 0;
    size_t length = Decode(p, &code);
    unsigned char folded[4];
    size_t count;
    if (length == 0) {
      length = 1;
      folded[0] = *p;
      count = 1;
    } else {
      count = Encode(Upper(code), folded);
    }
    if (used + count + 1 > size) {
      out[0] = 0;
      return false;
    }
    for (size_t i = 0; i < count; ++i) key[used++] = folded[i];
    p += length;
  }
  key[used] = 0;
  return true;
}
