#include "tagging/photo_list.h"

#include <algorithm>
#include <unordered_map>

#include <QFileInfo>

#include "files/file_identity.h"
#include "files/natural_order.h"
#include "photo/capture_time.h"
#include "photo/photo_metadata.h"
#include "track/c_numbers.h"
#include "track/geodesy.h"
#include "track/parallel_work.h"

namespace trevalo {

std::optional<ShownPosition> PositionOf(const PhotoRow& row, PositionCorrection correction) {
  if (row.placed) {
    return ShownPosition{row.placed->latitude, row.placed->longitude};
  }
  if (row.kept) {
    return ShownPosition{row.ownPosition->latitude, row.ownPosition->longitude};
  }
  if (row.matched) {
    const Coordinate position = BuildPosition(row.point, correction);
    return ShownPosition{position.latitudeDegrees, position.longitudeDegrees};
  }
  return std::nullopt;
}

std::optional<std::size_t> PhotoList::Match(PhotoRow& row, LogLibrary& library,
                                            const MatchSettings& settings,
                                            const DisplayFormats& formats) const {
  const std::optional<TimeValue> time = CaptureTime(row.exifDate);
  row.captureTime =
      time ? *time + static_cast<TimeValue>(std::llround(settings.CameraCorrectionAt(*time))) : 0;
  // A photo without a date shows none, rather than the start of the calendar.
  row.dateText = time ? FormatTime(row.captureTime, formats.timeFormat) : QString();
  // A position given by hand (or taken away) stands before what a log or the photo says.
  row.kept =
      !row.placed && !row.cleared && settings.keepExistingPositions && row.ownPosition.has_value();
  if (row.kept || row.placed || row.cleared) {
    row.matched = row.byPhotoZone = false;
    row.between.reset();
    row.problem.clear();
    row.latitudeText.clear();
    row.longitudeText.clear();
    row.altitudeText.clear();
    row.logFile.clear();
    if (row.kept) {
      row.latitudeText = DegreesText(row.ownPosition->latitude, true, formats.longLatFormat);
      row.longitudeText = DegreesText(row.ownPosition->longitude, false, formats.longLatFormat);
    } else if (row.placed) {
      row.point = PlacedPoint(*row.placed);
      row.latitudeText = LatitudeText(row.point, settings, formats.longLatFormat);
      row.longitudeText = LongitudeText(row.point, settings, formats.longLatFormat);
      row.altitudeText = row.placed->altitude ? AltitudeText(row.point) : QString();
    }
    return std::nullopt;
  }
  const MatchResult result = MatchPhotoTime(library, row.exifDate, settings, row.capture);
  row.matched = result.matched;
  row.byPhotoZone = result.byPhotoZone && result.matched;
  row.pointIndex = result.pointIndex;
  row.point = result.point;
  row.between = result.between;
  row.problem = !result.dateProblem.isEmpty()
                    ? QStringLiteral("the capture date %1 is impossible").arg(result.dateProblem)
                    : result.logProblem;
  // A JPEG without a date is simply not matched, as it always was; any other photo is
  // told why its sidecar cannot be written.
  if (row.problem.isEmpty() && !row.jpeg && row.exifDate.empty()) {
    row.problem = QString::fromLatin1(kNoCaptureTime);
  }
  if (row.matched) {
    row.latitudeText = LatitudeText(result.point, settings, formats.longLatFormat);
    row.longitudeText = LongitudeText(result.point, settings, formats.longLatFormat);
    row.altitudeText = AltitudeText(result.point);
    row.logFile = library.log(*result.logIndex).filePath();
  } else {
    row.latitudeText.clear();
    row.longitudeText.clear();
    row.altitudeText.clear();
    row.logFile.clear();
  }
  return result.logIndex;
}

PhotoList::AddResult PhotoList::AddPhoto(const QString& path, LogLibrary& library,
                                         const MatchSettings& settings,
                                         const DisplayFormats& formats, QString* problem) {
  Added added = AddPhotos({path}, library, settings, formats).front();
  if (problem != nullptr && added.result == AddResult::kUnreadable) {
    *problem = std::move(added.problem);
  }
  return added.result;
}

std::vector<PhotoList::Added> PhotoList::AddPhotos(const QStringList& paths, LogLibrary& library,
                                                   const MatchSettings& settings,
                                                   const DisplayFormats& formats,
                                                   const Progress& progress) {
  const auto count = static_cast<std::size_t>(paths.size());
  std::vector<QString> identities(count);
  ForEachInParallel(count, [&](std::size_t i) {
    identities[i] = FileIdentity(paths[static_cast<qsizetype>(i)]);
  });
  // A photo listed before is not read again; one given twice here is read for each path,
  // as its problem names the path.
  std::vector<PhotoMetadata> photos(count);
  ForEachInParallel(
      count,
      [&](std::size_t i) {
        if (!rowOfIdentity_.contains(identities[i])) {
          photos[i] = ReadPhotoMetadata(paths[static_cast<qsizetype>(i)]);
        }
      },
      [&](std::size_t i) {
        if (progress) {
          progress(i, count, paths[static_cast<qsizetype>(i)]);
        }
      });
  std::vector<Added> added(count);
  std::vector<std::size_t> newRows;
  for (std::size_t i = 0; i < count; ++i) {
    if (const auto row = rowOfIdentity_.constFind(identities[i]); row != rowOfIdentity_.cend()) {
      added[i] = {AddResult::kAlreadyThere, *row, {}};
      continue;
    }
    const PhotoMetadata& photo = photos[i];
    if (!photo.read) {
      added[i] = {AddResult::kUnreadable, 0, photo.problem, photo.problemKind};
      continue;
    }
    PhotoRow row;
    row.path = paths[static_cast<qsizetype>(i)];
    row.identity = identities[i];
    row.fileName = QFileInfo(row.path).fileName();
    row.exifDate = photo.info.dateTime;
    row.capture = CaptureDetailOf(photo.info);
    row.ownPosition = OwnPositionOf(photo.gps);
    row.jpeg = photo.jpeg;
    row.pixelWidth = photo.info.width;
    rowOfIdentity_.insert(row.identity, rows_.size());
    added[i] = {AddResult::kAdded, rows_.size(), {}};
    newRows.push_back(rows_.size());
    rows_.push_back(std::move(row));
  }
  MatchInTimeOrder(newRows, library, settings, formats);
  return added;
}

void PhotoList::MatchInTimeOrder(const std::vector<std::size_t>& indices, LogLibrary& library,
                                 const MatchSettings& settings, const DisplayFormats& formats) {
  // EXIF dates ("YYYY:MM:DD hh:mm:ss") order as the times they name; the camera correction
  // moves them all alike.
  std::vector<std::size_t> byTime = indices;
  std::stable_sort(byTime.begin(), byTime.end(), [&](std::size_t a, std::size_t b) {
    return rows_[a].exifDate < rows_[b].exifDate;
  });
  std::vector<std::size_t> active = library.activeLogs();
  std::unordered_map<std::size_t, std::size_t> used;  // row -> the log its lookup used
  for (const std::size_t i : byTime) {
    if (const std::optional<std::size_t> log = Match(rows_[i], library, settings, formats)) {
      used[i] = *log;
    }
  }
  // Later work (a photo document's line styles and laps) takes the active logs in the order
  // the lookups first used them: the order of the rows, as it always was.
  for (const std::size_t i : indices) {
    if (const auto log = used.find(i); log != used.end()) {
      active.push_back(log->second);
    }
  }
  library.SetActiveLogs(active);
}

void PhotoList::RematchAll(LogLibrary& library, const MatchSettings& settings,
                           const DisplayFormats& formats, const Progress& progress) {
  std::vector<PhotoMetadata> photos(rows_.size());
  ForEachInParallel(
      rows_.size(), [&](std::size_t i) { photos[i] = ReadPhotoMetadata(rows_[i].path); },
      [&](std::size_t i) {
        if (progress) {
          progress(i, rows_.size(), rows_[i].path);
        }
      });
  std::vector<std::size_t> readable;
  readable.reserve(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    PhotoRow& row = rows_[i];
    const PhotoMetadata& photo = photos[i];
    if (!photo.read) {
      // No stale position stays on a photo that can no longer be read.
      row.problem = photo.problem;
      row.matched = false;
      row.latitudeText.clear();
      row.longitudeText.clear();
      row.altitudeText.clear();
      row.logFile.clear();
      continue;
    }
    row.problem.clear();
    row.exifDate = photo.info.dateTime;
    row.capture = CaptureDetailOf(photo.info);
    row.ownPosition = OwnPositionOf(photo.gps);
    row.jpeg = photo.jpeg;
    row.pixelWidth = photo.info.width;
    readable.push_back(i);
  }
  MatchInTimeOrder(readable, library, settings, formats);
  if (progress) {
    progress(rows_.size(), rows_.size(), {});
  }
}

void PhotoList::Sort() {
  std::stable_sort(rows_.begin(), rows_.end(), [](const PhotoRow& a, const PhotoRow& b) {
    return QStringView(a.dateText).compare(QStringView(b.dateText), Qt::CaseSensitive) < 0;
  });
  IndexRows();
}

namespace {

// The number a row is ordered by in a numeric column; nullopt when it has none.
std::optional<double> NumberOf(const PhotoRow& row, PhotoList::Order order) {
  using Order = PhotoList::Order;
  if (order == Order::kDateTaken) {
    return row.captureTime != 0 ? std::optional<double>(static_cast<double>(row.captureTime))
                                : std::nullopt;
  }
  if (row.kept) {
    return order == Order::kLatitude    ? std::optional<double>(row.ownPosition->latitude)
           : order == Order::kLongitude ? std::optional<double>(row.ownPosition->longitude)
                                        : std::nullopt;
  }
  if (!row.matched && !row.placed) {
    return std::nullopt;
  }
  if (order == Order::kAltitude && row.placed && !row.placed->altitude) {
    return std::nullopt;
  }
  Coordinate position(row.point);
  position.Convert(0, 0);
  switch (order) {
    case Order::kLatitude:
      return position.latitudeDegrees;
    case Order::kLongitude:
      return position.longitudeDegrees;
    default:
      return position.altitudeMetres;
  }
}

const QString& TextOf(const PhotoRow& row, PhotoList::Order order) {
  switch (order) {
    case PhotoList::Order::kFileName:
      return row.fileName;
    case PhotoList::Order::kPath:
      return row.path;
    default:
      return row.logFile;
  }
}

}  // namespace

void PhotoList::SortBy(Order order, bool descending) {
  SortRowsBy(order, descending);
  IndexRows();
}

void PhotoList::SortRowsBy(Order order, bool descending) {
  const auto ordered = [descending](const auto& a, const auto& b) {
    return descending ? b < a : a < b;
  };
  switch (order) {
    case Order::kMatch:
      std::stable_sort(rows_.begin(), rows_.end(), [&](const PhotoRow& a, const PhotoRow& b) {
        return ordered(a.matched, b.matched);
      });
      return;
    case Order::kFileName:
    case Order::kPath:
    case Order::kLogFile: {
      std::stable_sort(rows_.begin(), rows_.end(), [&](const PhotoRow& a, const PhotoRow& b) {
        const QString& left = TextOf(a, order);
        const QString& right = TextOf(b, order);
        if (left.isEmpty() != right.isEmpty()) {
          return right.isEmpty();
        }
        const int compared = NaturalCompare(left, right);
        return descending ? compared > 0 : compared < 0;
      });
      return;
    }
    default:
      std::stable_sort(rows_.begin(), rows_.end(), [&](const PhotoRow& a, const PhotoRow& b) {
        const std::optional<double> left = NumberOf(a, order);
        const std::optional<double> right = NumberOf(b, order);
        if (left.has_value() != right.has_value()) {
          return left.has_value();
        }
        return left.has_value() && ordered(*left, *right);
      });
  }
}

void PhotoList::Remove(std::size_t index) {
  if (index < rows_.size()) {
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    IndexRows();
  }
}

void PhotoList::RemoveRows(const std::vector<bool>& remove) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (i >= remove.size() || !remove[i]) {
      if (kept != i) {
        rows_[kept] = std::move(rows_[i]);
      }
      ++kept;
    }
  }
  rows_.resize(kept);
  IndexRows();
}

