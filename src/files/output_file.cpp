#include "files/output_file.h"

#include <charconv>
#include <cmath>

namespace trevalo {
namespace {

constexpr std::size_t kBlock = 1 << 20;

}  // namespace

void AppendFixed(std::string& text, double value, int decimals) {
  if (!std::isfinite(value)) {
    text +=
        std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
    return;
  }
  char digits[400];  // the widest double in fixed notation has 309 digits before the point
  const std::to_chars_result result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  text.append(digits, result.ptr);
}

OutputFile::OutputFile(QString path) : path_(std::move(path)) {
  auto file = std::make_unique<AtomicFile>(path_);
  if (file->fd() < 0) {
    problem_ = file->openProblem();
    return;
  }
  file_ = std::move(file);
  buffer_.reserve(kBlock + 4096);
}

OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;
OutputFile::~OutputFile() = default;

void OutputFile::Flush() {
  if (file_ && problem_.isEmpty() &&
      !WriteAll(file_->fd(),
                {reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size()})) {
    problem_ = WriteProblem(path_);
  }
  buffer_.clear();
}

OutputFile& OutputFile::operator<<(std::string_view text) {
  if (file_) {
    buffer_ += text;
    if (buffer_.size() >= kBlock) {
      Flush();
    }
  }
  return *this;
}

OutputFile& OutputFile::operator<<(char c) {
  return *this << std::string_view(&c, 1);
}

OutputFile& OutputFile::operator<<(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return *this << std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

OutputFile& OutputFile::Fixed(double value, int decimals) {
  if (file_) {
    AppendFixed(buffer_, value, decimals);
  }
  return *this;
}

OutputFile& OutputFile::Integer(std::int64_t value) {
  char digits[24];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value);
  return *this << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

OutputFile& OutputFile::Hex(std::uint32_t value, int width) {
  char digits[16];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, value, 16);
  const auto length = static_cast<int>(result.ptr - digits);
  for (int i = length; i < width; ++i) {
    *this << '0';
  }
  return *this << std::string_view(digits, static_cast<std::size_t>(length));
}

OutputFile& OutputFile::Tabs(int count) {
  static constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t";
  return *this << kTabs.substr(0, static_cast<std::size_t>(count));
}

QString OutputFile::Commit() {
  if (!file_) {
    return problem_;
  }
  Flush();
  QString problem = problem_.isEmpty() ? file_->Commit(false) : problem_;
  file_.reset();
  problem_ = problem.isEmpty() ? QStringLiteral("%1 was already written").arg(path_) : problem;
  return problem;
}

}  // namespace trevalo
