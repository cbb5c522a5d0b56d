#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "library/log_library.h"
#include "library/time_zone_list.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

class LogLibraryTest : public ::testing::Test {
 protected:
  QString Folder() const { return dir_.filePath(QStringLiteral("Wayfable Logs")); }
  // A log starting at hh:mm on 2009-05-17 (UTC) with one point a minute.
  QString Log(const QString& name, int hour, int minute, int epochs) {
    const QString path = dir_.filePath(name);
    test::WriteFile(path,
                    test::GenerateLog(
                        {.hour = hour, .minute = minute, .epochs = epochs, .intervalSeconds = 60}));
    return path;
  }
  QStringList Names(const LogLibrary& library) const {
    QStringList names;
    for (std::size_t i = 0; i < library.size(); ++i) {
      names << library.log(i).fileName();
    }
    return names;
  }
  QTemporaryDir dir_;
};

TEST_F(LogLibraryTest, KeepsLibraryOrder) {
  LogLibrary library(Folder(), 0);
  EXPECT_TRUE(library.AddLog(Log(QStringLiteral("ten.log"), 10, 0, 10), 0, 0, 0).done());
  library.AddLog(Log(QStringLiteral("nine.log"), 9, 0, 10), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("ten_longer.log"), 10, 0, 30), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("ten_same.log"), 10, 0, 10), 0, 0, 0);
  EXPECT_EQ(Names(library),
            (QStringList{QStringLiteral("nine.log"), QStringLiteral("ten_longer.log"),
                         QStringLiteral("ten.log"), QStringLiteral("ten_same.log")}));
  // The same order comes back from the database.
  LogLibrary reopened(Folder(), 0);
  EXPECT_EQ(Names(reopened), Names(library));
}

TEST_F(LogLibraryTest, HoldsEachFileOnce) {
  LogLibrary library(Folder(), 0);
  const QString path = Log(QStringLiteral("a.log"), 10, 0, 5);
  EXPECT_TRUE(library.AddLog(path, 0, 0, 900).done());
  EXPECT_EQ(library.AddLog(path, 1, 1, 0).result, LogLibrary::ChangeResult::kAlreadyThere);
  // Another spelling of the same file, and a link to it, are the same log.
  const QString dotted = dir_.filePath(QStringLiteral("./sub/../a.log"));
  QDir(dir_.path()).mkdir(QStringLiteral("sub"));
  EXPECT_EQ(library.AddLog(dotted, 1, 1, 0).result, LogLibrary::ChangeResult::kAlreadyThere);
  const QString link = dir_.filePath(QStringLiteral("link.log"));
  ASSERT_TRUE(QFile::link(path, link));
  EXPECT_EQ(library.AddLog(link, 1, 1, 0).result, LogLibrary::ChangeResult::kAlreadyThere);
  EXPECT_EQ(library.Find(link), std::optional<std::size_t>(0));
  EXPECT_EQ(library.size(), 1u);
  // On Linux a name in other letter case is another file.
  EXPECT_FALSE(library.Find(path.toUpper()));
  const QString upper = Log(QStringLiteral("A.log"), 11, 0, 5);
  EXPECT_TRUE(library.AddLog(upper, 0, 0, 900).done());
  EXPECT_EQ(library.size(), 2u);
  EXPECT_TRUE(library.RemoveLogByPath(upper).done());
  EXPECT_EQ(Names(library), QStringList{QStringLiteral("a.log")});
}

TEST_F(LogLibraryTest, RefusesLogsWithoutTimes) {
  LogLibrary library(Folder(), 0);
  const QString path = dir_.filePath(QStringLiteral("empty.log"));
  test::WriteFile(path, "$GPGGA,,,,,,0,,,,M,,M,,*66\r\n");
  EXPECT_EQ(library.AddLog(path, 0, 0, 0).result, LogLibrary::ChangeResult::kNoTimes);
  EXPECT_TRUE(library.empty());
  EXPECT_EQ(library.AddLog(dir_.filePath(QStringLiteral("absent.log")), 0, 0, 0).result,
            LogLibrary::ChangeResult::kNoTimes);
  EXPECT_FALSE(QFile::exists(library.databasePath())) << "nothing was added, nothing written";
}

