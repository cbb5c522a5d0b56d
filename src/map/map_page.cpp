#include "map/map_page.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "map/tile_source.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/file_drop_list.h"
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
      "MAP_LABEL_START",     "MAP_LABEL_END",      "MAP_LABEL_LAP",     "MAP_LABEL_TOTAL",
      "MAP_LABEL_TIME",      "MAP_LABEL_DISTANCE", "MAP_LABEL_ELAPSED", "MAP_LABEL_SPEED",
      "MAP_LABEL_MAXALT",    "MAP_LABEL_MINALT",   "MAP_LABEL_AVGALT",  "MAP_LABEL_ASCENT",
      "MAP_LABEL_DESCENT",   "MAP_LABEL_ALTITUDE", "MAP_LABEL_NOTILES", "MAP_LABEL_PHOTOS",
      "MAP_LABEL_MORE",      "MAP_LABEL_ZOOMIN",   "MAP_LABEL_CLEAR",   "MAP_LABEL_PLACEHERE",
      "MAP_LABEL_PLACETRACK"};
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

// Qt's client of the web channel, put in every page before its own scripts run.
QWebEngineScript ChannelScript() {
  QFile client(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  client.open(QIODevice::ReadOnly);
  QWebEngineScript script;
  script.setName(QStringLiteral("trevalo-channel"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(QString::fromUtf8(client.readAll()));
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

void MapPlacer::SetPhotosToPlace(int count) {
  if (count != photosToPlace_) {
    photosToPlace_ = count;
    Q_EMIT photosToPlaceChanged();
  }
}

void MapPlacer::place(double latitude, double longitude) {
  Q_EMIT placeRequested(latitude, longitude);
}

void MapPlacer::placeAtTrackPoint(int line, int index) {
  Q_EMIT placeAtTrackPointRequested(line, index);
}

QString MapPlacer::trackPointText(int line, int index) {
  return describeTrackPoint ? describeTrackPoint(line, index) : QString();
}

void MapPlacer::move(const QString& path, double latitude, double longitude) {
  Q_EMIT moveRequested(path, latitude, longitude);
}

void MapPlacer::clear(const QString& path) {
  Q_EMIT clearRequested(path);
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
    : QWidget(parent),
      settings_(settings),
      texts_(texts),
      view_(new QWebEngineView(this)),
      placer_(new MapPlacer(this)) {
  setObjectName(QStringLiteral("mapPage"));
  mapFile_ = texts.Text(QStringLiteral("MAP_FILE"));
  defaultLatitude_ = NumberOr(texts.Text(QStringLiteral("MAP_DEFAULT_LAT")), defaultLatitude_);
  defaultLongitude_ = NumberOr(texts.Text(QStringLiteral("MAP_DEFAULT_LONG")), defaultLongitude_);

  auto* page = new MapWebPage(view_);
  page->scripts().insert(LabelScript(texts));
  page->scripts().insert(ChannelScript());
  auto* channel = new QWebChannel(page);
  channel->registerObject(QStringLiteral("trevaloPlacer"), placer_);
  page->setWebChannel(channel);
  connect(page, &MapWebPage::aboutRequested, this, &MapPage::aboutRequested);
  // The view's surface, which takes the keys, comes with its first page.
  connect(view_, &QWebEngineView::loadFinished, this, [this] {
    if (QWidget* surface = view_->focusProxy()) {
      surface->removeEventFilter(this);
      surface->installEventFilter(this);
    }
  });
  // The page counts a drawn track's lines; the program knows their logs.
  const auto logOfLine = [this](int line) -> std::optional<QString> {
    if (line < 0 || line >= lineLogs_.size()) {
      return std::nullopt;
    }
    return lineLogs_[line];
  };
  connect(placer_, &MapPlacer::placeRequested, this, [this](double latitude, double longitude) {
    const PlacedPosition position{latitude, longitude, std::nullopt};
    if (IsPlaceablePosition(position)) {
      Q_EMIT placeRequested(position);
    }
  });
  connect(placer_, &MapPlacer::placeAtTrackPointRequested, this,
          [this, logOfLine](int line, int index) {
            if (const std::optional<QString> log = logOfLine(line); log && index >= 0) {
              Q_EMIT placeAtTrackPointRequested(*log, static_cast<std::size_t>(index));
            }
          });
  connect(placer_, &MapPlacer::moveRequested, this,
          [this](const QString& path, double latitude, double longitude) {
            if (IsPlaceablePosition({latitude, longitude, std::nullopt})) {
              Q_EMIT moveRequested(path, latitude, longitude);
            }
          });
  connect(placer_, &MapPlacer::clearRequested, this, &MapPage::clearRequested);
  placer_->describeTrackPoint = [this, logOfLine](int line, int index) {
    const std::optional<QString> log = logOfLine(line);
    return log && index >= 0 && describeTrackPoint_
               ? describeTrackPoint_(*log, static_cast<std::size_t>(index))
               : QString();
  };
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
  lineLogs_.clear();
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

void MapPage::SetPhotosToPlace(int count) {
  placer_->SetPhotosToPlace(count);
}

void MapPage::ShowPhotos(const QJsonArray& photos) {
  view_->page()->runJavaScript(
      QStringLiteral("window.TrevaloMap && TrevaloMap.showPhotos(%1);")
          .arg(QString::fromUtf8(QJsonDocument(photos).toJson(QJsonDocument::Compact))));
}

void MapPage::SetTrackPointText(
    std::function<QString(const QString& logFile, std::size_t index)> describe) {
  describeTrackPoint_ = std::move(describe);
}

void MapPage::Show(const MapRequest& request) {
  lineLogs_ = request.lineLogs;
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

bool MapPage::eventFilter(QObject* watched, QEvent* event) {
  // Photos dragged from the photo list are placed where they are dropped.
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
      event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasFormat(QLatin1String(kPhotoDragType))) {
      return QWidget::eventFilter(watched, event);
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) {
      const QPointF at = drop->position();
      view_->page()->runJavaScript(
          QStringLiteral("(() => { if (!window.trevaloMap) return null;"
                         " const l = trevaloMap.containerPointToLatLng([%1, %2]).wrap();"
                         " return [l.lat, l.lng]; })()")
              .arg(at.x())
              .arg(at.y()),
          [this](const QVariant& result) {
            const QVariantList where = result.toList();
            const PlacedPosition position{where.value(0).toDouble(), where.value(1).toDouble(),
                                          std::nullopt};
            if (where.size() == 2 && IsPlaceablePosition(position)) {
              Q_EMIT placeRequested(position);
            }
          });
    }
    return true;
  }
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool undo = key->matches(QKeySequence::Undo);
    const bool redo = key->matches(QKeySequence::Redo);
    if (undo || redo) {
      // Taken here, so that neither the page nor the window's own shortcut sees it.
      event->accept();
      if (event->type() == QEvent::KeyPress) {
        if (undo) {
          Q_EMIT undoRequested();
        } else {
          Q_EMIT redoRequested();
        }
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
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
