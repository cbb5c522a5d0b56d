#pragma once
// The marker files the map pages read: photo markers, track lines with their summary, lap
// and waypoint markers, as a small XML document rewritten on every use.

#include <cstdint>

#include <QString>

#include "files/output_file.h"
#include "track/geodesy.h"
#include "track/track_point.h"
#include "track/track_walk.h"

namespace trevalo {

enum class MarkerFile {
  kPhotosAndTracks,  // "TRXML.xml"
  kPhotos,           // "TRXMLIMG.xml"
  kTracks,           // "TRXMLONLYTRACKS.xml"
};

QString MarkerFileName(MarkerFile file);

class MarkerWriter {
 public:
  // A writer of `file` in `folder`.
  MarkerWriter(const QString& folder, MarkerFile file);

  bool hasFile() const { return file_.isOpen(); }
  const QString& path() const { return file_.path(); }

  void WriteMarkersStart();
  void WriteMarkersEnd();
  // A photo at decimal degrees, labelled with its file name; one placed by hand is marked so
  // (the map lets its marker be dragged).
  void WritePhotoMarker(double latitude, double longitude, const QString& photoPath,
                        bool placed = false);
  // `colour` is 0xRRGGBB.
  void BeginLine(std::uint32_t colour, int width);
  void EndLine();
  // A line point at the point's own position, without correction.
  void WriteLinePoint(const TrackPoint& point);
  void WriteLineInfo(const QString& startTime, const QString& endTime, const QString& distance,
                     const QString& elapsed, const QString& speed);
  void WriteStartLap(int index, const Coordinate& position, const QString& time);
  void WriteMiddleLap(int index, const Coordinate& position, const QString& time,
                      const RunTexts& lap);
  void WriteFinalLap(int index, const Coordinate& position, const QString& time,
                     const RunTexts& lap, const RunTexts& total);
  void WriteWaypointMarker(int index, const Coordinate& position, const QString& time);

  // Puts the file in place; the empty text on success, else why it could not be written.
  QString Close();

 private:
  void Attribute(std::string_view name, const QString& value);
  void Position(const Coordinate& position);
  void LapStart(char type, int index, const Coordinate& position);
  void RunAttributes(std::string_view prefix, const RunTexts& texts);

  OutputFile file_;
};

}  // namespace trevalo
