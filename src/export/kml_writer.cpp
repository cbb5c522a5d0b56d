#include "export/kml_writer.h"

#include <QFileInfo>
#include <QUrl>

#include "export/xml_text.h"

namespace trevalo {
namespace {

constexpr std::string_view kIconServer = "http://maps.google.com/";
constexpr std::string_view kPositionLine = "<x>50</x><y>25</y><w>64</w><h>64</h>";

struct IconStyle {
  std::string_view comment;
  std::string_view id;
  bool colour;
  std::string_view icon;
  std::string_view position;  // empty: no position line
  bool hotSpot;
};

constexpr IconStyle kIconStyles[] = {
    {"<!-- Photo Style -->", "camera", true, "mapfiles/kml/pal4/icon38.png",
     "<x>192</x><y>96</y><w>32</w><h>32</h>", true},
    {"<!-- Lappoint Style -->", "Lap", true, "mapfiles/kml/paddle/L.png", kPositionLine, true},
    {"<!-- Final Lappoint Style -->", "FinalLap", true, "mapfiles/kml/paddle/red-square.png",
     kPositionLine, true},
    {"<!-- Accumulated Distance Style-->", "Accumulated_Distance", false,
     "mapfiles/kml/pushpin/pink-pushpin.png", "", false},
    {"<!-- Waypoint Style-->", "WayPoint", true, "mapfiles/kml/paddle/W.png", kPositionLine, true},
};

}  // namespace

QString PhotoPlacemarkName(const QString& writtenPath) {
  QString name = QFileInfo(writtenPath).fileName();
  const qsizetype tail = std::max<qsizetype>(0, name.size() - 4);
  return name.left(tail) + name.mid(tail).toLower();
}

QByteArray PhotoImageReference(const QString& writtenPath) {
  return QUrl::toPercentEncoding(QFileInfo(writtenPath).fileName(), "/");
}

KmlWriter::KmlWriter(const QString& path, bool wantFile) {
  if (wantFile) {
    file_.emplace(path);
  }
}

QString KmlWriter::Close() {
  if (!file_) {
    return {};
  }
  return file_->Commit();
}

void KmlWriter::WriteHeader(const QString& documentName) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "\t<kml xmlns=\"http://earth.google.com/kml/2.1\">\n"
      << "\t\t<Document>\n"
      << "\t\t\t<name>" << XmlContent(documentName) << "</name>\n";
  for (const IconStyle& style : kIconStyles) {
    out << "\t\t\t" << style.comment << "\n"
        << "\t\t\t<Style id=\"" << style.id << "\">\n"
        << "\t\t\t\t<IconStyle>\n";
    if (style.colour) {
      out << "\t\t\t\t\t<color>ffffffff</color>\n";
    }
    out << "\t\t\t\t\t<Icon>\n"
        << "\t\t\t\t\t\t<href>" << kIconServer << style.icon << "</href>\n";
    if (!style.position.empty()) {
      out << "\t\t\t\t\t\t" << style.position << "\n";
    }
    out << "\t\t\t\t\t</Icon>\n";
    if (style.hotSpot) {
      out << "\t\t\t\t\t<hotSpot x=\"20\" y=\"2\" xunits=\"pixels\" yunits=\"pixels\"/>\n";
    }
    out << "\t\t\t\t</IconStyle>\n"
        << "\t\t\t</Style>\n";
  }
  out << "\n";
}

void KmlWriter::WriteLineStyle(int styleId, std::uint32_t colour, int width) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  out << "\t\t\t<!-- KML Line Style -->\n"
      << "\t\t\t<Style id=\"lineStyle-";
  out.Integer(styleId) << "\">\n"
                       << "\t\t\t\t<PolyStyle>\n"
                       << "\t\t\t\t\t<color>";
  out.Hex(colour | 0x3F000000u) << "</color>\n"
                                << "\t\t\t\t</PolyStyle>\n"
                                << "\t\t\t\t<LineStyle>\n"
                                << "\t\t\t\t\t<color>";
  out.Hex(colour | 0x99000000u) << "</color>\n"
                                << "\t\t\t\t\t<width>";
  out.Integer(width) << "</width>\n"
                     << "\t\t\t\t</LineStyle>\n"
                     << "\t\t\t</Style>\n"
                     << "\n";
}

