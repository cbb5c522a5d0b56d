#pragma once
// Report lists whose column widths the user sets: a width stored in the settings file
// (prefix + column number) wins when it is above 0, and every width is written back once
// the user has finished resizing.

#include <span>
#include <vector>

#include <QString>

class QTableWidget;

namespace trevalo {

class Settings;

// The stored widths, or `defaults` where none (or 0) is stored.
std::vector<int> StoredColumnWidths(const Settings& settings, const QString& prefix,
                                    std::span<const int> defaults);
// Gives the list's columns these widths.
void ApplyColumnWidths(QTableWidget* list, std::span<const int> widths);
// From now on writes all of the list's widths under the prefix once a resize has come to
// rest (and when the list goes away in the middle of one).
void KeepColumnWidths(QTableWidget* list, const Settings& settings, const QString& prefix);

}  // namespace trevalo
