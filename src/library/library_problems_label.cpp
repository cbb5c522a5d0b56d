#include "library/library_problems_label.h"

#include "library/log_library.h"
#include "shell/language.h"

namespace trevalo {

LibraryProblemsLabel::LibraryProblemsLabel(const LanguageTexts& texts, QWidget* parent)
    : QLabel(parent), texts_(texts) {
  setObjectName(QStringLiteral("libraryFileProblems"));
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setStyleSheet(QStringLiteral("color: #a00000"));
  hide();
}

void LibraryProblemsLabel::ShowProblemsOf(const LogLibrary& library) {
  const QStringList& problems = library.fileProblems();
  setVisible(!problems.isEmpty());
  if (problems.isEmpty()) {
    return;
  }
  const QString explanation =
      texts_.Text(library.databaseReadable() ? QStringLiteral("GPSMAN_TEXT_DBDAMAGED")
                                             : QStringLiteral("GPSMAN_TEXT_DBUNREADABLE"));
  setText(
      QStringLiteral("%1\n%2\n%3").arg(library.databasePath(), explanation, problems.join(u'\n')));
}

}  // namespace trevalo
