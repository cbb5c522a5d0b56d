// Undo journals: what a run killed between keeping a file and recording its change leaves
// restorable, and the size limit that drops the oldest runs.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "files/atomic_file.h"
#include "files/change_journal.h"
#include "files/native_files.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

// Writes a file as the program's writers do: a new file renamed over the old one.
void Replace(const QString& path, std::string_view bytes) {
  ASSERT_TRUE(
      WriteFileAtomically(
          path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), false)
          .isEmpty());
}

TEST(ChangeJournal, AFileWrittenTwiceGoesBackThroughBothAndACutLineNamesNothing) {
  QTemporaryDir dir;
  const QString journals = dir.filePath(QStringLiteral("undo"));
  const QString sidecar = dir.filePath(QStringLiteral("IMG_1.xmp"));  // two photos share it
  const QString photo = dir.filePath(QStringLiteral("IMG_1"));
  test::WriteFile(photo, "the user's photo");
  QString problem;
  auto journal = ChangeJournal::Begin(journals, QStringLiteral("test"), problem);
  ASSERT_TRUE(journal);
  for (const char* content : {"first", "second"}) {
    ASSERT_TRUE(journal->Keep(sidecar).isEmpty());
    Replace(sidecar, content);
    journal->Changed(sidecar);
  }
  const QString folder = journal->folder();
  journal.reset();
  // A kill in the middle of a line: cut inside its path, it would name the photo.
  QFile entries(folder + QStringLiteral("/entries"));
  ASSERT_TRUE(entries.open(QIODevice::Append));
  entries.write("keep\t2\tnone\t-\t0\t" + QFile::encodeName(photo));
  entries.close();

  const UndoReport report = UndoRun(folder);
  EXPECT_TRUE(report.refused.isEmpty() && report.failed.isEmpty())
      << report.refused.join(u' ').toStdString();
  EXPECT_FALSE(PathExists(sidecar));
  EXPECT_EQ(test::ReadFile(photo), "the user's photo");
}

TEST(ChangeJournal, AChangeNeverRecordedIsRestoredFromTheWholeCopy) {
  QTemporaryDir dir;
  const QString journals = dir.filePath(QStringLiteral("state/undo"));
  const QString changed = dir.filePath(QStringLiteral("changed.jpg"));
  const QString untouched = dir.filePath(QStringLiteral("untouched.jpg"));
  const QString made = dir.filePath(QStringLiteral("made.xmp"));
  test::WriteFile(changed, "original bytes");
  test::WriteFile(untouched, "left as it was");
  QString problem;
  auto journal = ChangeJournal::Begin(journals, QStringLiteral("test"), problem);
  ASSERT_TRUE(journal) << problem.toStdString();
  // Killed after each file was kept and (for two of them) written, before any was recorded.
  for (const QString& file : {changed, untouched, made}) {
    ASSERT_TRUE(journal->Keep(file).isEmpty());
  }
  Replace(changed, "tagged bytes, longer");
  Replace(made, "a new sidecar");
  const QString folder = journal->folder();
  journal.reset();
  const std::vector<JournalRun> runs = JournalRuns(journals);
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].files, 3);
  EXPECT_FALSE(runs[0].running);

  const UndoReport report = UndoRun(folder);
  EXPECT_EQ(report.restored, QStringList({changed, made}));
  EXPECT_TRUE(report.refused.isEmpty() && report.failed.isEmpty());
  EXPECT_EQ(test::ReadFile(changed), "original bytes");
  EXPECT_EQ(test::ReadFile(untouched), "left as it was");
  EXPECT_FALSE(PathExists(made));
  EXPECT_TRUE(report.removed);
  EXPECT_TRUE(JournalRuns(journals).empty());
}

TEST(ChangeJournal, TheOldestRunsGoWhenTheJournalsOutgrowTheirLimitButNeverTheNewest) {
  QTemporaryDir dir;
  const QString journals = dir.filePath(QStringLiteral("undo"));
  const QString file = dir.filePath(QStringLiteral("photo.jpg"));
  QStringList folders;
  // A run here takes about 1,400 bytes: the kept 1,000 and its lists.
  const std::size_t kept[] = {1, 2, 3, 3, 1};
  for (int run = 0; run < 5; ++run) {
    test::WriteFile(file, std::string(1000, static_cast<char>('a' + run)));
    QString problem;
    auto journal = ChangeJournal::Begin(journals, QStringLiteral("run %1").arg(run), problem);
    ASSERT_TRUE(journal);
    ASSERT_TRUE(journal->Keep(file).isEmpty());
    Replace(file, std::string(1000, 'z'));
    journal->Changed(file);
    folders << journal->folder();
    // Three runs fit: the fourth drops the first; a limit below one run keeps the newest
    // alone.
    journal->Finish(run < 4 ? 4500 : 100);
    QThread::msleep(2);  // names differ by the millisecond
    const std::vector<JournalRun> runs = JournalRuns(journals);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().folder, folders.back());
    EXPECT_EQ(runs.front().description, QStringLiteral("run %1").arg(run));
    EXPECT_EQ(runs.size(), kept[run]) << run;
  }
  // The newest restores what its run replaced.
  const UndoReport report = UndoRun(folders.back());
  EXPECT_EQ(report.restored, QStringList{file});
  EXPECT_EQ(test::ReadFile(file), QByteArray(1000, 'e'));
}

}  // namespace
}  // namespace trevalo
