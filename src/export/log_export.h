#pragma once
// Exporting logs of the library as KML, GPX or tables: all of them into one file, or, in
// batch, one file per log named after it.

#include <vector>

#include <QString>
#include <QStringList>

#include "library/log_library.h"
#include "track/progress.h"
#include "track/track_walk.h"

namespace trevalo {

enum class ExportFormat { kKml, kGpx, kTable };

struct ExportOptions {
  ExportFormat format = ExportFormat::kKml;
  PositionCorrection correction;  // zero when the position correction is off
  bool gpxMetadata = false;       // GPX header with the document's name, time and bounds
  QString trackFolderName;        // KML route folder name
  QString tableHeader;            // column names line of tables
  QString longLatFormat;          // display format of table coordinates
  QStringList keptFiles;          // besides the library's logs, files never to be replaced
};

struct ExportReport {
  QStringList written;   // files written, in order
  QStringList problems;  // files that could not be written, logs that could not be read
  QStringList notes;     // what the user is told besides: a batch file that could not take
                         // its log's name, a table written in UTF-8
};

// ".KML", ".GPX" or ".CSV".
QString ExportExtension(ExportFormat format);

// The single-file path for a typed name: the folder, the name with \ / : * ? " < > |
// replaced by "_", and the format's extension.
QString ExportPath(const QString& folder, const QString& typedName, ExportFormat format);

// An export never replaces a file it reads: an output that is one of the library's logs (or
// one of the options' kept files) by identity, a link to one included, is refused with a
// problem naming both, and nothing is written.

// Writes the logs at `rows` (library indices, in list order) into one file at `path`;
// `documentName` is the KML document's name (the name as typed).
ExportReport ExportLogs(LogLibrary& library, const std::vector<std::size_t>& rows,
                        const QString& path, const QString& documentName,
                        const ExportOptions& options);

// Writes each log at `rows` into its own file in `folder`: the log's file name without its
// extension, with the format's. Logs of one name (from two folders, or `walk.log` beside
// `walk.gpx`) never share a file: the later ones in `rows` take `walk_2.KML`, `walk_3.KML`
// and so on, and `notes` says so. Existing files are replaced; when one of the outputs
// would replace a log, none is written.
ExportReport ExportLogsBatch(LogLibrary& library, const std::vector<std::size_t>& rows,
                             const QString& folder, const ExportOptions& options,
                             const Progress& progress = {});

}  // namespace trevalo
