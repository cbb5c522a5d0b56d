#include "app/settings.h"

#include <QDir>
#include <QFileInfo>

#include "app/ini_file.h"
#include "core/nmea_fields.h"

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

bool Settings::WriteSetting(const QString& key, const QString& value) const {
  return WriteSettings({{key, value}});
}

bool Settings::WriteSettingInt(const QString& key, int value) const {
  return WriteSetting(key, QString::number(value));
}

bool Settings::WriteFlag(const QString& key, bool on) const {
  return WriteSetting(key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool Settings::WriteSettings(const QList<QPair<QString, QString>>& values) const {
  if (!QDir().mkpath(folders_.configFolder)) {
    return false;
  }
  const QString path = SettingsFilePath();
  std::optional<IniFile> file = IniFile::LoadForUpdate(path);
  if (!file) {
    return false;
  }
  for (const auto& [key, value] : values) {
    file->SetValue(setting::kSection, key, value);
  }
  return file->Save(path);
}

}  // namespace trevalo
