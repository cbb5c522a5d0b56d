// End to end: FIFOs, devices and links to them where trevalo-cli reads or writes a file.
// None is waited on, read without end or replaced by a file; each is named with the reason.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>

#include "cli/cli_runner.h"
#include "files/native_path.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

// A FIFO, a device node that reads without end (as /dev/zero does) where the test may make
// one, and a link to each: the test's own, never the system's.
class FifosAndDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkfifo(NativePath(Path("pipe")).constData(), 0644), 0);
    specials_ << Path("pipe");
    if (::mknod(NativePath(Path("zero")).constData(), S_IFCHR | 0644, ::makedev(1, 5)) == 0) {
      specials_ << Path("zero");
    }
    for (const QString& special : QStringList(specials_)) {
      ASSERT_TRUE(QFile::link(special, special + QStringLiteral("-link")));
      specials_ << special + QStringLiteral("-link");
    }
    log_ = Path("walk.log");
    test::WriteFile(log_, test::GenerateLog({.epochs = 20}));
  }
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  // Still what the test made: a FIFO or a device, itself or behind its link.
  static bool StillSpecial(const QString& path) {
    struct stat status {};
    return ::stat(NativePath(path).constData(), &status) == 0 &&
           (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
  }
  // Runs the command with a short bound: waiting on a FIFO or reading a device without end
  // fails the test instead of holding it.
  test::CliResult Run(const QStringList& arguments) { return RunCli(arguments, Home(), {}, 20); }

  QTemporaryDir dir_;
  QStringList specials_;
  QString log_;
};

TEST_F(FifosAndDevices, AreNeitherReadNorReplaced) {
  for (const QString& special : specials_) {
    SCOPED_TRACE(special.toStdString());
    const QString kind = special.contains(QStringLiteral("pipe")) ? QStringLiteral("a FIFO")
                                                                  : QStringLiteral("a device");
    const QByteArray reason = (kind + QStringLiteral(", not a regular file")).toUtf8();

    // Named as a log, a photo or a library: refused at once, with the reason.
    test::CliResult run = Run({QStringLiteral("log"), QStringLiteral("info"), special});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(reason)) << run.err.toStdString();
    run = Run({QStringLiteral("photo"), QStringLiteral("info"), special});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(reason)) << run.err.toStdString();

    // As an output: refused, and it stays what it was.
    for (const char* format : {"gpx", "kml", "csv"}) {
      run = Run({QStringLiteral("export"), QStringLiteral("--format"), QLatin1String(format),
                 QStringLiteral("--out"), special, log_});
      EXPECT_EQ(run.exitCode, 1) << format;
      EXPECT_TRUE(run.err.contains(reason)) << run.err.toStdString();
      EXPECT_TRUE(StillSpecial(special));
    }
  }
}

TEST_F(FifosAndDevices, AtASidecarsNameAreToldAndKept) {
  if (!test::SeedPhotosMissing().isEmpty()) {
    GTEST_SKIP() << test::SeedPhotosMissing().toStdString();
  }
  for (const QString& special : specials_) {
    SCOPED_TRACE(special.toStdString());
    const QString photo = Path("photo.jpg");
    QFile::remove(photo);
    ASSERT_TRUE(test::MakePhotoTakenAt(photo, "2009:05:17 21:00:10"));
    const QString sidecar = photo + QStringLiteral(".xmp");
    QFile::remove(sidecar);
    ASSERT_TRUE(QFile::link(special, sidecar));

    // The user named only the photo: the sidecar beside it is not waited on; what it is
    // makes the command fail, as any input with a problem does.
    test::CliResult run = Run({QStringLiteral("photo"), QStringLiteral("info"), photo});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(NativePath(sidecar))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.toStdString();

    run = Run({QStringLiteral("geotag"), photo, QStringLiteral("--log"), log_,
               QStringLiteral("--zone"), QStringLiteral("900"), QStringLiteral("--sidecar")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.toStdString();
    EXPECT_TRUE(StillSpecial(sidecar));
  }
}

TEST_F(FifosAndDevices, AtTheLibrarysAndTheSettingsNamesAreRefused) {
  const QString library = Path("library");
  ASSERT_TRUE(QDir().mkpath(library));
  ASSERT_TRUE(QDir().mkpath(Home()));
  ASSERT_TRUE(QFile::link(specials_.front(), library + QStringLiteral("/Wayfable_Logs.DB")));
  ASSERT_TRUE(QFile::link(specials_.front(), Home() + QStringLiteral("/Wayfable.INI")));
  test::CliResult run = Run(
      {QStringLiteral("--library"), library, QStringLiteral("library"), QStringLiteral("list")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.toStdString();
  run = Run({QStringLiteral("--library"), library, QStringLiteral("library"), QStringLiteral("add"),
             log_});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(StillSpecial(library + QStringLiteral("/Wayfable_Logs.DB")));
  // The settings are read for the default tolerance: a FIFO there is no settings file, and
  // the defaults hold.
  const QString photo = Path("photo.jpg");
  if (test::SeedPhotosMissing().isEmpty() && test::MakePhotoTakenAt(photo, "2009:05:17 21:00:10")) {
    run = Run({QStringLiteral("geotag"), photo, QStringLiteral("--log"), log_,
               QStringLiteral("--zone"), QStringLiteral("900"), QStringLiteral("--in-place"),
               QStringLiteral("--dry-run")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("walk.log")) << run.out.toStdString();
  }
}

}  // namespace
}  // namespace trevalo
