#pragma once
// The rows of the photo detail view: label key and value text for what a photo's row and
// its EXIF data say. A row whose value is empty is left out.

#include <optional>
#include <vector>

#include <QString>

#include "photo/photo_info.h"
#include "tagging/photo_list.h"

namespace trevalo {

struct DetailRow {
  QString labelKey;  // language key of the label
  QString value;
};

// `info` is empty when the photo could not be read; then only the rows that need no EXIF
// data are given.
std::vector<DetailRow> PhotoDetailRows(const PhotoRow& row, const std::optional<PhotoInfo>& info);

// "%.2f" with ".00" removed: 100 reads "100", 0.5 reads "0.50".
QString NumberText(double value);
// The flash value as text; empty for a fired value of no known kind.
QString FlashText(int flash);
QString ExposureProgramText(int program);

}  // namespace trevalo
