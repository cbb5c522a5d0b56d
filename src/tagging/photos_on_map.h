#pragma once
// The photo page's map command: the selected photos, and on request the tracks of their
// logs, written for the map page.

#include <vector>

#include <QString>

#include "library/log_library.h"
#include "library/match_settings.h"
#include "map/show_tracks.h"
#include "tagging/photo_list.h"
#include "track/progress.h"

namespace trevalo {

// The photo page's command: the matched photos among `rows` of the list into the photos
// file, or with `showTracks` into the photos-and-tracks file with the tracks of their logs.
// The photos are looked up afresh, in the order of their capture times (each log is loaded
// at most once for them), and marked in the order of `rows`; progress is told as each photo
// is read. No log keeps its points loaded afterwards (the next lookup loads what it needs).
MapRequest ShowPhotosOnMap(LogLibrary& library, const PhotoList& photos,
                           const std::vector<std::size_t>& rows, const MatchSettings& settings,
                           bool showTracks, const QString& timeFormat, const QString& folder,
                           const Progress& progress = {});

}  // namespace trevalo
