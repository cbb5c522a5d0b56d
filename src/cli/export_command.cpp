// trevalo-cli export: logs as KML, GPX or tables, into one file or one file per log.

#include <QDir>
#include <QFileInfo>

#include "cli/command.h"
#include "export/log_export.h"
#include "files/native_files.h"
#include "shell/language.h"
#include "shell/settings.h"

namespace trevalo::cli {

int RunExportCommand(const QStringList& arguments, CommandContext& context) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Writes log files as a KML document, a GPX file or a table: all into one file (--out), "
      "or each into its own file named after the log (--batch). The user's library is not "
      "touched."));
  const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("kml, gpx or csv."),
                                  QStringLiteral("FORMAT"));
  const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The file to write."),
                               QStringLiteral("FILE"));
  const QCommandLineOption batch(
      QStringLiteral("batch"),
      QStringLiteral("Write one file per log into this folder (existing files are replaced)."),
      QStringLiteral("DIR"));
  const QCommandLineOption summer(QStringLiteral("summer"),
                                  QStringLiteral("Summer time: one hour more than the zone."));
  parser.addOptions({format, out, batch, summer,
                     ZoneOptionDefinition(QStringLiteral(
                         "Time zone of the logs (default: the computer's standard zone)."))});
  parser.addOptions(PositionOffsetOptions());
  parser.addPositionalArgument(QStringLiteral("LOG"),
                               QStringLiteral("Log files: NMEA logs or GPX tracks."),
                               QStringLiteral("LOG..."));
  if (const std::optional<int> done =
          ParseCommandLine(parser, QStringLiteral("export"), arguments, context)) {
    return *done;
  }
  const QString formatName = parser.value(format).toLower();
  ExportOptions options;
  if (formatName == u"kml") {
    options.format = ExportFormat::kKml;
  } else if (formatName == u"gpx") {
    options.format = ExportFormat::kGpx;
  } else if (formatName == u"csv") {
    options.format = ExportFormat::kTable;
  } else {
    context.Error(QStringLiteral("export needs --format kml, gpx or csv"));
    return kUsageError;
  }
  if (parser.isSet(out) == parser.isSet(batch)) {
    context.Error(QStringLiteral("export needs exactly one of --out FILE and --batch DIR"));
    return kUsageError;
  }
  if (parser.positionalArguments().isEmpty()) {
    context.Error(QStringLiteral("export needs at least one log file"));
    return kUsageError;
  }
  const std::optional<int> zone = ZoneOption(parser, context);
  const std::optional<PositionCorrection> offsets = PositionOffsets(parser, context);
  if (!zone || !offsets) {
    return kUsageError;
  }
  if (parser.isSet(batch) && !IsFolder(parser.value(batch))) {
    context.Error(QStringLiteral("%1: no such folder").arg(parser.value(batch)));
    return kUserError;
  }

  const Settings settings(context.folders);
  const LanguageTexts texts = LanguageTexts::Load(settings);
  options.correction = *offsets;
  options.gpxMetadata = settings.ReadSetting(setting::kTagApply) == u"1";
  options.trackFolderName = texts.Text(QStringLiteral("KML_STRING_TRACK"));
  options.tableHeader = texts.Text(QStringLiteral("EXPORT_EXCEL_HEADER"));
  options.longLatFormat = LoadDisplayFormats(texts).longLatFormat;
  // A file given that is no log is left out of the library, yet is still the user's input.
  options.keptFiles = parser.positionalArguments();

  bool failed = false;
  LogLibrary library =
      LibraryOfFiles(parser.positionalArguments(), *zone, parser.isSet(summer), context, failed);
  if (library.empty()) {
    context.Error(QStringLiteral("no log to export"));
    return kUserError;
  }
  std::vector<std::size_t> rows(library.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i] = i;
  }
  ExportReport report;
  if (parser.isSet(out)) {
    const QString path = parser.value(out);
    report = ExportLogs(library, rows, path, QFileInfo(path).completeBaseName(), options);
  } else {
    report = ExportLogsBatch(library, rows, parser.value(batch), options);
  }
  for (const QString& problem : report.problems) {
    context.Error(problem);
  }
  for (const QString& written : report.written) {
    context.out << "wrote " << written << '\n';
  }
  for (const QString& note : report.notes) {
    context.out << note << '\n';
  }
  return failed || !report.problems.isEmpty() ? kUserError : kSuccess;
}

}  // namespace trevalo::cli
