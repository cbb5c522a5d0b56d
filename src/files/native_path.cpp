#include "files/native_path.h"

namespace trevalo {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at the start of `bytes` and its code point; 0 when
// it is not valid (overlong forms, surrogates and values past U+10FFFF are not).
qsizetype ValidSequence(QByteArrayView bytes, char32_t& code) {
  const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  qsizetype length = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) {
    return 0;
  }
  for (qsizetype i = 1; i < length; ++i) {
    if ((at(i) & 0xC0) != 0x80) {
      return 0;
    }
    code = code << 6 | (at(i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

void AppendUtf8(QByteArray& bytes, char32_t code) {
  if (code < 0x80) {
    bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    bytes += static_cast<char>(0xC0 | code >> 6);
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    bytes += static_cast<char>(0xE0 | code >> 12);
    bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | code >> 18);
    bytes += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

bool IsEscapedByte(QStringView text, qsizetype index) {
  const char16_t c = text[index].unicode();
  return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
         (index == 0 || !QChar::isHighSurrogate(text[index - 1].unicode()));
}

QByteArray NativePath(QStringView path) {
  QByteArray bytes;
  bytes.reserve(path.size());
  for (qsizetype i = 0; i < path.size(); ++i) {
    const char16_t c = path[i].unicode();
    if (IsEscapedByte(path, i)) {
      bytes += static_cast<char>(c & 0xFF);
    } else if (QChar::isHighSurrogate(c) && i + 1 < path.size() &&
               QChar::isLowSurrogate(path[i + 1].unicode())) {
      AppendUtf8(bytes, QChar::surrogateToUcs4(c, path[i + 1].unicode()));
      ++i;
    } else if (QChar::isSurrogate(c)) {
      AppendUtf8(bytes, QChar::ReplacementCharacter);  // no file name decodes to it
    } else {
      AppendUtf8(bytes, c);
    }
  }
  return bytes;
}

QString PathFromNative(QByteArrayView bytes) {
  QString text;
  text.reserve(bytes.size());
  qsizetype i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char32_t code = byte;
    const qsizetype length = byte < 0x80 ? 1 : ValidSequence(bytes.sliced(i), code);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(kEscapeBase + byte));
      ++i;
      continue;
    }
    if (QChar::requiresSurrogates(code)) {
      text += QChar(QChar::highSurrogate(code));
      text += QChar(QChar::lowSurrogate(code));
    } else {
      text += QChar(static_cast<char16_t>(code));
    }
    i += length;
  }
  return text;
}

QString VisibleText(const QString& text) {
  QString visible;
  visible.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (IsEscapedByte(text, i)) {
      visible += QStringLiteral("\\x%1").arg(text[i].unicode() & 0xFF, 2, 16, QChar(u'0'));
    } else {
      visible += text[i];
    }
  }
  return visible;
}

}  // namespace trevalo
