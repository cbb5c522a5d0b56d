#pragma once
// Files and folders for tests.

#include <optional>
#include <string_view>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/log_generator.h"

namespace trevalo::test {

// Writes bytes to a file (creating folders); fails the running test when it cannot.
void WriteFile(const QString& path, std::string_view bytes);
QByteArray ReadFile(const QString& path);
// Writes a generated log to `folder`/`name` (creating folders) and returns its path.
QString WriteGeneratedLog(const QString& folder, const QString& name, const LogPlan& plan,
                          std::vector<GeneratedFix>* fixes = nullptr);

// Runs a program (up to a minute); its standard output, or an empty array when it does
// not finish.
QByteArray Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

// The shared real-world test files (../shared/testdata); empty when they are not there.
QString TestDataFolder();
// The project's source folder and the folder of the built programs.
QString SourceFolder();
QString BinaryFolder();

}  // namespace trevalo::test
