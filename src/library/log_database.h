#pragma once
// The log library's database file, "Wayfable_Logs.DB": UTF-16 little-endian text with a
// byte-order mark, one line per log of five quoted fields (path, colour, line width,
// comment, zone), each line ended by CR LF. An older format of three fields (path,
// comment, zone) is read once, after the file has been moved to "Wayfable_Logs.DB.bak".

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

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
// Lines as long as the reader's 4096-byte line buffer are still read.
inline constexpr int kMaxReadLineLength = 2048;

// The format of a database file from the quotes of its first line: six mean the older
// format; anything else (or no file) is read as the current one.
DatabaseFormat DetectDatabaseFormat(const QByteArray& bytes);

// The records of a database file's bytes. Lines with too few quotes, lines longer than
// the reader's buffer and a last line without its line feed are not records.
std::vector<LogRecord> ParseDatabase(const QByteArray& bytes, DatabaseFormat format);

// The bytes of a database in the current format. A record that would not read back
// (a double quote in a field, a field or a line too long) is refused: nullopt, with the
// record and the reason in `problem`.
std::optional<QByteArray> SerializeDatabase(const std::vector<LogRecord>& records,
                                            QString* problem);

}  // namespace trevalo
