// Any bytes as a log database: reading must not crash, and whatever was read must, once
// written, read back as the same records (or be refused by the writer, never garbled).

#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "fuzz_check.h"
#include "library/log_database.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const trevalo::DatabaseFormat format = trevalo::DetectDatabaseFormat(bytes);
  for (const trevalo::DatabaseFormat f : {format, trevalo::DatabaseFormat::kCurrent,
                                          trevalo::DatabaseFormat::kOlder}) {
    std::vector<trevalo::LogRecord> records = trevalo::ParseDatabase(bytes, f);
    // The writer stores negative colour and width indexes as 0.
    for (trevalo::LogRecord& record : records) {
      record.colorIndex = std::max(record.colorIndex, 0);
      record.lineWidthIndex = std::max(record.lineWidthIndex, 0);
    }
    QString problem;
    const std::optional<QByteArray> written = trevalo::SerializeDatabase(records, &problem);
    if (!written) {
      Check(!problem.isEmpty());
      continue;
    }
    Check(trevalo::DetectDatabaseFormat(*written) == trevalo::DatabaseFormat::kCurrent ||
          records.empty());
    Check(trevalo::ParseDatabase(*written, trevalo::DatabaseFormat::kCurrent) == records);
  }
  return 0;
}
