#include "device/device_file.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <span>

#include "files/atomic_file.h"
#include "files/native_files.h"

namespace trevalo {
namespace {

constexpr int kLabelLength = 16;
constexpr int kValueLength = 14;
constexpr int kRecordLength = 32;
constexpr int kLabelSearchEnd = 256;  // labels start within the first 256 bytes
constexpr qint64 kReadLimit = 512;

constexpr const char* kModelALabels[] = {"QARN TR", "Sampling Time", "GON Time", "FW Version"};

QByteArray Label(const char* text) {
  QByteArray label(text);
  return label.leftJustified(kLabelLength, ' ', true);
}

// "%d" after leading blanks; nullopt when no digit follows.
std::optional<int> LeadingInteger(const QByteArray& bytes, qsizetype at) {
  while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) {
    ++at;
  }
  bool negative = false;
  if (at < bytes.size() && (bytes[at] == '-' || bytes[at] == '+')) {
    negative = bytes[at] == '-';
    ++at;
  }
  if (at >= bytes.size() || !std::isdigit(static_cast<unsigned char>(bytes[at]))) {
    return std::nullopt;
  }
  long long value = 0;
  while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
    value = std::min<long long>(value * 10 + (bytes[at] - '0'), 1LL << 31);
    ++at;
  }
  value = negative ? -value : value;
  return static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// Up to `limit` bytes of a file; nullopt when it cannot be opened or read.
std::optional<QByteArray> ReadStart(const QString& path, qint64 limit, QString* problem) {
  QFile file;
  if (const QString reason = OpenForReading(file, path); !reason.isEmpty()) {
    if (problem != nullptr) {
      *problem = QStringLiteral("cannot read %1: %2").arg(path, reason);
    }
    return std::nullopt;
  }
  QByteArray bytes = limit < 0 ? file.readAll() : file.read(limit);
  if (file.error() != QFileDevice::NoError) {
    if (problem != nullptr) {
      *problem = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    return std::nullopt;
  }
  return bytes;
}

QString WriteBytes(const QString& path, const QByteArray& bytes) {
  return WriteFileAtomically(path,
                             std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size())),
                             true);
}

// 8-bit text of a fixed field, ending at its first zero byte.
QString FieldText(const QByteArray& bytes, int offset, int length) {
  QByteArray field = bytes.mid(offset, length);
  if (const qsizetype zero = field.indexOf('\0'); zero >= 0) {
    field.truncate(zero);
  }
  return QString::fromLatin1(field);
}

}  // namespace

QByteArray ModelAFileBytes(const ModelASettings& settings) {
  const int values[] = {3, settings.samplingSeconds, settings.ledMode, settings.firmwareNumber};
  QByteArray bytes;
  bytes.reserve(4 * kRecordLength);
  for (int record = 0; record < 4; ++record) {
    bytes += Label(kModelALabels[record]);
    bytes += QByteArray::number(values[record]).leftJustified(kValueLength, ' ', true);
    bytes += "\r\n";
  }
  return bytes;
}

void ParseModelAFile(const QByteArray& bytes, ModelASettings& settings) {
  settings.firmwareNumber = 0;
  int* const targets[] = {nullptr, &settings.samplingSeconds, &settings.ledMode,
                          &settings.firmwareNumber};
  for (int record = 0; record < 4; ++record) {
    const QByteArray label = Label(kModelALabels[record]);
    const qsizetype at = bytes.indexOf(label);
    if (at < 0 || at >= kLabelSearchEnd || targets[record] == nullptr) {
      continue;
    }
    if (const std::optional<int> value = LeadingInteger(bytes, at + kLabelLength)) {
      *targets[record] = *value;
    }
  }
}

ModelAReadResult ReadModelAFile(const QString& path) {
  ModelAReadResult result;
  QString problem;
  const std::optional<QByteArray> bytes = ReadStart(path, kReadLimit, &problem);
  if (!bytes && PathExists(path)) {
    result.problem = problem;  // there but unreadable: the logger's file is not replaced
    return result;
  }
  if (!bytes) {
    result.created = true;
    result.problem = WriteModelAFile(path, result.settings);
    return result;
  }
  ParseModelAFile(*bytes, result.settings);
  return result;
}

QString WriteModelAFile(const QString& path, const ModelASettings& settings) {
  return WriteBytes(path, ModelAFileBytes(settings));
}

