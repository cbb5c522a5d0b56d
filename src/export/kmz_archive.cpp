#include "export/kmz_archive.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>

#include <QDateTime>
#include <QFile>

#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

constexpr unsigned long kUtf8NamesFlag = 1u << 11;
// Entries are made on Unix: unzip and the like then take the names as the UTF-8 they are
// (from an MS-DOS maker they translate them from code page 437, whatever the flag says), and
// extract the files as plain files readable by all.
constexpr uLong kMadeOnUnix = 3u << 8;
constexpr uLong kPlainFileMode = 0100644u;
constexpr qint64 kBlock = 1 << 20;

// An entry's date and mode: a plain file readable by all, of the time `modified`.
zip_fileinfo EntryInfo(const QDateTime& modified) {
  const QDate date = modified.date();
  const QTime time = modified.time();
  zip_fileinfo info{};
  info.tmz_date.tm_year = static_cast<uInt>(std::max(date.year(), 1980));
  info.tmz_date.tm_mon = static_cast<uInt>(date.month() - 1);
  info.tmz_date.tm_mday = static_cast<uInt>(date.day());
  info.tmz_date.tm_hour = static_cast<uInt>(time.hour());
  info.tmz_date.tm_min = static_cast<uInt>(time.minute());
  info.tmz_date.tm_sec = static_cast<uInt>(time.second());
  info.external_fa = kPlainFileMode << 16;
  return info;
}

}  // namespace

KmzArchive::KmzArchive(const QString& path) : file_(path) {
  if (file_.fd() < 0) {
    problem_ = file_.openProblem();
    return;
  }
  zip_ = zipOpen64(NativePath(file_.temporaryPath()).constData(), APPEND_STATUS_CREATE);
  if (zip_ == nullptr) {
    problem_ = QStringLiteral("cannot create the package %1").arg(path);
  }
}

KmzArchive::~KmzArchive() {
  if (zip_ != nullptr) {
    zipClose(static_cast<zipFile>(zip_), nullptr);
  }
}

QString KmzArchive::FreeEntryName(QString name) const {
  while (entries_.contains(name)) {
    name.prepend(u'_');
  }
  return name;
}

QString KmzArchive::AddFile(const QString& source, const QString& entryName) {
  if (zip_ == nullptr) {
    return problem_;
  }
  QFile input;
  if (const QString reason = OpenForReading(input, source); !reason.isEmpty()) {
    return QStringLiteral("cannot put %1 into %2: %3").arg(source, path(), reason);
  }
  struct stat status {};
  ::fstat(input.handle(), &status);
  return AddEntry(entryName, QDateTime::fromSecsSinceEpoch(status.st_mtim.tv_sec), input.size(),
                  source, [&input](QByteArray& block) {
                    block = input.read(kBlock);
                    return input.error() == QFileDevice::NoError;
                  });
}

QString KmzArchive::AddBytes(const QByteArray& bytes, const QString& entryName,
                             const QString& source) {
  if (zip_ == nullptr) {
    return problem_;
  }
  bool given = false;
  return AddEntry(entryName, QDateTime::currentDateTime(), bytes.size(), source,
                  [&](QByteArray& block) {
                    block = given ? QByteArray() : bytes;
                    given = true;
                    return true;
                  });
}

QString KmzArchive::AddEntry(const QString& entryName, const QDateTime& modified, qint64 size,
                             const QString& source,
                             const std::function<bool(QByteArray& block)>& nextBlock) {
  const zip_fileinfo info = EntryInfo(modified);
  const QByteArray name = entryName.toUtf8();
  const bool utf8Name =
      std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
  const int zip64 = size >= 0xFFFFFFFFLL ? 1 : 0;
  auto* zip = static_cast<zipFile>(zip_);
  if (zipOpenNewFileInZip4_64(
          zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
          Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
          kMadeOnUnix | (zip64 != 0 ? 45u : 20u), utf8Name ? kUtf8NamesFlag : 0, zip64) != ZIP_OK) {
    return QStringLiteral("cannot write the package %1").arg(path());
  }
  entries_.insert(entryName);
  QByteArray block;
  bool failed = false;
  bool read = true;
  while (!failed && (read = nextBlock(block)) && !block.isEmpty()) {
    failed =
        zipWriteInFileInZip(zip, block.constData(), static_cast<unsigned>(block.size())) != ZIP_OK;
  }
  failed = zipCloseFileInZip(zip) != ZIP_OK || failed || !read;
  if (failed) {
    problem_ = QStringLiteral("cannot put %1 into %2").arg(source, path());
    return problem_;
  }
  return {};
}

QString KmzArchive::Close() {
  if (zip_ == nullptr) {
    return problem_;
  }
  const bool closed = zipClose(static_cast<zipFile>(zip_), nullptr) == ZIP_OK;
  zip_ = nullptr;
  if (!problem_.isEmpty()) {
    return problem_;  // a damaged package is not put in place
  }
  if (!closed) {
    return QStringLiteral("cannot finish the package %1").arg(path());
  }
  return file_.Commit(false);
}

}  // namespace trevalo
