#include "device/log_import.h"

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <map>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "library/log_library.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

// A folder that stands for the logger's drive, and a library folder.
class LogImport : public ::testing::Test {
 protected:
  QString Drive() const { return dir_.filePath(QStringLiteral("logger")); }
  QString LibraryFolder() const { return dir_.filePath(QStringLiteral("Wayfable Logs")); }
  // A log on the logger, starting at hh:00 on 2009-05-17 (UTC), one point a second.
  QString LoggerLog(const QString& relativePath, int hour, int epochs = 20) {
    const QString path = QDir(Drive()).filePath(relativePath);
    test::WriteFile(path, test::GenerateLog({.hour = hour, .epochs = epochs}));
    return path;
  }
  QString InLibrary(const QString& name) const { return QDir(LibraryFolder()).filePath(name); }
  QStringList LibraryNames(const LogLibrary& library) const {
    QStringList names;
    for (std::size_t i = 0; i < library.size(); ++i) {
      names << library.log(i).fileName();
    }
    names.sort();
    return names;
  }

  QTemporaryDir dir_;
};

TEST_F(LogImport, CopiesEveryLogOfTheGpsFolderIntoTheLibraryWithTheZone) {
  const QString first = LoggerLog(QStringLiteral("gps/0517A.LOG"), 9);
  LoggerLog(QStringLiteral("gps/0517b.log"), 10);
  test::WriteFile(QDir(Drive()).filePath(QStringLiteral("gps/notes.txt")), "not a log");
  LoggerLog(QStringLiteral("other/0517c.log"), 11);
  EXPECT_EQ(LoggerLogFiles(Drive()).size(), 2);

  LogLibrary library(LibraryFolder(), 0);
  std::vector<std::pair<std::size_t, QString>> progress;
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 545, .deleteAfterImport = false},
                 [&](std::size_t done, std::size_t total, const QString& name) {
                   EXPECT_EQ(total, 2u);
                   progress.emplace_back(done, name);
                 });

  EXPECT_EQ(result.problem, QString());
  EXPECT_EQ(result.copiedCount(), 2);
  EXPECT_EQ(result.failedCount(), 0);
  EXPECT_EQ(progress,
            (std::vector<std::pair<std::size_t, QString>>{
                {0, QStringLiteral("0517A.LOG")}, {1, QStringLiteral("0517b.log")}, {2, {}}}));
  EXPECT_EQ(LibraryNames(library),
            (QStringList{QStringLiteral("0517A.LOG"), QStringLiteral("0517b.log")}));
  for (std::size_t i = 0; i < library.size(); ++i) {
    EXPECT_EQ(library.log(i).timeZone(), 545);
  }
  EXPECT_EQ(test::ReadFile(InLibrary(QStringLiteral("0517A.LOG"))), test::ReadFile(first));
  EXPECT_EQ(QFileInfo(InLibrary(QStringLiteral("0517A.LOG"))).lastModified(),
            QFileInfo(first).lastModified());
  EXPECT_TRUE(QFile::exists(first)) << "the logger keeps its logs unless asked";
  // The library was saved: a new reading finds the same logs.
  EXPECT_EQ(LibraryNames(LogLibrary(LibraryFolder(), 0)), LibraryNames(library));
}

TEST_F(LogImport, TakesNmeaLogsAndGpxTracksOfOtherDevicesToo) {
  LoggerLog(QStringLiteral("GPS/0517.log"), 9);
  test::WriteFile(QDir(Drive()).filePath(QStringLiteral("GPS/phone.GPX")),
                  test::GenerateGpx({.hour = 10, .epochs = 12}));
  test::WriteFile(QDir(Drive()).filePath(QStringLiteral("GPS/receiver.nmea")),
                  test::GenerateMultiSystemLog({.hour = 11, .epochs = 15}));
  test::WriteFile(QDir(Drive()).filePath(QStringLiteral("GPS/route.kml")), "<kml/>");
  QDir(Drive()).mkpath(QStringLiteral("GPS/folder.gpx"));
  LogLibrary library(LibraryFolder(), 0);
  const ImportResult result = ImportLogs(Drive(), library, {.timeZone = 900});
  EXPECT_EQ(result.copiedCount(), 3);
  EXPECT_EQ(result.failedCount(), 0);
  ASSERT_EQ(LibraryNames(library),
            (QStringList{QStringLiteral("0517.log"), QStringLiteral("phone.GPX"),
                         QStringLiteral("receiver.nmea")}));
  std::map<QString, std::uint32_t> points;
  for (std::size_t i = 0; i < library.size(); ++i) {
    points[library.log(i).fileName()] = library.log(i).pointCount();
  }
  EXPECT_EQ(points[QStringLiteral("0517.log")], 20u);
  EXPECT_EQ(points[QStringLiteral("phone.GPX")], 12u);
  EXPECT_EQ(points[QStringLiteral("receiver.nmea")], 15u);
}

