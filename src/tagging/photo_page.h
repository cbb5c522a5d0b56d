#pragma once
// The photos tab: the photos being tagged, each with its capture time and the position
// matched from the log library, and the steps that lead the user through adding photos and
// bringing in logs. The page holds the library and the matching settings other pages read.

#include <functional>
#include <memory>

#include <QJsonArray>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include "device/logger_detection.h"
#include "library/log_library.h"
#include "library/match_settings.h"
#include "map/show_tracks.h"
#include "shell/language.h"
#include "tagging/photo_list.h"

class QDialog;
class QLabel;
class QPushButton;
class QTimer;

namespace trevalo {

class LogImportDialog;
class LogManagerDialog;
class FileDropList;
class DeviceChangeNotifier;
class LibraryProblemsLabel;
class Settings;

// Photos placed or cleared by hand in one step: each photo (by FileIdentity) with its hand
// position before and after, for undo and redo.
struct HandChange {
  struct Row {
    QString identity;
    PhotoList::HandPosition before;
    PhotoList::HandPosition after;
  };
  std::vector<Row> rows;
};

// What the user builds up on the photo page, held apart from its widgets so that a page made
// again (after a language change) carries on with the same work.
struct PhotoPageState {
  std::unique_ptr<LogLibrary> library;  // opened by the first page
  PhotoList photos;
  MatchSettings match;  // the tolerance, both corrections
  bool deleteAfterImport = false;
  QSet<QString> selection;            // the selected photos, by FileIdentity
  std::vector<HandChange> undoSteps;  // the newest last
  std::vector<HandChange> redoSteps;
};

class PhotoPage : public QWidget {
  Q_OBJECT

 public:
  enum Column { kStatus, kFileName, kDateTime, kLatitude, kLongitude, kAltitude, kPath, kLogFile };
  static constexpr int kColumnCount = 8;

  // `tree` says where mounts and hardware are read (the system's, or a test's). A page given
  // the state of an earlier page shows its photos, matches and choices; without one it
  // starts afresh.
  PhotoPage(const Settings& settings, const LanguageTexts& texts, QWidget* parent = nullptr,
            DeviceTree tree = {}, std::shared_ptr<PhotoPageState> state = nullptr);
  ~PhotoPage() override;

  // Writes the selected matched photos (and, with the show-track option, their logs'
  // tracks) for the map and asks for the map; the main window runs it when the user moves
  // from this tab to the map tab.
  void ShowMapView();

  // Adds photos with the progress window, then sorts and refreshes (the file dialog, drops
  // and "Open with" end here); a folder stands for the photos anywhere inside it.
  void AddPhotos(const QStringList& paths);
  void RemoveSelected();
  // Orders the photos by a column (a second time on the same column, the other way).
  void SortByColumn(int column);
  // Matches every photo again with the current library and settings.
  void RematchAll();
  void RefreshPageState();
  // Detects the logger again and reads its settings (device arrival and removal).
  void OnDeviceChange();
  // GPS import: the import window, then a new match of every photo.
  void ImportFromLogger();
  // Runs a window whose commands use the library; photos handed over meanwhile wait.
  int ExecOverTheLibrary(QDialog& dialog);
  // The save window for the matched photos; saved photos leave the list.
  void SavePhotos();
  // The log manager window, then a new match of every photo.
  void ShowLogManager();

  // Places by hand, each step undoable: the selected photos at a position, or at a point of
  // a log (with its altitude); a photo placed by hand at another spot (its altitude goes);
  // a photo's position cleared (a placed one goes back to what the logs say; a matched or
  // kept one has none until placed).
  void PlaceSelected(const PlacedPosition& position);
  void PlaceSelectedAtTrackPoint(const QString& logFile, std::size_t index);
  void MovePlacedPhoto(const QString& path, double latitude, double longitude);
  void ClearPosition(const QString& path);
  // Takes back the last step by hand, or makes the last one taken back again; false when
  // there is none.
  bool UndoHandChange();
  bool RedoHandChange();
  // "10:05:00, 123.4 m": the time and altitude of a point of a log, for the map's offer to
  // place photos there; empty when it cannot be read.
  QString TrackPointText(const QString& logFile, std::size_t index);
  int SelectedCount() const;

