#pragma once
// What any photo says of itself: a JPEG through our own reader (ExifFile), every other kind
// (camera RAW, HEIF/HEIC/AVIF, WebP, PNG, TIFF) through Exiv2, summarised the same way.

#include <string>

#include <QString>
#include <QStringList>

#include "photo/photo_info.h"

namespace trevalo {

// What is wrong with a photo that cannot be read, for the windows to say in the user's
// language (`problem` says it in detail, in English).
enum class PhotoProblem { kNone, kUnreadable, kNotAPhoto, kDamaged, kImpossibleDate };

struct PhotoMetadata {
  bool read = false;  // false: `problem` (and `problemKind`) say why
  PhotoProblem problemKind = PhotoProblem::kNone;
  bool jpeg = false;  // the file is a JPEG (its position can go into the file itself)
  QString format;     // the kind of file: "JPEG", or Exiv2's MIME type of it
  PhotoInfo info;
  ExistingGps gps;
  QString problem;
  // The capture date begins with "0" ("Invalid Date Time Tag"); the caller tells the user.
  bool invalidDateTime = false;
};

// The file begins as a JPEG does.
bool IsJpegFile(const QString& path);

// Reads a photo's capture time, camera, size and any position it holds. A damaged file is
// told with what is wrong with it.
PhotoMetadata ReadPhotoMetadata(const QString& path);

// The name patterns of the photos that are read, for file dialogs ("*.jpg", "*.JPG", ...).
QStringList PhotoFilePatterns();

}  // namespace trevalo