const std::array<QStringList, kModelBSettingCount>& ModelBChoices() {
  static const std::array<QStringList, kModelBSettingCount> choices = [] {
    const QStringList onOff = {QStringLiteral("Off"), QStringLiteral("On")};
    const QStringList windows = {QStringLiteral("Basic"), QStringLiteral("Exercise"),
                                 QStringLiteral("Elevation"), QStringLiteral("Compass")};
    const auto list = [](std::initializer_list<const char*> texts) {
      QStringList entries;
      for (const char* text : texts) {
        entries << QString::fromLatin1(text);
      }
      return entries;
    };
    return std::array<QStringList, kModelBSettingCount>{
        list({"12 hour", "24 hour"}),
        list({"GMT -12:00", "GMT -11:00", "GMT -10:00", "GMT -9:00", "GMT -8:00",  "GMT -7:00",
              "GMT -6:00",  "GMT -5:00",  "GMT -4:30",  "GMT -4:00", "GMT -3:30",  "GMT -3:00",
              "GMT -2:00",  "GMT -1:00",  "GMT 0",      "GMT +1:00", "GMT +2:00",  "GMT +3:00",
              "GMT +4:00",  "GMT +4:30",  "GMT +5:00",  "GMT +5:30", "GMT +5:45",  "GMT +6:00",
              "GMT +7:00",  "GMT +8:00",  "GMT +9:00",  "GMT +9:30", "GMT +10:00", "GMT +11:00",
              "GMT +12:00", "GMT +13:00"}),
        onOff,
        list({"Meter", "Feet"}),
        list({"Default", "UserDefine"}),
        list({"On", "Off", "Mode Key"}),
        list({"Time", "Distance"}),
        list({"1 sec", "5 sec", "10 sec", "20 sec", "30 sec", "45 sec", "60 sec", "120 sec"}),
        list({"10 m", "20 m", "50 m", "100 m", "200 m", "500 m", "1000 m", "2000 m"}),
        list({"Always", "5 sec", "10 sec", "20 sec", "30 sec"}),
        list({"Low", "Medium", "High", "Very High"}),
        windows,
        windows,
        list({"Off", "5 sec", "10 sec", "20 sec"}),
        onOff,
        onOff,
        list({"No", "Yes, USB"}),
        list({"Time", "Distance"}),
    };
  }();
  return choices;
}

bool IsModelBChoice(int index, int value) {
  return index >= 0 && index < kModelBSettingCount && value >= 0 &&
         value < ModelBChoices()[static_cast<std::size_t>(index)].size();
}

ModelBSettings ParseModelBFile(const QByteArray& bytes) {
  ModelBSettings settings;
  settings.modelCode = FieldText(bytes, 10, 2);
  settings.firmwareText = FieldText(bytes, 12, 8);
  int version = 0;
  for (int i = 20; i < 23 && i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i]));
       ++i) {
    version = version * 10 + (bytes[i] - '0');
  }
  settings.formatCheck = version == 2 ? 1 : version < 2 ? 0 : -1;
  for (int i = 0; i < kModelBSettingCount; ++i) {
    const int offset = kModelBSettingsOffset + i;
    settings.values[static_cast<std::size_t>(i)] =
        offset < bytes.size() ? static_cast<std::uint8_t>(bytes[offset]) : 0;
  }
  return settings;
}

std::optional<ModelBSettings> ReadModelBFile(const QString& path, QString* problem) {
  const std::optional<QByteArray> bytes = ReadStart(path, kReadLimit, problem);
  if (!bytes) {
    return std::nullopt;
  }
  return ParseModelBFile(*bytes);
}

QByteArray ModelBFileBytes(QByteArray current, const ModelBSettings& settings) {
  if (current.size() < kModelBFileSize) {
    current.append(kModelBFileSize - current.size(), '\0');
  }
  for (int i = 0; i < kModelBSettingCount; ++i) {
    current[kModelBSettingsOffset + i] =
        static_cast<char>(settings.values[static_cast<std::size_t>(i)]);
  }
  return current;
}

QString WriteModelBFile(const QString& path, const ModelBSettings& settings) {
  QString problem;
  const std::optional<QByteArray> current = ReadStart(path, -1, &problem);
  if (!current) {
    return problem;
  }
  return WriteBytes(path, ModelBFileBytes(*current, settings));
}

}  // namespace trevalo
