#include "export/gpx_writer.h"

#include <algorithm>

#include "export/kml_document.h"
#include "export/xml_text.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

// The metres-per-second factor of GPX speeds, as the format has always been written.
constexpr double kKmhToMetresPerSecond = 0.277777778;

}  // namespace

GpxWriter::GpxWriter(const QString& path, bool wantFile) {
  if (wantFile) {
    file_.emplace(path);
  }
}

void GpxWriter::SetOffsets(int latitudeOffset, int longitudeOffset) {
  correction_ = {latitudeOffset, longitudeOffset};
}

QString GpxWriter::Close() {
  return file_ ? file_->Commit() : QString();
}

void GpxWriter::WriteHeader() {
  if (!hasFile()) {
    return;
  }
  *file_ << "<?xml version=\"1.0\"?>\n"
            "<gpx creator=\"Trevalo https://trevalo.org\" version=\"1.0\""
            " xmlns=\"http://www.topografix.com/GPX/1/0\""
            " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
            " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0"
            " http://www.topografix.com/GPX/1/0/gpx.xsd\">\n";
  if (!metadata_) {
    return;
  }
  std::string header = " <name>" + XmlContent(metadata_->name) + "</name>\n <time>";
  AppendIsoUtcTime(header, metadata_->time);
  header += "</time>\n";
  if (const std::optional<GpxBounds>& bounds = metadata_->bounds) {
    header += " <bounds minlat=\"";
    AppendFixed(header, bounds->minLatitude, 6);
    header += "\" minlon=\"";
    AppendFixed(header, bounds->minLongitude, 6);
    header += "\" maxlat=\"";
    AppendFixed(header, bounds->maxLatitude, 6);
    header += "\" maxlon=\"";
    AppendFixed(header, bounds->maxLongitude, 6);
    header += "\"/>\n";
  }
  *file_ << header;
}

void GpxWriter::BeginTrack(const QString& name) {
  if (hasFile()) {
    *file_ << "  <trk>\n    <name>" << XmlContent(name) << "</name>\n\t    <trkseg>\n";
  }
}

void GpxWriter::WriteTrackPoint(const TrackPoint& point) {
  if (!hasFile()) {
    return;
  }
  const Coordinate position = BuildPosition(point, correction_);
  std::string& line = line_;
  line.clear();
  line += "      <trkpt lat=\"";
  AppendFixed(line, position.latitudeDegrees, 6);
  line += "\" lon=\"";
  AppendFixed(line, position.longitudeDegrees, 6);
  line += "\">\n";
  if (position.hasAltitude) {
    line += "        <ele>";
    AppendFixed(line, position.altitudeMetres, 2);
    line += "</ele>\n";
  }
  line += "        <time>";
  AppendIsoUtcTime(line, point.utcTime);
  line += "</time>\n        <course>";
  AppendFixed(line, point.course, 2);
  line += "</course>\n        <speed>";
  AppendFixed(line, point.speed * kKmhToMetresPerSecond, 2);
  line += "</speed>\n        <sat>";
  line += std::to_string(point.satellitesInView);
  line += "</sat>\n        <hdop>";
  AppendFixed(line, point.hdop, 2);
  line += "</hdop>\n      </trkpt>\n";
  *file_ << line;
}

void GpxWriter::EndTrack() {
  if (hasFile()) {
    *file_ << "    </trkseg>\n  </trk>\n";
  }
}

void GpxWriter::WriteFooter() {
  if (hasFile()) {
    *file_ << "</gpx>\n";
  }
}

std::optional<GpxBounds> SelectionBounds(LogLibrary& library, PositionCorrection correction) {
  std::optional<GpxBounds> bounds;
  QStringList reportedLater;
  for (const std::size_t index : library.activeLogs()) {
    if (!library.LoadHeld(index, reportedLater)) {
      continue;
    }
    for (const TrackPoint& point : library.log(index).points()) {
      if (!IsUsable(point)) {
        continue;
      }
      const Coordinate at = BuildPosition(point, correction);
      if (!bounds) {
        bounds = GpxBounds{at.latitudeDegrees, at.longitudeDegrees, at.latitudeDegrees,
                           at.longitudeDegrees};
      }
      bounds->minLatitude = std::min(bounds->minLatitude, at.latitudeDegrees);
      bounds->minLongitude = std::min(bounds->minLongitude, at.longitudeDegrees);
      bounds->maxLatitude = std::max(bounds->maxLatitude, at.latitudeDegrees);
      bounds->maxLongitude = std::max(bounds->maxLongitude, at.longitudeDegrees);
    }
  }
  return bounds;
}

void WriteGpxTracks(GpxWriter& writer, LogLibrary& library, QStringList& problems) {
  for (const std::size_t index : library.activeLogs()) {
    library.LoadHeld(index, problems);
    const GPSLog& log = library.log(index);
    writer.BeginTrack(TrackName(log));
    for (const TrackPoint& point : log.points()) {
      if (IsUsable(point)) {
        writer.WriteTrackPoint(point);
      }
    }
    writer.EndTrack();
  }
  library.ClearActiveLogs();
}

}  // namespace trevalo
