#pragma once
// Files and folders for tests.

#include <optional>
#include <string_view>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/log_generator.h"

namespace trevalo::test {

// Writes bytes to a file (creating folders); fails the running test when it cannot. Paths
// of these helpers may name files that are not UTF-8 (see core/native_path.h).
void WriteFile(const QString& path, std::string_view bytes);
QByteArray ReadFile(const QString& path);
// A temporary folder removed with all it holds, whatever the names (QTemporaryDir leaves
// names that are not UTF-8, and the folders holding them, behind).
class TemporaryFolder {
 public:
  TemporaryFolder() = default;
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  QString path() const { return dir_.path(); }
  QString filePath(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

// Writes a generated log to `folder`/`name` (creating folders) and returns its path.
QString WriteGeneratedLog(const QString& folder, const QString& name, const LogPlan& plan,
                          std::vector<GeneratedFix>* fixes = nullptr);

// Runs a program (up to a minute); its standard output, or an empty array when it does
// not finish.
QByteArray Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

struct ProgramResult {
  int exitCode = -1;  // -1 when it was killed or did not finish in time
  QByteArray out;
  QByteArray err;
};
// Runs a program (found on PATH unless given with a folder) with each argument passed as
// the bytes it stands for (NativePath), unlike QProcess, which passes names that are not
// UTF-8 as other ones. `environment` ("NAME=value") is added to this process's.
ProgramResult RunProgram(const QString& program, const QStringList& arguments,
                         const QStringList& environment, int timeoutSeconds);

// The shared real-world test files (../shared/testdata); empty when they are not there.
QString TestDataFolder();
// The project's source folder and the folder of the built programs: as ctest gives them,
// else found from the running test program (empty when its build folder names no source).
QString SourceFolder();
QString BinaryFolder();
// Why the source folder is not known, for a test that reads its files to skip with; empty
// when it is.
QString SourceFolderMissing();

}  // namespace trevalo::test
