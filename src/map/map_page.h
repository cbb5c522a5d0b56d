#pragma once
// The map tab: a web view showing the program's map pages, which draw the marker files on
// an online map, and a button that saves the visible map as a JPEG file.

#include <functional>
#include <optional>
#include <vector>

#include <QJsonArray>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

#include "map/show_tracks.h"
#include "track/placed_point.h"

class QPushButton;
class QWebEngineView;

namespace trevalo {

class LanguageTexts;
class Settings;

// The web page of the embedded views: addresses with "#CMD_ABOUT_BOX" open the About
// window instead, "#CMD_QUIT" ends the program.
class MapWebPage : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit MapWebPage(QObject* parent = nullptr);

 Q_SIGNALS:
  void aboutRequested();

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

 private:
  // True when the address is the program's own command (then it is not shown).
  bool RunCommand(const QUrl& url);
};

// The program's side of the map pages, which their script reaches through a web channel:
// the photos selected in the photo list can be placed at a spot or at a drawn track's point,
// and photos moved or cleared. Each call of the page becomes a request of the map page.
class MapPlacer : public QObject {
  Q_OBJECT
  Q_PROPERTY(int photosToPlace READ photosToPlace NOTIFY photosToPlaceChanged)

 public:
  using QObject::QObject;
  int photosToPlace() const { return photosToPlace_; }
  void SetPhotosToPlace(int count);

 public Q_SLOTS:
  // Called by the page's script.
  void place(double latitude, double longitude);
  void placeAtTrackPoint(int line, int index);
  QString trackPointText(int line, int index);
  void move(const QString& path, double latitude, double longitude);
  void clear(const QString& path);

 Q_SIGNALS:
  void photosToPlaceChanged();
  void placeRequested(double latitude, double longitude);
  void placeAtTrackPointRequested(int line, int index);
  void moveRequested(const QString& path, double latitude, double longitude);
  void clearRequested(const QString& path);

 public:
  std::function<QString(int line, int index)> describeTrackPoint;

 private:
  int photosToPlace_ = 0;
};

class MapPage : public QWidget {
  Q_OBJECT

 public:
  MapPage(const Settings& settings, const LanguageTexts& texts, QWidget* parent = nullptr);

  // "page?latitude?longitude?path?name" (each part percent-encoded) through the pages'
  // scheme; the tracks page takes the centre only.
  static QUrl PageAddress(const QString& page, double latitude, double longitude,
                          const QString& photoPath, bool withPhoto);

  void ShowDefaultPage(double latitude, double longitude, const QString& photoPath);
  void ShowPhotoTracksPage(double latitude, double longitude, const QString& photoPath);
  void ShowPhotoPage(double latitude, double longitude, const QString& photoPath);
  void ShowTracksPage(double latitude, double longitude);
  // Opens the page a map command asked for.
  void Show(const MapRequest& request);
  void CaptureMap();

  // How many photos a click on the map places (those selected in the photo list).
  void SetPhotosToPlace(int count);
  // Where photos are now, after a change by hand or its undo: each {path, name, lat, lng,
  // placed}, or {path} for a photo without a position (TrevaloMap.showPhotos).
  void ShowPhotos(const QJsonArray& photos);
  // Tells what the point `index` of a drawn log's line is (its time and altitude), for the
  // offer to place photos there.
  void SetTrackPointText(
      std::function<QString(const QString& logFile, std::size_t index)> describe);
  MapPlacer* placer() const { return placer_; }

  const QUrl& currentAddress() const { return currentAddress_; }
  QWebEngineView* view() const { return view_; }
  double defaultLatitude() const { return defaultLatitude_; }
  double defaultLongitude() const { return defaultLongitude_; }

 Q_SIGNALS:
  void aboutRequested();
  // The page asks to place the selected photos at a spot, or at the point `index` of the
  // line of the log `log` of the library; to move a photo placed by hand, or to clear one.
  void placeRequested(const PlacedPosition& position);
  void placeAtTrackPointRequested(const QString& logFile, std::size_t index);
  void moveRequested(const QString& path, double latitude, double longitude);
  void clearRequested(const QString& path);
  // Undo and redo asked for on the map (Ctrl+Z, Ctrl+Shift+Z), which the page would
  // otherwise take for its own.
  void undoRequested();
  void redoRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Undo and redo keys on the map are the program's: the page would take them as its own
  // editing commands.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Navigate(const QUrl& address);

  const Settings& settings_;
  const LanguageTexts& texts_;
  QString mapFile_;
  double defaultLatitude_ = 35.624931;
  double defaultLongitude_ = 139.571926;
  QUrl currentAddress_;
  QWebEngineView* view_;
  MapPlacer* placer_;
  QStringList lineLogs_;  // the files of the logs of the drawn lines, in their order
  std::function<QString(const QString& logFile, std::size_t index)> describeTrackPoint_;
};

}  // namespace trevalo
