#pragma once
// The settings file "Wayfable.INI": every read goes to the file, every write goes through
// to it at once (through a temporary file and a rename). Missing values are never an error.

#include <functional>

#include <QList>
#include <QPair>
#include <QString>

#include "shell/app_folders.h"
#include "shell/settings_keys.h"

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
  // Why not (naming the file) goes to `problem` when the caller asks for it, to tell the
  // user itself; otherwise to the failure handler, so that no failed write goes untold.
  bool WriteSetting(const QString& key, const QString& value, QString* problem = nullptr) const;
  bool WriteSettingInt(const QString& key, int value, QString* problem = nullptr) const;
  bool WriteFlag(const QString& key, bool on, QString* problem = nullptr) const;
  // Several values in one write of the file.
  bool WriteSettings(const QList<QPair<QString, QString>>& values,
                     QString* problem = nullptr) const;

  // Told why a write did not persist, for the writes whose callers do not ask (the window
  // layout, column widths, folders remembered on the way).
  using WriteFailureHandler = std::function<void(const QString& problem)>;
  void SetWriteFailureHandler(WriteFailureHandler handler) { onWriteFailure_ = std::move(handler); }

 private:
  AppFolders folders_;
  WriteFailureHandler onWriteFailure_;
};

}  // namespace trevalo
