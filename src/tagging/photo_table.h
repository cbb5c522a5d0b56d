#pragma once
// The photo list as a comma-separated table.

#include <QString>

#include <vector>

#include "tagging/photo_list.h"
#include "track/progress.h"

namespace trevalo {

// The photo list as a table at `path`: the header text as it is, then per row its number
// (from 1) and its file name, date, latitude, longitude, altitude, path and log, in code page
// 949 or, when it lacks a character of them, UTF-8 (`inUtf8` says which). Returns the empty
// text on success, else why the file could not be written.
QString WritePhotoTable(const QString& path, const QString& header,
                        const std::vector<PhotoRow>& rows, const Progress& progress = {},
                        bool* inUtf8 = nullptr);

}  // namespace trevalo
