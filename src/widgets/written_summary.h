#pragma once
// What a save, an export or a capture wrote, told when it is done: how many files and where,
// with a button that opens the folder in the desktop's file manager.

#include <functional>

#include <QString>
#include <QStringList>

#include "shell/language.h"

class QWidget;

namespace trevalo {

// "3 files were written to /home/me/Pictures." (or "in 2 folders"); empty for no file.
QString WrittenSummary(const QStringList& written, const LanguageTexts& texts);

// A button of the summary that takes the save back.
struct UndoOffer {
  QString label;
  std::function<void()> run;  // after the summary has closed
};

// Tells the summary of `written` (after `lead`, a line the window says first, when given) in
// a message box with an "Open Folder" button, and an Undo button when `undo` runs; nothing
// when nothing was written.
void TellWritten(QWidget* parent, const QString& title, const QStringList& written,
                 const LanguageTexts& texts, const QString& lead = {}, const UndoOffer& undo = {});

// Opens a folder through the desktop (xdg-open and the like). Tests put their own in its
// place and get the one before back.
using FolderOpener = std::function<bool(const QString& folder)>;
FolderOpener ReplaceFolderOpener(FolderOpener opener);

}  // namespace trevalo
