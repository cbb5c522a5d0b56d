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

MarkerWriter::MarkerWriter(const QString& folder, MarkerFile file)
    : file_(QDir(folder).filePath(MarkerFileName(file))) {}

QString MarkerWriter::Close() {
  return file_.Commit();
}

void MarkerWriter::WriteMarkersStart() {
  file_ << "<markers>\n";
}

void MarkerWriter::WriteMarkersEnd() {
  file_ << "</markers>";
}

void MarkerWriter::Attribute(std::string_view name, const QString& value) {
  file_ << ' ' << name << "='" << XmlAttribute(value, '\'') << '\'';
}

void MarkerWriter::WritePhotoMarker(double latitude, double longitude, const QString& photoPath,
                                    bool placed) {
  file_ << "\t<marker lat='";
  file_.Fixed(latitude, 6) << "' lng='";
  file_.Fixed(longitude, 6) << "' html='" << XmlAttribute(photoPath, '\'') << "' label = '"
                            << XmlAttribute(QFileInfo(photoPath).fileName(), '\'') << "'"
                            << (placed ? " placed='1'" : "") << "/>\n";
}

void MarkerWriter::BeginLine(std::uint32_t colour, int width) {
  file_ << "\t<line colour='#";
  file_.Hex(colour, 6) << "' width='";
  file_.Integer(width) << "'>\n";
}

void MarkerWriter::EndLine() {
  file_ << "\t</line>\n";
}

void MarkerWriter::WriteLinePoint(const TrackPoint& point) {
  const Coordinate position = BuildPosition(point, {});
  file_ << "\t\t<point lat='";
  file_.Fixed(position.latitudeDegrees, 6) << "' lng='";
  file_.Fixed(position.longitudeDegrees, 6) << "' />\n";
}

void MarkerWriter::WriteLineInfo(const QString& startTime, const QString& endTime,
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

void MarkerWriter::Position(const Coordinate& position) {
  file_ << " lat='";
  file_.Fixed(position.latitudeDegrees, 6) << "' lng='";
  file_.Fixed(position.longitudeDegrees, 6) << '\'';
}

void MarkerWriter::LapStart(char type, int index, const Coordinate& position) {
  file_ << "\t<Lap Type='" << type << "' index='";
  file_.Integer(index) << '\'';
  Position(position);
}

void MarkerWriter::RunAttributes(std::string_view prefix, const RunTexts& texts) {
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

void MarkerWriter::WriteStartLap(int index, const Coordinate& position, const QString& time) {
  LapStart('S', index, position);
  Attribute("Time", time);
  file_ << "/>\n";
}

void MarkerWriter::WriteMiddleLap(int index, const Coordinate& position, const QString& time,
                                  const RunTexts& lap) {
  LapStart('N', index, position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 3) << '\'';
  Attribute("Time", time);
  RunAttributes("", lap);
  file_ << "/>\n";
}

void MarkerWriter::WriteFinalLap(int index, const Coordinate& position, const QString& time,
                                 const RunTexts& lap, const RunTexts& total) {
  LapStart('F', index, position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 3) << '\'';
  Attribute("Time", time);
  RunAttributes("", lap);
  RunAttributes("TOT_", total);
  file_ << "/>\n";
}

void MarkerWriter::WriteWaypointMarker(int index, const Coordinate& position, const QString& time) {
  file_ << "\t<WayPoint index='";
  file_.Integer(index) << '\'';
  Position(position);
  file_ << " alt='";
  file_.Fixed(position.altitudeMetres, 6) << '\'';
  Attribute("Time", time);
  file_ << "/>\n";
}

}  // namespace trevalo
