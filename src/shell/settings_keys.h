#pragma once
// Every key of the settings file (section "Wayfable"), with the capacities readers use.

#include <QString>

namespace trevalo::setting {

inline const QString kSection = QStringLiteral("Wayfable");

inline const QString kLangFile = QStringLiteral("LANG_FILE");
inline const QString kTimeTolerance = QStringLiteral("TIME_TOLERANCE");
inline const QString kSupportSkin = QStringLiteral("SUPPORT_SKIN");
inline const QString kTagApply = QStringLiteral("OPT_TAG_APPLY");
inline const QString kShowTrack = QStringLiteral("OPT_SHOWTRACK");
inline const QString kWaypointApply = QStringLiteral("OPT_WAYPOINT_APPLY");
inline const QString kSummerTime = QStringLiteral("OPT_SUMMERTIME");
inline const QString kInterpolate = QStringLiteral("OPT_INTERPOLATE");
inline const QString kInterpolateMaxGap = QStringLiteral("INTERPOLATE_MAX_GAP");
// "1": photos that record their clock's zone are matched by the camera's clock like others.
inline const QString kIgnorePhotoZone = QStringLiteral("OPT_IGNORE_PHOTO_ZONE");
// "1": photos that already carry a position are left as they are.
inline const QString kKeepPositions = QStringLiteral("OPT_KEEP_POSITIONS");
// "1": XMP sidecars are named IMG_1.xmp (Adobe); otherwise IMG_1.CR3.xmp.
inline const QString kSidecarBaseName = QStringLiteral("OPT_SIDECAR_BASENAME");
// The map's tile server address ({z}/{x}/{y}); empty: OpenStreetMap.
inline const QString kMapTileServer = QStringLiteral("MAP_TILE_SERVER");
inline const QString kWindowRect = QStringLiteral("WINDOW_RECT");
inline const QString kWindowPlacementLeft = QStringLiteral("WINDOW_PLACEMENT_LEFT");
inline const QString kWindowPlacementTop = QStringLiteral("WINDOW_PLACEMENT_TOP");
inline const QString kWindowPlacementRight = QStringLiteral("WINDOW_PLACEMENT_RIGHT");
inline const QString kWindowPlacementBottom = QStringLiteral("WINDOW_PLACEMENT_BOTTOM");
inline const QString kWindowRectLeft = QStringLiteral("WINDOW_RECT_LEFT");
inline const QString kWindowRectTop = QStringLiteral("WINDOW_RECT_TOP");
inline const QString kWindowRectRight = QStringLiteral("WINDOW_RECT_RIGHT");
inline const QString kWindowRectBottom = QStringLiteral("WINDOW_RECT_BOTTOM");
inline const QString kPathOpen = QStringLiteral("PATH_OPEN");
inline const QString kPathLog = QStringLiteral("PATH_LOG");
inline const QString kPathSave = QStringLiteral("PATH_SAVE");
inline const QString kPathExport = QStringLiteral("PATH_EXPORT");
inline const QString kPathSaveExcel = QStringLiteral("PATH_SAVE_EXCEL");

// Column width keys: prefix + column number ("LC_MAIN_W_0" ... "LC_MAIN_W_7").
inline const QString kPhotoListColumnPrefix = QStringLiteral("LC_MAIN_W_");
inline const QString kLogListColumnPrefix = QStringLiteral("LC_GPSMAN_W_");
inline const QString kDetailListColumnPrefix = QStringLiteral("LC_DETAIL_W_");
inline QString ColumnWidthKey(const QString& prefix, int column) {
  return prefix + QString::number(column);
}

// Read capacities in characters; longer values are cut.
inline constexpr int kValueCapacity = 510;
inline constexpr int kFolderCapacity = 1024;
inline constexpr int kSaveFolderCapacity = 2048;  // PATH_SAVE
inline constexpr int kLanguageFileCapacity = 2048;

}  // namespace trevalo::setting
