#pragma once
// The KML 2.1 document writer: fixed templates for the header with its icon styles, line
// styles, folders, placemarks, track lines and the footer. It owns one output file for one
// document; its callers decide what goes in and in which order (see kml_document.h).
//
// Every operation does nothing when the writer has no file (the caller asked for none, or
// it could not be created). User texts are escaped for their place in the document.

#include <cstdint>
#include <optional>

#include <QString>

#include "files/output_file.h"
#include "track/geodesy.h"
#include "track/track_walk.h"

namespace trevalo {

class KmlWriter {
 public:
  // A writer with a file at `path` when `wantFile`, else one that writes nothing.
  KmlWriter(const QString& path, bool wantFile);

  bool hasFile() const { return file_.has_value() && file_->isOpen(); }

  void WriteHeader(const QString& documentName);
  // `colour` is 0x00BBGGRR.
  void WriteLineStyle(int styleId, std::uint32_t colour, int width);
  void BeginPhotoFolder(const QString& name);
  void BeginRouteFolder(const QString& name);
  // A photo's placemark: its name is the file name of `writtenPath` with the extension's case
  // lowered, its image that file name (PhotoImageReference). Widths above 800 are written as
  // 800.
  void WritePhotoPlacemark(const QString& writtenPath, int width, const Coordinate& position);
  // The same with `prefix` (an address, written as given) before the image reference; widths
  // below 10 become 800.
  void WritePhotoPlacemarkWithPrefix(const QString& prefix, const QString& writtenPath, int width,
                                     const Coordinate& position);
  // A placemark named after `photo` whose image is the file `image` (after `prefix` when
  // given, with that function's width rule): for a photo shown by a picture made of it. An
  // empty `image` gives a placemark without a picture.
  void WritePhotoPlacemarkShowing(const QString& photo, const QString& image, const QString& prefix,
                                  int width, const Coordinate& position);
  void EndFolder();
  void BeginTrackLine(const QString& name, int styleId);
  void AddTrackPoint(const Coordinate& position);
  void EndTrackLine();
  void WriteRouteSummary(const QString& name, const QString& startTime, const QString& endTime,
                         const QString& elapsed, const QString& distance, const QString& speed,
                         const Coordinate& position);
  void BeginLapFolder();
  void BeginLapSubFolder(const QString& name);
  void WriteLapStart(const Coordinate& position, const QString& time);
  void WriteLap(int number, const Coordinate& position, const QString& time, const RunTexts& lap);
  void WriteLapEnd(const Coordinate& position, const QString& time, const RunTexts& lap,
                   const RunTexts& total);
  void EndSubFolder();
  void BeginWaypointFolder();
  void BeginWaypointSubFolder(const QString& name);
  void WriteWaypoint(int number, const Coordinate& position, double speedKmh, const QString& time);
  void WriteFooter();

  // Puts the finished document in place. Returns the empty text on success or when the
  // writer has no file by request, else why the document could not be written.
  QString Close();

 private:
  void FolderStart(int tabs, std::string_view comment, int nameTabs, const std::string& name);
  // `image` is ready for the CDATA section; none when empty.
  void PhotoPlacemark(const std::string& image, const QString& name, int width,
                      const Coordinate& position);
  void TablePlacemarkStart(int tabs, std::string_view name, int placemarkTabs);
  // A table row; `html` is ready for the CDATA section, `value` is escaped for it.
  void Row(int tabs, std::string_view label, std::string_view html);
  void Row(int tabs, std::string_view label, const QString& value);
  void PositionRows(int tabs, std::string_view longitude, std::string_view latitude,
                    std::string_view altitude, const Coordinate& position);
  void StatisticRows(int tabs, const RunTexts& texts);
  void TablePlacemarkEnd(int tabs, std::string_view style, const Coordinate& position,
                         int altitudeDecimals, int placemarkTabs);

  std::optional<OutputFile> file_;
};

// The photo placemark's name: the file name with its last four characters in lower case.
QString PhotoPlacemarkName(const QString& writtenPath);
// The address of the photo's image, relative to the document (or inside its package): the
// file name exactly as written (names differ by case on this system and in a zip), as a
// URL path: every byte of its UTF-8 but the unreserved characters and "/" percent-encoded,
// so that "%", "?", "#" and blanks stay part of the name.
QByteArray PhotoImageReference(const QString& writtenPath);

}  // namespace trevalo
