#pragma once
// Cells of comma-separated tables: a field with a comma, a double quote or a line break is
// put in double quotes with its quotes doubled; any other field is written as it is.

#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

namespace trevalo {

std::string CsvField(std::string_view text);
QString CsvField(const QString& text);
// The fields as cells joined by ",".
QString CsvLine(const QStringList& fields);

}  // namespace trevalo
