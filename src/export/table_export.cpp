#include "export/table_export.h"

#include "library/photo_lookup.h"
#include "track/calendar_time.h"

namespace trevalo {

void WriteLogTableBlock(TextLineWriter& writer, const GPSLog& log, const LogTableFormat& format) {
  static const QString kTimeFormat = QStringLiteral("%Y-%m-%d  %H:%M:%S");
  writer.WriteLine(CsvField(log.filePath()));
  writer.WriteLine(format.header);
  int number = 0;
  for (const TrackPoint& point : log.points()) {
    // The display format puts the hemisphere letter first, so it is not written again.
    writer.WriteLine(
        CsvLine({QString::number(++number),
                 CoordinateText(point.latitude, point.latitudeRef, format.correction.latitude, true,
                                format.longLatFormat),
                 CoordinateText(point.longitude, point.longitudeRef, format.correction.longitude,
                                false, format.longLatFormat),
                 AltitudeText(point), FormatTime(point.localTime, kTimeFormat)}));
  }
  writer.WriteLine(QString());
}

}  // namespace trevalo
