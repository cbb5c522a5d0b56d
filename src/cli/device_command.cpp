// trevalo-cli device detect | import | config: the logger, its logs and its settings file.

#include <QFileInfo>

#include "cli/command.h"
#include "device/device_file.h"
#include "device/log_import.h"
#include "device/logger_detection.h"

namespace trevalo::cli {
namespace {

// The settings of model B, by the names `config set` takes, in file order.
constexpr const char* kModelBNames[kModelBSettingCount] = {
    "timeFormat",     "timeZone",     "daylightSaving",  "unit",           "powerSave",
    "trackRecording", "trackMethod",  "recordInterval",  "recordDistance", "displayTime",
    "brightness",     "firstWindow",  "alternateWindow", "alternateTime",  "batteryAlarm",
    "memoryAlarm",    "receiverMode", "altitudeGraph"};

const QCommandLineOption kJsonOption(QStringLiteral("json"), QStringLiteral("Write JSON."));

// Where the mounts and the hardware are read from; other files stand in for them when
// checking against a copy or a fake tree.
const QCommandLineOption kMountInfoOption(
    QStringLiteral("mountinfo"), QStringLiteral("The mount table (default /proc/self/mountinfo)."),
    QStringLiteral("FILE"));
const QCommandLineOption kSysfsOption(QStringLiteral("sysfs"),
                                      QStringLiteral("The sysfs root (default /sys)."),
                                      QStringLiteral("DIR"));

DeviceTree TreeOf(const QCommandLineParser& parser) {
  DeviceTree tree;
  if (parser.isSet(kMountInfoOption)) {
    tree.mountInfoPath = parser.value(kMountInfoOption);
  }
  if (parser.isSet(kSysfsOption)) {
    tree.sysfsRoot = parser.value(kSysfsOption);
  }
  return tree;
}

const char* ModelName(LoggerKind kind) {
  return kind == LoggerKind::kModelA ? "A" : "B";
}

// Tells why the logger's settings file could not be read (for model B the logger then
// counts as not connected).
void ReportSettingsProblem(const ConnectedLogger& logger, const CommandContext& context) {
  if (!logger.problem.isEmpty()) {
    context.Error(logger.state.kind != LoggerKind::kNone
                      ? logger.problem
                      : logger.problem + QStringLiteral(": the logger counts as not connected"));
  }
}

int RunDetect(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Finds a connected logger among the mounted volumes: its mount point, model, "
                     "free and total space (mebibytes, as \"123Mb\")."));
  parser.addOptions({kJsonOption, kMountInfoOption, kSysfsOption});
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("device detect"), arguments, context)) {
    return *done;
  }
  const ConnectedLogger logger = ConnectLogger(TreeOf(parser));
  ReportSettingsProblem(logger, context);
  const bool connected = logger.state.kind != LoggerKind::kNone;
  const VolumeSpace space = connected ? SpaceOf(logger.state.drive) : VolumeSpace{};
  if (parser.isSet(kJsonOption)) {
    JsonWriter json(context.out);
    json.BeginObject();
    json.Field("connected", connected);
    if (connected) {
      json.Field("drive", logger.state.drive);
      json.Field("loggerKind", static_cast<int>(logger.state.kind));
      json.Field("model", std::string_view(ModelName(logger.state.kind)));
      json.Field("logFolder", LoggerPath(logger.state.drive, QStringLiteral("GPS")));
      json.Field("freeBytes", space.freeBytes);
      json.Field("totalBytes", space.totalBytes);
      json.Field("free", MegabyteText(space.freeBytes));
      json.Field("total", MegabyteText(space.totalBytes));
    }
    json.EndObject();
    json.Finish();
  } else if (connected) {
    context.out << "logger model " << ModelName(logger.state.kind) << " at " << logger.state.drive
                << '\n'
                << "logs: " << LoggerPath(logger.state.drive, QStringLiteral("GPS")) << '\n'
                << "free: " << MegabyteText(space.freeBytes) << '\n'
                << "total: " << MegabyteText(space.totalBytes) << '\n';
  } else {
    context.out << "no logger\n";
  }
  return logger.problem.isEmpty() ? kSuccess : kUserError;
}