TEST_F(LogImport, ReplacesALogAlreadyInTheLibrary) {
  const QString source = LoggerLog(QStringLiteral("GPS/track.log"), 9, 30);
  test::WriteFile(InLibrary(QStringLiteral("track.log")),
                  test::GenerateLog({.hour = 6, .epochs = 5}));
  LogLibrary library(LibraryFolder(), 0);
  ASSERT_TRUE(library.AddLog(InLibrary(QStringLiteral("track.log")), 4, 2, -300).done());
  // A copy its owner made read-only is replaced all the same.
  QFile::setPermissions(InLibrary(QStringLiteral("track.log")), QFileDevice::ReadOwner);

  const ImportResult result = ImportLogs(Drive(), library, {.timeZone = 900});
  EXPECT_EQ(result.failedCount(), 0) << result.logs.front().problem.toStdString();
  ASSERT_EQ(library.size(), 1u);
  EXPECT_EQ(library.log(0).pointCount(), 30);
  EXPECT_EQ(library.log(0).timeZone(), 900);
  EXPECT_EQ(library.log(0).colorIndex(), 0);
  EXPECT_EQ(test::ReadFile(InLibrary(QStringLiteral("track.log"))), test::ReadFile(source));
  EXPECT_TRUE(QFileInfo(InLibrary(QStringLiteral("track.log"))).isWritable());
  EXPECT_EQ(
      QDir(LibraryFolder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("track")),
      QStringList{QStringLiteral("track.log")})
      << "no temporary copy is left behind";
}

TEST_F(LogImport, DeletesFromTheLoggerOnlyWhatIsSafelyInTheLibrary) {
  const QString good = LoggerLog(QStringLiteral("GPS/good.log"), 9);
  const QString readOnly = LoggerLog(QStringLiteral("GPS/kept-read-only.log"), 10);
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  const QString noTimes = QDir(Drive()).filePath(QStringLiteral("GPS/no-fix.log"));
  test::WriteFile(noTimes, "$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n");

  LogLibrary library(LibraryFolder(), 0);
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
  ASSERT_EQ(result.logs.size(), 3u);
  EXPECT_FALSE(QFile::exists(good));
  EXPECT_FALSE(QFile::exists(readOnly)) << "the logger's read-only mark is cleared to delete";
  // A log the library cannot take (no valid time) is copied but stays on the logger.
  EXPECT_TRUE(QFile::exists(noTimes));
  const ImportedLog& refused = result.logs[2];
  EXPECT_EQ(QFileInfo(refused.source).fileName(), QStringLiteral("no-fix.log"));
  EXPECT_TRUE(refused.copied);
  EXPECT_FALSE(refused.added);
  EXPECT_FALSE(refused.deleted);
  EXPECT_TRUE(refused.problem.contains(QStringLiteral("no valid times")));
  EXPECT_EQ(LibraryNames(library),
            (QStringList{QStringLiteral("good.log"), QStringLiteral("kept-read-only.log")}));
}

// A copy that breaks off (here: the file-size limit, as a full disk would) leaves the
// library's older copy and the logger's log as they were, and the import goes on.
TEST_F(LogImport, AFailedCopyLosesNothing) {
  const QString big = LoggerLog(QStringLiteral("GPS/big.log"), 9, 2000);
  const QString small = LoggerLog(QStringLiteral("GPS/small.log"), 10, 2);
  const QByteArray older = QByteArray::fromStdString(test::GenerateLog({.hour = 6, .epochs = 5}));
  test::WriteFile(InLibrary(QStringLiteral("big.log")), older.toStdString());
  LogLibrary library(LibraryFolder(), 0);
  library.AddLog(InLibrary(QStringLiteral("big.log")), 3, 1, 100);
  const auto limit = static_cast<rlim_t>(QFileInfo(big).size() / 2);
  ASSERT_GT(QFileInfo(small).size(), 0);
  ASSERT_LT(QFileInfo(small).size(), static_cast<qint64>(limit));

  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit reduced = saved;
  reduced.rlim_cur = limit;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &reduced), 0);
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);

  ASSERT_EQ(result.logs.size(), 2u);
  EXPECT_FALSE(result.logs[0].copied);
  EXPECT_TRUE(result.logs[0].problem.contains(QStringLiteral("big.log")));
  EXPECT_TRUE(QFile::exists(big));
  EXPECT_EQ(test::ReadFile(InLibrary(QStringLiteral("big.log"))), older);
  const std::optional<std::size_t> kept = library.Find(InLibrary(QStringLiteral("big.log")));
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(library.log(*kept).colorIndex(), 3);
  EXPECT_EQ(library.log(*kept).timeZone(), 100);
  EXPECT_TRUE(result.logs[1].deleted);
  EXPECT_FALSE(QFile::exists(small));
  QStringList files = QDir(LibraryFolder()).entryList(QDir::Files | QDir::Hidden);
  files.sort();
  EXPECT_EQ(files, (QStringList{QStringLiteral("Wayfable_Logs.DB"), QStringLiteral("big.log"),
                                QStringLiteral("small.log")}));
}

