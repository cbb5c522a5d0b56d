#pragma once
// A line above a window's contents that says what is wrong with the library's database
// file: lines that were not understood, or a file that cannot be read at all (then no change
// is saved). Every window that works on the library shows it, so that a damaged library is
// seen where its logs are missed. Hidden while the file is sound.

#include <QLabel>

namespace trevalo {

class LanguageTexts;
class LogLibrary;

class LibraryProblemsLabel : public QLabel {
 public:
  LibraryProblemsLabel(const LanguageTexts& texts, QWidget* parent);

  // Shows the problems of the database as the library last read it.
  void ShowProblemsOf(const LogLibrary& library);

 private:
  const LanguageTexts& texts_;
};

}  // namespace trevalo
