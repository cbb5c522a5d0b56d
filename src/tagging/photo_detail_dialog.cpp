#include "tagging/photo_detail_dialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "photo/photo_metadata.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_details.h"
#include "tagging/photo_preview.h"
#include "widgets/column_widths.h"
#include "widgets/image_capture.h"

namespace trevalo {

PhotoDetailDialog::PhotoDetailDialog(const Settings& settings, const LanguageTexts& texts,
                                     PhotoList& photos, std::size_t row, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      photos_(photos),
      row_(row),
      preview_(new QLabel(this)),
      details_(new QTableWidget(this)) {
  setObjectName(QStringLiteral("detailDialog"));
  preview_->setObjectName(QStringLiteral("preview"));
  preview_->setFixedSize(640, 480);
  preview_->setAlignment(Qt::AlignCenter);
  details_->setObjectName(QStringLiteral("detailList"));
  details_->installEventFilter(this);
  details_->setColumnCount(2);
  details_->setHorizontalHeaderLabels({texts.Text(QStringLiteral("IMGINFO_LIST_INFO")),
                                       texts.Text(QStringLiteral("IMGINFO_LIST_DETAIL"))});
  details_->verticalHeader()->hide();
  details_->setSelectionBehavior(QAbstractItemView::SelectRows);
  details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  details_->setMinimumWidth(380);

  const auto button = [this](const QString& text, const char* name) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  auto* previous = button(QStringLiteral("<"), "previousButton");
  auto* next = button(QStringLiteral(">"), "nextButton");
  auto* remove = button(texts.Text(QStringLiteral("IMGINFO_BUTTON_REMOVE")), "removeButton");
  auto* close = button(texts.Text(QStringLiteral("IMGINFO_BUTTON_CLOSE")), "closeButton");
  auto* panes = new QHBoxLayout;
  panes->addWidget(preview_);
  panes->addWidget(details_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previous);
  buttons->addWidget(next);
  buttons->addStretch(1);
  buttons->addWidget(remove);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panes, 1);
  layout->addLayout(buttons);

  connect(previous, &QPushButton::clicked, this, &PhotoDetailDialog::ShowPrevious);
  connect(next, &QPushButton::clicked, this, &PhotoDetailDialog::ShowNext);
  connect(remove, &QPushButton::clicked, this, &PhotoDetailDialog::RemoveCurrent);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  BuildView();
}

void PhotoDetailDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!columnsSized_) {
    const int width = details_->viewport()->width();
    const int defaults[] = {width / 3, 2 * width / 3};
    ApplyColumnWidths(details_,
                      StoredColumnWidths(settings_, setting::kDetailListColumnPrefix, defaults));
    KeepColumnWidths(details_, settings_, setting::kDetailListColumnPrefix);
    columnsSized_ = true;
  }
}

void PhotoDetailDialog::BuildView() {
  if (row_ >= photos_.size()) {
    return;
  }
  const PhotoRow& row = photos_.rows()[row_];
  setWindowTitle(texts_.Text(QStringLiteral("IMGINFO_TITLE")) + QStringLiteral(" - ") +
                 row.fileName);
  const PhotoMetadata photo = ReadPhotoMetadata(row.path);
  const std::optional<PhotoInfo> info = photo.read ? std::optional(photo.info) : std::nullopt;
  const std::vector<DetailRow> rows = PhotoDetailRows(row, info);
  details_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const DetailRow& detail = rows[static_cast<std::size_t>(r)];
    details_->setItem(r, 0, new QTableWidgetItem(texts_.Text(detail.labelKey)));
    details_->setItem(r, 1, new QTableWidgetItem(detail.value));
  }
  QImage preview = PhotoPreview(row.path, info ? info->orientation : 0);
  if (preview.isNull()) {
    // HEIC, CR3, WebP and the other kinds: shown as the map popup shows them (the photo
    // decoded by Qt, or the preview a RAW or HEIF file carries), fitted as a JPEG is.
    Image picture = ImageFromQImage(QImage::fromData(PhotoPreviewJpeg(row.path, 640), "JPEG"));
    if (!picture.empty() && picture.Thumbnail(640, 480, 0xEBEBEB)) {
      preview = QImageFromImage(picture);
    }
  }
  if (preview.isNull()) {
    preview_->setPixmap(QPixmap());
    preview_->setText(texts_.Text(QStringLiteral("IMGINFO_TEXT_NOPREVIEW")));
  } else {
    preview_->setPixmap(QPixmap::fromImage(preview));
  }
}

void PhotoDetailDialog::ShowPrevious() {
  if (row_ > 0) {
    --row_;
    BuildView();
  }
}

void PhotoDetailDialog::ShowNext() {
  if (row_ + 1 < photos_.size()) {
    ++row_;
    BuildView();
  }
}

void PhotoDetailDialog::ShowRow(std::size_t row) {
  if (photos_.empty()) {
    return;
  }
  row = std::min(row, photos_.size() - 1);
  if (row != row_) {
    row_ = row;
    BuildView();
  }
}

bool PhotoDetailDialog::StepByKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_PageUp:
      ShowPrevious();
      return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageDown:
      ShowNext();
      return true;
    case Qt::Key_Home:
      ShowRow(0);
      return true;
    case Qt::Key_End:
      ShowRow(photos_.size() - 1);
      return true;
    default:
      return false;
  }
}

void PhotoDetailDialog::keyPressEvent(QKeyEvent* event) {
  if (StepByKey(*event)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool PhotoDetailDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == details_ && event->type() == QEvent::KeyPress &&
      StepByKey(*static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void PhotoDetailDialog::RemoveCurrent() {
  if (row_ >= photos_.size()) {
    return;
  }
  photos_.Remove(row_);
  if (photos_.empty()) {
    accept();
    return;
  }
  row_ = std::min(row_, photos_.size() - 1);
  BuildView();
}

void PhotoDetailDialog::wheelEvent(QWheelEvent* event) {
  if (event->angleDelta().y() > 0) {
    ShowPrevious();
  } else {
    ShowNext();
  }
  event->accept();
}

}  // namespace trevalo
