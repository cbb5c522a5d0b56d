#include "widgets/column_widths.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>

#include "shell/settings.h"

namespace trevalo {
namespace {

void WriteColumnWidths(const std::vector<int>& widths, const Settings& settings,
                       const QString& prefix) {
  QList<QPair<QString, QString>> values;
  for (std::size_t column = 0; column < widths.size(); ++column) {
    values.append({setting::ColumnWidthKey(prefix, static_cast<int>(column)),
                   QString::number(widths[column])});
  }
  settings.WriteSettings(values);
}

// Writes the widths a moment after the last resize, and at once if the list goes away
// while one is waiting. It keeps the widths itself: when it goes with the list, the list is
// already half destroyed.
class WidthKeeper : public QObject {
 public:
  WidthKeeper(QTableWidget* list, const Settings& settings, QString prefix)
      : QObject(list), settings_(settings), prefix_(std::move(prefix)) {
    for (int column = 0; column < list->columnCount(); ++column) {
      widths_.push_back(list->columnWidth(column));
    }
    timer_.setSingleShot(true);
    timer_.setInterval(150);
    connect(&timer_, &QTimer::timeout, this,
            [this] { WriteColumnWidths(widths_, settings_, prefix_); });
    connect(list->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
              if (column >= 0 && static_cast<std::size_t>(column) < widths_.size()) {
                widths_[static_cast<std::size_t>(column)] = width;
                timer_.start();
              }
            });
  }
  ~WidthKeeper() override {
    if (timer_.isActive()) {
      WriteColumnWidths(widths_, settings_, prefix_);
    }
  }

 private:
  const Settings& settings_;
  QString prefix_;
  std::vector<int> widths_;
  QTimer timer_;
};

}  // namespace

std::vector<int> StoredColumnWidths(const Settings& settings, const QString& prefix,
                                    std::span<const int> defaults) {
  std::vector<int> widths;
  for (std::size_t column = 0; column < defaults.size(); ++column) {
    const int stored =
        settings.ReadSettingInt(setting::ColumnWidthKey(prefix, static_cast<int>(column)));
    widths.push_back(stored > 0 ? stored : defaults[column]);
  }
  return widths;
}

void ApplyColumnWidths(QTableWidget* list, std::span<const int> widths) {
  const QSignalBlocker quiet(list->horizontalHeader());
  for (std::size_t column = 0; column < widths.size(); ++column) {
    list->setColumnWidth(static_cast<int>(column), std::max(widths[column], 16));
  }
}

void KeepColumnWidths(QTableWidget* list, const Settings& settings, const QString& prefix) {
  new WidthKeeper(list, settings, prefix);
}

}  // namespace trevalo
