// Photos added to the photo page's list, in a real window (offscreen): how long adding
// takes, and the longest time the window's thread did not answer meanwhile (the window
// must answer within 200 ms throughout).
//
//   bench_photo_list [photos...]      (default: 10000 40000)

#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "bench_support.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_page.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

int MeasureOne(int count) {
  // The photos are made once and kept in the benchmark data folder.
  const QString folder =
      QString::fromStdString(bench::DataFolder()) + QStringLiteral("/list_photos_%1").arg(count);
  QStringList photos;
  if (QDir(folder).entryList(QDir::Files).size() == count) {
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
      photos << QDir(folder).filePath(name);
    }
  } else {
    QDir().mkpath(folder);
    photos = test::MakePhotosASecondApart(folder, count, *MakeTime(2009, 5, 17, 21, 0, 0));
  }
  QTemporaryDir home;
  AppFolders folders = AppFolders::InHome(home.path());
  folders.dataFolder = test::SourceFolder() + QStringLiteral("/resources");
  Settings settings(folders);
  settings.WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  const LanguageTexts texts = LanguageTexts::Load(settings);
  PhotoPage page(settings, texts);
  page.resize(1200, 800);
  page.show();
  QApplication::processEvents();

  test::AnswerGaps gaps;
  gaps.Start();
  page.AddPhotos(photos);
  test::Wait([](auto done) { QTimer::singleShot(50, done); });
  const qint64 took = gaps.Stop();
  std::printf("%7d photos  added in %6lld ms  longest the window did not answer %5lld ms\n", count,
              static_cast<long long>(took), static_cast<long long>(gaps.longest()));
  std::fflush(stdout);
  return page.photos().size() == static_cast<std::size_t>(count) ? 0 : 1;
}

}  // namespace
}  // namespace trevalo

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList sizes = app.arguments().mid(1);
  if (sizes.isEmpty()) {
    sizes = {QStringLiteral("10000"), QStringLiteral("40000")};
  }
  int failures = 0;
  for (const QString& size : sizes) {
    failures += trevalo::MeasureOne(size.toInt());
  }
  return failures;
}
