#include "map/map_page.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "map/tile_source.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/image_capture.h"
#include "widgets/page_scheme.h"

namespace trevalo {
namespace {

// A language text as a coordinate: its number, or `fallback` when it is 0 or no number.
double NumberOr(const QString& text, double fallback) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  return ok && value != 0 ? value : fallback;
}

// The popups' labels of the user's language, for the page's script (trevalo-map.js).
QWebEngineScript LabelScript(const LanguageTexts& texts) {
  static const char* const kLabelKeys[] = {
      "MAP_LABEL_START",   "MAP_LABEL_END",      "MAP_LABEL_LAP",     "MAP_LABEL_TOTAL",
      "MAP_LABEL_TIME",    "MAP_LABEL_DISTANCE", "MAP_LABEL_ELAPSED", "MAP_LABEL_SPEED",
      "MAP_LABEL_MAXALT",  "MAP_LABEL_MINALT",   "MAP_LABEL_AVGALT",  "MAP_LABEL_ASCENT",
      "MAP_LABEL_DESCENT", "MAP_LABEL_ALTITUDE", "MAP_LABEL_NOTILES"};
  QJsonObject labels;
  for (const char* key : kLabelKeys) {
    const QString text = texts.Text(QLatin1String(key));
    if (text != kLanguageSection) {
      labels.insert(QLatin1String(key), text);
    }
  }
  QWebEngineScript script;
  script.setName(QStringLiteral("trevalo-labels"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(
      QStringLiteral("window.TrevaloLabels = %1;")
          .arg(QString::fromUtf8(QJsonDocument(labels).toJson(QJsonDocument::Compact))));
  return script;
}

// The tile server of the settings, for the page's script.
QWebEngineScript TilesScript(const Settings& settings) {
  const TileSource source = TileSourceFor(settings.ReadSetting(setting::kMapTileServer));
  QJsonObject tiles;
  tiles.insert(QStringLiteral("url"), source.urlTemplate);
  tiles.insert(QStringLiteral("attribution"), source.attribution);
  QWebEngineScript script;
  script.setName(QStringLiteral("trevalo-tiles"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(
      QStringLiteral("window.TrevaloTiles = %1;")
          .arg(QString::fromUtf8(QJsonDocument(tiles).toJson(QJsonDocument::Compact))));
  return script;
}

QString Encoded(const QString& part) {
  return QString::fromLatin1(QUrl::toPercentEncoding(part));
}

}  // namespace

MapWebPage::MapWebPage(QObject* parent) : QWebEnginePage(parent) {
  // A change of the fragment alone is not a navigation the hook sees: it has happened by
  // the time the address changes. The page's address is put back without the fragment
  // (no reload), which cancels it, and lets the same link change the address again.
  connect(this, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
    if (RunCommand(url)) {
      runJavaScript(
          QStringLiteral("history.replaceState(history.state, '', "
                         "location.href.split('#')[0]);"));
    }
  });
}

bool MapWebPage::RunCommand(const QUrl& url) {
  const QString address = url.toString();
  bool handled = false;
  if (address.contains(QStringLiteral("#CMD_ABOUT_BOX"))) {
    // The About window runs its own event loop: not inside the engine's notification.
    QTimer::singleShot(0, this, &MapWebPage::aboutRequested);
    handled = true;
  }
  if (address.contains(QStringLiteral("#CMD_QUIT"))) {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  }
  return handled;
}

bool MapWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (RunCommand(url)) {
    return false;
  }
  return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

MapPage::MapPage(const Settings& settings, const LanguageTexts& texts, QWidget* parent)
    : QWidget(parent), settings_(settings), texts_(texts), view_(new QWebEngineView(this)) {
  setObjectName(QStringLiteral("mapPage"));
  mapFile_ = texts.Text(QStringLiteral("MAP_FILE"));
  defaultLatitude_ = NumberOr(texts.Text(QStringLiteral("MAP_DEFAULT_LAT")), defaultLatitude_);
  defaultLongitude_ = NumberOr(texts.Text(QStringLiteral("MAP_DEFAULT_LONG")), defaultLongitude_);

  auto* page = new MapWebPage(view_);
  page->scripts().insert(LabelScript(texts));
  connect(page, &MapWebPage::aboutRequested, this, &MapPage::aboutRequested);
  view_->setPage(page);
  // The program's pages are local; the map's background tiles come from a tile server.
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  view_->setObjectName(QStringLiteral("mapView"));
  auto* capture = new QPushButton(QStringLiteral("Capture"), this);
  capture->setObjectName(QStringLiteral("captureButton"));
  capture->setFixedSize(200, 24);
  connect(capture, &QPushButton::clicked, this, &MapPage::CaptureMap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 6);
  layout->addWidget(view_, 1);
  layout->addWidget(capture, 0, Qt::AlignRight);

  ShowDefaultPage(defaultLatitude_, defaultLongitude_, QString());
}

QUrl MapPage::PageAddress(const QString& page, double latitude, double longitude,
                          const QString& photoPath, bool withPhoto) {
  QString query = QString::asprintf("%f?%f", latitude, longitude);
  if (withPhoto) {
    query += u'?' + Encoded(photoPath) + u'?' + Encoded(QFileInfo(photoPath).fileName());
  }
  QUrl url = PageUrl(page);
  url.setQuery(query, QUrl::StrictMode);
  return url;
}

void MapPage::Navigate(const QUrl& address) {
  currentAddress_ = address;
  // The tile server may have changed on the settings page since the last page.
  QWebEngineScriptCollection& scripts = view_->page()->scripts();
  for (const QWebEngineScript& earlier : scripts.find(QStringLiteral("trevalo-tiles"))) {
    scripts.remove(earlier);
  }
  scripts.insert(TilesScript(settings_));
  view_->setUrl(address);
}

void MapPage::ShowDefaultPage(double latitude, double longitude, const QString& photoPath) {
  Navigate(PageAddress(mapFile_, latitude, longitude, photoPath, true));
}

void MapPage::ShowPhotoTracksPage(double latitude, double longitude, const QString& photoPath) {
  Navigate(PageAddress(QStringLiteral("MapViewXml.trh"), latitude, longitude, photoPath, true));
}

void MapPage::ShowPhotoPage(double latitude, double longitude, const QString& photoPath) {
  Navigate(PageAddress(QStringLiteral("MapViewXmlImg.trh"), latitude, longitude, photoPath, true));
}

void MapPage::ShowTracksPage(double latitude, double longitude) {
  Navigate(PageAddress(QStringLiteral("MapViewXmlTracks.trh"), latitude, longitude, {}, false));
}

void MapPage::Show(const MapRequest& request) {
  switch (request.file) {
    case MarkerFile::kPhotosAndTracks:
      ShowPhotoTracksPage(request.latitude, request.longitude, request.photoPath);
      break;
    case MarkerFile::kPhotos:
      ShowPhotoPage(request.latitude, request.longitude, request.photoPath);
      break;
    case MarkerFile::kTracks:
      ShowTracksPage(request.latitude, request.longitude);
      break;
  }
}

void MapPage::CaptureMap() {
  const int w = width();
  const int h = height();
  const QRect crop = settings_.ReadFlag(setting::kSupportSkin)
                         ? QRect(QPoint(12, 12), QPoint(w - 13 - 1, h - 38 - 1))
                         : QRect(QPoint(15, 24), QPoint(w - 12 - 1, h - 38 - 1));
  CaptureWindowToJpeg(this, QStringLiteral("Capture"), crop, texts_,
                      settings_.folders().picturesFolder);
}

void MapPage::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace trevalo
