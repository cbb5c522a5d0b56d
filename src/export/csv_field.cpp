#include "export/csv_field.h"

namespace trevalo {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') {
      quoted.push_back('"');
    }
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

QString CsvField(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return QString::fromStdString(
      CsvField(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

QString CsvLine(const QStringList& fields) {
  QStringList cells;
  cells.reserve(fields.size());
  for (const QString& field : fields) {
    cells << CsvField(field);
  }
  return cells.join(u',');
}

}  // namespace trevalo
