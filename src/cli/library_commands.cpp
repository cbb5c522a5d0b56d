// trevalo-cli library list | add | remove | merge: the user's log library.

#include <QDir>
#include <QFileInfo>

#include "cli/command.h"
#include "files/native_files.h"
#include "library/log_library.h"
#include "library/log_merge.h"
#include "library/time_zone_list.h"
#include "shell/language.h"
#include "shell/local_zone.h"
#include "shell/settings.h"

namespace trevalo::cli {
namespace {

const QCommandLineOption kJsonOption(QStringLiteral("json"),
                                     QStringLiteral("Write JSON instead of text."));

int RunList(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The logs of the library, in library order."));
  parser.addOption(kJsonOption);
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("library list"), arguments, context)) {
    return *done;
  }
  LogLibrary library = OpenLibrary(context);
  const QString timeFormat =
      LoadDisplayFormats(LanguageTexts::Load(Settings(context.folders))).timeFormat;
  if (parser.isSet(kJsonOption)) {
    JsonWriter json(context.out);
    json.BeginArray();
    for (std::size_t i = 0; i < library.size(); ++i) {
      const GPSLog& log = library.log(i);
      json.BeginObject();
      json.Field("file", log.filePath());
      json.Field("available", true);
      json.Field("colorIndex", log.colorIndex());
      json.Field("lineWidthIndex", log.lineWidthIndex());
      json.Field("comment", log.comment());
      json.Field("timeZone", log.timeZone());
      json.Field("pointCount", log.pointCount());
      json.Field("localStart", std::string_view(IsoTimeText(log.localStart())));
      json.Field("localEnd", std::string_view(IsoTimeText(log.localEnd())));
      json.Field("startText", log.StartTimeText(timeFormat));
      json.Field("endText", log.EndTimeText(timeFormat));
      json.EndObject();
    }
    for (const LogRecord& record : library.unavailable()) {
      json.BeginObject();
      json.Field("file", record.filePath);
      json.Field("available", false);
      json.Field("colorIndex", record.colorIndex);
      json.Field("lineWidthIndex", record.lineWidthIndex);
      json.Field("comment", record.comment);
      json.Field("timeZone", record.timeZone);
      json.EndObject();
    }
    json.EndArray();
    json.Finish();
  } else {
    for (std::size_t i = 0; i < library.size(); ++i) {
      const GPSLog& log = library.log(i);
      context.out << log.StartTimeText(timeFormat) << "  " << log.EndTimeText(timeFormat) << "  "
                  << ZoneText(log.timeZone()) << "  " << log.filePath();
      if (!log.comment().isEmpty()) {
        context.out << "  (" << log.comment() << ')';
      }
      context.out << '\n';
    }
    for (const LogRecord& record : library.unavailable()) {
      context.out << "(unavailable)  " << record.filePath << '\n';
    }
  }
  return ReportLibraryProblem(library, context) ? kUserError : kSuccess;
}

