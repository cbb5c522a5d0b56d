#pragma once
// The settings file "Wayfable.INI": every read goes to the file, every write goes through
// to it at once (through a temporary file and a rename). Missing values are never an error.

#include <QList>
#include <QPair>
#include <QString>

#include "app/app_folders.h"
#include "app/settings_keys.h"

namespace trevalo {

class Settings {
 public:
  explicit Settings(AppFolders folders) : folders_(std::move(folders)) {}

  const AppFolders& folders() const { return folders_; }
  QString SettingsFilePath() const;
  // The settings file's absence marks the first run.
  bool SettingsFileExists() const;

  // The stored text cut at `capacity` characters, or the empty text.
  QString ReadSetting(const QString& key, int capacity = setting::kValueCapacity) const;
  // The stored integer (read as atoi reads), or 0.
  int ReadSettingInt(const QString& key) const;
  // A flag is on only when its stored text begins with "1".
  bool ReadFlag(const QString& key) const;

  // Writes create the folder and the file as needed; false when the value did not persist.
  bool WriteSetting(const QString& key, const QString& value) const;
  bool WriteSettingInt(const QString& key, int value) const;
  bool WriteFlag(const QString& key, bool on) const;
  // Several values in one write of the file.
  bool WriteSettings(const QList<QPair<QString, QString>>& values) const;

 private:
  AppFolders folders_;
};

}  // namespace trevalo
