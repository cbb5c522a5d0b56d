#pragma once
// GPX 1.0 documents of the logs selected in the library: one track per log, one track
// point per usable point.

#include <optional>

#include <QString>
#include <QStringList>

#include "core/output_file.h"
#include "core/track_point.h"
#include "core/track_walk.h"
#include "library/log_library.h"

namespace trevalo {

class CGpxWriter {
 public:
  // A writer with a file at `path` when `wantFile`, else one that writes nothing.
  CGpxWriter(const QString& path, bool wantFile);

  bool hasFile() const { return file_.has_value() && file_->isOpen(); }
  // Hundredths of an arc second added to every latitude and longitude.
  void SetOffsets(int latitudeOffset, int longitudeOffset);
  // With metadata, the header holds an empty metadata element.
  void SetMetadata(bool on) { metadata_ = on; }

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
  bool metadata_ = false;
  std::string line_;  // one track point's text, reused
};

// One track per selected log (named as in KML documents) with its usable points; then
// empties the selection. Logs whose points could not be loaded are added to `problems`.
void WriteGpxTracks(CGpxWriter& writer, LogLibrary& library, QStringList& problems);

}  // namespace trevalo
