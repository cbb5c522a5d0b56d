#include "widgets/plain_text.h"

#include <QLabel>

namespace trevalo {

PlainMessageBox::PlainMessageBox(Icon icon, const QString& title, const QString& text,
                                 StandardButtons buttons, QWidget* parent)
    : QMessageBox(icon, title, QString(), buttons, parent) {
  setTextFormat(Qt::PlainText);
  setText(text);
}

PlainMessageBox::PlainMessageBox(QWidget* parent) : QMessageBox(parent) {
  setTextFormat(Qt::PlainText);
}

QMessageBox::StandardButton ShowPlainWarning(QWidget* parent, const QString& title,
                                             const QString& text,
                                             QMessageBox::StandardButtons buttons) {
  PlainMessageBox box(QMessageBox::Warning, title, text, buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

QLabel* NewPlainLabel(QWidget* parent, const QString& text) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

QString PlainToolTip(const QString& text) {
  // Written as rich text that says the text, blanks and tabs as they are; a path is never
  // wrapped.
  return text.isEmpty()
             ? text
             : QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

}  // namespace trevalo
