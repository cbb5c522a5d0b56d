#pragma once
// Loaded logs kept on disk, so that a long log is read and parsed once, not each time a
// window, a command or the next photo's match needs its points again (only one log is held
// at a time, and every command is a fresh process).
//
// An entry holds a log's scan and its packed points as this build holds them, under the
// file's stamp (device, inode, size, modification and change times) and the zone they were
// read with: a log rewritten, grown or replaced has another stamp and is read again, and
// its entry is replaced. Entries are written whole or not at all (a temporary file renamed
// over the entry) and carry checksums, so one cut short by a crash or damaged on disk is
// read as absent; every record is checked before it is used. Losing the cache loses
// nothing: it only saves time.

#include <cstdint>
#include <optional>

#include <QString>

#include "core/file_identity.h"
#include "core/log_reader.h"
#include "core/packed_points.h"

namespace trevalo {

class PointsCache {
 public:
  // Logs below this size load faster than an entry is written and checked.
  static constexpr std::int64_t kLeastLogBytes = 4 << 20;
  // The entries together stay within this; those used longest ago go first.
  static constexpr std::int64_t kMostBytes = std::int64_t{1} << 30;

  explicit PointsCache(QString folder, std::int64_t leastLogBytes = kLeastLogBytes,
                       std::int64_t mostBytes = kMostBytes);

  struct Entry {
    ScanResult scan;
    std::int32_t deviceValueCount = 0;
    PackedPoints points;
  };

  // The scan kept for the file with `stamp` read at `effectiveZone`.
  std::optional<ScanResult> FindScan(const FileStamp& stamp, int effectiveZone) const;
  // The whole entry, when it is kept and intact.
  std::optional<Entry> Find(const FileStamp& stamp, int effectiveZone) const;
  // Keeps a log's successful load (nothing for a small log, or points a record could not
  // hold). A failure to write (a full disk, a folder that cannot be made) leaves no entry.
  void Keep(const FileStamp& stamp, int effectiveZone, const ScanResult& scan,
            std::int32_t deviceValueCount, const PackedPoints& points) const;

  const QString& folder() const { return folder_; }
  // The entry's file for a stamp and zone, for tests.
  QString EntryPath(const FileStamp& stamp, int effectiveZone) const;

 private:
  // Drops the entries used longest ago while the folder holds more than mostBytes_.
  void Trim() const;

  QString folder_;
  std::int64_t leastLogBytes_;
  std::int64_t mostBytes_;
};

}  // namespace trevalo
