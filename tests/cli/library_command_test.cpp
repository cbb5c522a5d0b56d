#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

class LibraryCommand : public ::testing::Test {
 protected:
  QString Log(const char* name, int hour, int minutes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    test::WriteFile(
        path, test::GenerateLog({.hour = hour, .epochs = minutes + 1, .intervalSeconds = 60}));
    return path;
  }
  test::CliResult Cli(QStringList arguments) {
    arguments.prepend(library_);
    arguments.prepend(QStringLiteral("--library"));
    return RunCli(arguments, dir_.filePath(QStringLiteral("home")));
  }
  QTemporaryDir dir_;
  QString library_ = dir_.filePath(QStringLiteral("library"));
};

TEST_F(LibraryCommand, AddListRemove) {
  const QString a = Log("a.log", 10, 60);
  const QString b = Log("b.log", 8, 30);
  const QString empty = dir_.filePath(QStringLiteral("empty.log"));
  test::WriteFile(empty, "no sentences");
  const auto added = Cli({QStringLiteral("library"), QStringLiteral("add"),
                          QStringLiteral("--zone"), QStringLiteral("-330"), a, b, empty});
  EXPECT_EQ(added.exitCode, 1);
  EXPECT_TRUE(added.out.contains((QStringLiteral("added ") + a).toUtf8()));
  EXPECT_TRUE(added.err.contains(
      (empty + QStringLiteral(": not added: no RMC sentence with a time")).toUtf8()))
      << added.err.toStdString();
  EXPECT_TRUE(QFile::exists(library_ + QStringLiteral("/Wayfable_Logs.DB")));

  const auto again = Cli({QStringLiteral("library"), QStringLiteral("add"), a});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_TRUE(again.out.contains("already in the library"));

  const auto listed =
      Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")});
  ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
  const QJsonArray logs = listed.Json().array();
  ASSERT_EQ(logs.size(), 2);
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("file")].toString(), b);  // the earlier first
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("timeZone")].toInt(), -330);
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("localStart")].toString(),
            QStringLiteral("2009-05-17 04:30:00"));
  EXPECT_EQ(logs[1].toObject()[QStringLiteral("pointCount")].toInt(), 61);

  const auto text = Cli({QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_TRUE(text.out.contains("GMT -03:30"));

  const auto removed = Cli({QStringLiteral("library"), QStringLiteral("remove"), b, empty});
  EXPECT_EQ(removed.exitCode, 1);
  EXPECT_TRUE(removed.err.contains((empty + QStringLiteral(": not in the library")).toUtf8()));
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
                .Json()
                .array()
                .size(),
            1);
}

TEST_F(LibraryCommand, UnavailableLogsAreListedAndKept) {
  const QString a = Log("a.log", 10, 10);
  Cli({QStringLiteral("library"), QStringLiteral("add"), a});
  QFile::remove(a);
  const auto listed = Cli({QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_TRUE(listed.out.contains((QStringLiteral("(unavailable)  ") + a).toUtf8()))
      << listed.out.toStdString();
  Log("a.log", 10, 10);
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
                .Json()
                .array()[0]
                .toObject()[QStringLiteral("available")]
                .toBool(),
            true);
}

TEST_F(LibraryCommand, Merge) {
  const QString a = Log("0517.log", 10, 60);
  const QString b = Log("b.log", 12, 30);
  const QString c = Log("c.log", 12, 10);  // overlaps b
  Cli({QStringLiteral("library"), QStringLiteral("add"), a, b, c});
  const QString merged = dir_.filePath(QStringLiteral("M_0517.LOG"));
  const auto conflict = Cli(
      {QStringLiteral("library"), QStringLiteral("merge"), b, c, QStringLiteral("--out"), merged});
  EXPECT_EQ(conflict.exitCode, 1);
  EXPECT_TRUE(conflict.err.contains("overlap"));
  const auto done = Cli(
      {QStringLiteral("library"), QStringLiteral("merge"), a, b, QStringLiteral("--out"), merged});
  ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
  const QJsonArray logs =
      Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
          .Json()
          .array();
  QStringList files;
  for (const auto& log : logs) {
    files << log.toObject()[QStringLiteral("file")].toString();
  }
  EXPECT_EQ(files, (QStringList{merged, c}));
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("pointCount")].toInt(), 61 + 31);
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("merge"), c, merged,
                 QStringLiteral("--out"), merged})
                .exitCode,
            1);  // the output exists
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("merge"), a}).exitCode, 2);
}

