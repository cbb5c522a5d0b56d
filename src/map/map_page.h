#pragma once
// The map tab: a web view showing the program's map pages, which draw the marker files on
// an online map, and a button that saves the visible map as a JPEG file.

#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

#include "map/show_tracks.h"

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

  const QUrl& currentAddress() const { return currentAddress_; }
  QWebEngineView* view() const { return view_; }
  double defaultLatitude() const { return defaultLatitude_; }
  double defaultLongitude() const { return defaultLongitude_; }

 Q_SIGNALS:
  void aboutRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Navigate(const QUrl& address);

  const Settings& settings_;
  const LanguageTexts& texts_;
  QString mapFile_;
  double defaultLatitude_ = 35.624931;
  double defaultLongitude_ = 139.571926;
  QUrl currentAddress_;
  QWebEngineView* view_;
};

}  // namespace trevalo
