#pragma once
// What every subcommand of trevalo-cli gets, and the helpers they share.

#include <initializer_list>
#include <optional>

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "app/app_folders.h"
#include "cli/output.h"

namespace trevalo::cli {

enum ExitCode { kSuccess = 0, kUserError = 1, kUsageError = 2 };

struct CommandContext {
  AppFolders folders;
  QString libraryFolder;  // --library, or empty for the default
  Output& out;
  Output& err;

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

// The library folder: --library, or "Wayfable Logs" in the documents folder.
QString LibraryFolder(const CommandContext& context);

}  // namespace trevalo::cli
