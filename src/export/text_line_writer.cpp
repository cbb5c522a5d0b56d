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

void Cp949Encoder::Append(const QString& text, std::string& out) {
  const QByteArray utf8 = text.toUtf8();
  if (converter_ == kNoConverter) {
    for (const char c : utf8) {  // no converter on this system: ASCII only
      out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
    return;
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
      out += '?';
      std::size_t skip = 1;
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) {
        ++skip;
      }
      in += skip;
      inLeft -= skip;
    }
  }
}

TextLineWriter::TextLineWriter(const QString& path) : file_(path) {}

void TextLineWriter::WriteLine(const QString& text) {
  if (!file_.isOpen()) {
    return;
  }
  encoded_.clear();
  encoder_.Append(text, encoded_);
  encoded_ += "\r\n";
  file_ << encoded_;
}

QString TextLineWriter::Close() {
  return file_.Commit();
}

}  // namespace trevalo