// Several trevalo-cli processes adding, removing and listing on one library at once: every
// change that was reported is in the file at the end, and no reader ever fails.
TEST_F(LibraryCommand, ConcurrentChangesAreNeverLost) {
  constexpr int kAdders = 3;
  constexpr int kPerAdder = 15;
  QStringList toRemove;
  for (int k = 0; k < 15; ++k) {
    toRemove << Log(qPrintable(QStringLiteral("old%1.log").arg(k)), 0, 10 + k);
  }
  ASSERT_EQ(Cli(QStringList{QStringLiteral("library"), QStringLiteral("add")} + toRemove).exitCode,
            0);
  std::vector<QStringList> toAdd(kAdders);
  QStringList expected;
  for (int w = 0; w < kAdders; ++w) {
    for (int k = 0; k < kPerAdder; ++k) {
      toAdd[static_cast<std::size_t>(w)]
          << Log(qPrintable(QStringLiteral("new%1_%2.log").arg(w).arg(k)), 1 + w, 5 + k);
    }
    expected += toAdd[static_cast<std::size_t>(w)];
  }
  // Each worker runs its commands one after another; the workers run side by side.
  const QString loop = QStringLiteral(
      "command=$1; shift; for f in \"$@\"; do \"$CLI\" --library \"$LIBRARY\" library $command "
      "\"$f\" > /dev/null || { echo \"failed: $command $f\" >&2; exit 1; }; done");
  std::vector<std::unique_ptr<QProcess>> workers;
  const auto start = [&](const QString& command, const QStringList& files) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TREVALO_HOME"), dir_.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("CLI"),
                       test::BinaryFolder() + QStringLiteral("/trevalo-cli"));
    environment.insert(QStringLiteral("LIBRARY"), library_);
    process->setProcessEnvironment(environment);
    process->start(
        QStringLiteral("bash"),
        QStringList{QStringLiteral("-c"), loop, QStringLiteral("worker"), command} + files);
    workers.push_back(std::move(process));
  };
  for (const QStringList& files : toAdd) {
    start(QStringLiteral("add"), files);
  }
  start(QStringLiteral("remove"), toRemove);
  QStringList listings;
  for (int k = 0; k < 20; ++k) {
    listings << QStringLiteral("--json");
  }
  start(QStringLiteral("list"), listings);
  for (const auto& worker : workers) {
    ASSERT_TRUE(worker->waitForFinished(240000));
    EXPECT_EQ(worker->exitCode(), 0) << worker->readAllStandardError().toStdString();
  }
  QStringList files;
  for (const auto& log :
       Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
           .Json()
           .array()) {
    files << log.toObject()[QStringLiteral("file")].toString();
  }
  files.sort();
  expected.sort();
  EXPECT_EQ(files, expected);
}

TEST_F(LibraryCommand, OnlyWhatIsSavedIsSaidToBeAdded) {
  const QString good = Log("good.log", 10, 10);
  const QString quoted = Log("say \"hi\".log", 11, 10);
  const auto added = Cli({QStringLiteral("library"), QStringLiteral("add"), good, quoted});
  EXPECT_EQ(added.exitCode, 1);
  EXPECT_TRUE(added.out.contains((QStringLiteral("added ") + good).toUtf8()));
  EXPECT_FALSE(added.out.contains((QStringLiteral("added ") + quoted).toUtf8()));
  EXPECT_TRUE(added.err.contains(
      (quoted + QStringLiteral(": not added: the library cannot hold it")).toUtf8()))
      << added.err.toStdString();
  // A database that cannot be read: nothing is said to be added or removed, and it stays.
  const QString database = library_ + QStringLiteral("/Wayfable_Logs.DB");
  QFile::remove(database);
  QDir().mkpath(database);
  const auto refused =
      Cli({QStringLiteral("library"), QStringLiteral("add"), Log("c.log", 12, 10)});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_FALSE(refused.out.contains("added"));
  EXPECT_TRUE(refused.err.contains("not changed")) << refused.err.toStdString();
  const auto removed = Cli({QStringLiteral("library"), QStringLiteral("remove"), good});
  EXPECT_EQ(removed.exitCode, 1);
  EXPECT_FALSE(removed.out.contains("removed"));
  EXPECT_TRUE(QFileInfo(database).isDir());
}

TEST_F(LibraryCommand, ListingADamagedLibraryTellsAndWritesNothing) {
  const QString a = Log("a.log", 10, 10);
  Cli({QStringLiteral("library"), QStringLiteral("add"), a, Log("b.log", 11, 10)});
  const QString database = library_ + QStringLiteral("/Wayfable_Logs.DB");
  QByteArray bytes = test::ReadFile(database);
  bytes.insert(bytes.size() / 2 + 1, 'x');  // one byte inserted
  test::WriteFile(database,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  const auto listed = Cli({QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_TRUE(listed.err.contains("line ")) << listed.err.toStdString();
  const auto dryRun = Cli({QStringLiteral("geotag"), QStringLiteral("--out"), dir_.path(),
                           QStringLiteral("--dry-run"), a});
  EXPECT_EQ(test::ReadFile(database), bytes) << "reading never writes";
  EXPECT_EQ(QDir(library_).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("Wayfable_Logs.DB")});
  // The next change keeps a copy first, and says where.
  const auto added = Cli({QStringLiteral("library"), QStringLiteral("add"), Log("c.log", 12, 10)});
  EXPECT_EQ(added.exitCode, 1);
  const QStringList copies =
      QDir(library_).entryList({QStringLiteral("Wayfable_Logs.DB.damaged-*")});
  ASSERT_EQ(copies.size(), 1);
  EXPECT_TRUE(added.err.contains(copies[0].toUtf8())) << added.err.toStdString();
  EXPECT_EQ(test::ReadFile(library_ + u'/' + copies[0]), bytes);
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("list")}).exitCode, 0);
}

}  // namespace
}  // namespace trevalo