  const PhotoList& photos() const { return state_->photos; }
  LogLibrary& library() { return *state_->library; }
  const MatchSettings& matchSettings() const { return state_->match; }
  // The connected logger with the settings read from it on detection.
  const ConnectedLogger& logger() const { return logger_; }
  // The settings page changes these; each matches every photo again.
  void SetTolerance(int code);
  void SetPositionCorrection(bool enabled, int latitudeOffset, int longitudeOffset);
  void SetSummerTime(bool on);
  // Whether photos that record their clock's zone are matched at their UTC time.
  void SetPhotoZone(bool use);
  // Whether photos that carry a position keep it.
  void SetKeepPositions(bool keep);
  void SetInterpolation(bool on, int maxGapSeconds);
  // The camera time correction window; an applied correction matches every photo again.
  void CorrectCameraTime();
  // The detail view of the first selected photo.
  void ShowDetails();
  // The table export of the whole list.
  void SaveTable();
  LogImportDialog* importDialog() const { return importDialog_; }
  LogManagerDialog* logManager() const { return logManager_; }
  // The column widths the page starts with: the stored ones, else shares of `listWidth`.
  static std::vector<int> ColumnWidths(const Settings& settings, int listWidth);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 Q_SIGNALS:
  // The logger came, went, or was read again.
  void loggerChanged();
  // A map page is to be shown (the photos' page, or the tracks the log manager asked for).
  void mapRequested(const MapRequest& request);
  // Photos were placed, moved or cleared (or such a step undone): where each is now, as
  // MapPage::ShowPhotos takes it.
  void photosMoved(const QJsonArray& photos);
  // How many photos are selected changed.
  void selectionCountChanged(int count);

 private:
  // Matches every photo again off the window's thread (see RunInBackground); photos handed
  // to AddPhotos meanwhile wait until it is done.
  void MatchAllInBackground();
  // Runs work on the photos and the library off the window's thread, under a progress
  // window titled by `titleKey`; photos handed over meanwhile are added afterwards.
  void WorkOnPhotos(const QString& titleKey, const std::function<void(const Progress&)>& work);
  // Gives rows their hand positions (`forward`: the step's after, else its before), shows
  // them, and tells the map where they are now.
  void ApplyHandChange(const HandChange& change, bool forward);
  // Takes the newest step of `from`, applies it (`forward`: its after) and keeps it in `to`;
  // false when there is none, or work on the photos runs.
  bool MoveHandChange(std::vector<HandChange>& from, std::vector<HandChange>& to, bool forward);
  // Makes and applies a new step of the rows' hand positions after; the earlier steps
  // taken back are forgotten.
  void DoHandChange(const std::vector<std::size_t>& rows, const PlacedPosition* placed);
  // Adds the photos handed over while work or the log manager kept them waiting.
  void AddPhotosThatWaited();
  void ChoosePhotos();
  // Fills the list from the photos; the photos selected before stay selected. A long list
  // is filled a slice at a time (FillRows), the first at once.
  void ShowRows();
  // Fills the rows from `from` for the showing `showing` (rowsShown_), a slice now and the
  // rest on later turns of the event loop.
  void FillRows(int from, unsigned showing);
  void NoteSelection();
  // Selects that row alone and puts the focus on it.
  void SelectRow(std::size_t row);
  // One message naming each file that was not added and why; lines told while it is open
  // (photos handed over meanwhile) join it.
  void TellNotAdded(const QStringList& lines);
  // Why a photo was not added, in the language file's words.
  QString NotAddedReason(PhotoProblem kind) const;
  void ShowNotAddedLines(QMessageBox& box) const;
  // Reads the library again when another program (trevalo-cli, say) changed it; the rows
  // are then matched again.
  void PickUpLibraryChanges();

  const Settings& settings_;
  const LanguageTexts& texts_;
  DeviceTree tree_;
  DisplayFormats formats_;
  std::shared_ptr<PhotoPageState> state_;
  // Short names for the state's parts.
  LogLibrary& library_;
  PhotoList& photos_;
  MatchSettings& match_;
  ConnectedLogger logger_;
  bool columnsSized_ = false;
  unsigned rowsShown_ = 0;  // how many times the list was filled: a later showing wins
  bool fitColumns_ = true;  // the columns follow the list's width: no width set by hand
  int sortColumn_ = -1;     // the column the user ordered by, -1 for the list's own order
  bool sortDescending_ = false;
  MapRequest pendingTracks_;      // left by the log manager's show-tracks command
  bool matching_ = false;         // photos handed over wait: work on them, or the log manager, runs
  bool workingOnPhotos_ = false;  // work on another thread changes the photos (WorkOnPhotos)
  QStringList photosWaiting_;
  QPointer<QMessageBox> notAddedBox_;  // the "not added" message while it is open
  QStringList notAddedLines_;          // what it tells

  FileDropList* list_;
  QLabel* step1_;
  QLabel* step2_;
  QLabel* step3_;
  LibraryProblemsLabel* libraryProblems_;
  QLabel* corrections_;  // the corrections in force, under the steps
  QPushButton* removeButton_;
  QPushButton* saveButton_;
  QPushButton* correctionButton_;
  QPushButton* detailButton_;
  QPushButton* tableButton_;
  LogImportDialog* importDialog_;
  LogManagerDialog* logManager_;
  DeviceChangeNotifier* deviceChanges_;
};

}  // namespace trevalo
