#pragma once
// Files and folders for tests.

#include <optional>
#include <string_view>

#include <QString>
#include <QTemporaryDir>

namespace trevalo::test {

// Writes bytes to a file (creating folders); fails the running test when it cannot.
void WriteFile(const QString& path, std::string_view bytes);
QByteArray ReadFile(const QString& path);

// The shared real-world test files (../shared/testdata); empty when they are not there.
QString TestDataFolder();
// The project's source folder and the folder of the built programs.
QString SourceFolder();
QString BinaryFolder();

}  // namespace trevalo::test
