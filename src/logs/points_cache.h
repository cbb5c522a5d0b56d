#pragma once
// Loaded logs kept on disk, so that a long log is read and parsed once, not each time a
// window, a command or the next photo's match needs its points again (only one log is held
// at a time, and every command is a fresh process).
//
// An entry holds a log's scan and its packed points as this build holds them, under the
// file's stamp (device, inode, size, modification and change times), the zone they were
// read with and the program that read them: a log rewritten, grown or replaced has another
// stamp and is read again, and its entry is replaced; a new build reads every log afresh.
// Entries are written whole or not at all (a temporary file renamed over the entry, never
// through a link) and carry checksums, so one cut short by a crash or damaged on disk is
// read as absent; every record is checked before it is used. Losing the cache loses
// nothing: it only saves time.

#include <cstdint>
#include <optional>

#include <QString>

#include "files/file_identity.h"
#include "track/log_reading.h"
#include "track/packed_points.h"

namespace trevalo {

class PointsCache {
 public:
  struct Limits {
    // Smaller logs load faster than an entry is written and checked.
    std::int64_t leastLogBytes = 4 << 20;
    // The entries together stay within this; those used longest ago go first. An entry of
    // more than half of it is not kept.
    std::int64_t mostBytes = std::int64_t{1} << 30;
    // What a write leaves free on the disk at least (and a twentieth of the disk): the
    // cache never takes the room the user's own files need.
    std::int64_t leastFreeBytes = 256 << 20;
    // A log changed this recently may still be changing within one tick of the file
    // system's clock, which its stamp would not show: it is not kept.
    int settledSeconds = 2;
    // The program whose entries these are: an entry another build wrote is absent, as its
    // readers may have read the file otherwise. Default: this program's executable.
    std::optional<FileStamp> program;
  };

  explicit PointsCache(QString folder);
  PointsCache(QString folder, Limits limits);

  struct Entry {
    ScanResult scan;
    std::int32_t deviceValueCount = 0;
    PackedPoints points;
  };

  // The scan kept for the file with `stamp` read at `effectiveZone` (the entry's header is
  // checked, and that its size can hold the points it counts).
  std::optional<ScanResult> FindScan(const FileStamp& stamp, int effectiveZone) const;
  // The whole entry, when it is kept and intact.
  std::optional<Entry> Find(const FileStamp& stamp, int effectiveZone) const;
  // Keeps a log's successful load, when the rules of Limits allow and a record could hold
  // every point. A failure to write (a full disk, a folder that cannot be made) leaves no
  // entry and is not an error: the cache only saves time.
  void Keep(const FileStamp& stamp, int effectiveZone, const ScanResult& scan,
            std::int32_t deviceValueCount, const PackedPoints& points) const;

  const QString& folder() const { return folder_; }
  // The entry's file for a stamp and zone, for tests.
  QString EntryPath(const FileStamp& stamp, int effectiveZone) const;

 private:
  // Whether entries are kept for a log with `stamp`: the program is known (an entry of
  // an unknown program could be any build's) and the log is long enough.
  bool Serves(const FileStamp& stamp) const;
  // Whether `bytes` more may be written in the folder (see Limits::leastFreeBytes).
  bool RoomFor(std::int64_t bytes) const;
  // Drops the entries used longest ago while the folder holds more than mostBytes.
  void Trim() const;

  QString folder_;
  Limits limits_;
  FileStamp program_;
};

}  // namespace trevalo
