#include "map/tile_source.h"

#include <QUrl>

namespace trevalo {

TileSource OpenStreetMapTiles() {
  return {QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"),
          QStringLiteral("\u00A9 OpenStreetMap contributors")};
}

bool IsTileAddress(const QString& address) {
  const QString trimmed = address.trimmed();
  for (const QString& part :
       {QStringLiteral("{z}"), QStringLiteral("{x}"), QStringLiteral("{y}")}) {
    if (!trimmed.contains(part)) {
      return false;
    }
  }
  // The braces are not valid in an address; what is around them must be.
  QString sample = trimmed;
  sample.replace(QStringLiteral("{s}"), QStringLiteral("a"))
      .replace(QStringLiteral("{z}"), QStringLiteral("1"))
      .replace(QStringLiteral("{x}"), QStringLiteral("1"))
      .replace(QStringLiteral("{y}"), QStringLiteral("1"));
  const QUrl url(sample, QUrl::StrictMode);
  if (!url.isValid()) {
    return false;
  }
  const QString scheme = url.scheme().toLower();
  if (scheme == u"file") {
    return !url.path().isEmpty();
  }
  return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

TileSource TileSourceFor(const QString& setting) {
  if (!IsTileAddress(setting)) {
    return OpenStreetMapTiles();
  }
  const QString address = setting.trimmed();
  const QUrl url(QString(address).replace(QStringLiteral("{s}"), QStringLiteral("a")));
  const QString host = url.scheme().compare(u"file", Qt::CaseInsensitive) == 0
                           ? QStringLiteral("local tiles")
                           : url.host();
  return {address, QStringLiteral("Tiles: %1").arg(host)};
}

}  // namespace trevalo
