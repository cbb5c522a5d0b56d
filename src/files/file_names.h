#pragma once
// File-name rules shared by every place that turns a name the user typed, or a log's file
// name, into the name of a file the program writes.

#include <QString>

namespace trevalo {

// A name with each of \ / : * ? " < > | replaced by "_".
QString CleanFileName(QString name);

// A log's file name without its extension (from the last dot on; a name without one stays
// whole), the stem of the files a batch export writes for it: "x.log" and "x.nmea" give "x".
QString BatchStem(const QString& logFileName);

}  // namespace trevalo
