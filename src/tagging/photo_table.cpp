#include "tagging/photo_table.h"

#include "export/csv_field.h"
#include "export/text_line_writer.h"

namespace trevalo {

QString WritePhotoTable(const QString& path, const QString& header,
                        const std::vector<PhotoRow>& rows, const Progress& progress, bool* inUtf8) {
  TextLineWriter writer(path);
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
  const QString problem = writer.Close();
  if (inUtf8 != nullptr) {
    *inUtf8 = writer.inUtf8();
  }
  return problem;
}

}  // namespace trevalo
