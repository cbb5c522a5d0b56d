#include "widgets/file_drop_list.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

namespace trevalo {

QStringList DroppedFiles(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) {
    return paths;
  }
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      paths << url.toLocalFile();
    }
  }
  return paths;
}

FileDropList::FileDropList(QWidget* parent) : QTableWidget(parent) {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  verticalHeader()->hide();
}

void FileDropList::startDrag(Qt::DropActions /*supportedActions*/) {
  const qsizetype rows = selectionModel()->selectedRows().size();
  if (rows == 0) {
    return;
  }
  auto* data = new QMimeData;
  data->setData(QLatin1String(kPhotoDragType), QByteArray::number(rows));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction);
}

void FileDropList::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void FileDropList::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void FileDropList::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedFiles(event->mimeData());
  if (paths.isEmpty()) {
    return;
  }
  event->acceptProposedAction();
  Q_EMIT filesDropped(paths);
}

}  // namespace trevalo
