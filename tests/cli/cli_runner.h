#pragma once
// Runs the built trevalo-cli in a home folder of its own.

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

namespace trevalo::test {

struct CliResult {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
  QJsonDocument Json() const;
};

// Each argument reaches trevalo-cli as the bytes it stands for (NativePath). `environment`
// adds variables ("NAME=value").
// `timeoutSeconds` bounds the run; one that does not finish fails the test.
CliResult RunCli(const QStringList& arguments, const QString& home,
                 const QStringList& environment = {}, int timeoutSeconds = 120);

}  // namespace trevalo::test
