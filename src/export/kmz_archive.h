#pragma once
// A KMZ package: a zip archive whose entries (photos, then the KML document) sit at its
// root, each deflated. The archive is built beside its final name and put in place only
// when it is complete.

#include <functional>
#include <memory>

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>

#include "files/atomic_file.h"

namespace trevalo {

class KmzArchive {
 public:
  explicit KmzArchive(const QString& path);
  ~KmzArchive();
  KmzArchive(const KmzArchive&) = delete;
  KmzArchive& operator=(const KmzArchive&) = delete;

  const QString& path() const { return file_.path(); }
  // Adds the bytes of the file at `source` under `entryName`. Returns the empty text on
  // success, else why the entry could not be added.
  QString AddFile(const QString& source, const QString& entryName);
  // Adds `bytes` under `entryName`; `source` names what they are made of, for messages.
  QString AddBytes(const QByteArray& bytes, const QString& entryName, const QString& source);
  // An entry name not used yet: `name`, else "_" put in front of it until it is free.
  QString FreeEntryName(QString name) const;
  // Finishes the archive and puts it in place; the empty text on success, else why not.
  QString Close();

 private:
  // Adds an entry of `size` bytes whose blocks `nextBlock` gives (an empty block at the end;
  // false when the source failed).
  QString AddEntry(const QString& entryName, const QDateTime& modified, qint64 size,
                   const QString& source, const std::function<bool(QByteArray& block)>& nextBlock);
  AtomicFile file_;
  void* zip_ = nullptr;  // minizip's zipFile
  QString problem_;
  QSet<QString> entries_;
};

}  // namespace trevalo