TEST_F(LogLibraryTest, UpgradesTheOlderFormat) {
  const QString a = Log(QStringLiteral("a.log"), 10, 0, 5);
  const QString b = Log(QStringLiteral("b.log"), 11, 0, 5);
  QString text = QChar(0xFEFF) +
                 QStringLiteral("\"%1\",\"first\",\"900\"\r\n\"%2\",\"\",\"-330\"\r\n").arg(a, b);
  QByteArray bytes;
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));
  }
  QDir().mkpath(Folder());
  test::WriteFile(Folder() + QStringLiteral("/Wayfable_Logs.DB"),
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  LogLibrary library(Folder(), 0);
  ASSERT_EQ(library.size(), 2u);
  EXPECT_EQ(library.log(0).comment(), QStringLiteral("first"));
  EXPECT_EQ(library.log(0).timeZone(), 900);
  EXPECT_EQ(library.log(1).timeZone(), -330);
  EXPECT_TRUE(library.fileProblems().isEmpty());
  // Reading writes nothing; the first change moves the older file to .bak and saves the
  // library in the current format.
  EXPECT_FALSE(QFile::exists(Folder() + QStringLiteral("/Wayfable_Logs.DB.bak")));
  const LogLibrary::Change added = library.AddLog(Log(QStringLiteral("c.log"), 12, 0, 5), 0, 0, 0);
  ASSERT_TRUE(added.done()) << added.problem.toStdString();
  EXPECT_TRUE(added.notice.contains(QStringLiteral("Wayfable_Logs.DB.bak")));
  EXPECT_EQ(test::ReadFile(Folder() + QStringLiteral("/Wayfable_Logs.DB.bak")), bytes);
  const QByteArray current = test::ReadFile(Folder() + QStringLiteral("/Wayfable_Logs.DB"));
  EXPECT_EQ(DetectDatabaseFormat(current), DatabaseFormat::kCurrent);
  const ParsedDatabase parsed = ParseDatabase(current, DatabaseFormat::kCurrent);
  EXPECT_TRUE(parsed.sound());
  ASSERT_EQ(parsed.records.size(), 3u);
  EXPECT_EQ(parsed.records[0], (LogRecord{a, 0, 0, QStringLiteral("first"), 900}));
}

TEST_F(LogLibraryTest, KeepsTheRecordOfALogWhoseFileIsGone) {
  const QString kept = Log(QStringLiteral("kept.log"), 10, 0, 5);
  const QString gone = Log(QStringLiteral("on_a_card.log"), 11, 0, 5);
  const QString empty = dir_.filePath(QStringLiteral("no_times.log"));
  {
    LogLibrary library(Folder(), 0);
    library.AddLog(kept, 1, 2, 900);
    library.AddLog(gone, 3, 4, -330);
    library.EditLogInfo(*library.Find(gone), 3, 4, QStringLiteral("card"), -330);
    library.AddLog(Log(QStringLiteral("no_times.log"), 12, 0, 5), 0, 0, 0);
  }
  QFile::remove(gone);
  test::WriteFile(empty, "no sentences any more");
  {
    LogLibrary library(Folder(), 0);
    EXPECT_EQ(Names(library), QStringList{QStringLiteral("kept.log")});
    ASSERT_EQ(library.unavailable().size(), 1u);
    EXPECT_EQ(library.unavailable()[0], (LogRecord{gone, 3, 4, QStringLiteral("card"), -330}));
    EXPECT_TRUE(library.Contains(gone));
    EXPECT_EQ(library.AddLog(gone, 0, 0, 0).result, LogLibrary::ChangeResult::kAlreadyThere);
  }
  // Its file is back: it is a log of the library again, with its information.
  Log(QStringLiteral("on_a_card.log"), 11, 0, 5);
  LogLibrary library(Folder(), 0);
  ASSERT_EQ(library.size(), 2u);
  EXPECT_EQ(library.log(1).comment(), QStringLiteral("card"));
  EXPECT_EQ(library.log(1).colorIndex(), 3);
  EXPECT_TRUE(library.RemoveLogByPath(gone).done());
  EXPECT_EQ(library.RemoveLogByPath(gone).result, LogLibrary::ChangeResult::kNotInLibrary);
}

