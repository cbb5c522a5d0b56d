#pragma once
// What every subcommand of trevalo-cli gets, and the helpers they share.

#include <initializer_list>
#include <memory>
#include <optional>

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "cli/output.h"
#include "library/log_library.h"
#include "logs/points_cache.h"
#include "shell/app_folders.h"
#include "track/track_walk.h"

namespace trevalo::cli {

enum ExitCode { kSuccess = 0, kUserError = 1, kUsageError = 2 };

struct CommandContext {
  AppFolders folders;
  QString libraryFolder;  // --library, or empty for the default
  Output& out;
  Output& err;
  // Logs once loaded, kept in the cache folder (see PointsCache).
  std::shared_ptr<const PointsCache> pointsCache;

  // "trevalo-cli: <message>" on stderr.
  void Error(const QString& message) const;
};

// Parses a subcommand's arguments. Returns an exit code when the command is done already:
// 0 after --help, 2 (with the usage on stderr) for arguments that do not parse.
std::optional<int> ParseCommandLine(QCommandLineParser& parser, const QString& command,
                                    const QStringList& arguments, const CommandContext& context);

// --zone HHMM, defaulting to the computer's standard zone; nullopt (after a usage message)
// for a value that is not a zone.
std::optional<int> ZoneOption(const QCommandLineParser& parser, const CommandContext& context);
QCommandLineOption ZoneOptionDefinition(const QString& description);

// A whole-number option within [low, high], `fallback` when it is not given; nullopt (after
// a usage message) for a value that is not such a number.
std::optional<long long> NumberOption(const QCommandLineParser& parser, const QString& name,
                                      long long low, long long high, long long fallback,
                                      const CommandContext& context);

// --lat-offset N and --lon-offset N: hundredths of an arc second, -500..500.
QList<QCommandLineOption> PositionOffsetOptions();
std::optional<PositionCorrection> PositionOffsets(const QCommandLineParser& parser,
                                                  const CommandContext& context);

// The log files as a library in memory (the user's library is not touched), in library
// order. A file that cannot be read or holds no usable time is reported and left out, and
// `failed` is set.
LogLibrary LibraryOfFiles(const QStringList& files, int zone, bool summerTime,
                          const CommandContext& context, bool& failed);

// A subcommand of a group ("info" of "log") and its entry point.
struct Subcommand {
  const char* name;
  int (*run)(const QStringList& arguments, CommandContext& context);
};
// Runs the subcommand named by the first argument, or prints the group's usage for --help.
int RunSubcommand(const char* group, std::initializer_list<Subcommand> subcommands,
                  const char* usage, const QStringList& arguments, CommandContext& context);

// A subcommand group ("log", ...): its name, a line of help and its entry point.
struct CommandGroup {
  const char* name;
  const char* summary;
  int (*run)(const QStringList& arguments, CommandContext& context);
};

int RunLogCommand(const QStringList& arguments, CommandContext& context);
int RunPhotoCommand(const QStringList& arguments, CommandContext& context);
int RunLibraryCommand(const QStringList& arguments, CommandContext& context);
int RunGeotagCommand(const QStringList& arguments, CommandContext& context);
int RunExportCommand(const QStringList& arguments, CommandContext& context);
int RunChartCommand(const QStringList& arguments, CommandContext& context);
int RunDeviceCommand(const QStringList& arguments, CommandContext& context);
int RunUndoCommand(const QStringList& arguments, CommandContext& context);

// The library folder: --library, or "Wayfable Logs" in the documents folder.
QString LibraryFolder(const CommandContext& context);
// The user's log library (with the summer-time option of the settings).
LogLibrary OpenLibrary(const CommandContext& context);
// Reports on stderr what is wrong with the library's database file (lines not understood,
// a file that cannot be read); true when something is.
bool ReportLibraryProblem(const LogLibrary& library, const CommandContext& context);
// Reports a change that was not made (its problem) and what a saved change has to say (a
// copy kept of a damaged database); true when the change was not made.
bool ReportChange(const LogLibrary::Change& change, const CommandContext& context);

}  // namespace trevalo::cli
