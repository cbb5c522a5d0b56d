#pragma once
// File names as the system has them. On Linux a name is bytes, not text, and Qt 6 reads
// every name as UTF-8, turning bytes that are not UTF-8 into U+FFFD: such a file can then
// be neither opened nor told apart from others. These two functions carry any bytes through
// a QString and back unchanged: a byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80..U+DCFF (as Python's "surrogateescape" does), which no valid text holds.
//
// Every path the engine hands to the system goes through NativePath, never through
// QFile::encodeName (nor through QFile, QFileInfo or QDir calls that reach the file system,
// which encode with it); see native_files.h for the file-system calls the engine needs.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace trevalo {

// The bytes of the file name `path` stands for.
QByteArray NativePath(QStringView path);
// A file name from the system (an argument, a folder entry, a link) as text.
QString PathFromNative(QByteArrayView bytes);

// The text with each byte that is not UTF-8 written as "\xHH", for printed names and
// messages: visible, and never sent to a terminal raw.
QString VisibleText(const QString& text);

// Whether `c` at `index` of `text` stands for a byte that is not UTF-8; that byte is then
// the low eight bits of `c`.
bool IsEscapedByte(QStringView text, qsizetype index);

}  // namespace trevalo
