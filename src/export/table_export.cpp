#include "export/table_export.h"

#include "core/calendar_time.h"
#include "library/photo_lookup.h"

namespace trevalo {

QString WritePhotoTable(const QString& path, const QString& header,
                        const std::vector<PhotoRow>& rows, const Progress& progress) {
  CTextLineWriter writer(path);
  writer.WriteLine(header);
  const std::size_t total = rows.size();
  for (std::size_t k = 0; k < total; ++k) {
    const PhotoRow& row = rows[k];
    if (progress) {
      progress(k, total, row.path);
    }
    writer.WriteLine(CsvLine({QString::number(k + 1), row.fileName, row.dateText, row.latitudeText,
                              row.longitudeText, row.altitudeText, row.path, row.logFile}));
  }
  return writer.Close();
}

void WriteLogTableBlock(CTextLineWriter& writer, const GPSLog& log, const LogTableFormat& format) {
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
