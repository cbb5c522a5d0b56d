#include "support/sample_point.h"

#include "track/calendar_time.h"

namespace trevalo::test {

TrackPoint SamplePoint() {
  TrackPoint p;
  p.isValid = 1;
  p.rmcTimeText = p.ggaTimeText = "123519.000";
  p.ggaMatchesRmc = 1;
  p.utcTime = *MakeTime(2009, 5, 17, 12, 35, 19);
  p.localTime = *MakeTime(2009, 5, 17, 21, 35, 19);
  p.utcTimeOfDay = 123519;
  p.dateStampText = "2009:05:17";
  p.latitude = 3723.4567;
  p.latitudeRef = "S";
  p.longitude = 12658.1234;
  p.longitudeRef = "E";
  p.altitude = 45.3;
  p.satelliteText = "08,01,40,083,46,02,17,308,41";
  p.satellitesInView = 8;
  p.gsaMode = "A";
  p.fixTypeText = "3";
  p.dop = 2.5;
  p.hdop = 1.3;
  p.speedRef = "K";
  p.speed = 18.52;
  p.courseRef = "T";
  p.course = 84.4;
  p.differential = 1;
  return p;
}

Coordinate PositionAt(double latitude, double longitude, double altitude) {
  Coordinate position;
  position.latitudeDegrees = latitude;
  position.longitudeDegrees = longitude;
  position.altitudeMetres = altitude;
  return position;
}

RunTexts SampleLap() {
  return {QStringLiteral("1.500 Km"),   QStringLiteral("0 Day, 00:10:00"),
          QStringLiteral("9.000 Km/h"), QStringLiteral("120.000 m"),
          QStringLiteral("100.000 m"),  QStringLiteral("110.000 m"),
          QStringLiteral("20.000 m"),   QStringLiteral("5.000 m")};
}

RunTexts SampleRun() {
  return {QStringLiteral("3.000 Km"),   QStringLiteral("0 Day, 00:20:00"),
          QStringLiteral("9.000 Km/h"), QStringLiteral("130.000 m"),
          QStringLiteral("100.000 m"),  QStringLiteral("115.000 m"),
          QStringLiteral("30.000 m"),   QStringLiteral("5.000 m")};
}

}  // namespace trevalo::test
