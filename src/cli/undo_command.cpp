// trevalo-cli undo: takes back the last run that changed the user's files, from its journal.

#include "cli/command.h"
#include "files/change_journal.h"

namespace trevalo::cli {

int RunUndoCommand(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Takes back the newest run that changed photos in place or wrote sidecars beside "
      "them (from trevalo-cli geotag or the desktop program's Save): each photo is put back "
      "byte for byte, sidecars the run made are removed and those it changed get their old "
      "content. A file changed since by anything else is named and left as it is. The "
      "journals are kept within 1 GiB, the oldest dropped first."));
  const QCommandLineOption list(QStringList{QStringLiteral("list")},
                                QStringLiteral("Only list the runs that can be taken back, "
                                               "newest first."));
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write JSON."));
  parser.addOptions({list, json});
  parser.addPositionalArgument(QStringLiteral("RUN"),
                               QStringLiteral("The run to take back, as --list names it "
                                              "(default: the newest)."),
                               QStringLiteral("[RUN]"));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("undo"), arguments, context)) {
    return *done;
  }
  if (parser.positionalArguments().size() > 1 ||
      (parser.isSet(list) && !parser.positionalArguments().isEmpty())) {
    context.Error(QStringLiteral("undo takes at most one run, and none with --list"));
    return kUsageError;
  }
  const std::vector<JournalRun> runs = JournalRuns(JournalsFolder(context.folders.stateFolder));
  JsonWriter writer(context.out);
  if (parser.isSet(list)) {
    if (parser.isSet(json)) {
      writer.BeginArray();
    }
    for (const JournalRun& run : runs) {
      const QString started =
          run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      if (parser.isSet(json)) {
        writer.BeginObject();
        writer.Field("run", run.name);
        writer.Field("started", run.started.toString(Qt::ISODateWithMs));
        writer.Field("description", run.description);
        writer.Field("files", run.files);
        writer.Field("bytes", run.bytes);
        writer.Field("running", run.running);
        writer.EndObject();
      } else {
        context.out << run.name << "  " << started << "  " << std::int64_t{run.files}
                    << (run.files == 1 ? " file" : " files") << "  " << run.description
                    << (run.running ? "  (still running)" : "") << '\n';
      }
    }
    if (parser.isSet(json)) {
      writer.EndArray();
      writer.Finish();
    }
    return kSuccess;
  }
  const JournalRun* chosen = nullptr;
  const QString wanted = parser.positionalArguments().value(0);
  for (const JournalRun& run : runs) {
    if (wanted.isEmpty() ? !run.running : run.name == wanted) {
      chosen = &run;
      break;
    }
  }
  if (chosen == nullptr) {
    context.Error(wanted.isEmpty() ? QStringLiteral("no run to take back")
                                   : QStringLiteral("no run %1 (see undo --list)").arg(wanted));
    return kUserError;
  }
  const UndoReport report = UndoRun(chosen->folder);
  if (parser.isSet(json)) {
    writer.BeginObject();
    writer.Field("run", chosen->name);
    writer.Key("restored");
    writer.BeginArray();
    for (const QString& file : report.restored) {
      writer.String(file);
    }
    writer.EndArray();
    writer.Key("refused");
    writer.BeginArray();
    for (const QString& file : report.refused + report.failed) {
      writer.String(file);
    }
    writer.EndArray();
    writer.EndObject();
    writer.Finish();
  } else {
    for (const QString& file : report.restored) {
      context.out << "restored " << file << '\n';
    }
    context.out << "took back " << chosen->name << " (" << chosen->description
                << "): " << std::int64_t{report.restored.size()} << " restored\n";
  }
  for (const QString& problem : report.refused + report.failed) {
    context.Error(problem);
  }
  if (!report.removed) {
    context.Error(
        QStringLiteral("the journal %1 is kept: run undo again to retry").arg(chosen->folder));
  }
  return report.refused.isEmpty() && report.failed.isEmpty() ? kSuccess : kUserError;
}

}  // namespace trevalo::cli
