#include "library/log_merge.h"

#include <algorithm>
#include <cstring>

#include <QFile>
#include <QFileInfo>

#include "core/atomic_file.h"
#include "core/native_files.h"

namespace trevalo {
namespace {

// The position of the first sentence start that begins a part: "$GP", "@TR" or "@QN".
qsizetype FirstPartStart(const QByteArray& bytes) {
  for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '$' && c != '@') {
      continue;
    }
    const char a = bytes[i + 1];
    const char b = bytes[i + 2];
    if ((c == '$' && a == 'G' && b == 'P') ||
        (c == '@' && ((a == 'T' && b == 'R') || (a == 'Q' && b == 'N')))) {
      return i;
    }
  }
  return -1;
}

}  // namespace

MergePlan PrepareMerge(const LogLibrary& library, std::vector<std::size_t> rows) {
  MergePlan plan;
  std::sort(rows.begin(), rows.end());
  for (std::size_t k = 1; k < rows.size(); ++k) {
    const GPSLog& previous = library.log(rows[k - 1]);
    const GPSLog& log = library.log(rows[k]);
    const auto within = [&](TimeValue t) {
      return t >= previous.localStart() && t <= previous.localEnd();
    };
    if (within(log.localStart()) || within(log.localEnd())) {
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

QString WriteMergedLog(const QStringList& sources, const QString& output, QStringList* skipped) {
  QByteArray merged;
  for (const QString& source : sources) {
    QFile file;
    if (const QString reason = OpenForReading(file, source); !reason.isEmpty()) {
      if (skipped != nullptr) {
        skipped->append(QStringLiteral("%1: %2").arg(source, reason));
      }
      continue;
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
  return WriteFileAtomically(
      output,
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(merged.constData()),
                                    static_cast<std::size_t>(merged.size())),
      true);
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
  if (const QString problem = WriteMergedLog(sources, output, &outcome.skipped);
      !problem.isEmpty()) {
    return {MergeOutcome::kWriteFailed, problem, outcome.skipped};
  }
  // The merged log first; the sources leave only when it is in.
  if (library.AddLog(output, 0, 0, plan.timeZone) != LogLibrary::AddResult::kAdded) {
    return {MergeOutcome::kNotAdded,
            QStringLiteral("%1 holds no usable time; the logs stay in the library").arg(output),
            outcome.skipped};
  }
  for (const QString& source : sources) {
    library.RemoveLogByPath(source);
  }
  return outcome;
}

}  // namespace trevalo
