#pragma once
// INI files with the rules of the classic profile functions: sections and keys match
// without regard to case, a value is the text after the first '=' with surrounding blanks
// removed, the first occurrence of a section or key wins, and a missing key is simply
// absent. Writing changes only the line of the key it writes (or appends one) and keeps
// every other line as it was. Files are UTF-8; UTF-16 files with a byte-order mark are
// read too.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace trevalo {

class IniFile {
 public:
  IniFile() = default;

  static IniFile Parse(const QByteArray& bytes);
  // Reads a file; a missing or unreadable file gives an empty IniFile.
  static IniFile Load(const QString& path);
  // Reads a file that is about to be rewritten: a missing file gives an empty IniFile, a
  // file that exists but cannot be read gives nullopt (and why in `problem`), so that it is
  // never overwritten.
  static std::optional<IniFile> LoadForUpdate(const QString& path, QString* problem = nullptr);

  std::optional<QString> Value(const QString& section, const QString& key) const;
  // Keys of a section in file order (first occurrences only).
  QStringList Keys(const QString& section) const;
  // Sets a value, adding the key at the end of its section (or a new section at the end of
  // the file) when missing. Line breaks in the value are replaced by blanks, as a value
  // cannot span lines.
  void SetValue(const QString& section, const QString& key, const QString& value);

  QByteArray Serialize() const;
  // Writes the file through a temporary file and a rename; false when it cannot be written
  // (and why in `problem`).
  bool Save(const QString& path, QString* problem = nullptr) const;

 private:
  struct Line {
    QString raw;
    QString section;  // the section this line belongs to (for a header: its own name)
    QString key;      // empty unless the line is a key=value line
    QString value;
    bool isHeader = false;
  };
  static QString IndexKey(const QString& section, const QString& key);
  void Reindex();

  std::vector<Line> lines_;
  QHash<QString, qsizetype> keyIndex_;  // first line of each section+key
  QHash<QString, qsizetype> lastLineOfSection_;
  QString newline_ = QStringLiteral("\n");
};

}  // namespace trevalo