void KmlWriter::FolderStart(int tabs, std::string_view comment, int nameTabs,
                            const std::string& name) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  if (!comment.empty()) {
    out.Tabs(tabs) << comment << "\n";
  }
  out.Tabs(tabs) << "<Folder>\n";
  out.Tabs(nameTabs) << "<name>" << name << "</name>\n";
}

void KmlWriter::BeginPhotoFolder(const QString& name) {
  FolderStart(3, "<!-- Start of Photo -->", 3, XmlContent(name));
}

void KmlWriter::BeginRouteFolder(const QString& name) {
  FolderStart(3, "<!-- Start of Route -->", 3, XmlContent(name));
}

void KmlWriter::BeginLapFolder() {
  FolderStart(3, "<!-- Start of Lap -->", 3, "LapPoints");
}

void KmlWriter::BeginLapSubFolder(const QString& name) {
  FolderStart(4, "<!-- Start of sub folder Lap -->", 4, XmlContent(name));
}

void KmlWriter::BeginWaypointFolder() {
  FolderStart(3, "<!-- Start of Waypoint -->", 4, "WayPoints");
}

void KmlWriter::BeginWaypointSubFolder(const QString& name) {
  FolderStart(4, "", 5, XmlContent(name));
}

void KmlWriter::EndFolder() {
  if (hasFile()) {
    *file_ << "\t\t\t</Folder>\n\n";
  }
}

void KmlWriter::EndSubFolder() {
  if (hasFile()) {
    *file_ << "\t\t\t\t</Folder>\n";
  }
}

void KmlWriter::PhotoPlacemark(const std::string& image, const QString& name, int width,
                               const Coordinate& position) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  out << "\t\t\t<Placemark>\n"
      << "\t\t\t\t<name>" << XmlContent(name) << "</name>\n";
  if (!image.empty()) {
    out << "\t\t\t\t<description><![CDATA[<img src='" << image << "' width='";
    out.Integer(width) << "' />]]></description>\n";
  }
  out << "\t\t\t\t<styleUrl>#camera</styleUrl>\n"
      << "\t\t\t\t<Point>\n"
      << "\t\t\t\t\t<coordinates>";
  out.Fixed(position.longitudeDegrees, 6) << ',';
  out.Fixed(position.latitudeDegrees, 6) << ',';
  out.Fixed(position.altitudeMetres, 1) << "</coordinates>\n"
                                        << "\t\t\t\t</Point>\n"
                                        << "\t\t\t</Placemark>\n";
}

void KmlWriter::WritePhotoPlacemark(const QString& writtenPath, int width,
                                    const Coordinate& position) {
  WritePhotoPlacemarkShowing(writtenPath, writtenPath, QString(), width, position);
}

void KmlWriter::WritePhotoPlacemarkWithPrefix(const QString& prefix, const QString& writtenPath,
                                              int width, const Coordinate& position) {
  WritePhotoPlacemarkShowing(writtenPath, writtenPath, prefix, width, position);
}

void KmlWriter::WritePhotoPlacemarkShowing(const QString& photo, const QString& image,
                                           const QString& prefix, int width,
                                           const Coordinate& position) {
  const std::string reference =
      image.isEmpty() ? std::string()
                      : HtmlInCdata(prefix + QString::fromLatin1(PhotoImageReference(image)));
  const int written = prefix.isEmpty() ? (width > 800 ? 800 : width) : (width < 10 ? 800 : width);
  PhotoPlacemark(reference, PhotoPlacemarkName(photo), written, position);
}

