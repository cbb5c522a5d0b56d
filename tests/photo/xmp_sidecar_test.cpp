// XMP sidecars: named as the photo programs look for them, holding the position the JPEG
// writer would write for the same point, keeping whatever else they hold, and read by
// exiftool and exiv2 exactly as meant.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "photo/exif_file.h"
#include "photo/xmp_sidecar.h"
#include "support/sample_point.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

bool HavePeers() {
  return test::HaveProgram(QStringLiteral("exiftool")) &&
         test::HaveProgram(QStringLiteral("exiv2"));
}

// A JSON value as text, for failure messages.
std::string Text(const QJsonValue& value) {
  return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).toStdString();
}

QJsonObject ExifTool(const QString& file, const QStringList& options = {}) {
  const QByteArray json =
      test::Run(QStringLiteral("exiftool"),
                QStringList{QStringLiteral("-j"), QStringLiteral("-n"), QStringLiteral("-G1")} +
                    options + QStringList{file});
  return QJsonDocument::fromJson(json).array().at(0).toObject();
}

TEST(XmpSidecar, NamedBesideThePhotoInEitherWay) {
  EXPECT_EQ(SidecarPath(QStringLiteral("/p/IMG_1.CR3"), SidecarNaming::kFullName),
            QStringLiteral("/p/IMG_1.CR3.xmp"));
  EXPECT_EQ(SidecarPath(QStringLiteral("/p/IMG_1.CR3"), SidecarNaming::kBaseName),
            QStringLiteral("/p/IMG_1.xmp"));
  // Dots in folder names and a name that starts with a dot are no extension.
  EXPECT_EQ(SidecarPath(QStringLiteral("/p.v2/raw"), SidecarNaming::kBaseName),
            QStringLiteral("/p.v2/raw.xmp"));
  EXPECT_EQ(SidecarPath(QStringLiteral("/p/.hidden"), SidecarNaming::kBaseName),
            QStringLiteral("/p/.hidden.xmp"));
}

TEST(XmpSidecar, HoldsTheValuesOfTheJpegWritersGpsDirectory) {
  const TrackPoint point = test::SamplePoint();  // 37 23.4567 S, 126 58.1234 E, 45.3 m
  const SidecarGps gps = SidecarGpsOfPoint(point, 0, 0);
  EXPECT_EQ(gps.latitude, "37,23,27.402S");  // 37/1, 23/1, 27402/1000
  EXPECT_EQ(gps.longitude, "126,58,7.404E");
  EXPECT_EQ(gps.altitude, "453/10");
  EXPECT_EQ(gps.altitudeRef, "0");
  EXPECT_EQ(gps.timeStamp, "2009-05-17T12:35:19Z");
  EXPECT_EQ(gps.mapDatum, "WGS-84");
  EXPECT_EQ(gps.versionId, "2.2.0.0");
  // The position correction moves it as it moves the JPEG's: 5 arc seconds north turns a
  // point just south of the equator north.
  TrackPoint nearEquator = point;
  nearEquator.latitude = 0000.0100;  // 0 degrees 0.01 minutes south
  EXPECT_EQ(SidecarGpsOfPoint(nearEquator, 500, 0).latitude, "0,0,4.400N");
  EXPECT_EQ(SidecarGpsOfPoint(point, 0, -500).longitude, "126,58,2.404E");
  // Without GGA data from its own epoch the JPEG writer writes no altitude, time or datum.
  TrackPoint rmcOnly = point;
  rmcOnly.ggaMatchesRmc = 0;
  const SidecarGps plain = SidecarGpsOfPoint(rmcOnly, 0, 0);
  EXPECT_EQ(plain.latitude, gps.latitude);
  EXPECT_FALSE(plain.altitude || plain.altitudeRef || plain.timeStamp || plain.mapDatum);
}

