#include "export/xml_text.h"

namespace trevalo {
namespace {

enum Escape : unsigned {
  kMarkup = 1,      // & < >
  kApostrophe = 2,  // '
  kQuote = 4,       // "
};

bool AllowedInXml(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

std::string Escaped(const QString& text, unsigned escapes) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()) + 8);
  const auto appendUtf8 = [&out](char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = 0xFFFD;
    }
    if (!AllowedInXml(c)) {
      c = 0xFFFD;
    }
    if ((escapes & kMarkup) && c == '&') {
      out += "&amp;";
    } else if ((escapes & kMarkup) && c == '<') {
      out += "&lt;";
    } else if ((escapes & kMarkup) && c == '>') {
      out += "&gt;";
    } else if ((escapes & kApostrophe) && c == '\'') {
      out += "&#39;";
    } else if ((escapes & kQuote) && c == '"') {
      out += "&quot;";
    } else {
      appendUtf8(c);
    }
  }
  return out;
}

}  // namespace

std::string XmlContent(const QString& text) { return Escaped(text, kMarkup); }

std::string XmlAttribute(const QString& text, char quote) {
  return Escaped(text, kMarkup | (quote == '\'' ? kApostrophe : kQuote));
}

std::string HtmlInCdata(const QString& text) {
  return Escaped(text, kMarkup | kApostrophe | kQuote);
}

}  // namespace trevalo
