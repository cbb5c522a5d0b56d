#pragma once
// Comma-separated tables for spreadsheets: lines in code page 949 (Korean; characters it
// lacks become "?"), each ended by CR LF, no header bytes.

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

  void Append(const QString& text, std::string& out);

 private:
  iconv_t converter_;
};

class TextLineWriter {
 public:
  explicit TextLineWriter(const QString& path);

  bool hasFile() const { return file_.isOpen(); }
  // Writes the text as it is (nothing in it is a format), then CR LF.
  void WriteLine(const QString& text);
  // Puts the finished table in place; the empty text on success, else why not.
  QString Close();

 private:
  OutputFile file_;
  Cp949Encoder encoder_;
  std::string encoded_;
};

}  // namespace trevalo
