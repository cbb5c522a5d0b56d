#include "widgets/progress_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "widgets/plain_text.h"

namespace trevalo {

ProgressDialog::ProgressDialog(const QString& title, QWidget* over)
    : QDialog(over), bar_(new QProgressBar(this)), line_(NewPlainLabel(this)) {
  setObjectName(QStringLiteral("progressDialog"));
  setWindowTitle(title);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  line_->setObjectName(QStringLiteral("progressText"));
  line_->setMinimumWidth(420);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
  layout->addWidget(line_);
  adjustSize();
  if (over != nullptr) {
    move(over->mapToGlobal(over->rect().center()) - rect().center());
  }
  setWindowModality(Qt::ApplicationModal);
  show();
  QApplication::processEvents();
}

void ProgressDialog::Step(int percent, const QString& text) {
  Show(percent, text);
  QApplication::processEvents();
}

void ProgressDialog::Show(int percent, const QString& text) {
  bar_->setValue(percent);
  // Long paths are shortened in the middle, where they differ least.
  line_->setText(line_->fontMetrics().elidedText(text, Qt::ElideMiddle, line_->width()));
  line_->setToolTip(PlainToolTip(text));
  text_ = text;
}

Progress ProgressDialog::AsProgress(bool showItems) {
  return [this, showItems](std::size_t done, std::size_t total, const QString& item) {
    Step(total == 0 ? 100 : static_cast<int>(done * 100 / total), showItems ? item : QString());
  };
}

int ProgressDialog::percent() const {
  return bar_->value();
}

QString ProgressDialog::text() const {
  return text_;
}

}  // namespace trevalo
