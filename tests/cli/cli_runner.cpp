#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <QJsonParseError>
#include <QProcess>

#include "support/test_files.h"

namespace trevalo::test {

QJsonDocument CliResult::Json() const {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(out, &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  return document;
}

CliResult RunCli(const QStringList& arguments, const QString& home) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TREVALO_HOME"), home);
  environment.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Seoul"));
  process.setProcessEnvironment(environment);
  process.start(BinaryFolder() + QStringLiteral("/trevalo-cli"), arguments);
  EXPECT_TRUE(process.waitForFinished(120000));
  CliResult result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

}  // namespace trevalo::test