void WriteImportJson(const ConnectedLogger& logger, const LogLibrary& library,
                     const ImportResult& result, Output& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Field("drive", logger.state.drive);
  json.Field("library", library.folder());
  json.Field("found", static_cast<std::int64_t>(result.logs.size()));
  json.Field("imported", result.copiedCount());
  json.Key("logs");
  json.BeginArray();
  for (const ImportedLog& log : result.logs) {
    json.BeginObject();
    json.Field("source", log.source);
    json.Field("destination", log.destination);
    json.Field("copied", log.copied);
    json.Field("added", log.added);
    json.Field("deleted", log.deleted);
    if (!log.problem.isEmpty()) {
      json.Field("error", log.problem);
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.Finish();
}

int RunImport(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Copies the connected logger's logs (GPS/*.log) into the log library, replacing older "
      "copies of the same name once the new copy is complete, and adds them with the zone."));
  parser.addOptions({kJsonOption, kMountInfoOption, kSysfsOption,
                     ZoneOptionDefinition(QStringLiteral(
                         "Time zone of the imported logs (default: the computer's)."))});
  parser.addOption(QCommandLineOption(
      QStringLiteral("delete"),
      QStringLiteral("Delete each log from the logger once it is in the library.")));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("device import"), arguments, context)) {
    return *done;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!zone) {
    return kUsageError;
  }
  const ConnectedLogger logger = ConnectLogger(TreeOf(parser));
  ReportSettingsProblem(logger, context);
  if (logger.state.kind == LoggerKind::kNone) {
    if (logger.problem.isEmpty()) {
      context.Error(QStringLiteral("no logger is connected"));
    }
    return kUserError;
  }
  const bool asJson = parser.isSet(kJsonOption);
  LogLibrary library = OpenLibrary(context);
  const bool damaged = ReportLibraryProblem(library, context);
  const ImportResult result =
      ImportLogs(logger.state.drive, library, {*zone, parser.isSet(QStringLiteral("delete"))},
                 [&](std::size_t done, std::size_t total, const QString& name) {
                   if (!asJson && done < total) {
                     context.out << '[' << static_cast<std::int64_t>(done + 1) << '/'
                                 << static_cast<std::int64_t>(total) << "] " << name << '\n';
                     context.out.Flush();
                   }
                 });
  if (!result.problem.isEmpty()) {
    context.Error(result.problem);
    return kUserError;
  }
  QStringList notices;
  for (const ImportedLog& log : result.logs) {
    if (!log.notice.isEmpty() && !notices.contains(log.notice)) {
      notices << log.notice;
      context.Error(log.notice);
    }
    if (!log.problem.isEmpty()) {
      context.Error(log.problem);
    }
  }
  if (asJson) {
    WriteImportJson(logger, library, result, context.out);
  } else {
    const auto deleted =
        std::ranges::count_if(result.logs, [](const ImportedLog& l) { return l.deleted; });
    context.out << "imported " << std::int64_t{result.copiedCount()} << " of "
                << static_cast<std::int64_t>(result.logs.size()) << " logs into "
                << library.folder();
    if (parser.isSet(QStringLiteral("delete"))) {
      context.out << "; deleted " << static_cast<std::int64_t>(deleted) << " from the logger";
    }
    context.out << '\n';
  }
  const bool failed = damaged || result.failedCount() > 0;
  return failed ? kUserError : kSuccess;
}

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
      << (s.formatCheck == 1   ? "supported"
          : s.formatCheck == 0 ? "older"
                               : "newer")
      << '\n';
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
    context.Error(
        QStringLiteral("%1 needs the logger's settings file (%2 or %3)")
            .arg(command, QLatin1String(kModelAFileName), QLatin1String(kModelBFileName)));
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
      "Model B: the byte settings that 'config show' lists, each one of its choices as the "
      "settings page offers them (0 for the first); a file of another format is not changed."));
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
  if (modelB && !IsModelBFormatSupported(*modelB)) {
    context.Error(QStringLiteral("%1: a settings file of %2 format than this program knows: "
                                 "left as it is")
                      .arg(file->first, modelB->formatCheck < 0 ? QStringLiteral("a newer")
                                                                : QStringLiteral("an older")));
    return kUserError;
  }
  for (const QString& assignment : assignments) {
    const qsizetype equals = assignment.indexOf(u'=');
    bool ok = false;
    const int value = equals > 0 ? assignment.mid(equals + 1).toInt(&ok) : 0;
    const QString key = assignment.left(equals);
    bool known = false;
    QString valid;  // what the setting takes, when the value is refused
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
          ok = ok && IsModelBChoice(i, value);
          modelB->values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
          known = true;
          valid = QStringLiteral(" (0 to %1: %2)")
                      .arg(ModelBChoices()[static_cast<std::size_t>(i)].size() - 1)
                      .arg(ModelBChoices()[static_cast<std::size_t>(i)].join(QStringLiteral(", ")));
        }
      }
    }
    if (!known || !ok) {
      context.Error(QStringLiteral("%1: %2").arg(
          assignment,
          known ? QStringLiteral("not a valid value") + valid : QStringLiteral("no such setting")));
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
  return RunSubcommand("device",
                       {{"detect", RunDetect}, {"import", RunImport}, {"config", RunConfig}},
                       "Usage: trevalo-cli device detect [--json]\n"
                       "       trevalo-cli device import [--zone HHMM] [--delete] [--json]\n"
                       "       trevalo-cli device config show|set FILE ...\n",
                       arguments, context);
}

}  // namespace trevalo::cli
