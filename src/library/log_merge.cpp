#include "library/log_merge.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <QFile>
#include <QFileInfo>

#include "files/atomic_file.h"
#include "files/byte_source.h"
#include "files/native_files.h"
#include "files/native_path.h"
#include "logs/gps_log.h"
#include "logs/log_format.h"
#include "nmea/log_reader.h"
#include "nmea/nmea_talker.h"

namespace trevalo {
namespace {

// The position of the first sentence start that begins a part: '$' with a talker, "@TR" or
// "@QN".
qsizetype FirstPartStart(const QByteArray& bytes) {
  for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '$' && c != '@') {
      continue;
    }
    const char a = bytes[i + 1];
    const char b = bytes[i + 2];
    if ((c == '$' && IsNavigationTalker(a, b)) ||
        (c == '@' && ((a == 'T' && b == 'R') || (a == 'Q' && b == 'N')))) {
      return i;
    }
  }
  return -1;
}

void AppendSentence(QByteArray& out, char start, const std::string& body) {
  out += start;
  out += QByteArray::fromStdString(body);
  if (start == '$') {
    unsigned char checksum = 0;
    for (const char c : body) {
      checksum ^= static_cast<unsigned char>(c);
    }
    out += QByteArray::number(checksum, 16).toUpper().rightJustified(2, '0').prepend('*');
  }
  out += "\r\n";
}

// Packed ddmm.mmmmmm of a point's coordinate, as the NMEA fields carry it.
std::string PackedText(double packed, int degreeDigits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*.6f", degreeDigits + 10, packed);
  return text;
}

// A log of another format as the sentences of a logger log: per point the GGA (when it has
// an altitude) and the RMC, each mark before the RMC it marks, all in UTC. The merged log is
// an NMEA log and reads back as the same points.
QByteArray SentencesOf(const QString& path, QStringList* skipped) {
  GPSLog log(path, 0, 0, GPSLog::ReadAtOnce{});
  if (!log.LoadPoints()) {
    if (skipped != nullptr) {
      skipped->append(QStringLiteral("%1: %2").arg(path, log.loadProblem()));
    }
    return {};
  }
  QByteArray out;
  for (const TrackPoint& p : log.points()) {
    const std::optional<CalendarFields> t = BreakDown(p.utcTime);
    if (!t) {
      continue;
    }
    char time[16];
    char date[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d.000", t->hour, t->minute, t->second);
    std::snprintf(date, sizeof date, "%02d%02d%02d", t->day, t->month, t->year % 100);
    const bool placed = p.latitude != 0 || p.longitude != 0;
    const std::string place = placed ? PackedText(p.latitude, 2) + "," + p.latitudeRef + "," +
                                           PackedText(p.longitude, 3) + "," + p.longitudeRef
                                     : std::string(",,,");
    char motion[64];
    std::snprintf(motion, sizeof motion, "%.3f,%.2f", p.speed / 1.852, p.course);
    const std::string rmc = std::string(time) + (p.isValid ? ",A," : ",V,") + place + "," + motion +
                            "," + date + ",,,A";
    if (p.ggaMatchesRmc) {
      char altitude[32];
      std::snprintf(altitude, sizeof altitude, "%.1f", p.SignedAltitude());
      AppendSentence(out, '$',
                     "GPGGA," + std::string(time) + "," + place + "," +
                         (p.isValid ? (p.differential ? "2" : "1") : "0") + "," +
                         std::to_string(p.satellitesInView) + ",," + altitude + ",M,,M,,");
    }
    if (p.isLap) {
      AppendSentence(out, '@', "TRRMC," + rmc);
    }
    if (p.isWaypoint) {
      AppendSentence(out, '@', "WPRMC," + rmc);
    }
    AppendSentence(out, '$', "GPRMC," + rmc);
  }
  return out;
}

}  // namespace

MergePlan PrepareMerge(const LogLibrary& library, std::vector<std::size_t> rows) {
  MergePlan plan;
  std::sort(rows.begin(), rows.end());
  for (std::size_t k = 1; k < rows.size(); ++k) {
    const GPSLog& previous = library.log(rows[k - 1]);
    const GPSLog& log = library.log(rows[k]);
    // In UTC: logs of different zones overlap when their true spans do.
    const auto within = [&](TimeValue t) {
      return t >= previous.utcStart() && t <= previous.utcEnd();
    };
    if (within(log.utcStart()) || within(log.utcEnd())) {
      plan.timeConflict = true;
    }
    if (rows[k] != rows[k - 1] + 1) {
      plan.discontinuous = true;
    }
  }
  if (!rows.empty()) {
    const GPSLog& first = library.log(rows.front());
    plan.timeZone = first.timeZone();
    plan.proposedName = first.fileName();
    if (plan.proposedName.toLower().contains(QStringLiteral(".log"))) {
      plan.proposedName =
          QStringLiteral("M_") + plan.proposedName.left(plan.proposedName.lastIndexOf(u'.'));
    }
  }
  return plan;
}

