#pragma once
// File names, comments and problems that name files, as the windows show them: always as the
// plain text they are. Qt takes a text that looks like markup ("<b>x</b>.jpg",
// "<img src=...>") for rich text unless it is told otherwise, so every message box, label
// and tooltip that can carry such a text is made here.

#include <QMessageBox>
#include <QString>

class QLabel;
class QWidget;

namespace trevalo {

// A message box whose text is shown as plain text.
class PlainMessageBox : public QMessageBox {
 public:
  PlainMessageBox(Icon icon, const QString& title, const QString& text,
                  StandardButtons buttons = NoButton, QWidget* parent = nullptr);
  explicit PlainMessageBox(QWidget* parent);
};

// A warning shown as plain text and waited for, as QMessageBox::warning shows one; the
// button pressed.
QMessageBox::StandardButton ShowPlainWarning(
    QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// A label that shows its text as plain text.
QLabel* NewPlainLabel(QWidget* parent, const QString& text = {});

// A tooltip text that shows `text` exactly (tooltips have no text format of their own).
QString PlainToolTip(const QString& text);

}  // namespace trevalo
