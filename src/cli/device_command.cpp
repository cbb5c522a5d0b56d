// trevalo-cli device config: the logger's settings file, read and changed.

#include <QFileInfo>

#include "cli/command.h"
#include "device/device_file.h"

namespace trevalo::cli {
namespace {

// The settings of model B, by the names `config set` takes, in file order.
constexpr const char* kModelBNames[kModelBSettingCount] = {
    "timeFormat",     "timeZone",       "daylightSaving",  "unit",           "powerSave",
    "trackRecording", "trackMethod",    "recordInterval",  "recordDistance", "displayTime",
    "brightness",     "firstWindow",    "alternateWindow", "alternateTime",  "batteryAlarm",
    "memoryAlarm",    "receiverMode",   "altitudeGraph"};

const QCommandLineOption kJsonOption(QStringLiteral("json"), QStringLiteral("Write JSON."));

enum class Model { kA, kB };

// The model is told by the file's name.
std::optional<Model> ModelOf(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  if (name.compare(QLatin1String(kModelAFileName), Qt::CaseInsensitive) == 0) {
    return Model::kA;
  }
  if (name.compare(QLatin1String(kModelBFileName), Qt::CaseInsensitive) == 0) {
    return Model::kB;
  }
  return std::nullopt;
}

void ShowModelA(const ModelASettings& s, bool asJson, Output& out) {
  const std::pair<const char*, int> values[] = {{"samplingSeconds", s.samplingSeconds},
                                                {"ledMode", s.ledMode},
                                                {"firmwareNumber", s.firmwareNumber}};
  if (asJson) {
    JsonWriter json(out);
    json.BeginObject();
    json.Field("model", std::string_view("A"));
    for (const auto& [name, value] : values) {
      json.Field(name, value);
    }
    json.EndObject();
    json.Finish();
    return;
  }
  out << "model A\n";
  for (const auto& [name, value] : values) {
    out << name << '=' << std::int64_t{value} << '\n';
  }
}

void ShowModelB(const ModelBSettings& s, bool asJson, Output& out) {
  if (asJson) {
    JsonWriter json(out);
    json.BeginObject();
    json.Field("model", std::string_view("B"));
    json.Field("modelCode", s.modelCode);
    json.Field("firmwareText", s.firmwareText);
    json.Field("formatCheck", s.formatCheck);
    for (int i = 0; i < kModelBSettingCount; ++i) {
      json.Field(kModelBNames[i], s.values[static_cast<std::size_t>(i)]);
    }
    json.EndObject();
    json.Finish();
    return;
  }
  out << "model B " << s.modelCode << ", firmware " << s.firmwareText << ", format "
      << (s.formatCheck == 1 ? "supported" : s.formatCheck == 0 ? "older" : "newer") << '\n';
  for (int i = 0; i < kModelBSettingCount; ++i) {
    out << kModelBNames[i] << '=' << std::int64_t{s.values[static_cast<std::size_t>(i)]} << '\n';
  }
}

// Parses the FILE argument; nullopt after a message.
std::optional<std::pair<QString, Model>> DeviceFile(const QCommandLineParser& parser,
                                                    const QString& command,
                                                    const CommandContext& context) {
  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) {
    context.Error(QStringLiteral("%1 needs the logger's settings file (%2 or %3)")
                      .arg(command, QLatin1String(kModelAFileName),
                           QLatin1String(kModelBFileName)));
    return std::nullopt;
  }
  const std::optional<Model> model = ModelOf(positional.front());
  if (!model) {
    context.Error(QStringLiteral("%1: not a logger settings file (%2 or %3)")
                      .arg(positional.front(), QLatin1String(kModelAFileName),
                           QLatin1String(kModelBFileName)));
    return std::nullopt;
  }
  return std::pair{positional.front(), *model};
}

int RunShow(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Shows the settings in a logger's settings file. A missing model A file "
                     "is created with the defaults, as the program does on detection."));
  parser.addOption(kJsonOption);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("QARN_TR.CFG (model A) or SYSREG.SMI (model B)."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("device config show"), arguments, context)) {
    return *done;
  }
  const auto file = DeviceFile(parser, QStringLiteral("device config show"), context);
  if (!file) {
    return kUsageError;
  }
  if (file->second == Model::kA) {
    const ModelAReadResult read = ReadModelAFile(file->first);
    if (!read.problem.isEmpty()) {
      context.Error(read.problem);
      return kUserError;
    }
    ShowModelA(read.settings, parser.isSet(kJsonOption), context.out);
    return kSuccess;
  }
  QString problem;
  const std::optional<ModelBSettings> settings = ReadModelBFile(file->first, &problem);
  if (!settings) {
    context.Error(problem);
    return kUserError;
  }
  ShowModelB(*settings, parser.isSet(kJsonOption), context.out);
  return kSuccess;
}