TEST_F(LogImport, OnlyWhatTheSavedLibraryHoldsLeavesTheLogger) {
  const QString log = LoggerLog(QStringLiteral("GPS/a.log"), 9);
  // The database cannot be read (a folder stands where it belongs): the copy is made, but
  // the library cannot record it, so the logger keeps its log.
  QDir().mkpath(InLibrary(QStringLiteral("Wayfable_Logs.DB")));
  LogLibrary library(LibraryFolder(), 0);
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
  ASSERT_EQ(result.logs.size(), 1u);
  EXPECT_TRUE(result.logs[0].copied);
  EXPECT_FALSE(result.logs[0].added);
  EXPECT_FALSE(result.logs[0].deleted);
  EXPECT_TRUE(result.logs[0].problem.contains(QStringLiteral("could not record it")))
      << result.logs[0].problem.toStdString();
  EXPECT_TRUE(QFile::exists(log));
}

TEST_F(LogImport, ALibraryFolderThatIsTheLoggersLogFolderIsRefused) {
  const QString log = LoggerLog(QStringLiteral("GPS/a.log"), 9);
  const QByteArray bytes = test::ReadFile(log);
  // The folder itself, and a link to it.
  const QString link = dir_.filePath(QStringLiteral("library-link"));
  ASSERT_TRUE(QFile::link(QDir(Drive()).filePath(QStringLiteral("GPS")), link));
  for (const QString& folder : {QDir(Drive()).filePath(QStringLiteral("GPS")), link}) {
    LogLibrary library(folder, 0);
    const ImportResult result =
        ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
    EXPECT_FALSE(result.problem.isEmpty());
    EXPECT_TRUE(result.logs.empty());
    EXPECT_EQ(test::ReadFile(log), bytes);
  }
}

TEST_F(LogImport, ALibraryFolderThatCannotBeMadeImportsNothing) {
  const QString log = LoggerLog(QStringLiteral("GPS/a.log"), 9);
  test::WriteFile(dir_.filePath(QStringLiteral("blocked")), "a file where the folder should be");
  LogLibrary library(dir_.filePath(QStringLiteral("blocked/Wayfable Logs")), 0);
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
  EXPECT_TRUE(result.problem.contains(QStringLiteral("blocked"))) << result.problem.toStdString();
  EXPECT_TRUE(result.logs.empty());
  EXPECT_TRUE(QFile::exists(log));
}

TEST_F(LogImport, AReadOnlyLibraryFolderLosesNothing) {
  if (::geteuid() == 0) {
    // scripts/test runs the *ReadOnly* tests again as an unprivileged user.
    GTEST_SKIP() << "folder permissions do not bind root";
  }
  const QString log = LoggerLog(QStringLiteral("GPS/a.log"), 9);
  QDir().mkpath(LibraryFolder());
  LogLibrary library(LibraryFolder(), 0);
  QFile::setPermissions(LibraryFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const ImportResult result =
      ImportLogs(Drive(), library, {.timeZone = 0, .deleteAfterImport = true});
  QFile::setPermissions(LibraryFolder(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  ASSERT_EQ(result.logs.size(), 1u);
  EXPECT_FALSE(result.logs[0].copied);
  EXPECT_FALSE(result.logs[0].problem.isEmpty());
  EXPECT_TRUE(QFile::exists(log));
  EXPECT_EQ(library.size(), 0u);
}

TEST_F(LogImport, NoGpsFolderNothingToImport) {
  QDir().mkpath(Drive());
  LogLibrary library(LibraryFolder(), 0);
  int calls = 0;
  const ImportResult result =
      ImportLogs(Drive(), library, {}, [&](std::size_t done, std::size_t total, const QString&) {
        EXPECT_EQ(done, 0u);
        EXPECT_EQ(total, 0u);
        ++calls;
      });
  EXPECT_EQ(result.problem, QString());
  EXPECT_TRUE(result.logs.empty());
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace trevalo
