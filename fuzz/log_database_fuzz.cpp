// Any bytes as a log database: reading must not crash; every record read must be one the
// writer can store (so a save never fails on what was read), and what is written must
// read back as a sound file with the same records.

#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "fuzz_check.h"
#include "library/log_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const trevalo::ParsedDatabase read = trevalo::ReadDatabase(bytes);
  Check(read.format == trevalo::DetectDatabaseFormat(bytes));
  for (const trevalo::DatabaseFormat format :
       {read.format, trevalo::DatabaseFormat::kCurrent, trevalo::DatabaseFormat::kOlder}) {
    std::vector<trevalo::LogRecord> records = trevalo::ParseDatabase(bytes, format).records;
    // The writer stores negative colour and width indexes as 0.
    for (trevalo::LogRecord& record : records) {
      Check(trevalo::RecordProblem(record).isEmpty());
      record.colorIndex = std::max(record.colorIndex, 0);
      record.lineWidthIndex = std::max(record.lineWidthIndex, 0);
    }
    QString problem;
    const std::optional<QByteArray> written = trevalo::SerializeDatabase(records, &problem);
    Check(written.has_value());
    const trevalo::ParsedDatabase again = trevalo::ReadDatabase(*written);
    Check(again.sound());
    Check(again.format == trevalo::DatabaseFormat::kCurrent);
    Check(again.records == records);
  }
  return 0;
}
