#pragma once
// The log library's database file, "Wayfable_Logs.DB": UTF-16 little-endian text with a
// byte-order mark, one line per log of five quoted fields (path, colour, line width,
// comment, zone), each line ended by CR LF. An older format of three fields (path,
// comment, zone) is read once, after the file has been moved to "Wayfable_Logs.DB.bak".
//
// The reader says what it could not understand, line by line, so that a file an editor,
// a crash or a disk has damaged is never saved over without the user being told and a
// copy of it kept.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace trevalo {

struct LogRecord {
  QString filePath;
  int colorIndex = 0;
  int lineWidthIndex = 0;
  QString comment;
  int timeZone = 0;
  bool operator==(const LogRecord&) const = default;
};

enum class DatabaseFormat { kCurrent, kOlder };

inline const QString kLibraryFolderName = QStringLiteral("Wayfable Logs");
inline const QString kDatabaseFileName = QStringLiteral("Wayfable_Logs.DB");
inline const QString kOlderDatabaseFileName = QStringLiteral("Wayfable_Logs.DB.bak");

// The lengths a reader can take back: a path of up to 1023 characters, other fields of up
// to 511, a whole line of up to 1024 characters with its quotes and line end.
inline constexpr int kMaxPathLength = 1023;
inline constexpr int kMaxFieldLength = 511;
inline constexpr int kMaxLineLength = 1024;

struct ParsedDatabase {
  DatabaseFormat format = DatabaseFormat::kCurrent;
  std::vector<LogRecord> records;
  // What was not understood: "line 3: ...", a text encoding other than the file's own,
  // bytes after the last line. Empty for a sound file.
  QStringList problems;
  bool sound() const { return problems.isEmpty(); }
};

// Reads a database file's bytes: tells the text encoding (UTF-16 in either byte order,
// with or without a byte-order mark, or UTF-8, as editors save it), then the format from
// the quote characters of the first line (six mean the older format, unless some line is
// a record of the current one), then the records. A line that is not a whole record, or
// that the writer could not write back, is no record and is named in `problems`; so is a
// number field that is not a number (read as 0, as "%d" reads it). Blank lines are
// skipped without a word.
ParsedDatabase ReadDatabase(const QByteArray& bytes);
// The same in a given format.
ParsedDatabase ParseDatabase(const QByteArray& bytes, DatabaseFormat format);
// The format alone.
DatabaseFormat DetectDatabaseFormat(const QByteArray& bytes);

// Why a record could not be stored so that it reads back (a double quote or a line break
// in a field, a field or the whole line too long); empty when it can be.
QString RecordProblem(const LogRecord& record);

// The bytes of a database in the current format. A record that would not read back is
// refused: nullopt, with the record and the reason in `problem`.
std::optional<QByteArray> SerializeDatabase(const std::vector<LogRecord>& records,
                                            QString* problem);

}  // namespace trevalo
