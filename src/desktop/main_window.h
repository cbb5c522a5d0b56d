#pragma once
// The main window: four tabs (photos, map, settings, version), its size and position kept
// in the settings file, the first-run prompt, and the re-creation of the pages after a
// language change.

#include <memory>

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/qt_translations.h"
#include "widgets/version_page.h"

#include <QMessageBox>
class QTabWidget;

namespace trevalo {

class SettingsPage;
class MapPage;
class PhotoPage;
struct PhotoPageState;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  enum Tab { kPhotoTab = 0, kMapTab = 1, kSettingsTab = 2, kVersionTab = 3 };
  enum ShowMode { kNormal = 0, kNormalFromFile = 1, kMaximised = 2 };

  // `systemIsKorean` chooses the first-run text (the system's language).
  MainWindow(Settings settings, bool systemIsKorean, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Shows the window as the stored placement says.
  void ShowAsStored();
  // Selects a tab and shows its page; an index outside 0 to 3 shows nothing.
  void SelectTab(int index);
  // Re-reads the texts and re-creates every page (after the language setting changed).
  void ReloadLanguage();
  // Comes to the front on the photo page and adds the photos given (from the command line
  // or a later start's "Open with").
  void OpenPhotos(const QStringList& files);
  void ShowFirmwareNumber(int number);
  void ShowFirmwareText(const QString& modelCode, const QString& firmwareText);

  bool firstRun() const { return firstRun_; }
  ShowMode showMode() const { return showMode_; }
  QTabWidget* tabs() const { return tabs_; }
  PhotoPage* photoPage() const { return photoPage_; }
  MapPage* mapPage() const { return mapPage_; }
  SettingsPage* settingsPage() const { return settingsPage_; }
  VersionPage* versionPage() const { return versionPage_; }
  QWidget* currentPage() const;
  QMessageBox* firstRunPrompt() const { return firstRunPrompt_; }
  // Writes the window keys now if a layout change is waiting to be written.
  void FlushLayout();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void LoadTexts();
  void BuildPages();
  void DestroyPages();
  void OnTabChanged(int index);
  // Notes a layout change; the eleven window keys are written shortly after.
  void ScheduleLayoutWrite();
  void WriteLayout();

  Settings settings_;
  bool systemIsKorean_;
  LanguageTexts texts_;
  QtTranslations qtTranslations_;
  bool firstRun_ = false;
  ShowMode showMode_ = kMaximised;
  int currentTab_ = kPhotoTab;
  DeviceFirmware firmware_;
  // The photo page's work, which outlives the page itself across a language change.
  std::shared_ptr<PhotoPageState> photoWork_;
  QString tabCaptions_[5];  // main, map, settings, version, help (help is not shown)

  QTabWidget* tabs_;
  PhotoPage* photoPage_ = nullptr;
  MapPage* mapPage_ = nullptr;
  SettingsPage* settingsPage_ = nullptr;
  VersionPage* versionPage_ = nullptr;
  QPointer<QMessageBox> firstRunPrompt_;
  QTimer layoutWriteTimer_;
};

}  // namespace trevalo
