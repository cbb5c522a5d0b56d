#pragma once
// The file-system calls the engine makes on the files a user names, with every name passed
// as its own bytes (NativePath), where QFile, QFileInfo and QDir would pass a name that is
// not UTF-8 as another one.

#include <QFile>
#include <QString>
#include <QStringList>

namespace trevalo {

// A file, folder or link (even a dangling one) of that name is there.
bool PathExists(const QString& path);
// A folder, or a link to one.
bool IsFolder(const QString& path);
// The path made absolute against the current folder, without "." and "..".
QString AbsolutePath(const QString& path);
// The current folder.
QString CurrentFolder();
// Creates the folder and any missing folder above it; true when it is there.
bool MakeFolders(const QString& path);
// The names in a folder, without "." and ".."; empty when it cannot be read.
QStringList FolderEntries(const QString& folder);

// Opens `file` on `path` for reading. Returns the empty text, else the system's reason.
QString OpenForReading(QFile& file, const QString& path);

// The C library's text for errno.
QString SystemReason();

}  // namespace trevalo
