#include "desktop/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "desktop/settings_page.h"
#include "device/logger_detection.h"
#include "map/map_page.h"
#include "tagging/photo_page.h"
#include "widgets/app_icon.h"
#include "widgets/plain_text.h"
#include "widgets/settings_warning.h"

namespace trevalo {
namespace {

// The window's size when the stored placement is empty: its template's 561 x 328 dialog
// units at the usual 96 dpi dialog font.
constexpr QSize kDefaultSize(842, 533);

const char* const kFirstRunKorean =
    "첫 실행입니다.\n언어를 설정해 주세요.\n언어 선택후 Set Language 버튼을 클릭해주시면 됩니다.";
const char* const kFirstRunEnglish =
    "First run.\nPlease set the language option.\nClick 'Set Language' after selection.";

}  // namespace

MainWindow::MainWindow(Settings settings, bool systemIsKorean, QWidget* parent)
    : QWidget(parent),
      settings_(std::move(settings)),
      systemIsKorean_(systemIsKorean),
      photoWork_(std::make_shared<PhotoPageState>()) {
  setObjectName(QStringLiteral("mainWindow"));
  LoadTexts();
  WarnOnceWhenSettingsAreNotKept(settings_, texts_, this);
  setWindowIcon(AppIcon());

  tabs_ = new QTabWidget(this);
  // Photos dragged from the list over the map's tab open the map, to be dropped there.
  tabs_->tabBar()->setChangeCurrentOnDrag(true);
  tabs_->setObjectName(QStringLiteral("mainTabs"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 13, 14, 13);
  layout->addWidget(tabs_);
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::OnTabChanged);
  // Undo and redo of photos placed by hand, on every page (a text field takes its own).
  auto* undo = new QShortcut(QKeySequence::Undo, this);
  connect(undo, &QShortcut::activated, this, [this] { photoPage_->UndoHandChange(); });
  auto* redo = new QShortcut(QKeySequence::Redo, this);
  connect(redo, &QShortcut::activated, this, [this] { photoPage_->RedoHandChange(); });

  BuildPages();

  const QString stored = settings_.ReadSetting(setting::kWindowRect);
  if (stored == u"0") {
    showMode_ = kNormal;
  } else if (stored == u"1") {
    showMode_ = kNormalFromFile;
  } else {
    showMode_ = kMaximised;
    settings_.WriteSetting(setting::kWindowRect, QStringLiteral("2"));
  }

  layoutWriteTimer_.setSingleShot(true);
  layoutWriteTimer_.setInterval(150);
  connect(&layoutWriteTimer_, &QTimer::timeout, this, &MainWindow::WriteLayout);
}

MainWindow::~MainWindow() {
  FlushLayout();
  // The pages go while the settings they write on their way out are still here.
  DestroyPages();
}

void MainWindow::LoadTexts() {
  firstRun_ = !settings_.SettingsFileExists();
  texts_ = LanguageTexts::Load(settings_);
  qtTranslations_.Apply(texts_);
  setWindowTitle(texts_.Text(QStringLiteral("MAIN_TITLE")));
  const QString keys[] = {QStringLiteral("MAIN_TAB_MAIN"), QStringLiteral("MAIN_TAB_MAPVIEW"),
                          QStringLiteral("MAIN_TAB_SETTING"), QStringLiteral("MAIN_TAB_VERSION"),
                          QStringLiteral("MAIN_TAB_HELP")};
  for (int i = 0; i < 5; ++i) {
    tabCaptions_[i] = texts_.Text(keys[i]);
  }
}

void MainWindow::BuildPages() {
  photoPage_ = new PhotoPage(settings_, texts_, nullptr, DeviceTreeFromEnvironment(), photoWork_);
  mapPage_ = new MapPage(settings_, texts_);
  settingsPage_ = new SettingsPage(settings_, texts_, photoPage_);
  versionPage_ = new VersionPage(texts_, firmware_);
  connect(settingsPage_, &SettingsPage::firmwareNumberChanged, this,
          &MainWindow::ShowFirmwareNumber);
  connect(settingsPage_, &SettingsPage::firmwareTextChanged, this, &MainWindow::ShowFirmwareText);
  // The settings page itself is re-created, so the reload waits until its click is over.
  connect(settingsPage_, &SettingsPage::languageChanged, this, &MainWindow::ReloadLanguage,
          Qt::QueuedConnection);
  settingsPage_->OnDeviceChange();
  connect(photoPage_, &PhotoPage::mapRequested, this, [this](const MapRequest& request) {
    mapPage_->Show(request);
    SelectTab(kMapTab);
  });
  connect(mapPage_, &MapPage::aboutRequested, this,
          [this] { ShowAboutDialog(texts_, firmware_, tabCaptions_[kVersionTab], this); });
  // Photos placed by hand on the map: the map asks, the photo page keeps them (and their
  // undo), and tells the map where they are now.
  connect(mapPage_, &MapPage::placeRequested, photoPage_, &PhotoPage::PlaceSelected);
  connect(mapPage_, &MapPage::placeAtTrackPointRequested, photoPage_,
          &PhotoPage::PlaceSelectedAtTrackPoint);
  connect(mapPage_, &MapPage::moveRequested, photoPage_, &PhotoPage::MovePlacedPhoto);
  connect(mapPage_, &MapPage::clearRequested, photoPage_, &PhotoPage::ClearPosition);
  connect(mapPage_, &MapPage::undoRequested, photoPage_, &PhotoPage::UndoHandChange);
  connect(mapPage_, &MapPage::redoRequested, photoPage_, &PhotoPage::RedoHandChange);
  connect(photoPage_, &PhotoPage::photosMoved, mapPage_, &MapPage::ShowPhotos);
  connect(photoPage_, &PhotoPage::selectionCountChanged, mapPage_, &MapPage::SetPhotosToPlace);
  mapPage_->SetPhotosToPlace(photoPage_->SelectedCount());
  mapPage_->SetTrackPointText(
      [page = QPointer<PhotoPage>(photoPage_)](const QString& logFile, std::size_t index) {
        return page ? page->TrackPointText(logFile, index) : QString();
      });
  {
    // Adding the first tab selects it; that is not a move from one tab to another.
    const QSignalBlocker quiet(tabs_);
    tabs_->addTab(photoPage_, tabCaptions_[kPhotoTab]);
    tabs_->addTab(mapPage_, tabCaptions_[kMapTab]);
    tabs_->addTab(settingsPage_, tabCaptions_[kSettingsTab]);
    tabs_->addTab(versionPage_, tabCaptions_[kVersionTab]);
  }
  currentTab_ = kPhotoTab;
  if (firstRun_) {
    SelectTab(kSettingsTab);
    firstRunPrompt_ = new PlainMessageBox(this);
    firstRunPrompt_->setObjectName(QStringLiteral("firstRunPrompt"));
    firstRunPrompt_->setAttribute(Qt::WA_DeleteOnClose);
    firstRunPrompt_->setWindowTitle(windowTitle());
    if (systemIsKorean_) {
      firstRunPrompt_->setIcon(QMessageBox::Information);
      firstRunPrompt_->setText(QString::fromUtf8(kFirstRunKorean));
    } else {
      firstRunPrompt_->setIcon(QMessageBox::NoIcon);
      firstRunPrompt_->setText(QString::fromUtf8(kFirstRunEnglish));
    }
    // Shown once the window is up; it does not block start-up.
    QTimer::singleShot(0, firstRunPrompt_, [prompt = firstRunPrompt_] { prompt->open(); });
  } else {
    SelectTab(kPhotoTab);
  }
}

void MainWindow::OpenPhotos(const QStringList& files) {
  if (isMinimized()) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
  }
  show();
  raise();
  activateWindow();
  if (files.isEmpty()) {
    return;
  }
  SelectTab(kPhotoTab);
  photoPage_->AddPhotos(files);
}

