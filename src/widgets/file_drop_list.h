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
  // The selected rows leave the list as photos to be placed (kPhotoDragType) where they are
  // dropped; never as files, so that nothing is moved or copied.
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

// The local files of a drop, in order; empty when it carries none.
QStringList DroppedFiles(const QMimeData* data);

// What a drag of photos from the list carries: how many rows it takes (the selected ones).
inline constexpr char kPhotoDragType[] = "application/x-trevalo-photos";

}  // namespace trevalo
