#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <QJsonParseError>

#include "support/test_files.h"

namespace trevalo::test {

QJsonDocument CliResult::Json() const {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(out, &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  return document;
}

CliResult RunCli(const QStringList& arguments, const QString& home, const QStringList& environment,
                 int timeoutSeconds) {
  const ProgramResult run = RunProgram(
      BinaryFolder() + QStringLiteral("/trevalo-cli"), arguments,
      QStringList{QStringLiteral("TREVALO_HOME=") + home, QStringLiteral("TZ=Asia/Seoul")} +
          environment,
      timeoutSeconds);
  EXPECT_GE(run.exitCode, 0) << "trevalo-cli did not finish";
  return {run.exitCode, run.out, run.err};
}

}  // namespace trevalo::test