void MainWindow::DestroyPages() {
  const QSignalBlocker quiet(tabs_);
  while (tabs_->count() > 0) {
    QWidget* page = tabs_->widget(0);
    tabs_->removeTab(0);
    delete page;
  }
  photoPage_ = nullptr;
  mapPage_ = nullptr;
  settingsPage_ = nullptr;
  versionPage_ = nullptr;
}

void MainWindow::ShowAsStored() {
  // The normal placement is set even for a maximised start: restoring the window returns
  // to it, and the placement written then is the stored one, not a default.
  const QRect placement(QPoint(settings_.ReadSettingInt(setting::kWindowPlacementLeft),
                               settings_.ReadSettingInt(setting::kWindowPlacementTop)),
                        QPoint(settings_.ReadSettingInt(setting::kWindowPlacementRight) - 1,
                               settings_.ReadSettingInt(setting::kWindowPlacementBottom) - 1));
  if (placement.width() > 0 && placement.height() > 0) {
    setGeometry(placement);
  } else {
    resize(kDefaultSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
  if (showMode_ == kMaximised) {
    showMaximized();
  } else {
    showNormal();
  }
}

void MainWindow::SelectTab(int index) {
  if (index < 0 || index >= tabs_->count()) {
    return;
  }
  tabs_->setCurrentIndex(index);
  currentTab_ = index;
}

QWidget* MainWindow::currentPage() const {
  return tabs_->currentWidget();
}

void MainWindow::OnTabChanged(int index) {
  if (index == kMapTab && currentTab_ == kPhotoTab && photoPage_ != nullptr) {
    photoPage_->ShowMapView();
  }
  currentTab_ = index;
}

void MainWindow::ReloadLanguage() {
  LoadTexts();
  DestroyPages();
  BuildPages();
  ScheduleLayoutWrite();
}

void MainWindow::ShowFirmwareNumber(int number) {
  firmware_.aboutKind = 1;
  firmware_.firmwareNumber = number;
  versionPage_->ShowFirmwareNumber(number);
}

void MainWindow::ShowFirmwareText(const QString& modelCode, const QString& firmwareText) {
  firmware_.aboutKind = 2;
  firmware_.deviceModelCode = modelCode;
  firmware_.deviceFirmwareText = firmwareText;
  versionPage_->ShowFirmwareText(modelCode, firmwareText);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Neither key may close a page or the window.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ScheduleLayoutWrite();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ScheduleLayoutWrite();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) {
    ScheduleLayoutWrite();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  FlushLayout();
  QWidget::closeEvent(event);
}

void MainWindow::ScheduleLayoutWrite() {
  if (!isVisible() || isMinimized()) {
    return;  // minimising writes nothing
  }
  showMode_ = isMaximized() ? kMaximised : kNormal;
  layoutWriteTimer_.start();
}

void MainWindow::FlushLayout() {
  if (layoutWriteTimer_.isActive()) {
    layoutWriteTimer_.stop();
    WriteLayout();
  }
}

void MainWindow::WriteLayout() {
  const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  const QRect client = rect();
  const auto number = [](int value) { return QString::number(value); };
  settings_.WriteSettings({
      {setting::kWindowRect, number(showMode_)},
      {setting::kWindowPlacementLeft, number(normal.left())},
      {setting::kWindowPlacementRight, number(normal.left() + normal.width())},
      {setting::kWindowPlacementTop, number(normal.top())},
      {setting::kWindowPlacementBottom, number(normal.top() + normal.height())},
      {setting::kWindowRectLeft, number(client.left())},
      {setting::kWindowRectRight, number(client.left() + client.width())},
      {setting::kWindowRectTop, number(client.top())},
      {setting::kWindowRectBottom, number(client.top() + client.height())},
  });
}

}  // namespace trevalo
