#pragma once
// The loggers' own settings files, in the root of the logger's drive. Model A keeps four
// fixed-width text records ("QARN_TR.CFG", 128 bytes); model B a block of raw bytes
// ("SYSREG.SMI") in which each setting is one byte at a fixed offset, beside the model
// code, the firmware text and the format version. Writes go through a temporary file and
// a rename on the logger, so a failed write leaves the old file as it was.

#include <array>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace trevalo {

inline constexpr char kModelAFileName[] = "QARN_TR.CFG";
inline constexpr char kModelBFileName[] = "SYSREG.SMI";

struct ModelASettings {
  int logMode = 1;  // time-based logging; not stored in the file
  int ledMode = 0;
  int samplingSeconds = 5;
  int samplingMetres = 100;  // not stored in the file
  int firmwareNumber = 0;
};

// The 128 bytes of a model A file.
QByteArray ModelAFileBytes(const ModelASettings& settings);
// Reads the values found in a model A file's bytes into `settings`: each label is looked for
// in the first 256 bytes; a value whose label is missing, or that is no number, is left as
// it was. The firmware number is 0 unless its label is found.
void ParseModelAFile(const QByteArray& bytes, ModelASettings& settings);

struct ModelAReadResult {
  ModelASettings settings;
  bool created = false;  // the file was missing and has been written with the defaults
  QString problem;       // why the file could not be read, or created with the defaults
};
// Reads the model A file at `path`. A missing file gives the defaults, which are written to
// it at once; a file that is there but cannot be read gives the defaults and a problem, and
// is left as it is.
ModelAReadResult ReadModelAFile(const QString& path);
// Writes the settings; the empty text on success, else why the file could not be written.
QString WriteModelAFile(const QString& path, const ModelASettings& settings);

inline constexpr int kModelBSettingsOffset = 100;
inline constexpr int kModelBSettingCount = 18;
inline constexpr int kModelBFileSize = 256;

struct ModelBSettings {
  // The setting bytes at offsets 100 to 117, in that order: time format, time zone,
  // daylight saving, unit, power save, track recording, track method, record interval,
  // record distance, display time, brightness, first window, alternate window, alternate
  // time, battery alarm, memory alarm, receiver mode, altitude graph.
  std::array<std::uint8_t, kModelBSettingCount> values{};
  QString modelCode;     // 2 bytes at offset 10
  QString firmwareText;  // 8 bytes at offset 12
  // The format version at offset 20 against the supported 2: 1 equal, 0 older, -1 newer.
  int formatCheck = 0;
};

// The choices of each model B setting, in file order, as the logger names them: a setting's
// byte is the position of its choice. The program stores no other value.
const std::array<QStringList, kModelBSettingCount>& ModelBChoices();
// Whether `value` is one of the choices of setting `index` (0 for the byte at offset 100).
bool IsModelBChoice(int index, int value);
// Only a file of the supported format may be changed: the program does not know where the
// settings of another format are.
inline bool IsModelBFormatSupported(const ModelBSettings& settings) {
  return settings.formatCheck == 1;
}

// The values of a model B file's bytes (missing bytes read as 0).
ModelBSettings ParseModelBFile(const QByteArray& bytes);
// Reads the model B file at `path`; nullopt when it cannot be read (the logger then counts
// as absent), with the reason in `problem`.
std::optional<ModelBSettings> ReadModelBFile(const QString& path, QString* problem = nullptr);
// The file's bytes with the setting bytes stored: a file shorter than 256 bytes is
// extended with zeros to 256; every byte outside offsets 100 to 117 is kept.
QByteArray ModelBFileBytes(QByteArray current, const ModelBSettings& settings);
// Stores the setting bytes into the file at `path`; the empty text on success, else why
// not (a file that cannot be read is not written).
QString WriteModelBFile(const QString& path, const ModelBSettings& settings);

}  // namespace trevalo
