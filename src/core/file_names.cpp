#include "core/file_names.h"

namespace trevalo {

QString CleanFileName(QString name) {
  for (const QChar c : QStringLiteral("\\/:*?\"<>|")) {
    name.replace(c, u'_');
  }
  return name;
}

QString BatchStem(const QString& logFileName) { return logFileName.chopped(std::min<qsizetype>(4, logFileName.size())); }

}  // namespace trevalo
