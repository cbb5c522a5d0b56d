#pragma once
// Photos for the tagging tests: the real camera photos of the shared test data, and small
// photos made here with ImageMagick and exiftool in the layouts cameras write.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "support/sample_point.h"
#include "support/test_files.h"

#include "track/calendar_time.h"

namespace trevalo::test {

// A folder of generated photos (made once per run); empty when ImageMagick or exiftool is
// missing. Names: le_thumbnail.jpg (little-endian, IFD1 thumbnail, no GPS), be_thumbnail.jpg
// (big-endian), with_gps.jpg (a GPS directory followed by IFD1 and its thumbnail),
// jfif_exif_xmp.jpg (JFIF, EXIF, XMP and two comments), jfif_only.jpg (no EXIF, two
// comments).
QString GeneratedPhotos();
QStringList GeneratedPhotoNames();

// The shared real photos (absolute paths), or an empty list.
QStringList RealPhotos();

bool HaveProgram(const QString& name);

// Why the photos MakePhotoTakenAt and JpegWithExif start from (in the fuzz corpus of the
// source folder) cannot be found, for a test to skip with; empty when they are there.
QString SeedPhotosMissing();

// A small photo at `path` whose capture time (DateTimeOriginal) is `dateTime`
// ("YYYY:MM:DD HH:MM:SS", written as it is, even an impossible date; an empty text gives a
// photo without one), with the further tags given as exiftool takes them
// ("-OffsetTimeOriginal=-05:00"); false when exiftool is missing.
bool MakePhotoTakenAt(const QString& path, const char* dateTime, const QStringList& tags = {});

// `count` small photos photo00000.jpg, ... in `folder`, taken a second apart from
// `first` on (their DateTimeOriginal), made without any tool: for lists of thousands.
QStringList MakePhotosASecondApart(const QString& folder, int count, TimeValue first);

// A small photo of another kind at `path`, chosen by its extension: .png, .webp, .tif and
// .dng are drawn by ImageMagick and dated by exiftool (a DNG is a TIFF with DNGVersion), .cr3
// is laid out here as Canon's ISO base media file (CMT1 and CMT2 boxes holding TIFF data).
// `dateTime` is DateTimeOriginal ("YYYY:MM:DD HH:MM:SS"), none when empty. False when a
// tool it needs is missing.
bool MakeOtherPhoto(const QString& path, const char* dateTime);

// The segments of a JPEG file as marker and bytes (length bytes and payload), walked from
// segment to segment; the image data after the start of scan comes last, with marker 0.
std::vector<std::pair<int, QByteArray>> Segments(const QByteArray& file);

// A small JFIF photo whose EXIF segment holds `tiff` (the data after "Exif\0\0").
QByteArray JpegWithExif(std::span<const std::uint8_t> tiff);

// Where the TIFF data of a JPEG file's EXIF segment starts in the file, and its length; a
// length of 0 without one.
struct ExifTiffSpan {
  qsizetype start = 0;
  qsizetype length = 0;
};
ExifTiffSpan FindExifTiff(const QByteArray& file);

using trevalo::test::SamplePoint;

}  // namespace trevalo::test
