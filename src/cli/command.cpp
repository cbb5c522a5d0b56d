#include "cli/command.h"

#include "app/local_zone.h"
#include "core/time_zone.h"

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
    context.err << parser.helpText();
    return kUsageError;
  }
  if (parser.isSet(help)) {
    context.out << parser.helpText();
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

}  // namespace trevalo::cli
