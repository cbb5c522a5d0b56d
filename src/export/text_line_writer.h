#pragma once
// Comma-separated tables for spreadsheets, each line ended by CR LF: in code page 949
// (Korean) when it holds every character of the table, else in UTF-8 with a byte order mark
// (which Excel and LibreOffice read), so that no name becomes "?" and names no file.

#include <iconv.h>

#include <string>

#include <QString>
#include <QStringList>

#include "export/csv_field.h"
#include "files/output_file.h"

namespace trevalo {

// Text to code page 949; characters the code page lacks become "?".
class Cp949Encoder {
 public:
  Cp949Encoder();
  ~Cp949Encoder();
  Cp949Encoder(const Cp949Encoder&) = delete;
  Cp949Encoder& operator=(const Cp949Encoder&) = delete;

  // Returns false when a character of `text` is not in the code page (written as "?").
  bool Append(const QString& text, std::string& out);

 private:
  iconv_t converter_;
};

// What the user is told of a table written in UTF-8.
QString TableInUtf8Note(const QString& path);

class TextLineWriter {
 public:
  explicit TextLineWriter(const QString& path);

  bool hasFile() const { return cp949_.isOpen(); }
  // Writes the text as it is (nothing in it is a format), then CR LF.
  void WriteLine(const QString& text);
  // Puts the finished table in place; the empty text on success, else why not.
  QString Close();
  // The table holds a character code page 949 lacks, and is written in UTF-8.
  bool inUtf8() const { return !fitsCp949_; }

 private:
  // Both forms are written as the lines come, each to a temporary file of its own; Close
  // puts one in place and the other goes.
  OutputFile cp949_;
  OutputFile utf8_;
  bool fitsCp949_ = true;
  Cp949Encoder encoder_;
  std::string encoded_;
};

}  // namespace trevalo
