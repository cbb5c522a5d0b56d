#include "widgets/written_summary.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

#include "widgets/plain_text.h"

namespace trevalo {
namespace {

FolderOpener& CurrentOpener() {
  static FolderOpener opener = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  return opener;
}

// The folders of the written files, in the order first met.
QStringList FoldersOf(const QStringList& written) {
  QStringList folders;
  for (const QString& path : written) {
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!folders.contains(folder)) {
      folders << folder;
    }
  }
  return folders;
}

}  // namespace

QString WrittenSummary(const QStringList& written, const LanguageTexts& texts) {
  if (written.isEmpty()) {
    return {};
  }
  const QStringList folders = FoldersOf(written);
  if (folders.size() == 1) {
    return texts.Text(QStringLiteral("COMMON_TEXT_WRITTEN"))
        .arg(QString::number(written.size()), folders.front());
  }
  // Each folder on a line of its own, so that the user knows where to look.
  return texts.Text(QStringLiteral("COMMON_TEXT_WRITTEN_FOLDERS"))
             .arg(QString::number(written.size()), QString::number(folders.size())) +
         QStringLiteral("\n") + folders.join(u'\n');
}

void TellWritten(QWidget* parent, const QString& title, const QStringList& written,
                 const LanguageTexts& texts, const QString& lead, const UndoOffer& undo) {
  if (written.isEmpty()) {
    return;
  }
  const QString summary = WrittenSummary(written, texts);
  PlainMessageBox box(QMessageBox::Information, title,
                      lead.isEmpty() ? summary : lead + u'\n' + summary, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("writtenSummary"));
  QPushButton* open = box.addButton(texts.Text(QStringLiteral("COMMON_BUTTON_OPENFOLDER")),
                                    QMessageBox::ActionRole);
  open->setObjectName(QStringLiteral("openFolderButton"));
  // The folder opens and the message goes, as the user asked for both; a file manager that
  // cannot be started is told.
  const auto openFolder = [&box, &texts, title, parent](const QString& folder) {
    box.done(QMessageBox::Ok);
    if (!CurrentOpener()(folder)) {
      PlainMessageBox failed(QMessageBox::Warning, title,
                             texts.Text(QStringLiteral("COMMON_TEXT_NOFILEMANAGER")).arg(folder),
                             QMessageBox::Ok, parent);
      failed.setObjectName(QStringLiteral("noFileManager"));
      failed.exec();
    }
  };
  const QStringList folders = FoldersOf(written);
  if (folders.size() == 1) {
    QObject::connect(open, &QAbstractButton::clicked, &box,
                     [openFolder, folder = folders.front()] { openFolder(folder); });
  } else {
    // Several folders: the button offers each, and opens the one picked.
    auto* menu = new QMenu(open);
    menu->setObjectName(QStringLiteral("openFolderMenu"));
    for (const QString& folder : folders) {
      QObject::connect(menu->addAction(folder), &QAction::triggered, &box,
                       [openFolder, folder] { openFolder(folder); });
    }
    open->setMenu(menu);
  }
  bool undoChosen = false;
  if (undo.run) {
    QPushButton* back = box.addButton(undo.label, QMessageBox::ActionRole);
    back->setObjectName(QStringLiteral("undoButton"));
    QObject::connect(back, &QAbstractButton::clicked, &box, [&box, &undoChosen] {
      undoChosen = true;
      box.done(QMessageBox::Ok);
    });
  }
  box.setDefaultButton(QMessageBox::Ok);
  // With a second button the box no longer takes OK for Escape and its close button.
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
  if (undoChosen) {
    undo.run();
  }
}

FolderOpener ReplaceFolderOpener(FolderOpener opener) {
  return std::exchange(CurrentOpener(), std::move(opener));
}

}  // namespace trevalo
