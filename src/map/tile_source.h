#pragma once
// Where the map pages take their background: OpenStreetMap's tile server unless the user
// gives another (a server of their own, or an offline tile server on their computer).

#include <QString>

namespace trevalo {

struct TileSource {
  QString urlTemplate;  // with {z}, {x} and {y} (and {s} for a server's subdomains)
  QString attribution;  // plain text, shown in the map's corner
};

// OpenStreetMap's standard tiles.
TileSource OpenStreetMapTiles();

// Whether `address` can be a tile server's: an http, https or file address holding {z},
// {x} and {y}.
bool IsTileAddress(const QString& address);

// The source for the stored setting: OpenStreetMap when it is empty or not a tile address;
// a user's server is credited with its host (or "local tiles" for files).
TileSource TileSourceFor(const QString& setting);

}  // namespace trevalo
