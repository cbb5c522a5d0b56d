#pragma once
// The photo detail view: one photo of the list at a time, its preview and a list of what
// its row and its EXIF data say; previous and next (buttons or the wheel) step through the
// list, and the shown photo can be taken out of it.

#include <QDialog>

#include "tagging/photo_list.h"

class QLabel;
class QTableWidget;

namespace trevalo {

class LanguageTexts;
class Settings;

class PhotoDetailDialog : public QDialog {
  Q_OBJECT

 public:
  PhotoDetailDialog(const Settings& settings, const LanguageTexts& texts, PhotoList& photos,
                    std::size_t row, QWidget* parent = nullptr);

  std::size_t currentRow() const { return row_; }
  void ShowPrevious();
  void ShowNext();
  // Shows another photo of the list (a row past the end shows the last).
  void ShowRow(std::size_t row);
  // Takes the shown photo out of the list; closes when the list is then empty.
  void RemoveCurrent();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  // Arrows, Page Up and Page Down step through the list, Home and End go to its ends, here
  // and in the detail list, which would otherwise take them for its own cells.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildView();
  bool StepByKey(const QKeyEvent& event);

  const Settings& settings_;
  const LanguageTexts& texts_;
  PhotoList& photos_;
  std::size_t row_;
  bool columnsSized_ = false;
  QLabel* preview_;
  QTableWidget* details_;
};

}  // namespace trevalo
