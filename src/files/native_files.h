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

// Opens `path` for reading when it is a regular file (or a link to one). Anything else (a
// FIFO, a device, a socket, a folder) is refused, and never opened in a way that could wait
// for a writer or read without end. Returns the descriptor (close-on-exec), or -1 with
// `problem` set to the reason (and errno to the system's, or EINVAL for a file that is not
// regular).
int OpenRegularFile(const QString& path, QString& problem);

// Why a file of this mode is not read or written as a file: "it is a FIFO, not a regular
// file" and the like; empty for a regular file.
QString NotARegularFile(unsigned mode);

// Opens `file` on `path` for reading, as OpenRegularFile. Returns the empty text, else the
// reason.
QString OpenForReading(QFile& file, const QString& path);

// The C library's text for errno.
QString SystemReason();

}  // namespace trevalo
