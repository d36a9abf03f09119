#include "editor/label_text.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orvo {
namespace {

// The characters of bytes 0x80-0x9F in Windows-1252; the five bytes it leaves unassigned
// stand for the control characters of the same number, as Windows reads them.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Windows1252Char(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t{byte};
}

std::optional<uint8_t> Windows1252Byte(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<uint8_t>(ch);
  for (std::size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == ch) return static_cast<uint8_t>(0x80 + i);
  return std::nullopt;
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates,
// nothing beyond U+10FFFF.
bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) length = 1, code = lead;
    else if (lead >= 0xC2 && lead < 0xE0) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead < 0xF0) length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead < 0xF5) length = 4, code = lead & 0x07;
    else return false;
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace

QString LabelForDisplay(std::string_view bytes) {
  if (IsUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char byte : bytes) text += QChar(Windows1252Char(static_cast<uint8_t>(byte)));
  return text;
}

std::string LabelBytes(const QString& text, std::string_view current) {
  if (text == LabelForDisplay(current)) return std::string(current);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const auto byte = Windows1252Byte(ch.unicode());
    if (!byte) return text.toStdString();
    bytes.push_back(static_cast<char>(*byte));
  }
  return bytes;
}

}  // namespace orvo
