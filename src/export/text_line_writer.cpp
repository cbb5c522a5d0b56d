#include "export/text_line_writer.h"

#include <iconv.h>

#include <cerrno>

namespace trevalo {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

Cp949Encoder::Cp949Encoder() : converter_(iconv_open("CP949", "UTF-8")) {}

Cp949Encoder::~Cp949Encoder() {
  if (converter_ != kNoConverter) {
    iconv_close(converter_);
  }
}

bool Cp949Encoder::Append(const QString& text, std::string& out) {
  const QByteArray utf8 = text.toUtf8();
  bool whole = true;
  if (converter_ == kNoConverter) {
    for (const char c : utf8) {  // no converter on this system: ASCII only
      const bool ascii = static_cast<unsigned char>(c) < 0x80;
      out += ascii ? c : '?';
      whole = whole && ascii;
    }
    return whole;
  }
  iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(utf8.constData());
  std::size_t inLeft = static_cast<std::size_t>(utf8.size());
  char buffer[4096];
  while (inLeft > 0) {
    char* outPointer = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter_, &in, &inLeft, &outPointer, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPointer - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A character the code page lacks: one "?" for its whole UTF-8 sequence.
      whole = false;
      out += '?';
      std::size_t skip = 1;
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) {
        ++skip;
      }
      in += skip;
      inLeft -= skip;
    }
  }
  return whole;
}

QString TableInUtf8Note(const QString& path) {
  return QStringLiteral("%1 is written in UTF-8: code page 949 lacks some of its characters")
      .arg(path);
}

TextLineWriter::TextLineWriter(const QString& path) : cp949_(path), utf8_(path) {
  utf8_ << "\xEF\xBB\xBF";
}

void TextLineWriter::WriteLine(const QString& text) {
  if (!cp949_.isOpen()) {
    return;
  }
  utf8_ << text << "\r\n";
  if (fitsCp949_) {
    encoded_.clear();
    fitsCp949_ = encoder_.Append(text, encoded_);
    encoded_ += "\r\n";
    cp949_ << encoded_;
  }
}

QString TextLineWriter::Close() {
  return fitsCp949_ ? cp949_.Commit() : utf8_.Commit();
}

}  // namespace trevalo
