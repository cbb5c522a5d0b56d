#pragma once
// Where the save windows start: the folder stored under their settings key when it still
// exists, else the user's pictures folder; always with a trailing separator.

#include <QString>

namespace trevalo {

class Settings;

QString StartFolder(const Settings& settings, const QString& key, int capacity);
// `folder` with a trailing separator, or the pictures folder when it is empty.
QString SaveFolderOrPictures(const Settings& settings, const QString& folder);
// The save windows' folder line: "caption :\nfolder".
QString FolderLine(const QString& caption, const QString& folder);

}  // namespace trevalo