int RunSet(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Changes settings in a logger's settings file. Model A: samplingSeconds, ledMode. "
      "Model B: the byte settings that 'config show' lists (0..255)."));
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("QARN_TR.CFG (model A) or SYSREG.SMI (model B)."));
  parser.addPositionalArgument(QStringLiteral("KEY=VALUE"), QStringLiteral("Settings to change."),
                               QStringLiteral("KEY=VALUE..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("device config set"), arguments, context)) {
    return *done;
  }
  const auto file = DeviceFile(parser, QStringLiteral("device config set"), context);
  if (!file) {
    return kUsageError;
  }
  const QStringList assignments = parser.positionalArguments().mid(1);
  if (assignments.isEmpty()) {
    context.Error(QStringLiteral("device config set needs at least one KEY=VALUE"));
    return kUsageError;
  }
  std::optional<ModelASettings> modelA;
  std::optional<ModelBSettings> modelB;
  QString problem;
  if (file->second == Model::kA) {
    const ModelAReadResult read = ReadModelAFile(file->first);
    problem = read.problem;
    modelA = read.settings;
  } else {
    modelB = ReadModelBFile(file->first, &problem);
  }
  if (!problem.isEmpty()) {
    context.Error(problem);
    return kUserError;
  }
  for (const QString& assignment : assignments) {
    const qsizetype equals = assignment.indexOf(u'=');
    bool ok = false;
    const int value = equals > 0 ? assignment.mid(equals + 1).toInt(&ok) : 0;
    const QString key = assignment.left(equals);
    bool known = false;
    if (modelA && key == u"samplingSeconds") {
      modelA->samplingSeconds = value;
      known = true;
    } else if (modelA && key == u"ledMode") {
      ok = ok && value >= 0 && value <= 2;
      modelA->ledMode = value;
      known = true;
    } else if (modelB) {
      for (int i = 0; i < kModelBSettingCount; ++i) {
        if (key == QLatin1String(kModelBNames[i])) {
          ok = ok && value >= 0 && value <= 255;
          modelB->values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
          known = true;
        }
      }
    }
    if (!known || !ok) {
      context.Error(QStringLiteral("%1: %2").arg(
          assignment, known ? QStringLiteral("not a valid value") : QStringLiteral("no such setting")));
      return kUsageError;
    }
  }
  problem = modelA ? WriteModelAFile(file->first, *modelA) : WriteModelBFile(file->first, *modelB);
  if (!problem.isEmpty()) {
    context.Error(problem);
    return kUserError;
  }
  return kSuccess;
}

int RunConfig(const QStringList& arguments, CommandContext& context) {
  return RunSubcommand("device config", {{"show", RunShow}, {"set", RunSet}},
                       "Usage: trevalo-cli device config show FILE [--json]\n"
                       "       trevalo-cli device config set FILE KEY=VALUE...\n",
                       arguments, context);
}

}  // namespace

int RunDeviceCommand(const QStringList& arguments, CommandContext& context) {
  return RunSubcommand("device", {{"config", RunConfig}},
                       "Usage: trevalo-cli device config show|set FILE ...\n", arguments,
                       context);
}

}  // namespace trevalo::cli
