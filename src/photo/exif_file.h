#pragma once
// The only code that touches a photo's bytes: reads a JPEG file's segments and summarises
// its EXIF data, and rewrites the file with a GPS directory built from a track point.
//
// Every segment other than the EXIF segment is written back byte for byte, and inside the
// EXIF segment no byte that is already there moves (see exif_gps_writer.h). A photo without
// EXIF data gets a new EXIF segment that carries only the GPS directory.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QString>

#include "photo/photo_info.h"
#include "photo/tiff_structure.h"
#include "track/track_point.h"

namespace trevalo {

// One marker segment up to and including the start of scan.
struct JpegSection {
  int type = 0;                         // the marker byte
  std::span<const std::uint8_t> bytes;  // length bytes and payload
};

class ExifFile {
 public:
  enum Mode { kReadOnly = 1, kRewrite = 3 };
  // The problems kept per photo; one more note says that further ones were left out.
  static constexpr std::size_t kMaxProblems = 100;

  ExifFile(QString path, Mode mode);
  ExifFile(const ExifFile&) = delete;
  ExifFile& operator=(const ExifFile&) = delete;

  // The point written into the GPS directory; required before ReadSections in kRewrite.
  void SetPositionSource(const TrackPoint& point) { point_ = &point; }
  // Latitude and longitude offsets in hundredths of an arc second; before ReadSections.
  void SetPositionCorrection(int latitude, int longitude) {
    latitudeCorrection_ = latitude;
    longitudeCorrection_ = longitude;
  }
  // Every diagnostic kept goes here as well as into problems().
  void SetProblemSink(ProblemSink sink) { sink_ = std::move(sink); }

  // Reads the segments up to the start of scan; in kRewrite the EXIF segment is rebuilt
  // with the GPS directory, and the image data after the segments is copied from the file
  // when it is written. False when the photo cannot be read (errorText() says why) or its
  // capture date begins with "0" (invalidDateTime()).
  bool ReadSections();

  // Writes the sections as a JPEG file, through a temporary file beside it and a rename, so
  // that a failure leaves any file at `path` as it was. `flushToDisk` makes the data reach
  // the disk before the rename (for replacing a photo in place). Returns the empty text on
  // success, else why it failed.
  QString WriteFile(const QString& path, bool flushToDisk = true) const;

  const PhotoInfo& info() const { return info_; }
  const ExistingGps& existingGps() const { return existingGps_; }
  // The photo's capture date begins with "0" ("Invalid Date Time Tag"): the caller tells
  // the user.
  bool invalidDateTime() const { return invalidDateTime_; }
  const QString& errorText() const { return errorText_; }
  // The first kMaxProblems diagnostics, and a note when there were more.
  const std::vector<std::string>& problems() const { return problems_; }
  const std::vector<JpegSection>& sections() const { return sections_; }
  // The photo was read in kRewrite and can be written.
  bool readAll() const { return readAll_; }

 private:
  bool Ensure(std::size_t size);
  bool Fail(const char* problem);
  void Report(std::string_view problem);
  bool RebuildExif();

  QString path_;
  Mode mode_;
  QFile file_;
  std::vector<std::uint8_t> bytes_;  // the beginning of the file, through the start of scan
  bool atEnd_ = false;
  std::vector<JpegSection> sections_;
  std::optional<std::size_t> exifSection_;
  std::vector<std::uint8_t> rebuiltExif_;  // the EXIF segment as rewritten
  const TrackPoint* point_ = nullptr;
  int latitudeCorrection_ = 0;
  int longitudeCorrection_ = 0;
  PhotoInfo info_;
  ExistingGps existingGps_;
  TiffReadResult tiff_;
  bool readAll_ = false;
  std::uint64_t imageDataOffset_ = 0;  // what follows the start-of-scan segment
  std::uint64_t fileSize_ = 0;
  bool invalidDateTime_ = false;
  QString errorText_;
  std::vector<std::string> problems_;
  ProblemSink sink_;
};

// "Invalid Date Time Tag": what the user is told when ReadSections refuses a photo's date.
inline constexpr char kInvalidDateTimeMessage[] = "Invalid Date Time Tag";

}  // namespace trevalo