TEST(XmpSidecar, PeersReadThePositionTheJpegCarries) {
  if (!HavePeers() || !test::SeedPhotosMissing().isEmpty()) {
    GTEST_SKIP() << "exiftool, exiv2 or the seed photos are missing";
  }
  QTemporaryDir dir;
  TrackPoint point = test::SamplePoint();
  point.altitudeBelowSea = 1;
  const int latitudeCorrection = 250, longitudeCorrection = -120;
  // The JPEG writer's photo of the point ...
  const QString jpeg = dir.filePath(QStringLiteral("tagged.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(dir.filePath(QStringLiteral("p.jpg")), "2009:05:17 21:35:19"));
  ExifFile photo(dir.filePath(QStringLiteral("p.jpg")), ExifFile::kRewrite);
  photo.SetPositionCorrection(latitudeCorrection, longitudeCorrection);
  photo.SetPositionSource(point);
  ASSERT_TRUE(photo.ReadSections());
  ASSERT_EQ(photo.WriteFile(jpeg), QString());
  // ... and the sidecar of the same point.
  const QString sidecar = dir.filePath(QStringLiteral("p.CR3.xmp"));
  ASSERT_EQ(
      WriteSidecar(sidecar, SidecarGpsOfPoint(point, latitudeCorrection, longitudeCorrection)),
      QString());

  const QJsonObject fromJpeg = ExifTool(jpeg);
  const QJsonObject fromSidecar = ExifTool(sidecar);
  const auto same = [&](const char* jpegTag, const char* sidecarTag) {
    const QJsonValue expected = fromJpeg.value(QLatin1String(jpegTag));
    ASSERT_FALSE(expected.isUndefined()) << jpegTag;
    EXPECT_EQ(fromSidecar.value(QLatin1String(sidecarTag)), expected)
        << sidecarTag << " " << Text(fromSidecar.value(QLatin1String(sidecarTag))) << " "
        << Text(expected);
  };
  // XMP coordinates carry their hemisphere: signed, as exiftool's composite of the JPEG's.
  same("Composite:GPSLatitude", "XMP-exif:GPSLatitude");
  same("Composite:GPSLongitude", "XMP-exif:GPSLongitude");
  same("GPS:GPSAltitude", "XMP-exif:GPSAltitude");
  same("GPS:GPSAltitudeRef", "XMP-exif:GPSAltitudeRef");
  same("GPS:GPSMapDatum", "XMP-exif:GPSMapDatum");
  // Four bytes in EXIF, a dotted text in XMP.
  EXPECT_EQ(fromSidecar.value(QStringLiteral("XMP-exif:GPSVersionID")).toString(),
            fromJpeg.value(QStringLiteral("GPS:GPSVersionID")).toString().replace(u' ', u'.'));
  same("Composite:GPSDateTime", "XMP-exif:GPSDateTime");
  EXPECT_LT(fromSidecar.value(QStringLiteral("XMP-exif:GPSLatitude")).toDouble(), 0);

  // exiv2 turns the sidecar into EXIF GPS tags (-iX takes photo.xmp for photo.jpg): the
  // rationals it makes have the values of the JPEG writer's.
  const QString target = dir.filePath(QStringLiteral("target.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(target, "2009:05:17 21:35:19"));
  QFile::copy(sidecar, dir.filePath(QStringLiteral("target.xmp")));
  int code = -1;
  test::Run(QStringLiteral("exiv2"), {QStringLiteral("-iX"), target}, &code);
  ASSERT_EQ(code, 0);
  const QJsonObject converted = ExifTool(target);
  for (const char* tag : {"GPS:GPSLatitude", "GPS:GPSLongitude", "GPS:GPSAltitude",
                          "GPS:GPSAltitudeRef", "GPS:GPSLatitudeRef", "GPS:GPSLongitudeRef",
                          "GPS:GPSTimeStamp", "GPS:GPSDateStamp", "GPS:GPSMapDatum"}) {
    EXPECT_EQ(converted.value(QLatin1String(tag)), fromJpeg.value(QLatin1String(tag))) << tag;
  }
}

constexpr char kEditedSidecar[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about=""
    xmlns:xmp="http://ns.adobe.com/xap/1.0/"
    xmlns:dc="http://purl.org/dc/elements/1.1/"
    xmlns:exif="http://ns.adobe.com/exif/1.0/"
    xmlns:darktable="http://darktable.sf.net/"
    xmp:Rating="4"
    darktable:xmp_version="5"
    exif:GPSLatitude="10,0,0N"
    exif:GPSLongitude="20,0,0E"
    exif:GPSAltitude="1000/10"
    exif:GPSAltitudeRef="0"
    exif:DateTimeOriginal="2021-03-04T10:11:12">
   <dc:subject><rdf:Bag><rdf:li>holiday</rdf:li><rdf:li>coast</rdf:li></rdf:Bag></dc:subject>
   <dc:title><rdf:Alt><rdf:li xml:lang="x-default">Harbour</rdf:li></rdf:Alt></dc:title>
   <darktable:history><rdf:Seq>
    <rdf:li darktable:operation="exposure" darktable:enabled="1" darktable:params="0000"/>
    <rdf:li darktable:operation="crop" darktable:enabled="0" darktable:params="ffff"/>
   </rdf:Seq></darktable:history>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
)";

// Every property exiftool reads outside the GPS ones and the file's own.
QJsonObject PropertiesOutsideGps(const QString& file) {
  QJsonObject tags = ExifTool(file, {QStringLiteral("-struct")});
  for (const QString& key : tags.keys()) {
    if (key.contains(QStringLiteral(":GPS")) || key.startsWith(QStringLiteral("System:")) ||
        key.startsWith(QStringLiteral("File:")) || key == u"SourceFile" ||
        key.startsWith(QStringLiteral("ExifTool:")) || key == u"XMP-x:XMPToolkit") {
      tags.remove(key);
    }
  }
  return tags;
}

TEST(XmpSidecar, AnExistingSidecarKeepsEveryOtherProperty) {
  if (!HavePeers()) {
    GTEST_SKIP() << "exiftool or exiv2 is missing";
  }
  QTemporaryDir dir;
  const QString sidecar = dir.filePath(QStringLiteral("IMG_1.xmp"));
  test::WriteFile(sidecar, kEditedSidecar);
  const QJsonObject before = PropertiesOutsideGps(sidecar);
  ASSERT_TRUE(before.contains(QStringLiteral("XMP-darktable:History"))) << "exiftool reads it";
  TrackPoint rmcOnly = test::SamplePoint();
  rmcOnly.ggaMatchesRmc = 0;
  ASSERT_EQ(WriteSidecar(sidecar, SidecarGpsOfPoint(rmcOnly, 0, 0)), QString());
  EXPECT_EQ(PropertiesOutsideGps(sidecar), before)
      << QJsonDocument(PropertiesOutsideGps(sidecar)).toJson().toStdString()
      << QJsonDocument(before).toJson().toStdString();
  const QJsonObject after = ExifTool(sidecar);
  EXPECT_NEAR(after.value(QStringLiteral("XMP-exif:GPSLatitude")).toDouble(), -(37 + 23.4567 / 60),
              1e-6);
  // The old altitude belonged to the old position: a point without one leaves none.
  EXPECT_FALSE(after.contains(QStringLiteral("XMP-exif:GPSAltitude")));
  EXPECT_FALSE(after.contains(QStringLiteral("XMP-exif:GPSAltitudeRef")));

  const SidecarRead read = ReadSidecarPosition(test::ReadFile(sidecar).toStdString());
  ASSERT_TRUE(read.position);
  EXPECT_NEAR(read.position->latitude, -(37 + 23.4567 / 60), 1e-6);
  EXPECT_NEAR(read.position->longitude, 126 + 58.1234 / 60, 1e-6);
  EXPECT_FALSE(read.position->altitude);
}

TEST(XmpSidecar, PositionsOfOtherWritersAreRead) {
  const auto position = [](const char* latitude, const char* longitude, const char* extra) {
    const std::string text =
        std::string(
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
            "rdf:about=\"\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" "
            "exif:GPSLatitude=\"") +
        latitude + "\" exif:GPSLongitude=\"" + longitude + "\" " + extra +
        "/></rdf:RDF></x:xmpmeta>";
    return ReadSidecarPosition(text);
  };
  const SidecarRead minutes =
      position("51,28.6800N", "0,0.3000W", "exif:GPSAltitude=\"123/2\" exif:GPSAltitudeRef=\"1\"");
  ASSERT_TRUE(minutes.position);
  EXPECT_NEAR(minutes.position->latitude, 51.478, 1e-9);
  EXPECT_NEAR(minutes.position->longitude, -0.005, 1e-9);
  EXPECT_EQ(minutes.position->altitude, -61.5);
  EXPECT_FALSE(position("91,0,0N", "0,0,0E", "").position);
  EXPECT_FALSE(position("10,0,0X", "0,0,0E", "").error.empty());
  EXPECT_FALSE(position("10,,0N", "0,0,0E", "").position);
  EXPECT_FALSE(position("1,2,3,4N", "0,0,0E", "").position);
}

TEST(XmpSidecar, AFileThatIsNoSidecarIsLeftAsItIs) {
  QTemporaryDir dir;
  const SidecarGps gps = SidecarGpsOfPoint(test::SamplePoint(), 0, 0);
  for (const char* content : {"<x:xmpmeta><rdf:RDF", "plain notes, not XML", "<a><b/></a>"}) {
    const QString path = dir.filePath(QStringLiteral("IMG_1.CR3.xmp"));
    test::WriteFile(path, content);
    const QString problem = WriteSidecar(path, gps);
    EXPECT_TRUE(problem.startsWith(path + QStringLiteral(": "))) << problem.toStdString();
    EXPECT_EQ(test::ReadFile(path), QByteArray(content));
  }
}

TEST(XmpSidecar, ASidecarThatBindsXmpsOwnPrefixElsewhereIsLeftAndSpoilsNoOther) {
  // A mistyped address for the exif prefix (".cok"): Exiv2 would take the prefix over for
  // every later packet and write broken XML, into this sidecar and the next ones.
  QTemporaryDir dir;
  const SidecarGps gps = SidecarGpsOfPoint(test::SamplePoint(), 0, 0);
  const QString mistyped = dir.filePath(QStringLiteral("IMG_1.CR3.xmp"));
  const QByteArray content =
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
      "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
      "xmlns:exif = \"http://ns.adobe.cok/exif/1.0/\" xmlns:tiff='http://ns.adobe.com/tiff/1.0/' "
      "exif:ColorSpace='1' tiff:Make='Test'/></rdf:RDF></x:xmpmeta>";
  test::WriteFile(mistyped, content.toStdString());
  const QString problem = WriteSidecar(mistyped, gps);
  EXPECT_TRUE(problem.contains(QStringLiteral("\"exif\""))) << problem.toStdString();
  EXPECT_EQ(test::ReadFile(mistyped), content);
  EXPECT_FALSE(ReadSidecarPosition(content.toStdString()).error.empty());

  // The next sidecar is written as ever, and reads back.
  const QString next = dir.filePath(QStringLiteral("IMG_2.CR3.xmp"));
  test::WriteFile(next,
                  "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                  "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
                  "rdf:about='' xmlns:exif='http://ns.adobe.com/exif/1.0/' "
                  "exif:ColorSpace='1'/></rdf:RDF></x:xmpmeta>");
  ASSERT_EQ(WriteSidecar(next, gps), QString());
  const SidecarRead read = ReadSidecarPosition(test::ReadFile(next).toStdString());
  ASSERT_TRUE(read.error.empty() && read.position.has_value()) << read.error;
  EXPECT_NEAR(read.position->latitude, -(37 + 23.4567 / 60), 1e-6);
  EXPECT_TRUE(test::ReadFile(next).contains("exif:ColorSpace=\"1\""));
}

TEST(XmpSidecar, ANewSidecarHoldsOnlyThePosition) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("IMG_1.CR3.xmp"));
  ASSERT_EQ(WriteSidecar(path, SidecarGpsOfPoint(test::SamplePoint(), 0, 0)), QString());
  const std::string text = test::ReadFile(path).toStdString();
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  const SidecarRead read = ReadSidecarPosition(text);
  ASSERT_TRUE(read.position);
  EXPECT_EQ(read.position->altitude, 45.3);
  // Writing it again changes nothing.
  ASSERT_EQ(WriteSidecar(path, SidecarGpsOfPoint(test::SamplePoint(), 0, 0)), QString());
  EXPECT_EQ(test::ReadFile(path).toStdString(), text);
}

}  // namespace
}  // namespace trevalo
