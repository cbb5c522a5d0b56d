#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace trevalo::test {

void WriteFile(const QString& path, std::string_view bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
            static_cast<qint64>(bytes.size()));
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return file.readAll();
}

QByteArray Run(const QString& program, const QStringList& arguments, int* exitCode) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
    if (exitCode != nullptr) {
      *exitCode = -1;
    }
    return {};
  }
  if (exitCode != nullptr) {
    *exitCode = process.exitCode();
  }
  return process.readAllStandardOutput();
}

QString TestDataFolder() {
  const QString folder = qEnvironmentVariable("TREVALO_TESTDATA");
  return QFileInfo(folder).isDir() ? QDir::cleanPath(folder) : QString();
}

QString SourceFolder() {
  return qEnvironmentVariable("TREVALO_SOURCE_DIR");
}
QString BinaryFolder() {
  return qEnvironmentVariable("TREVALO_BIN_DIR");
}

QString WriteGeneratedLog(const QString& folder, const QString& name, const LogPlan& plan,
                          std::vector<GeneratedFix>* fixes) {
  const QString path = folder + u'/' + name;
  WriteFile(path, GenerateLog(plan, fixes));
  return path;
}

}  // namespace trevalo::test