void KmlWriter::BeginTrackLine(const QString& name, int styleId) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  out << "\t\t\t<Placemark>\n"
      << "\t\t\t\t<name>" << XmlContent(name) << "</name>\n"
      << "\t\t\t\t<styleUrl>#lineStyle-";
  out.Integer(styleId) << "</styleUrl>\n"
                       << "\t\t\t\t<LineString>\n"
                       << "\t\t\t\t<tessellate>1</tessellate>\n"
                       << "\t\t\t\t<coordinates>\n";
}

void KmlWriter::AddTrackPoint(const Coordinate& position) {
  if (!hasFile()) {
    return;
  }
  OutputFile& out = *file_;
  out << "\t\t\t\t ";
  out.Fixed(position.longitudeDegrees, 6) << ',';
  out.Fixed(position.latitudeDegrees, 6);
  if (position.hasAltitude) {  // KML takes a point without its altitude as on the ground
    out << ',';
    out.Fixed(position.altitudeMetres, 6);
  }
  out << " \n";
}

void KmlWriter::EndTrackLine() {
  if (hasFile()) {
    *file_ << "\t\t\t\t</coordinates>\n"
           << "\t\t\t\t</LineString>\n"
           << "\t\t\t</Placemark>\n";
  }
}

void KmlWriter::TablePlacemarkStart(int tabs, std::string_view name, int placemarkTabs) {
  OutputFile& out = *file_;
  out.Tabs(placemarkTabs) << "<Placemark>\n";
  out.Tabs(tabs + 1) << name << "\n";
  out.Tabs(tabs + 1) << "<Snippet/>\n";
  out.Tabs(tabs + 1) << "<description><![CDATA[\n";
}

void KmlWriter::Row(int tabs, std::string_view label, std::string_view html) {
  file_->Tabs(tabs) << "<tr><td><font size=3 color=#000000 face=tahoma>" << label
                    << "</font><font size=3 color=#228B22 face=tahoma>" << html
                    << "</font></td></tr>\n";
}

void KmlWriter::Row(int tabs, std::string_view label, const QString& value) {
  Row(tabs, label, HtmlInCdata(value));
}

void KmlWriter::PositionRows(int tabs, std::string_view longitude, std::string_view latitude,
                             std::string_view altitude, const Coordinate& position) {
  std::string text;
  AppendFixed(text, position.longitudeDegrees, 6);
  Row(tabs, longitude, text + " &deg;");
  text.clear();
  AppendFixed(text, position.latitudeDegrees, 6);
  Row(tabs, latitude, text + " &deg;");
  text.clear();
  AppendFixed(text, position.altitudeMetres, 3);
  Row(tabs, altitude, text + " m");
}

void KmlWriter::StatisticRows(int tabs, const RunTexts& texts) {
  Row(tabs, "Elapsed Time:\t\t", texts.elapsed);
  Row(tabs, "Cumulative Distance:\t", texts.distance);
  Row(tabs, "Average Speed:\t\t", texts.speed);
  Row(tabs, "Max Altitude:\t\t", texts.maximum);
  Row(tabs, "Min Altitude:\t\t", texts.minimum);
  Row(tabs, "Avg Altitude:\t\t", texts.average);
  Row(tabs, "Total Ascent:\t\t", texts.ascent);
  Row(tabs, "Total Descent:\t\t", texts.descent);
}

void KmlWriter::TablePlacemarkEnd(int tabs, std::string_view style, const Coordinate& position,
                                  int altitudeDecimals, int placemarkTabs) {
  OutputFile& out = *file_;
  out.Tabs(tabs + 1) << "]]></description>\n";
  out.Tabs(tabs + 1) << "<styleUrl>#" << style << "</styleUrl>\n";
  out.Tabs(tabs + 1) << "<Point>\n";
  out.Tabs(tabs + 2) << "<coordinates>";
  out.Fixed(position.longitudeDegrees, 6) << ',';
  out.Fixed(position.latitudeDegrees, 6) << ',';
  out.Fixed(position.altitudeMetres, altitudeDecimals) << "</coordinates>\n";
  out.Tabs(tabs + 1) << "</Point>\n";
  out.Tabs(placemarkTabs) << "</Placemark>\n";
}

