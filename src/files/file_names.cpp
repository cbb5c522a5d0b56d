#include "files/file_names.h"

namespace trevalo {

QString CleanFileName(QString name) {
  for (const QChar c : QStringLiteral("\\/:*?\"<>|")) {
    name.replace(c, u'_');
  }
  return name;
}

QString BatchStem(const QString& logFileName) {
  // A leading dot starts a hidden name, not an extension.
  const qsizetype dot = logFileName.lastIndexOf(u'.');
  return dot > 0 ? logFileName.left(dot) : logFileName;
}

}  // namespace trevalo
