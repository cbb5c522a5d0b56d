#pragma once
// A generated document (KML, GPX, tables, marker files, chart pages) written in large blocks
// through an AtomicFile: the old file stays as it was until the whole new one is written.
// Numbers are formatted as printf formats them in the C locale, whatever the user's locale.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

#include "files/atomic_file.h"

namespace trevalo {

class OutputFile {
 public:
  explicit OutputFile(QString path);
  OutputFile(OutputFile&&) noexcept;
  OutputFile& operator=(OutputFile&&) noexcept;
  ~OutputFile();

  const QString& path() const { return path_; }
  // False when the file could not be created: every write is then skipped, and Commit
  // reports why.
  bool isOpen() const { return file_ != nullptr; }

  OutputFile& operator<<(std::string_view text);
  OutputFile& operator<<(const char* text) { return *this << std::string_view(text); }
  OutputFile& operator<<(const std::string& text) { return *this << std::string_view(text); }
  OutputFile& operator<<(char c);
  OutputFile& operator<<(const QString& text);  // as UTF-8
  // "%.Nf".
  OutputFile& Fixed(double value, int decimals);
  // "%d" (and "%u").
  OutputFile& Integer(std::int64_t value);
  // "%x", or "%0Nx" with a width.
  OutputFile& Hex(std::uint32_t value, int width = 0);
  // `count` TAB characters.
  OutputFile& Tabs(int count);

  // Writes what is buffered and puts the file in place. Returns the empty text on success,
  // else why the file could not be written (the old file, if any, is then unchanged).
  QString Commit();

 private:
  void Flush();

  QString path_;
  std::unique_ptr<AtomicFile> file_;
  std::string buffer_;
  QString problem_;
};

// Appends "%.Nf" of `value` to `text` (C locale).
void AppendFixed(std::string& text, double value, int decimals);

}  // namespace trevalo
