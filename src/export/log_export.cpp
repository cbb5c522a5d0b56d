#include "export/log_export.h"

#include <ctime>

#include <QDir>
#include <QSet>

#include "export/gpx_writer.h"
#include "export/input_guard.h"
#include "export/kml_document.h"
#include "export/table_export.h"
#include "files/file_names.h"

namespace trevalo {
namespace {

// Writes the library's selection into one file; the selection is empty afterwards.
QString WriteSelection(LogLibrary& library, const QString& path, const QString& documentName,
                       const ExportOptions& options, QStringList& problems, QStringList& notes) {
  switch (options.format) {
    case ExportFormat::kKml:
      return WriteLogsKml(path, documentName, options.trackFolderName,
                          {library, options.correction, problems});
    case ExportFormat::kGpx: {
      GpxWriter writer(path, true);
      writer.SetOffsets(options.correction.latitude, options.correction.longitude);
      if (options.gpxMetadata) {
        // A batch file has no typed name: it is named after its log, as the file is.
        const QString name =
            documentName.isEmpty() ? BatchStem(path.mid(path.lastIndexOf(u'/') + 1)) : documentName;
        writer.SetMetadata(GpxMetadata{name, static_cast<TimeValue>(std::time(nullptr)),
                                       SelectionBounds(library, options.correction)});
      }
      writer.WriteHeader();
      WriteGpxTracks(writer, library, problems);
      writer.WriteFooter();
      return writer.Close();
    }
    case ExportFormat::kTable: {
      TextLineWriter writer(path);
      const LogTableFormat format{options.tableHeader, options.longLatFormat, options.correction};
      for (const std::size_t index : library.activeLogs()) {
        library.LoadHeld(index, problems);
        WriteLogTableBlock(writer, library.log(index), format);
      }
      library.ClearActiveLogs();
      const QString problem = writer.Close();
      if (problem.isEmpty() && writer.inUtf8()) {
        notes << TableInUtf8Note(path);
      }
      return problem;
    }
  }
  return {};
}

// The batch file name of each log, in order: its name without its extension, and the
// format's. A name an earlier log took gets the first free `_2`, `_3`, ... that no log
// takes by its own name; names are compared ignoring case, so that no two meet on a drive
// that ignores it (a memory card, a logger).
QStringList BatchFileNames(const LogLibrary& library, const std::vector<std::size_t>& rows,
                           const QString& extension) {
  QStringList stems;
  QSet<QString> taken;
  for (const std::size_t row : rows) {
    stems << BatchStem(library.log(row).fileName());
    taken.insert((stems.back() + extension).toCaseFolded());
  }
  QSet<QString> given;
  QStringList names;
  for (const QString& stem : stems) {
    QString name = stem + extension;
    for (int n = 2; given.contains(name.toCaseFolded()); ++n) {
      name = QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(extension);
      if (taken.contains(name.toCaseFolded())) {
        name = stem + extension;  // another log's own name: the next number
      }
    }
    given.insert(name.toCaseFolded());
    names << name;
  }
  return names;
}

void Note(ExportReport& report, const QString& path, const QString& problem) {
  if (problem.isEmpty()) {
    report.written << path;
  } else {
    report.problems << problem;
  }
}

}  // namespace

QString ExportExtension(ExportFormat format) {
  switch (format) {
    case ExportFormat::kKml:
      return QStringLiteral(".KML");
    case ExportFormat::kGpx:
      return QStringLiteral(".GPX");
    case ExportFormat::kTable:
      return QStringLiteral(".CSV");
  }
  return {};
}

QString ExportPath(const QString& folder, const QString& typedName, ExportFormat format) {
  return QDir(folder).filePath(CleanFileName(typedName) + ExportExtension(format));
}

ExportReport ExportLogs(LogLibrary& library, const std::vector<std::size_t>& rows,
                        const QString& path, const QString& documentName,
                        const ExportOptions& options) {
  ExportReport report;
  if (const QString problem = InputFiles(library, options.keptFiles).ReplacedBy(path);
      !problem.isEmpty()) {
    report.problems << problem;
    return report;
  }
  library.ClearActiveLogs();
  for (const std::size_t row : rows) {
    library.AddActiveLog(row);
  }
  Note(report, path,
       WriteSelection(library, path, documentName, options, report.problems, report.notes));
  return report;
}

ExportReport ExportLogsBatch(LogLibrary& library, const std::vector<std::size_t>& rows,
                             const QString& folder, const ExportOptions& options,
                             const Progress& progress) {
  ExportReport report;
  const InputFiles inputs(library, options.keptFiles);
  const QString extension = ExportExtension(options.format);
  const QStringList names = BatchFileNames(library, rows, extension);
  QStringList paths;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const QString& name = names[static_cast<qsizetype>(k)];
    const QString own = BatchStem(library.log(rows[k]).fileName()) + extension;
    if (name != own) {
      report.notes << QStringLiteral(
                          "%1 is written as %2: another log of its name is written as %3")
                          .arg(library.log(rows[k]).filePath(), name, own);
    }
    paths << QDir(folder).filePath(name);
    if (const QString problem = inputs.ReplacedBy(paths.back()); !problem.isEmpty()) {
      report.problems << problem;
    }
  }
  if (!report.problems.isEmpty()) {
    return report;
  }
  library.ClearActiveLogs();
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const QString& path = paths[static_cast<qsizetype>(k)];
    if (progress) {
      progress(k, rows.size(), path);
    }
    library.ClearActiveLogs();
    library.AddActiveLog(rows[k]);
    Note(report, path,
         WriteSelection(library, path, QString(), options, report.problems, report.notes));
  }
  library.ClearActiveLogs();
  return report;
}

}  // namespace trevalo
