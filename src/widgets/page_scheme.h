#pragma once
// The "trevalo:" URL scheme through which the embedded web views show the program's own
// pages: the map pages installed with the program and the chart pages and marker files it
// writes. Qt WebEngine shows a local file as a page only when its name ends in .html, and
// these pages are named .trh and .cht; served through the scheme, each gets its type from
// its extension. An address is "trevalo://pages/NAME" plus an optional query.
//
// "trevalo://previews/photo?path=PATH" is the small preview of a photo that a map popup
// shows, made by the program from the photo (never the file's own bytes).

#include <functional>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

#include "shell/app_folders.h"

namespace trevalo {

// Registers the scheme; must run before the QApplication is created.
void RegisterPageScheme();

// The address of a page served from the scheme's folders.
QUrl PageUrl(const QString& name, const QString& query = {});

// A photo's preview as JPEG data; empty when the file is no photo that can be shown.
using PhotoPreviewMaker = std::function<QByteArray(const QString& photoPath)>;

class PageSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  // Serves files found in `folders`, the first folder that has a file winning, and the
  // previews `previews` makes (none without it).
  PageSchemeHandler(QStringList folders, PhotoPreviewMaker previews, QObject* parent);
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  void ServePreview(QWebEngineUrlRequestJob* job);

  QStringList folders_;
  PhotoPreviewMaker previews_;
};

// Serves the folders and the photo previews to every view of `profile`.
void InstallPageScheme(QWebEngineProfile* profile, const QStringList& folders,
                       PhotoPreviewMaker previews = {});

// The folders of the program's pages: the installed map pages, the map library (Debian's
// libjs-leaflet) and the folder the program writes marker files and chart pages into.
QStringList ProgramPageFolders(const AppFolders& folders);

}  // namespace trevalo
