#include "analysis/TextEscape.h"

namespace kickstand {
namespace {

/// The length of the UTF-8 sequence at text[at], or 0 when it is invalid.
size_t SequenceLength(const std::string& text, size_t at) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2
                : lead >= 0xe0 && lead < 0xf0 ? 3 : lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
  if (length == 0 || at + length > text.size())
    return 0;
  for (size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xc0) != 0x80)
      return 0;
  // Overlong forms, surrogates and values past U+10FFFF.
  unsigned char second = static_cast<unsigned char>(length > 1 ? text[at + 1] : 0);
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) ||
      (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second >= 0x90))
    return 0;
  return length;
}

}  // namespace

std::string PrintableUtf8(const std::string& text) {
  std::string printable;
  for (size_t at = 0; at < text.size();) {
    size_t length = SequenceLength(text, at);
    unsigned char lead = static_cast<unsigned char>(text[at]);
    if (length == 0 || (lead < 0x20 && lead != '\t') || lead == 0x7f) {
      printable += '?';
      ++at;
    } else {
      printable.append(text, at, length);
      at += length;
    }
  }
  return printable;
}

std::string XmlEscaped(const std::string& text) {
  std::string escaped;
  for (char c : PrintableUtf8(text)) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&apos;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string DotEscaped(const std::string& text) {
  std::string escaped;
  for (char c : PrintableUtf8(text)) {
    if (c == '"' || c == '\\')
      escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace kickstand
