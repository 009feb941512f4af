// Stand-in for CompareStringA on code page 932 text. It tells equal from
// unequal as Windows does under Wine for the flags NORM_IGNORECASE and
// NORM_IGNOREWIDTH (other flags are ignored), character by character:
//
// - NORM_IGNOREWIDTH: a full-width form of an ASCII sign, digit or letter
//   equals its ASCII character (the ideographic space 0x81 0x40 equals the
//   space, ￥ 0x81 0x8F equals 0x5C, but ＼ 0x81 0x5F does not), and a
//   half-width katakana or sign (0xA1-0xDF) equals its full-width form. A
//   half-width kana with a separate sound mark (ｶﾞ) stays two characters
//   and so differs from the one full-width character (ガ).
// - NORM_IGNORECASE: ASCII, full-width Latin, Greek and Cyrillic letters.
// - NUL bytes inside a text given with its length are ignored.
//
// Unequal texts are ordered by their folded character codes, a simple
// consistent order, not the locale's collation. Hiragana and katakana,
// codes that Windows decodes to the same character (the NEC and IBM
// duplicates) and bytes that are not code page 932 are told apart by
// their bytes.
//
// Native build only; on Windows the real function is used.
#include <string.h>
#include <windows.h>

#include "common/Cp932.h"

namespace {

struct WideAscii {
  uint16_t code;
  char ascii;
};

// Full-width signs and their ASCII characters, sorted by code. Digits and
// letters are ranges and handled apart.
const WideAscii kWideSigns[] = {
    {0x8140, ' '},  {0x8143, ','},  {0x8144, '.'},  {0x8146, ':'},  {0x8147, ';'},
    {0x8148, '?'},  {0x8149, '!'},  {0x814D, '`'},  {0x814F, '^'},  {0x8151, '_'},
    {0x815E, '/'},  {0x8160, '~'},  {0x8162, '|'},  {0x8169, '('},  {0x816A, ')'},
    {0x816D, '['},  {0x816E, ']'},  {0x816F, '{'},  {0x8170, '}'},  {0x817B, '+'},
    {0x817C, '-'},  {0x8181, '='},  {0x8183, '<'},  {0x8184, '>'},  {0x818F, '\\'},
    {0x8190, '$'},  {0x8193, '%'},  {0x8194, '#'},  {0x8195, '&'},  {0x8196, '*'},
    {0x8197, '@'},  {0xEEFB, '\''}, {0xEEFC, '"'},  {0xFA56, '\''}, {0xFA57, '"'},
};

// Full-width forms of the half-width katakana and signs 0xA1-0xDF.
const uint16_t kWideKana[] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,  // ｡｢｣､･ｦｧｨ
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,  // ｩｪｫｬｭｮｯｰ
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,  // ｱｲｳｴｵｶｷｸ
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,  // ｹｺｻｼｽｾｿﾀ
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,  // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,  // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,  // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,          // ﾙﾚﾛﾜﾝﾞﾟ
};

uint32_t foldWidth(uint32_t code) {
  if (code >= 0xA1 && code <= 0xDF) return kWideKana[code - 0xA1];
  if (code >= 0x824F && code <= 0x8258) return '0' + (code - 0x824F);
  if (code >= 0x8260 && code <= 0x8279) return 'A' + (code - 0x8260);
  if (code >= 0x8281 && code <= 0x829A) return 'a' + (code - 0x8281);
  size_t low = 0;
  size_t high = sizeof kWideSigns / sizeof kWideSigns[0];
  while (low < high) {
    size_t middle = (low + high) / 2;
    if (kWideSigns[middle].code < code) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low < sizeof kWideSigns / sizeof kWideSigns[0] && kWideSigns[low].code == code) {
    return static_cast<unsigned char>(kWideSigns[low].ascii);
  }
  return code;
}

// Upper-case letters to lower case.
uint32_t foldCase(uint32_t code) {
  if (code >= 'A' && code <= 'Z') return code + ('a' - 'A');
  if (code >= 0x8260 && code <= 0x8279) return code + (0x8281 - 0x8260);  // Ａ-Ｚ
  if (code >= 0x839F && code <= 0x83B6) return code + (0x83BF - 0x839F);  // Α-Ω
  if (code >= 0x8440 && code <= 0x8460) {                                 // А-Я
    uint32_t lower = code + (0x8470 - 0x8440);
    return lower >= 0x847F ? lower + 1 : lower;  // 0x7F is no second byte
  }
  return code;
}

// Reads the character at text[*index] (an index below `length`), advances
// the index past it and returns its folded code: a byte, or the two bytes
// of a double-byte character as (first << 8) | second.
uint32_t nextCode(const unsigned char* text, int length, int* index, DWORD flags) {
  const char* bytes = reinterpret_cast<const char*>(text);
  uint32_t code = text[*index];
  if (cp932CharLength(bytes + *index, bytes + length) == 2) {
    code = (code << 8) | text[*index + 1];
    *index += 2;
  } else {
    *index += 1;
  }
  if (flags & NORM_IGNOREWIDTH) code = foldWidth(code);
  if (flags & NORM_IGNORECASE) code = foldCase(code);
  return code;
}

void skipNuls(const unsigned char* text, int length, int* index) {
  while (*index < length && text[*index] == '\0') ++*index;
}

}  // namespace

int WINAPI CompareStringA(LCID locale, DWORD flags, LPCSTR a, int aLength, LPCSTR b,
                          int bLength) {
  if (a == nullptr || b == nullptr) return 0;
  if (aLength < 0) aLength = static_cast<int>(strlen(a));
  if (bLength < 0) bLength = static_cast<int>(strlen(b));
  const unsigned char* left = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* right = reinterpret_cast<const unsigned char*>(b);
  int i = 0;
  int j = 0;
  for (;;) {
    skipNuls(left, aLength, &i);
    skipNuls(right, bLength, &j);
    if (i >= aLength || j >= bLength) break;
    uint32_t x = nextCode(left, aLength, &i, flags);
    uint32_t y = nextCode(right, bLength, &j, flags);
    if (x != y) return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  if (i < aLength) return CSTR_GREATER_THAN;
  if (j < bLength) return CSTR_LESS_THAN;
  return CSTR_EQUAL;
}
