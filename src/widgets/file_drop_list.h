#pragma once
// A report list that hands files dropped on it to its owner.

#include <QStringList>
#include <QTableWidget>

namespace trevalo {

class FileDropList : public QTableWidget {
  Q_OBJECT

 public:
  explicit FileDropList(QWidget* parent = nullptr);

 Q_SIGNALS:
  // Local files dropped on the list, in the order they were delivered.
  void filesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

// The local files of a drop, in order; empty when it carries none.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace trevalo
