#pragma once
// The "trevalo:" URL scheme through which the embedded web views show the program's own
// pages: the map pages installed with the program and the chart pages and marker files it
// writes. Qt WebEngine shows a local file as a page only when its name ends in .html, and
// these pages are named .trh and .cht; served through the scheme, each gets its type from
// its extension. An address is "trevalo://pages/NAME" plus an optional query.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

#include "app/app_folders.h"

namespace trevalo {

// Registers the scheme; must run before the QApplication is created.
void RegisterPageScheme();

// The address of a page served from the scheme's folders.
QUrl PageUrl(const QString& name, const QString& query = {});

class PageSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  // Serves files found in `folders`, the first folder that has a file winning.
  PageSchemeHandler(QStringList folders, QObject* parent);
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  QStringList folders_;
};

// Serves the folders to every view of `profile`.
void InstallPageScheme(QWebEngineProfile* profile, const QStringList& folders);

// The folders of the program's pages: the installed map pages, the map library (Debian's
// libjs-leaflet) and the folder the program writes marker files and chart pages into.
QStringList ProgramPageFolders(const AppFolders& folders);

}  // namespace trevalo
