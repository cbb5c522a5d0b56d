// trevalo-cli: the command-line tool over the engine.

#include <memory>
#include <span>

#include <QCoreApplication>

#include "cli/command.h"
#include "files/native_path.h"

namespace {

using trevalo::cli::CommandGroup;

constexpr CommandGroup kGroups[] = {
    {"log", "inspect track logs: counts, times and points", trevalo::cli::RunLogCommand},
    {"photo", "inspect photos, write a track point into a copy", trevalo::cli::RunPhotoCommand},
    {"library", "list, add, remove and merge the logs of the library",
     trevalo::cli::RunLibraryCommand},
    {"geotag", "match photos against logs and write their positions",
     trevalo::cli::RunGeotagCommand},
    {"export", "write logs as KML, GPX or tables", trevalo::cli::RunExportCommand},
    {"chart", "write the altitude and speed charts of a log", trevalo::cli::RunChartCommand},
    {"device", "read and change a logger's settings file", trevalo::cli::RunDeviceCommand},
    {"undo", "take back the last run that changed photos or sidecars",
     trevalo::cli::RunUndoCommand},
};

void PrintUsage(trevalo::cli::Output& out) {
  out << "Usage: trevalo-cli [--library DIR] COMMAND [ARGUMENTS]\n\nCommands:\n";
  for (const CommandGroup& group : kGroups) {
    out << "  " << group.name << "  " << group.summary << '\n';
  }
  out << "\nRun 'trevalo-cli COMMAND --help' for a command's arguments.\n"
         "--library DIR  use the log library in DIR instead of the one in the documents "
         "folder\n"
         "\nLogs are NMEA 0183 logs (the logger's own and any receiver's, every talker) and "
         "GPX 1.0 and 1.1 tracks.\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("trevalo-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TREVALO_VERSION));

  trevalo::cli::Output out(stdout);
  trevalo::cli::Output err(stderr);
  const trevalo::AppFolders folders = trevalo::AppFolders::FromEnvironment();
  trevalo::cli::CommandContext context{
      folders,
      {},
      out,
      err,
      std::make_shared<trevalo::PointsCache>(folders.cacheFolder + QStringLiteral("/points"))};

  // File names are taken as the bytes given (QCoreApplication::arguments() would read them
  // as UTF-8 and lose what is not).
  QStringList arguments;
  for (int i = 1; i < argc; ++i) {
    arguments << trevalo::PathFromNative(argv[i]);
  }
  while (!arguments.isEmpty() && arguments.front().startsWith(u'-')) {
    const QString option = arguments.takeFirst();
    if (option == u"--help" || option == u"-h") {
      PrintUsage(out);
      return trevalo::cli::kSuccess;
    }
    if (option == u"--version") {
      out << "trevalo-cli " << TREVALO_VERSION << '\n';
      return trevalo::cli::kSuccess;
    }
    if (option == u"--library" && !arguments.isEmpty()) {
      context.libraryFolder = arguments.takeFirst();
      continue;
    }
    context.Error(QStringLiteral("unknown option %1").arg(option));
    PrintUsage(err);
    return trevalo::cli::kUsageError;
  }
  if (arguments.isEmpty()) {
    PrintUsage(err);
    return trevalo::cli::kUsageError;
  }
  const QString name = arguments.takeFirst();
  for (const CommandGroup& group : kGroups) {
    if (name == QLatin1String(group.name)) {
      return group.run(arguments, context);
    }
  }
  context.Error(QStringLiteral("unknown command %1").arg(name));
  PrintUsage(err);
  return trevalo::cli::kUsageError;
}