TEST_F(LogLibraryTest, EditingMovesTheTimesAndKeepsCommentsStorable) {
  LogLibrary library(Folder(), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 10, 0, 5), 0, 0, 0);
  const TimeValue start = library.log(0).localStart();
  EXPECT_TRUE(library.EditLogInfo(0, 4, 2, QStringLiteral("a \"quoted\" note"), -330).done());
  EXPECT_EQ(library.log(0).comment(), QStringLiteral("a 'quoted' note"));
  EXPECT_EQ(library.log(0).localStart(), start - (3 * 3600 + 30 * 60));
  EXPECT_EQ(library.log(0).colorIndex(), 4);
  LogLibrary reopened(Folder(), 0);
  EXPECT_EQ(reopened.log(0).comment(), QStringLiteral("a 'quoted' note"));
  EXPECT_EQ(reopened.log(0).timeZone(), -330);
}

TEST_F(LogLibraryTest, SummerTimeMovesEveryLogAnHour) {
  LogLibrary library(Folder(), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 10, 0, 5), 0, 0, 900);
  const TimeValue start = library.log(0).localStart();
  library.SetSummerTimeOffset(100);
  EXPECT_EQ(library.log(0).localStart(), start + 3600);
  EXPECT_EQ(library.log(0).timeZone(), 900);  // the stored zone stays
}

TEST_F(LogLibraryTest, RemovingLeavesTheFiles) {
  LogLibrary library(Folder(), 0);
  const QString a = Log(QStringLiteral("a.log"), 9, 0, 5);
  library.AddLog(a, 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 10, 0, 5), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("c.log"), 11, 0, 5), 0, 0, 0);
  library.RemoveLogs({2, 0});
  EXPECT_EQ(Names(library), QStringList{QStringLiteral("b.log")});
  EXPECT_TRUE(QFile::exists(a));
  EXPECT_EQ(Names(LogLibrary(Folder(), 0)), QStringList{QStringLiteral("b.log")});
}

TEST_F(LogLibraryTest, AFailedSaveLeavesTheDatabaseAsItWas) {
  LogLibrary library(Folder(), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 9, 0, 5), 0, 0, 0);
  const QByteArray saved = test::ReadFile(library.databasePath());
  // Too long for the database: refused alone, naming the log; nothing changes.
  const LogLibrary::Change change = library.EditLogInfo(0, 3, 0, QString(600, u'x'), 0);
  EXPECT_EQ(change.result, LogLibrary::ChangeResult::kNotStorable);
  EXPECT_TRUE(change.problem.contains(QStringLiteral("a.log")));
  EXPECT_EQ(test::ReadFile(library.databasePath()), saved);
  EXPECT_EQ(library.log(0).colorIndex(), 0);
  // The next change is saved as usual.
  EXPECT_TRUE(library.EditLogInfo(0, 3, 0, QStringLiteral("ok"), 0).done());
  EXPECT_EQ(LogLibrary(Folder(), 0).log(0).comment(), QStringLiteral("ok"));
}

