#pragma once
// The progress window of long operations: a bar and one line of text, shown without
// blocking its caller, which steps it once per item and lets the window system breathe.
// It is modal: while it shows, the user cannot start anything else in the program.

#include <QDialog>

#include "track/progress.h"

class QLabel;
class QProgressBar;

namespace trevalo {

class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  // Shown at once, centred over `over`, with the operation's title.
  ProgressDialog(const QString& title, QWidget* over);

  // Moves the bar (0..100) and shows the item, then lets pending window events run.
  void Step(int percent, const QString& text);
  // Moves the bar and shows the item, for a caller whose event loop runs anyway.
  void Show(int percent, const QString& text);
  // A progress callback stepping this window: item k of n moves the bar to k * 100 / n.
  // With `showItems` false the line stays empty.
  Progress AsProgress(bool showItems = true);

  int percent() const;
  // The item last shown, whole (the line shortens a long one).
  QString text() const;

 private:
  QProgressBar* bar_;
  QLabel* line_;
  QString text_;
};

}  // namespace trevalo
