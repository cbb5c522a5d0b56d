#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
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
    test::WriteFile(path, test::GenerateLog({.hour = hour, .epochs = minutes + 1, .intervalSeconds = 60}));
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
  const auto added = Cli({QStringLiteral("library"), QStringLiteral("add"), QStringLiteral("--zone"),
                          QStringLiteral("-330"), a, b, empty});
  EXPECT_EQ(added.exitCode, 1);
  EXPECT_TRUE(added.out.contains((QStringLiteral("added ") + a).toUtf8()));
  EXPECT_TRUE(added.err.contains((empty + QStringLiteral(": not added: no RMC sentence with a time")).toUtf8()))
      << added.err.toStdString();
  EXPECT_TRUE(QFile::exists(library_ + QStringLiteral("/Wayfable_Logs.DB")));

  const auto again = Cli({QStringLiteral("library"), QStringLiteral("add"), a});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_TRUE(again.out.contains("already in the library"));

  const auto listed = Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")});
  ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
  const QJsonArray logs = listed.Json().array();
  ASSERT_EQ(logs.size(), 2);
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("file")].toString(), b);  // the earlier first
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("timeZone")].toInt(), -330);
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("localStart")].toString(), QStringLiteral("2009-05-17 04:30:00"));
  EXPECT_EQ(logs[1].toObject()[QStringLiteral("pointCount")].toInt(), 61);

  const auto text = Cli({QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_TRUE(text.out.contains("GMT -03:30"));

  const auto removed = Cli({QStringLiteral("library"), QStringLiteral("remove"), b, empty});
  EXPECT_EQ(removed.exitCode, 1);
  EXPECT_TRUE(removed.err.contains((empty + QStringLiteral(": not in the library")).toUtf8()));
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
                .Json().array().size(),
            1);
}

TEST_F(LibraryCommand, UnavailableLogsAreListedAndKept) {
  const QString a = Log("a.log", 10, 10);
  Cli({QStringLiteral("library"), QStringLiteral("add"), a});
  QFile::remove(a);
  const auto listed = Cli({QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_TRUE(listed.out.contains((QStringLiteral("(unavailable)  ") + a).toUtf8())) << listed.out.toStdString();
  Log("a.log", 10, 10);
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
                .Json().array()[0].toObject()[QStringLiteral("available")].toBool(),
            true);
}

TEST_F(LibraryCommand, Merge) {
  const QString a = Log("0517.log", 10, 60);
  const QString b = Log("b.log", 12, 30);
  const QString c = Log("c.log", 12, 10);  // overlaps b
  Cli({QStringLiteral("library"), QStringLiteral("add"), a, b, c});
  const QString merged = dir_.filePath(QStringLiteral("M_0517.LOG"));
  const auto conflict = Cli({QStringLiteral("library"), QStringLiteral("merge"), b, c,
                             QStringLiteral("--out"), merged});
  EXPECT_EQ(conflict.exitCode, 1);
  EXPECT_TRUE(conflict.err.contains("overlap"));
  const auto done = Cli({QStringLiteral("library"), QStringLiteral("merge"), a, b,
                         QStringLiteral("--out"), merged});
  ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
  const QJsonArray logs = Cli({QStringLiteral("library"), QStringLiteral("list"), QStringLiteral("--json")})
                              .Json().array();
  QStringList files;
  for (const auto& log : logs) {
    files << log.toObject()[QStringLiteral("file")].toString();
  }
  EXPECT_EQ(files, (QStringList{merged, c}));
  EXPECT_EQ(logs[0].toObject()[QStringLiteral("pointCount")].toInt(), 61 + 31);
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("merge"), c, merged, QStringLiteral("--out"),
                 merged}).exitCode,
            1);  // the output exists
  EXPECT_EQ(Cli({QStringLiteral("library"), QStringLiteral("merge"), a}).exitCode, 2);
}

}  // namespace
}  // namespace trevalo