TEST_F(LogLibraryTest, HoldsOneLogsPointsAtATime) {
  LogLibrary library(Folder(), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 9, 0, 5), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 10, 0, 5), 0, 0, 0);
  library.log(0).LoadPoints();
  library.HoldLog(0);
  library.log(1).LoadPoints();
  library.HoldLog(1);
  EXPECT_FALSE(library.log(0).pointsLoaded());
  EXPECT_TRUE(library.log(1).pointsLoaded());
  library.HoldLog(std::nullopt);
  EXPECT_FALSE(library.log(1).pointsLoaded());
  library.AddActiveLog(1);
  library.AddActiveLog(1);
  library.AddActiveLog(0);
  EXPECT_EQ(library.activeLogs(), (std::vector<std::size_t>{1, 0}));
}

TEST_F(LogLibraryTest, InMemoryLibrariesWriteNothing) {
  const QString a = Log(QStringLiteral("a.log"), 9, 0, 5);
  LogLibrary library = LogLibrary::InMemory({{a, 0, 0, {}, 900}}, 0);
  EXPECT_EQ(library.size(), 1u);
  EXPECT_FALSE(QDir(Folder()).exists());
}

// A log the caller scanned is taken as it is, not scanned again; one whose file changed
// since, or of another zone, is scanned anew.
TEST_F(LogLibraryTest, InMemoryLibrariesTakeLogsScannedAlready) {
  const QString a = Log(QStringLiteral("a.log"), 9, 0, 5);
  const QString b = Log(QStringLiteral("b.log"), 11, 0, 5);
  const QString c = Log(QStringLiteral("c.log"), 13, 0, 5);
  // Each scanned log is marked by a load of its points, which a fresh scan has not had.
  std::vector<std::unique_ptr<GPSLog>> scanned;
  for (const QString& path : {a, b, c}) {
    scanned.push_back(std::make_unique<GPSLog>(path, 0, 0, QString(), 900, 0));
    ASSERT_TRUE(scanned.back()->LoadPoints());
    scanned.back()->ReleasePoints();
  }
  test::WriteFile(b, test::GenerateLog({.hour = 15, .epochs = 6}));
  LogLibrary library = LogLibrary::InMemory(
      {{a, 0, 0, {}, 900}, {b, 0, 0, {}, 900}, {c, 0, 0, {}, 540}}, 0, std::move(scanned));
  ASSERT_EQ(library.size(), 3u);
  const auto logOf = [&library](const QString& path) -> const GPSLog* {
    for (std::size_t i = 0; i < library.size(); ++i) {
      if (library.log(i).filePath() == path) {
        return &library.log(i);
      }
    }
    return nullptr;
  };
  ASSERT_NE(logOf(a), nullptr);
  EXPECT_EQ(logOf(a)->timesLoaded(), 1u);
  ASSERT_NE(logOf(b), nullptr);
  EXPECT_EQ(logOf(b)->timesLoaded(), 0u);
  EXPECT_EQ(logOf(b)->pointCount(), 6u);
  ASSERT_NE(logOf(c), nullptr);
  EXPECT_EQ(logOf(c)->timesLoaded(), 0u);
  EXPECT_EQ(logOf(c)->timeZone(), 540);
}

TEST_F(LogLibraryTest, ReadingNeverWrites) {
  {
    LogLibrary library(Folder(), 0);
    library.AddLog(Log(QStringLiteral("a.log"), 9, 0, 5), 0, 0, 0);
  }
  const QString path = Folder() + QStringLiteral("/Wayfable_Logs.DB");
  const FileStamp before = StampOf(path);
  LogLibrary library(Folder(), 100);
  library.SetSummerTimeOffset(0);
  EXPECT_FALSE(library.Refresh());
  EXPECT_EQ(StampOf(path), before);
  // Nor does opening a library that does not exist create anything.
  LogLibrary none(dir_.filePath(QStringLiteral("none")), 0);
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("none"))));
}

