#include "cli/output.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "files/native_path.h"

namespace trevalo::cli {
namespace {
constexpr std::size_t kFlushSize = 1 << 20;
constexpr char kHexDigits[] = "0123456789abcdef";
}  // namespace

Output& Output::operator<<(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kFlushSize) {
    Flush();
  }
  return *this;
}

Output& Output::operator<<(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\t') {
      shown += QLatin1String("\\t");
    } else if (u == u'\n') {
      shown += QLatin1String("\\n");
    } else if (u == u'\r') {
      shown += QLatin1String("\\r");
    } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
      shown += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QChar(u'0'));
    } else {
      shown += c;
    }
  }
  return *this << std::string_view(VisibleText(shown).toStdString());
}

Output& Output::operator<<(UserText text) {
  return *this << QString::fromUtf8(text.utf8.data(), static_cast<qsizetype>(text.utf8.size()));
}

Output& Output::operator<<(char c) {
  buffer_.push_back(c);
  return *this;
}

Output& Output::operator<<(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return *this << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

void Output::Flush() {
  if (!buffer_.empty()) {
    std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
    buffer_.clear();
  }
  std::fflush(stream_);
}

std::string RealText(double value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

void JsonWriter::Indent() {
  out_ << '\n';
  for (std::size_t i = 0; i < firstInScope_.size(); ++i) {
    out_ << "  ";
  }
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!firstInScope_.empty()) {
    if (!firstInScope_.back()) {
      out_ << ',';
    }
    firstInScope_.back() = false;
    Indent();
  }
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  firstInScope_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  const bool empty = firstInScope_.back();
  firstInScope_.pop_back();
  if (!empty) {
    Indent();
  }
  out_ << bracket;
}

void JsonWriter::BeginObject() {
  Open('{');
}
void JsonWriter::EndObject() {
  Close('}');
}
void JsonWriter::BeginArray() {
  Open('[');
}
void JsonWriter::EndArray() {
  Close(']');
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  WriteString(key);
  out_ << ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  WriteString(utf8);
}

void JsonWriter::String(const QString& text) {
  BeforeValue();
  out_ << '"';
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsEscapedByte(text, i)) {
      continue;
    }
    WriteStringContent(text.sliced(start, i - start).toStdString());
    if (i < text.size()) {
      const char16_t c = text[i].unicode();
      out_ << "\\udc" << kHexDigits[(c >> 4) & 15] << kHexDigits[c & 15];
    }
    start = i + 1;
  }
  out_ << '"';
}

void JsonWriter::WriteString(std::string_view text) {
  // Log texts are bytes; anything that is not UTF-8 becomes U+FFFD.
  std::string valid;
  if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
    valid = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString();
    text = valid;
  }
  out_ << '"';
  WriteStringContent(text);
  out_ << '"';
}

void JsonWriter::WriteStringContent(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out_ << "\\\"";
        break;
      case '\\':
        out_ << "\\\\";
        break;
      case '\n':
        out_ << "\\n";
        break;
      case '\r':
        out_ << "\\r";
        break;
      case '\t':
        out_ << "\\t";
        break;
      default:
        if (byte < 0x20) {
          out_ << "\\u00" << kHexDigits[byte >> 4] << kHexDigits[byte & 15];
        } else {
          out_ << c;
        }
    }
  }
}

void JsonWriter::Number(double value) {
  BeforeValue();
  if (std::isfinite(value)) {
    out_ << std::string_view(RealText(value));
  } else {
    out_ << "null";
  }
}

void JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Finish() {
  out_ << '\n';
}

}  // namespace trevalo::cli
