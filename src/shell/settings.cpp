#include "shell/settings.h"

#include <QDir>
#include <QFileInfo>

#include "files/native_files.h"
#include "shell/ini_file.h"
#include "track/c_numbers.h"

namespace trevalo {

QString Settings::SettingsFilePath() const {
  return folders_.configFolder + QStringLiteral("/Wayfable.INI");
}

bool Settings::SettingsFileExists() const {
  return QFileInfo::exists(SettingsFilePath());
}

QString Settings::ReadSetting(const QString& key, int capacity) const {
  return IniFile::Load(SettingsFilePath())
      .Value(setting::kSection, key)
      .value_or(QString())
      .left(capacity);
}

int Settings::ReadSettingInt(const QString& key) const {
  return ReadInt(ReadSetting(key).toStdString());
}

bool Settings::ReadFlag(const QString& key) const {
  return ReadSetting(key).startsWith(u'1');
}

bool Settings::WriteSetting(const QString& key, const QString& value, QString* problem) const {
  return WriteSettings({{key, value}}, problem);
}

bool Settings::WriteSettingInt(const QString& key, int value, QString* problem) const {
  return WriteSetting(key, QString::number(value), problem);
}

bool Settings::WriteFlag(const QString& key, bool on, QString* problem) const {
  return WriteSetting(key, on ? QStringLiteral("1") : QStringLiteral("0"), problem);
}

bool Settings::WriteSettings(const QList<QPair<QString, QString>>& values, QString* problem) const {
  QString reason;
  const QString path = SettingsFilePath();
  if (!MakeFolders(folders_.configFolder)) {
    reason = QStringLiteral("cannot create the folder %1: %2")
                 .arg(folders_.configFolder, SystemReason());
  } else if (std::optional<IniFile> file = IniFile::LoadForUpdate(path, &reason)) {
    for (const auto& [key, value] : values) {
      file->SetValue(setting::kSection, key, value);
    }
    file->Save(path, &reason);
  }
  if (reason.isEmpty()) {
    return true;
  }
  if (problem != nullptr) {
    *problem = reason;
  } else if (onWriteFailure_) {
    onWriteFailure_(reason);
  }
  return false;
}

}  // namespace trevalo