TEST_F(LogLibraryTest, ADamagedDatabaseIsKeptAndCopiedBeforeTheFirstChange) {
  const QString a = Log(QStringLiteral("a.log"), 9, 0, 5);
  const QString b = Log(QStringLiteral("b.log"), 10, 0, 5);
  {
    LogLibrary library(Folder(), 0);
    library.AddLog(a, 1, 0, 0);
    library.AddLog(b, 2, 0, 0);
  }
  const QString path = Folder() + QStringLiteral("/Wayfable_Logs.DB");
  QByteArray damaged = test::ReadFile(path);
  damaged.remove(damaged.indexOf(QByteArray("\"\0", 2), 4), 2);  // the first line loses a quote
  test::WriteFile(path,
                  std::string_view(damaged.constData(), static_cast<std::size_t>(damaged.size())));

  LogLibrary library(Folder(), 0);
  EXPECT_EQ(Names(library), QStringList{QStringLiteral("b.log")});
  ASSERT_EQ(library.fileProblems().size(), 1);
  EXPECT_TRUE(library.fileProblems()[0].startsWith(QStringLiteral("line 1: ")));
  EXPECT_EQ(test::ReadFile(path), damaged) << "a damaged file is not saved over on reading";

  const LogLibrary::Change change = library.AddLog(Log(QStringLiteral("c.log"), 11, 0, 5), 0, 0, 0);
  ASSERT_TRUE(change.done()) << change.problem.toStdString();
  QStringList copies =
      QDir(Folder()).entryList({QStringLiteral("Wayfable_Logs.DB.damaged-*")}, QDir::Files);
  ASSERT_EQ(copies.size(), 1);
  EXPECT_TRUE(change.notice.contains(copies[0])) << change.notice.toStdString();
  EXPECT_EQ(test::ReadFile(Folder() + u'/' + copies[0]), damaged);
  EXPECT_TRUE(library.fileProblems().isEmpty());
  const LogLibrary reopened(Folder(), 0);
  EXPECT_TRUE(reopened.fileProblems().isEmpty());
  EXPECT_EQ(Names(reopened), (QStringList{QStringLiteral("b.log"), QStringLiteral("c.log")}));
  // The next change has nothing to keep.
  EXPECT_TRUE(library.RemoveLogByPath(b).notice.isEmpty());
  EXPECT_EQ(QDir(Folder()).entryList({QStringLiteral("Wayfable_Logs.DB.damaged-*")}).size(), 1);
}

TEST_F(LogLibraryTest, ADatabaseThatCannotBeReadIsNeverReplaced) {
  const QString path = Folder() + QStringLiteral("/Wayfable_Logs.DB");
  QDir().mkpath(path);  // a folder where the file belongs: it cannot be read, even by root
  LogLibrary library(Folder(), 0);
  EXPECT_FALSE(library.databaseReadable());
  ASSERT_EQ(library.fileProblems().size(), 1);
  EXPECT_TRUE(library.fileProblems()[0].contains(path));
  const LogLibrary::Change change = library.AddLog(Log(QStringLiteral("a.log"), 9, 0, 5), 0, 0, 0);
  EXPECT_EQ(change.result, LogLibrary::ChangeResult::kNotSaved);
  EXPECT_TRUE(change.problem.contains(QStringLiteral("not changed")));
  EXPECT_TRUE(QFileInfo(path).isDir());
  EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
  EXPECT_TRUE(library.empty());
}

