#pragma once
// Where the program finds its data and keeps its files.
//
// Read-only data (the Lang folder, web pages) lies beside the executable, or in the
// installed data folder. Files the program writes go to per-user folders. TREVALO_HOME, when
// set, puts every written file in that one folder and stands in for the documents and
// pictures folders too (portable use and tests).

#include <QString>

namespace trevalo {

struct AppFolders {
  QString dataFolder;       // holds Lang/ and web/
  QString configFolder;     // the settings file
  QString cacheFolder;      // marker files, chart pages, temporary files, loaded logs (points/)
  QString documentsFolder;  // holds the log library folder
  QString picturesFolder;
  QString runtimeFolder;  // the single-instance lock

  // The folders for this process: TREVALO_HOME when set, else the user's standard folders.
  static AppFolders FromEnvironment();
  // Every written file in `home`; data found as FromEnvironment finds it.
  static AppFolders InHome(const QString& home);
  // The first folder holding Lang/: beside the executable, then ../share/trevalo, then the
  // installed data folder.
  static QString FindDataFolder();
};

}  // namespace trevalo
