#pragma once
// GPX 1.0 documents of the logs selected in the library: one track per log, one track
// point per usable point.

#include <optional>

#include <QString>
#include <QStringList>

#include "files/output_file.h"
#include "library/log_library.h"
#include "track/calendar_time.h"
#include "track/track_point.h"
#include "track/track_walk.h"

namespace trevalo {

// The rectangle the points of a document lie in, signed decimal degrees.
struct GpxBounds {
  double minLatitude = 0;
  double minLongitude = 0;
  double maxLatitude = 0;
  double maxLongitude = 0;
};

// GPX 1.0's own header elements.
struct GpxMetadata {
  QString name;
  TimeValue time = 0;               // UTC, when the file is made
  std::optional<GpxBounds> bounds;  // none when no point is written
};

class GpxWriter {
 public:
  // A writer with a file at `path` when `wantFile`, else one that writes nothing.
  GpxWriter(const QString& path, bool wantFile);

  bool hasFile() const { return file_.has_value() && file_->isOpen(); }
  // Hundredths of an arc second added to every latitude and longitude.
  void SetOffsets(int latitudeOffset, int longitudeOffset);
  // With metadata, the header holds the document's name, time and bounds (GPX 1.0 has no
  // metadata element; those of its root stand for it).
  void SetMetadata(std::optional<GpxMetadata> metadata) { metadata_ = std::move(metadata); }

  void WriteHeader();
  void BeginTrack(const QString& name);
  void WriteTrackPoint(const TrackPoint& point);
  void EndTrack();
  void WriteFooter();

  // Puts the finished document in place; the empty text on success (or without a file by
  // request), else why it could not be written.
  QString Close();

 private:
  std::optional<OutputFile> file_;
  PositionCorrection correction_;
  std::optional<GpxMetadata> metadata_;
  std::string line_;  // one track point's text, reused
};

// The bounds of the usable points of the selected logs, with the position correction; the
// selection stays. Logs whose points cannot be loaded take no part (WriteGpxTracks reports
// them).
std::optional<GpxBounds> SelectionBounds(LogLibrary& library, PositionCorrection correction);

// One track per selected log (named as in KML documents) with its usable points; then
// empties the selection. Logs whose points could not be loaded are added to `problems`.
void WriteGpxTracks(GpxWriter& writer, LogLibrary& library, QStringList& problems);

}  // namespace trevalo