TEST_F(LogLibraryTest, AChangeAppliesToWhatOthersSaved) {
  const QString a = Log(QStringLiteral("a.log"), 9, 0, 5);
  const QString b = Log(QStringLiteral("b.log"), 10, 0, 5);
  const QString c = Log(QStringLiteral("c.log"), 11, 0, 5);
  LogLibrary mine(Folder(), 0);
  LogLibrary theirs(Folder(), 0);
  ASSERT_TRUE(mine.AddLog(a, 0, 0, 0).done());
  ASSERT_TRUE(theirs.AddLog(b, 0, 0, 0).done());  // reads a from the file first
  EXPECT_EQ(Names(theirs), (QStringList{QStringLiteral("a.log"), QStringLiteral("b.log")}));
  ASSERT_TRUE(mine.AddLog(c, 0, 0, 0).done());
  EXPECT_EQ(
      Names(LogLibrary(Folder(), 0)),
      (QStringList{QStringLiteral("a.log"), QStringLiteral("b.log"), QStringLiteral("c.log")}));
  // A removal of theirs is not undone by a later change of mine.
  ASSERT_TRUE(theirs.RemoveLogByPath(a).done());
  EXPECT_TRUE(mine.Refresh());
  EXPECT_EQ(Names(mine), (QStringList{QStringLiteral("b.log"), QStringLiteral("c.log")}));
  ASSERT_TRUE(theirs.RemoveLogByPath(b).done());
  ASSERT_TRUE(mine.EditLogInfo(*mine.Find(c), 4, 0, QStringLiteral("mine"), 0).done());
  EXPECT_EQ(Names(LogLibrary(Folder(), 0)), QStringList{QStringLiteral("c.log")});
  // Editing a log another program removed meanwhile is refused, not brought back.
  LogLibrary stale(Folder(), 0);
  ASSERT_TRUE(theirs.RemoveLogByPath(c).done());
  EXPECT_EQ(stale.EditLogInfo(0, 1, 1, QString(), 0).result,
            LogLibrary::ChangeResult::kNotInLibrary);
  EXPECT_TRUE(LogLibrary(Folder(), 0).empty());
}

TEST_F(LogLibraryTest, OneUnstorableLogIsRefusedAloneAndTheOthersAreSaved) {
  const QString quoted = Log(QStringLiteral("say \"hi\".log"), 9, 0, 5);
  const QString good = Log(QStringLiteral("good.log"), 10, 0, 5);
  const QString longName = dir_.filePath(QString(200, u'd') + u'/' + QString(200, u'e') + u'/' +
                                         QString(200, u'f') + u'/' + QString(200, u'g') + u'/' +
                                         QString(200, u'h') + QStringLiteral("/x.log"));
  test::WriteFile(longName, test::GenerateLog({.hour = 11, .epochs = 5}));
  LogLibrary library(Folder(), 0);
  const std::vector<LogLibrary::Change> changes =
      library.AddLogs({{quoted, 0, 0, 0}, {good, 0, 0, 0}, {longName, 0, 0, 0}});
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].result, LogLibrary::ChangeResult::kNotStorable);
  EXPECT_TRUE(changes[0].problem.startsWith(quoted));
  EXPECT_TRUE(changes[1].done());
  EXPECT_EQ(changes[2].result, LogLibrary::ChangeResult::kNotStorable);
  EXPECT_EQ(Names(LogLibrary(Folder(), 0)), QStringList{QStringLiteral("good.log")});
  // Later changes are saved as ever.
  EXPECT_TRUE(library.AddLog(Log(QStringLiteral("later.log"), 12, 0, 5), 0, 0, 0).done());
  EXPECT_EQ(LogLibrary(Folder(), 0).size(), 2u);
}

TEST(TimeZoneList, TextsAndEntries) {
  EXPECT_EQ(ZoneText(-330), QStringLiteral("GMT -03:30"));
  EXPECT_EQ(ZoneText(900), QStringLiteral("GMT +09:00"));
  EXPECT_EQ(ZoneText(0), QStringLiteral("GMT"));
  EXPECT_EQ(ZoneListIndex(545), 23);
  EXPECT_EQ(kTimeZoneList[static_cast<std::size_t>(ZoneListIndex(-330))], -330);
  EXPECT_EQ(ZoneListIndex(845), -1);
  EXPECT_EQ(ZoneListIndex(-1200), 0);
  EXPECT_EQ(ZoneListIndex(1400), 37);
  EXPECT_EQ(LineWidthText(0), QStringLiteral("8  Pixel"));
  // A zone outside the list is selected nowhere and keeps its value through an edit.
  EXPECT_EQ(SelectedZone(ZoneListIndex(845), 845), 845);
  EXPECT_EQ(SelectedZone(ZoneListIndex(-330), 900), -330);
}

}  // namespace
}  // namespace trevalo