int RunAdd(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Adds log files to the library."));
  parser.addOption(ZoneOptionDefinition(
      QStringLiteral("Time zone of the logs (default: the computer's standard zone).")));
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Log files: NMEA logs or GPX tracks."),
                               QStringLiteral("FILE..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("library add"), arguments, context)) {
    return *done;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  if (!zone) {
    return kUsageError;
  }
  if (parser.positionalArguments().isEmpty()) {
    context.Error(QStringLiteral("library add needs at least one log file"));
    return kUsageError;
  }
  LogLibrary library = OpenLibrary(context);
  int exitCode = ReportLibraryProblem(library, context) ? kUserError : kSuccess;
  std::vector<LogLibrary::NewLog> logs;
  for (const QString& file : parser.positionalArguments()) {
    logs.push_back({AbsolutePath(file), 0, 0, *zone});
  }
  // One save for all; "added" is said only of what the saved file holds.
  const std::vector<LogLibrary::Change> changes = library.AddLogs(logs);
  QStringList notices;
  for (std::size_t k = 0; k < logs.size(); ++k) {
    const LogLibrary::Change& change = changes[k];
    if (!change.notice.isEmpty() && !notices.contains(change.notice)) {
      notices << change.notice;
      context.Error(change.notice);
    }
    switch (change.result) {
      case LogLibrary::ChangeResult::kDone:
        context.out << "added " << logs[k].path << '\n';
        break;
      case LogLibrary::ChangeResult::kAlreadyThere:
        context.out << logs[k].path << ": already in the library\n";
        break;
      default:
        context.Error(change.problem);
        exitCode = kUserError;
        break;
    }
  }
  return exitCode;
}

int RunRemove(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Removes logs from the library; their files stay on disk."));
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Log files: NMEA logs or GPX tracks."),
                               QStringLiteral("FILE..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("library remove"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().isEmpty()) {
    context.Error(QStringLiteral("library remove needs at least one log file"));
    return kUsageError;
  }
  LogLibrary library = OpenLibrary(context);
  int exitCode = ReportLibraryProblem(library, context) ? kUserError : kSuccess;
  QStringList paths;
  for (const QString& file : parser.positionalArguments()) {
    paths << AbsolutePath(file);
  }
  // Each in its own change, so that "removed" and "not in the library" are told per file.
  for (const QString& path : paths) {
    const LogLibrary::Change change = library.RemoveLogByPath(path);
    if (change.done()) {
      context.out << "removed " << path << '\n';
    }
    if (ReportChange(change, context)) {
      exitCode = kUserError;
    }
  }
  return exitCode;
}

int RunMerge(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Joins logs of the library that do not overlap in time into one new log, which takes "
      "their place in the library; their files stay on disk."));
  const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The merged log."),
                               QStringLiteral("FILE"));
  parser.addOption(out);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Logs of the library."),
                               QStringLiteral("FILE..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("library merge"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().size() < 2 || !parser.isSet(out)) {
    context.Error(QStringLiteral("library merge needs two or more logs and --out FILE"));
    return kUsageError;
  }
  const QString output = AbsolutePath(parser.value(out));
  if (PathExists(output)) {
    context.Error(QStringLiteral("%1: exists already; give another name").arg(output));
    return kUserError;
  }
  LogLibrary library = OpenLibrary(context);
  const bool damaged = ReportLibraryProblem(library, context);
  std::vector<std::size_t> rows;
  for (const QString& file : parser.positionalArguments()) {
    const QString path = AbsolutePath(file);
    const std::optional<std::size_t> row = library.Find(path);
    if (!row) {
      context.Error(QStringLiteral("%1: not in the library").arg(path));
      return kUserError;
    }
    rows.push_back(*row);
  }
  const MergeOutcome outcome = MergeLogs(library, rows, output);
  for (const QString& skipped : outcome.skipped) {
    context.Error(skipped);
  }
  if (!outcome.notice.isEmpty()) {
    context.Error(outcome.notice);
  }
  if (outcome.result != MergeOutcome::kMerged) {
    context.Error(QStringLiteral("%1: not merged: %2").arg(output, outcome.problem));
    return kUserError;
  }
  context.out << "merged " << std::int64_t{static_cast<std::int64_t>(rows.size())} << " logs into "
              << output << '\n';
  return damaged || !outcome.skipped.isEmpty() ? kUserError : kSuccess;
}

}  // namespace

int RunLibraryCommand(const QStringList& arguments, CommandContext& context) {
  return RunSubcommand(
      "library", {{"list", RunList}, {"add", RunAdd}, {"remove", RunRemove}, {"merge", RunMerge}},
      "Usage: trevalo-cli library list [--json]\n"
      "       trevalo-cli library add FILE... [--zone HHMM]\n"
      "       trevalo-cli library remove FILE...\n"
      "       trevalo-cli library merge FILE... --out FILE\n",
      arguments, context);
}

}  // namespace trevalo::cli
