#pragma once
// The save window of the photo page: where the tagged copies go, and whether a KML
// document (or a KMZ package with the photos) of them is written too.

#include <functional>

#include <QDialog>
#include <QHash>

#include "library/match_settings.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"

#include <QMessageBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace trevalo {

class LanguageTexts;
class LogLibrary;
class Settings;

// Runs work on the photos and the library off the window's thread, under a progress window
// titled with the language text `titleKey`, and returns when it is done.
using PhotoWork =
    std::function<void(const QString& titleKey, const std::function<void(const Progress&)>& work)>;

class SaveDialog : public QDialog {
  Q_OBJECT

 public:
  // The save runs through `runWork`: the photo page's keeps what it must out of the photos
  // until the save is done.
  SaveDialog(const Settings& settings, const LanguageTexts& texts, PhotoList& photos,
             LogLibrary& library, const MatchSettings& match, PhotoWork runWork,
             QWidget* parent = nullptr);

  const QString& saveFolder() const { return saveFolder_; }
  // Sets the save folder (the folder browser ends here).
  void SetSaveFolder(const QString& folder);
  // Checks the entries and saves; closes with Accepted when the save ran (or the user chose
  // not to replace an existing document).
  void Save();
  // What the last save could not do, one line each.
  const QStringList& problems() const { return problems_; }
  // The photos a save taken back (its summary's Undo) puts back in the list (those whose
  // sidecars the undo took away), and the hand positions those that had one had.
  const QStringList& photosBack() const { return photosBack_; }
  const QHash<QString, PhotoList::HandPosition>& handPositions() const { return handPositions_; }

 private:
  void ApplyKmlCheck();
  // The photos that are not written themselves but get sidecars, named as the settings say.
  SidecarChoice Sidecars() const;
  void ShowSidecars();
  void ChooseFolder();
  // Shows a message; the dialog stays open.
  void Tell(const QString& text, QMessageBox::Icon icon);
  // Takes back the save of `journal` and tells what came back.
  void TakeBack(const QString& journal, const QHash<QString, QString>& saved);

  const Settings& settings_;
  const LanguageTexts& texts_;
  PhotoList& photos_;
  LogLibrary& library_;
  const MatchSettings& match_;
  PhotoWork runWork_;
  QString saveFolder_;
  QStringList problems_;
  QStringList photosBack_;
  QHash<QString, PhotoList::HandPosition> handPositions_;  // by photo path

  QRadioButton* overwrite_;
  QRadioButton* copy_;
  QLabel* folderLine_;
  QCheckBox* kml_;
  QCheckBox* kmz_;
  QLabel* kmlNameCaption_;
  QLineEdit* kmlName_;
  QLineEdit* urlPrefix_;
  QLineEdit* width_;
  QLabel* sidecarNote_;
};

}  // namespace trevalo
