#include "core/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace trevalo {

QString WriteFileAtomically(const QString& path,
                            std::initializer_list<std::span<const std::uint8_t>> parts,
                            bool flushToDisk) {
  const QFileInfo target(path);
  QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral(".XXXXXX"));
  if (!temporary.open()) {
    return QStringLiteral("cannot write in %1: %2")
        .arg(target.absolutePath(), temporary.errorString());
  }
  bool written = true;
  for (const std::span<const std::uint8_t> part : parts) {
    written = written && temporary.write(reinterpret_cast<const char*>(part.data()),
                                         static_cast<qint64>(part.size())) ==
                             static_cast<qint64>(part.size());
  }
  written = written && temporary.flush();
  if (written && flushToDisk) {
    written = ::fdatasync(temporary.handle()) == 0;
  }
  if (!written) {
    return QStringLiteral("cannot write %1: %2").arg(path, temporary.errorString());
  }
  temporary.setPermissions(target.exists()
                               ? QFile::permissions(path)
                               : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ReadGroup | QFileDevice::ReadOther);
  if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                  QFile::encodeName(path).constData()) != 0) {
    return QStringLiteral("cannot replace %1: %2")
        .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
  }
  temporary.setAutoRemove(false);
  return {};
}

}  // namespace trevalo
