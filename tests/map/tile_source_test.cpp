#include <gtest/gtest.h>

#include "map/tile_source.h"

namespace trevalo {
namespace {

TEST(TileSource, AnAddressNeedsTheThreeNumbersAndAServerOrAFolder) {
  for (const char* good :
       {"https://tile.openstreetmap.org/{z}/{x}/{y}.png", "http://localhost:8080/{z}/{x}/{y}.png",
        "http://{s}.tiles.example.net/hike/{z}/{y}/{x}", " http://192.168.1.5/t/{z}/{x}/{y}.jpg ",
        "file:///home/me/tiles/{z}/{x}/{y}.png"}) {
    EXPECT_TRUE(IsTileAddress(QString::fromUtf8(good))) << good;
  }
  for (const char* bad :
       {"", "https://tile.openstreetmap.org/", "https://example.net/{z}/{x}.png",
        "ftp://example.net/{z}/{x}/{y}.png", "javascript:alert(1)//{z}{x}{y}",
        "tiles/{z}/{x}/{y}.png", "http:///{z}/{x}/{y}.png", "http://exa mple.net/{z}/{x}/{y}"}) {
    EXPECT_FALSE(IsTileAddress(QString::fromUtf8(bad))) << bad;
  }
}

TEST(TileSource, TheUsersServerIsCreditedAndOpenStreetMapIsTheDefault) {
  EXPECT_EQ(TileSourceFor({}).urlTemplate, OpenStreetMapTiles().urlTemplate);
  EXPECT_TRUE(TileSourceFor({}).attribution.contains(QStringLiteral("OpenStreetMap")));
  // A stored address that cannot be one (edited by hand, say) is not used.
  EXPECT_EQ(TileSourceFor(QStringLiteral("not an address")).urlTemplate,
            OpenStreetMapTiles().urlTemplate);

  const TileSource own =
      TileSourceFor(QStringLiteral(" http://maps.example.org:81/{z}/{x}/{y}.png"));
  EXPECT_EQ(own.urlTemplate, QStringLiteral("http://maps.example.org:81/{z}/{x}/{y}.png"));
  EXPECT_EQ(own.attribution, QStringLiteral("Tiles: maps.example.org"));
  EXPECT_EQ(TileSourceFor(QStringLiteral("file:///srv/tiles/{z}/{x}/{y}.png")).attribution,
            QStringLiteral("Tiles: local tiles"));
}

}  // namespace
}  // namespace trevalo