void KmlWriter::WriteRouteSummary(const QString& name, const QString& startTime,
                                  const QString& endTime, const QString& elapsed,
                                  const QString& distance, const QString& speed,
                                  const Coordinate& position) {
  if (!hasFile()) {
    return;
  }
  TablePlacemarkStart(3, "<name>" + XmlContent(name) + "</name>", 3);
  file_->Tabs(4) << "<table width='250'>\n";
  Row(4, "Start Time:\t\t\t", startTime);
  Row(4, "End Time:\t\t\t", endTime);
  Row(4, "Elapsed Time:\t\t", elapsed);
  Row(4, "Cumulative Distance:\t", distance);
  Row(4, "Average Speed:\t\t", speed);
  file_->Tabs(4) << "</table>\n";
  TablePlacemarkEnd(3, "Accumulated_Distance", position, 1, 3);
}

void KmlWriter::WriteLapStart(const Coordinate& position, const QString& time) {
  if (!hasFile()) {
    return;
  }
  TablePlacemarkStart(4, "<name>Start</name>", 4);
  file_->Tabs(6) << "<table width='250'>\n";
  PositionRows(6, "Longitude: ", "Latitude:  ", "Altitude:  ", position);
  Row(6, "Date&Time: ", time + u' ');
  file_->Tabs(6) << "</table>\n";
  TablePlacemarkEnd(4, "Lap", position, 6, 4);
}

void KmlWriter::WriteLap(int number, const Coordinate& position, const QString& time,
                         const RunTexts& lap) {
  if (!hasFile()) {
    return;
  }
  TablePlacemarkStart(4, "<name>Lap-" + std::to_string(number) + "</name>", 4);
  file_->Tabs(6) << "<table width='250'>\n";
  PositionRows(6, "Longitude:\t\t\t", "Latitude:\t\t\t", "Altitude:\t\t\t", position);
  Row(6, "Date&Time:\t\t\t", time + u' ');
  StatisticRows(6, lap);
  file_->Tabs(6) << "</table>\n";
  TablePlacemarkEnd(4, "Lap", position, 6, 4);
}

void KmlWriter::WriteLapEnd(const Coordinate& position, const QString& time, const RunTexts& lap,
                            const RunTexts& total) {
  if (!hasFile()) {
    return;
  }
  TablePlacemarkStart(4, "<name>End</name>", 4);
  file_->Tabs(6) << "<table width='250'>\n";
  PositionRows(6, "Longitude:\t\t\t", "Latitude:\t\t\t", "Altitude:\t\t\t", position);
  Row(6, "Date&Time:\t\t\t", time + u' ');
  StatisticRows(6, lap);
  file_->Tabs(6) << "<tr><td><font size=3 color=#0064FF face=tahoma>All Laps Information"
                    "</font></td></tr>\n";
  StatisticRows(6, total);
  file_->Tabs(6) << "</table>\n";
  TablePlacemarkEnd(4, "FinalLap", position, 6, 4);
}

void KmlWriter::WriteWaypoint(int number, const Coordinate& position, double speedKmh,
                              const QString& time) {
  if (!hasFile()) {
    return;
  }
  TablePlacemarkStart(4, "<name>W-" + std::to_string(number) + "</name>", 5);
  file_->Tabs(6) << "<table width='250'>\n";
  PositionRows(6, "Longitude: ", "Latitude:  ", "Altitude:  ", position);
  std::string speed;
  AppendFixed(speed, speedKmh, 3);
  Row(6, "Speed:     ", speed + " Km/h");
  Row(6, "Date&Time: ", time + u' ');
  file_->Tabs(6) << "</table>\n";
  TablePlacemarkEnd(4, "WayPoint", position, 6, 5);
}

void KmlWriter::WriteFooter() {
  if (hasFile()) {
    *file_ << "\t\t</Folder>\n\t</Document>\n</kml>";
  }
}

}  // namespace trevalo
