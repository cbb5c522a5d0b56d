#pragma once
// Settings for window tests: everything in the test's home folder, the program's own
// language files read from the source tree.

#include <memory>

#include "shell/settings.h"
#include "support/test_files.h"

namespace trevalo::test {

inline std::unique_ptr<Settings> WindowSettings(const QString& home) {
  AppFolders folders = AppFolders::InHome(home);
  folders.dataFolder = SourceFolder() + QStringLiteral("/resources");
  return std::make_unique<Settings>(folders);
}

}  // namespace trevalo::test