QByteArray MergedLogBytes(const QStringList& sources, QStringList* skipped) {
  QByteArray merged;
  for (const QString& source : sources) {
    QFile file;
    if (const QString reason = OpenForReading(file, source); !reason.isEmpty()) {
      if (skipped != nullptr) {
        skipped->append(QStringLiteral("%1: %2").arg(source, reason));
      }
      continue;
    }
    {
      FileByteSource head(source);
      if (&LogFormatFor(head) != &NmeaLogFormat()) {
        merged += SentencesOf(source, skipped);
        continue;
      }
    }
    const QByteArray bytes = file.readAll();
    const qsizetype start = FirstPartStart(bytes);
    if (start < 0) {
      continue;
    }
    QByteArray part = bytes.mid(start);
    part.removeIf([](char c) { return c == '\0'; });
    merged += part;
    if (!part.isEmpty() && !part.endsWith('\n')) {
      merged += "\r\n";
    }
  }
  return merged;
}

MergeOutcome MergeLogs(LogLibrary& library, const std::vector<std::size_t>& rows,
                       const QString& output) {
  std::vector<std::size_t> sorted = rows;
  std::sort(sorted.begin(), sorted.end());
  const MergePlan plan = PrepareMerge(library, sorted);
  if (plan.timeConflict) {
    return {MergeOutcome::kTimeConflict, QStringLiteral("the logs overlap in time"), {}};
  }
  if (library.Contains(output)) {
    return {MergeOutcome::kOutputInLibrary,
            QStringLiteral("%1 is already in the library").arg(output),
            {}};
  }
  QStringList sources;
  for (const std::size_t row : sorted) {
    sources << library.log(row).filePath();
  }
  MergeOutcome outcome{MergeOutcome::kMerged, {}, {}};
  const QByteArray merged = MergedLogBytes(sources, &outcome.skipped);
  // A merged log the library would refuse is not written at all.
  MemoryByteSource bytes(
      std::string_view(merged.constData(), static_cast<std::size_t>(merged.size())));
  if (!ScanLog(bytes, plan.timeZone).hasTimes) {
    return {
        MergeOutcome::kNotAdded,
        QStringLiteral("%1 would hold no usable time; the logs stay in the library").arg(output),
        outcome.skipped};
  }
  const LogRecord record{output, 0, 0, {}, plan.timeZone};
  if (const QString problem = RecordProblem(record); !problem.isEmpty()) {
    return {MergeOutcome::kNotAdded,
            QStringLiteral("%1: cannot be kept in the library: %2").arg(output, problem),
            outcome.skipped};
  }
  const bool existed = PathExists(output);
  bool written = false;
  // Under the library's lock: the merged file appears under its name only together with
  // its entry, and the sources leave in the same save.
  const LogLibrary::Change change =
      library.Transact([&](std::vector<LogRecord>& records, LogLibrary::Change& refused) {
        if (library.Contains(output)) {
          outcome = {MergeOutcome::kOutputInLibrary,
                     QStringLiteral("%1 is already in the library").arg(output), outcome.skipped};
          return false;
        }
        std::vector<std::size_t> gone;
        for (const QString& source : sources) {
          const std::optional<std::size_t> at = library.Find(source);
          if (!at) {
            refused = {LogLibrary::ChangeResult::kNotInLibrary,
                       QStringLiteral("%1 is no longer in the library").arg(source),
                       {}};
            return false;
          }
          gone.push_back(*at);
        }
        const QString problem = WriteFileAtomically(
            output,
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(merged.constData()),
                                          static_cast<std::size_t>(merged.size())),
            true);
        if (!problem.isEmpty()) {
          outcome = {MergeOutcome::kWriteFailed, problem, outcome.skipped};
          return false;
        }
        written = true;
        std::sort(gone.begin(), gone.end());
        for (auto at = gone.rbegin(); at != gone.rend(); ++at) {
          records.erase(records.begin() + static_cast<std::ptrdiff_t>(*at));
        }
        records.push_back(record);
        return true;
      });
  if (outcome.result != MergeOutcome::kMerged) {
    return outcome;
  }
  if (!change.done()) {
    if (written && !existed) {
      ::unlink(NativePath(output).constData());  // a later try must not find it in the way
    }
    return {change.result == LogLibrary::ChangeResult::kNotInLibrary ? MergeOutcome::kNotAdded
                                                                     : MergeOutcome::kNotSaved,
            change.problem, outcome.skipped};
  }
  outcome.notice = change.notice;
  return outcome;
}

}  // namespace trevalo
