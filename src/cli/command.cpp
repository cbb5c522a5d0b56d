#include "cli/command.h"

#include <memory>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "files/native_files.h"
#include "shell/local_zone.h"
#include "shell/settings.h"
#include "track/time_zone.h"

namespace trevalo::cli {

void CommandContext::Error(const QString& message) const {
  err << "trevalo-cli: " << message << '\n';
  err.Flush();
}

std::optional<int> ParseCommandLine(QCommandLineParser& parser, const QString& command,
                                    const QStringList& arguments, const CommandContext& context) {
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help."));
  parser.addOption(help);
  if (!parser.parse(QStringList{QStringLiteral("trevalo-cli ") + command} + arguments)) {
    context.Error(parser.errorText());
    context.err << parser.helpText().toStdString();  // the program's own text
    return kUsageError;
  }
  if (parser.isSet(help)) {
    context.out << parser.helpText().toStdString();
    return kSuccess;
  }
  return std::nullopt;
}

int RunSubcommand(const char* group, std::initializer_list<Subcommand> subcommands,
                  const char* usage, const QStringList& arguments, CommandContext& context) {
  const QString name = arguments.value(0);
  for (const Subcommand& subcommand : subcommands) {
    if (name == QLatin1String(subcommand.name)) {
      return subcommand.run(arguments.mid(1), context);
    }
  }
  if (name == u"--help" || name == u"-h") {
    context.out << usage;
    return kSuccess;
  }
  QStringList names;
  for (const Subcommand& subcommand : subcommands) {
    names << QLatin1String(subcommand.name);
  }
  context.Error(name.isEmpty()
                    ? QStringLiteral("%1 needs a subcommand: %2")
                          .arg(QLatin1String(group), names.join(QStringLiteral(", ")))
                    : QStringLiteral("unknown %1 subcommand %2").arg(QLatin1String(group), name));
  context.err << usage;
  return kUsageError;
}

QCommandLineOption ZoneOptionDefinition(const QString& description) {
  return QCommandLineOption(QStringLiteral("zone"), description, QStringLiteral("HHMM"));
}

std::optional<int> ZoneOption(const QCommandLineParser& parser, const CommandContext& context) {
  if (!parser.isSet(QStringLiteral("zone"))) {
    return LocalZoneHHMM();
  }
  const QString text = parser.value(QStringLiteral("zone"));
  const std::optional<int> zone = ParseZone(text);
  if (!zone) {
    context.Error(QStringLiteral("--zone %1: not a time zone (write hours and minutes as HHMM, "
                                 "such as 900, -330 or +0545)")
                      .arg(text));
  }
  return zone;
}

std::optional<long long> NumberOption(const QCommandLineParser& parser, const QString& name,
                                      long long low, long long high, long long fallback,
                                      const CommandContext& context) {
  if (!parser.isSet(name)) {
    return fallback;
  }
  bool ok = false;
  const long long value = parser.value(name).toLongLong(&ok);
  if (!ok || value < low || value > high) {
    context.Error(QStringLiteral("--%1 %2: give a whole number from %3 to %4")
                      .arg(name, parser.value(name))
                      .arg(low)
                      .arg(high));
    return std::nullopt;
  }
  return value;
}

QList<QCommandLineOption> PositionOffsetOptions() {
  return {QCommandLineOption(QStringLiteral("lat-offset"),
                             QStringLiteral("Hundredths of an arc second north, -500..500."),
                             QStringLiteral("N")),
          QCommandLineOption(QStringLiteral("lon-offset"),
                             QStringLiteral("Hundredths of an arc second east, -500..500."),
                             QStringLiteral("N"))};
}

std::optional<PositionCorrection> PositionOffsets(const QCommandLineParser& parser,
                                                  const CommandContext& context) {
  const std::optional<long long> north =
      NumberOption(parser, QStringLiteral("lat-offset"), -500, 500, 0, context);
  const std::optional<long long> east =
      NumberOption(parser, QStringLiteral("lon-offset"), -500, 500, 0, context);
  if (!north || !east) {
    return std::nullopt;
  }
  return PositionCorrection{static_cast<int>(*north), static_cast<int>(*east)};
}

LogLibrary LibraryOfFiles(const QStringList& files, int zone, bool summerTime,
                          const CommandContext& context, bool& failed) {
  const int summer = summerTime ? 100 : 0;
  std::vector<LogRecord> records;
  std::vector<std::unique_ptr<GPSLog>> scanned;  // each file is scanned once
  for (const QString& file : files) {
    const QString path = AbsolutePath(file);
    auto log = std::make_unique<GPSLog>(path, 0, 0, QString(), zone, summer, context.pointsCache);
    if (!log->hasTimes()) {
      context.Error(QStringLiteral("%1: %2").arg(path, log->scanProblem()));
      failed = true;
      continue;
    }
    records.push_back({path, 0, 0, {}, zone});
    scanned.push_back(std::move(log));
  }
  return LogLibrary::InMemory(records, summer, std::move(scanned), context.pointsCache);
}

QString LibraryFolder(const CommandContext& context) {
  return context.libraryFolder.isEmpty()
             ? QDir(context.folders.documentsFolder).filePath(kLibraryFolderName)
             : context.libraryFolder;
}

LogLibrary OpenLibrary(const CommandContext& context) {
  const int summerTimeOffset = Settings(context.folders).ReadFlag(setting::kSummerTime) ? 100 : 0;
  return LogLibrary(LibraryFolder(context), summerTimeOffset, context.pointsCache);
}

bool ReportLibraryProblem(const LogLibrary& library, const CommandContext& context) {
  if (library.fileProblems().isEmpty()) {
    return false;
  }
  if (!library.databaseReadable()) {
    context.Error(library.fileProblems().join(u'\n') +
                  QStringLiteral("; no change is saved until it can be read"));
    return true;
  }
  for (const QString& problem : library.fileProblems()) {
    context.Error(QStringLiteral("%1: %2").arg(library.databasePath(), problem));
  }
  context.Error(QStringLiteral("%1: these lines are no logs of the library; the file stays as it "
                               "is, and the next change keeps a copy of it before saving")
                    .arg(library.databasePath()));
  return true;
}

bool ReportChange(const LogLibrary::Change& change, const CommandContext& context) {
  if (!change.notice.isEmpty()) {
    context.Error(change.notice);
  }
  if (change.done()) {
    return false;
  }
  context.Error(change.problem);
  return true;
}

}  // namespace trevalo::cli
