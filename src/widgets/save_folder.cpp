#include "widgets/save_folder.h"

#include <QFileInfo>

#include "shell/settings.h"

namespace trevalo {

QString SaveFolderOrPictures(const Settings& settings, const QString& folder) {
  QString result = folder.isEmpty() ? settings.folders().picturesFolder : folder;
  if (!result.endsWith(u'/')) {
    result += u'/';
  }
  return result;
}

QString StartFolder(const Settings& settings, const QString& key, int capacity) {
  const QString stored = settings.ReadSetting(key, capacity);
  return SaveFolderOrPictures(settings,
                              !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : QString());
}

QString FolderLine(const QString& caption, const QString& folder) {
  return QStringLiteral("%1 :\n%2").arg(caption, folder);
}

}  // namespace trevalo
