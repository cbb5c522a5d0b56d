#pragma once
// The log manager window: the logs of the library in library order (or in the order of a
// column whose header was clicked), with their colour, line width, comment, zone and times;
// logs are added from disk and removed here.

#include <QDialog>

#include "library/log_library.h"
#include "library/match_settings.h"
#include "map/show_tracks.h"
#include "shell/language.h"

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTimer;

namespace trevalo {

class FileDropList;
class LibraryProblemsLabel;
class Settings;

// The Add dialog's file types: the logs the library reads (NMEA logs and GPX tracks), GPX
// tracks alone, and every file.
QString LogFileFilter(const LanguageTexts& texts);

class LogManagerDialog : public QDialog {
  Q_OBJECT

 public:
  enum Column { kFileName, kColor, kWidth, kComment, kTimeZone, kStart, kEnd, kPath };
  static constexpr int kColumnCount = 8;

  // `match` is the photo page's: its position correction moves the lap and waypoint marks.
  LogManagerDialog(const Settings& settings, const LanguageTexts& texts, LogLibrary& library,
                   const MatchSettings& match, QWidget* parent = nullptr);

  // One row per log in library order, then the logs whose files cannot be read now; in the
  // order of the sorted column when there is one. The selection stays on the same logs.
  void RefreshList();
  // Orders the rows by the column's value (times, numbers, names with their numbers by
  // value); the same column again orders them the other way. Rows without a value (the
  // times of an unavailable log) come last either way.
  void SortByColumn(int column);
  // Reads the library again when another program changed it, and shows it.
  void PickUpOutsideChanges();
  void UpdateButtons();
  // Adds log files with the progress window and the computer's zone.
  void AddLogs(const QStringList& paths);
  // Removes the selected logs after asking (their files stay on disk).
  void RemoveSelected();
  // Writes the selected logs' tracks for the map and asks for the map.
  void ShowTracks();
  // The information editor for the first selected log; Save stores, saves and reloads.
  void EditDetails();
  // Joins the selected logs (they must not overlap in time) into one new log, which
  // replaces them in the library.
  void MergeSelected();
  // The export window, then the selected logs into one file or one file each.
  void ExportSelected();
  // The altitude and speed charts of the first selected log.
  void ShowChart();

 Q_SIGNALS:
  void tracksRequested(const MapRequest& request);

 public:
  // The default widths for a list `listWidth` wide: fifths, 50 for colour and width.
  static std::vector<int> ColumnWidths(const Settings& settings, int listWidth);

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Why a log holds no usable time, in the language file's words.
  QString NoTimesReason(ScanProblem problem) const;
  void ChooseLogs();
  // Tells a change that was not made, or a copy kept of a damaged database.
  void Tell(const LogLibrary::Change& change, const QString& objectName);
  // The library indices of the selected rows that are logs (not unavailable records), in
  // the order the rows are shown.
  std::vector<std::size_t> SelectedLogs() const;
  void ShowUnavailable(int row, const LogRecord& record, const QString& gmt, const QString& why);
  // What a row shows: a log's index, or the library's size plus an unavailable record's.
  std::size_t EntryOfRow(int row) const;
  // The entries in the order of the sorted column, or the library's.
  std::vector<std::size_t> OrderedEntries() const;

  const Settings& settings_;
  const LanguageTexts& texts_;
  LogLibrary& library_;
  const MatchSettings& match_;
  DisplayFormats formats_;
  bool columnsSized_ = false;
  std::vector<std::size_t> rowEntries_;
  int sortColumn_ = -1;  // none: the library's order
  bool sortDescending_ = false;
  // While a command runs, rows must stay where they are: changes of others are picked up
  // once it ends.
  class Busy;
  int busy_ = 0;
  bool outsideChange_ = false;
  QFileSystemWatcher* watcher_;
  QTimer* settle_;
  LibraryProblemsLabel* fileProblems_;

  FileDropList* list_;
  QPushButton* removeButton_;
  QPushButton* showTracksButton_;
  QPushButton* detailButton_;
  QPushButton* mergeButton_;
  QPushButton* exportButton_;
  QPushButton* chartButton_;
};

}  // namespace trevalo