void PhotoList::IndexRows() {
  rowOfIdentity_.clear();
  rowOfIdentity_.reserve(static_cast<qsizetype>(rows_.size()));
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rowOfIdentity_.insert(rows_[i].identity, i);
  }
}

std::optional<std::size_t> PhotoList::Find(const QString& path) const {
  return FindIdentity(FileIdentity(path));
}

void PhotoList::SetHandPositions(const std::vector<std::pair<std::size_t, HandPosition>>& changes,
                                 LogLibrary& library, const MatchSettings& settings,
                                 const DisplayFormats& formats) {
  std::vector<std::size_t> changed;
  for (const auto& [index, hand] : changes) {
    if (index < rows_.size()) {
      rows_[index].placed = hand.placed;
      rows_[index].cleared = hand.cleared;
      changed.push_back(index);
    }
  }
  MatchInTimeOrder(changed, library, settings, formats);
}

std::optional<std::size_t> PhotoList::FindIdentity(const QString& identity) const {
  const auto row = rowOfIdentity_.constFind(identity);
  return row == rowOfIdentity_.cend() ? std::nullopt : std::optional<std::size_t>(*row);
}

bool PhotoList::AnyToSave() const {
  return std::any_of(rows_.begin(), rows_.end(),
                     [](const PhotoRow& r) { return r.matched || r.placed; });
}

}  // namespace trevalo
