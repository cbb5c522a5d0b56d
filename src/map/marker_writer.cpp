#include "map/marker_writer.h"

#include <QDir>
#include <QFileInfo>

#include "export/xml_text.h"

namespace trevalo {

QString MarkerFileName(MarkerFile file) {
  switch (file) {
    case MarkerFile::kPhotosAndTracks:
      return QStringLiteral("TRXML.xml");
    case MarkerFile::kPhotos:
      return QStringLiteral("TRXMLIMG.xml");
    case MarkerFile::kTracks:
      return QStringLiteral("TRXMLONLYTRACKS.xml");
  }
  return {};
}

CMapMarkerWriter::CMapMarkerWriter(const QString& folder, MarkerFile file)
    : file_(QDir(folder).filePath(MarkerFileName(file))) {}

QString CMapMarkerWriter::Close() { return file_.Commit(); }

void CMapMarkerWriter::WriteMarkersStart() { file_ << "<markers>\n"; }

void CMapMarkerWriter::WriteMarkersEnd() { file_ << "</markers>"; }

void CMapMarkerWriter::Attribute(std::string_view name, const QString& value) {
  file_ << ' ' << name << "='" << XmlAttribute(value, '\'') << '\'';
}

void CMapMarkerWriter::WritePhotoMarker(double latitude, double longitude,
                                        const QString& photoPath) {
  file_ << "\t<marker lat='";
  file_.Fixed(latitude, 6) << "' lng='";
  file_.Fixed(longitude, 6) << "' html='" << XmlAttribute(photoPath, '\'') << "' label = '"
                            << XmlAttribute(QFileInfo(photoPath).fileName(), '\'') << "'/>\n";
}

void CMapMarkerWriter::BeginLine(std::uint32_t colour, int width) {
  file_ << "\t<line colour='#";
  file_.Hex(colour, 6) << "' width='";
  file_.Integer(width) << "'>\n";
}

void CMapMarkerWriter::EndLine() { file_ << "\t</line>\n"; }

void CMapMarkerWriter::WriteLinePoint(const TrackPoint& point) {
  const CCoordinate position = BuildPosition(point, {});
  file_ << "\t\t<point lat='";
  file_.Fixed(position.latitudeDegrees, 6) << "' lng='";
  file_.Fixed(position.longitudeDegrees, 6) << "' />\n";
}

void CMapMarkerWriter::WriteLineInfo(const QString& startTime, const QString& endTime,
                                     const QString& distance, const QString& elapsed,
                                     const QString& speed) {
  file_ << "\t\t<Info";
  Attribute("STIME", startTime);
  Attribute("ETIME", endTime);
  Attribute("AD", distance);
  Attribute("ET", elapsed);
  Attribute("AS", speed);
  file_ << " />\n";
}

void CMapMarkerWriter::Position(const CCoordinate& position) {
  file_ << " lat='";
  file_.Fixed(position.latitudeDegrees, 6) << "' lng='";
  file_.Fixed(position.longitudeDegrees, 6) << '\'';
}

void CMapMarkerWriter::LapStart(char type, int index, const CCoordinate& position) {
  file_ << "\t<Lap Type='" << type << "' index='";
  file_.Integer(index) << '\'';
  Position(position);
}

void CMapMarkerWriter::RunAttributes(std::string_view prefix, const RunTexts& texts) {
  const auto named = [&](std::string_view name) { return std::string(prefix) + std::string(name); };
  Attribute(named("AD"), texts.distance);
  Attribute(named("ET"), texts.elapsed);
  Attribute(named("AS"), texts.speed);
  Attribute(named("Max_Altitude"), texts.maximum);
  Attribute(named("Min_Altitude"), texts.minimum);
  Attribute(named("Avg_Altitude"), texts.average);
  Attribute(named("Total_Ascent"), texts.ascent);
  Attribute(named("Total_Descent"), texts.descent);
}

void CMapMarkerWriter::WriteStartLap(int index, const CCoordinate& position, const QString& time) {
  LapStart('S', index, position);
  Attribute("Time", time);
  file_ << "/>\n";
}

void CMapMarkerWriter::WriteMiddleLap(int index, const CCoordinate& position, const QString& time,
                                      const RunTexts& lap) {
  LapStart('N', index, position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 3) << '\'';
  Attribute("Time", time);
  RunAttributes("", lap);
  file_ << "/>\n";
}

void CMapMarkerWriter::WriteFinalLap(int index, const CCoordinate& position, const QString& time,
                                     const RunTexts& lap, const RunTexts& total) {
  LapStart('F', index, position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 3) << '\'';
  Attribute("Time", time);
  RunAttributes("", lap);
  RunAttributes("TOT_", total);
  file_ << "/>\n";
}

void CMapMarkerWriter::WriteWaypointMarker(int index, const CCoordinate& position,
                                           const QString& time) {
  file_ << "\t<WayPoint index='";
  file_.Integer(index) << '\'';
  Position(position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 6) << '\'';
  Attribute("Time", time);
  file_ << "/>\n";
}

}  // namespace trevalo
