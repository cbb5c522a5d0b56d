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
  QString runtimeFolder;  // $XDG_RUNTIME_DIR (or TREVALO_HOME); may be empty: see InstanceFolder
  // What the program keeps of the user's work: the undo journals of the runs that changed
  // the user's files ($XDG_DATA_HOME/trevalo, or TREVALO_HOME).
  QString stateFolder;

  // The folders for this process: TREVALO_HOME when set, else the user's standard folders.
  static AppFolders FromEnvironment();
  // Every written file in `home`; data found as FromEnvironment finds it.
  static AppFolders InHome(const QString& home);
  // The first folder holding Lang/: beside the executable, then ../share/trevalo, then the
  // installed data folder.
  static QString FindDataFolder();
};

// Makes `path` a folder that no one else can write to: one that is missing is created with
// mode 0700; one that is there is taken only when it is a folder (not a link to one) of this
// user, and, when `onlyTheUser`, its mode is made 0700 too. Returns the empty text, or why
// it cannot be.
QString MakePrivateFolder(const QString& path, bool onlyTheUser);

// The folder of the running instance's lock and socket, which no other user may write to:
// folders.runtimeFolder when it is set and MakePrivateFolder takes it, else
// <temp>/trevalo-<uid>, else `runtime` in the cache folder (the ones made here only the user
// may enter). A folder another user made first at the name in the shared temporary folder is
// passed over. Empty, with `problem` naming each folder tried, when none can be.
QString InstanceFolder(const AppFolders& folders, QString& problem);

}  // namespace trevalo
