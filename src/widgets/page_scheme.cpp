#include "widgets/page_scheme.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "files/native_files.h"

namespace trevalo {
namespace {

constexpr char kScheme[] = "trevalo";
constexpr char kHost[] = "pages";
constexpr char kPreviewHost[] = "previews";

QByteArray MimeType(const QString& name) {
  const QString suffix = QFileInfo(name).suffix().toLower();
  if (suffix == u"xml") {
    return "application/xml";
  }
  if (suffix == u"js") {
    return "text/javascript";
  }
  if (suffix == u"css") {
    return "text/css";
  }
  if (suffix == u"png") {
    return "image/png";
  }
  if (suffix == u"svg") {
    return "image/svg+xml";
  }
  return "text/html";  // .trh, .cht, .html
}

}  // namespace

void RegisterPageScheme() {
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                  QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl PageUrl(const QString& name, const QString& query) {
  QUrl url;
  url.setScheme(QLatin1String(kScheme));
  url.setHost(QLatin1String(kHost));
  url.setPath(u'/' + name);
  if (!query.isEmpty()) {
    url.setQuery(query);
  }
  return url;
}

PageSchemeHandler::PageSchemeHandler(QStringList folders, PhotoPreviewMaker previews,
                                     QObject* parent)
    : QWebEngineUrlSchemeHandler(parent),
      folders_(std::move(folders)),
      previews_(std::move(previews)) {}

void PageSchemeHandler::ServePreview(QWebEngineUrlRequestJob* job) {
  const QString path =
      QUrlQuery(job->requestUrl()).queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded);
  const QByteArray jpeg = previews_ && job->requestUrl().path() == u"/photo" && !path.isEmpty()
                              ? previews_(path)
                              : QByteArray();
  if (jpeg.isEmpty()) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* buffer = new QBuffer(job);
  buffer->setData(jpeg);
  buffer->open(QIODevice::ReadOnly);
  job->reply("image/jpeg", buffer);
}

void PageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  if (job->requestUrl().host() == QLatin1String(kPreviewHost)) {
    ServePreview(job);
    return;
  }
  // Only plain names: nothing outside the folders can be reached.
  const QString name = job->requestUrl().path().mid(1);
  if (job->requestUrl().host() != QLatin1String(kHost) || name.isEmpty() || name.contains(u'/') ||
      name.contains(u'\\') || name == u"..") {
    job->fail(QWebEngineUrlRequestJob::UrlInvalid);
    return;
  }
  for (const QString& folder : folders_) {
    QFile file;
    if (!OpenForReading(file, QDir(folder).filePath(name)).isEmpty()) {
      continue;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(file.readAll());
    buffer->open(QIODevice::ReadOnly);
    job->reply(MimeType(name), buffer);
    return;
  }
  job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

QStringList ProgramPageFolders(const AppFolders& folders) {
  return {folders.dataFolder + QStringLiteral("/web"),
          QStringLiteral("/usr/share/javascript/leaflet"), folders.cacheFolder};
}

void InstallPageScheme(QWebEngineProfile* profile, const QStringList& folders,
                       PhotoPreviewMaker previews) {
  // A profile keeps the first handler of a scheme: an earlier one is taken away first.
  if (const QWebEngineUrlSchemeHandler* earlier = profile->urlSchemeHandler(kScheme)) {
    profile->removeUrlScheme(kScheme);
    delete earlier;
  }
  profile->installUrlSchemeHandler(kScheme,
                                   new PageSchemeHandler(folders, std::move(previews), profile));
}

}  // namespace trevalo
