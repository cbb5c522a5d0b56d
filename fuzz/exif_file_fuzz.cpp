// Any bytes as a photo: reading in both modes must not crash or hang; a photo that is
// rewritten must write, read back with its GPS directory, and give the same bytes when it
// is tagged again.

#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <QByteArray>
#include <QFile>
#include <QString>

#include "fuzz_check.h"
#include "photo/exif_file.h"
#include "support/sample_point.h"

namespace {

QString WorkFile(const char* name) {
  static const QString folder = [] {
    const QString shm = QStringLiteral("/dev/shm");
    return QFile::exists(shm) ? shm : QStringLiteral("/tmp");
  }();
  return folder + QStringLiteral("/trevalo-fuzz-%1-").arg(::getpid()) + QString::fromLatin1(name);
}

QByteArray Tag(const QString& in, const QString& out, bool* ok) {
  static const trevalo::TrackPoint point = trevalo::test::SamplePoint();
  trevalo::ExifFile photo(in, trevalo::ExifFile::kRewrite);
  photo.SetPositionCorrection(120, -40);
  photo.SetPositionSource(point);
  *ok = photo.ReadSections();
  if (!*ok) {
    return {};
  }
  Check(photo.WriteFile(out, false).isEmpty());
  QFile file(out);
  Check(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString input = WorkFile("input.jpg");
  const QString once = WorkFile("once.jpg");
  const QString twice = WorkFile("twice.jpg");
  {
    QFile file(input);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    Check(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
          static_cast<qint64>(size));
  }
  trevalo::ExifFile reader(input, trevalo::ExifFile::kReadOnly);
  reader.ReadSections();

  bool tagged = false;
  const QByteArray first = Tag(input, once, &tagged);
  if (tagged) {
    trevalo::ExifFile reread(once, trevalo::ExifFile::kReadOnly);
    if (!reread.ReadSections()) {
      // Growing damaged EXIF data can bring a date that ran past its end into it.
      Check(reread.invalidDateTime());
      return 0;
    }
    Check(reread.existingGps().present && reread.existingGps().valid);
    Check(reread.existingGps().latitudeDegrees.has_value());
    bool again = false;
    Check(Tag(once, twice, &again) == first);
    Check(again);
  }
  return 0;
}
