// The chart pages in the browser engine the program shows them with: offline, a page draws
// its chart.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "charts/chart_data.h"
#include "charts/chart_page.h"
#include "charts/chart_window.h"
#include "library/log_library.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "widgets/page_scheme.h"

namespace trevalo {
namespace {

using test::Wait;

TEST(ChartView, APageDrawsItsChartWithoutANetwork) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("hill.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 2000, .climbPerEpoch = 0.5}));
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0);
  QStringList problems;
  ASSERT_TRUE(library.LoadHeld(0, problems));
  const auto data = ComputeCharts(library.log(0), library.log(0).fileName());
  ASSERT_EQ(WriteChartPages(*data, dir.path(), problems).size(), 4);

  QWebEngineView view;
  InstallPageScheme(view.page()->profile(), {dir.path()});
  view.resize(820, 320);
  view.show();
  bool loaded = false;
  ASSERT_TRUE(Wait([&](auto done) {
    QObject::connect(&view, &QWebEngineView::loadFinished, [&, done](bool ok) {
      loaded = ok;
      done();
    });
    view.load(PageUrl(QStringLiteral("CHT_DISTALT.cht")));
  }));
  ASSERT_TRUE(loaded);

  // The engine laid the series out across the chart.
  QVariantList drawn;
  ASSERT_TRUE(Wait([&](auto done) {
    view.page()->runJavaScript(
        QStringLiteral("(() => { const line = document.querySelector('#chart polyline');"
                       " const box = line.getBBox();"
                       " return [line.points.numberOfItems, box.width, box.height,"
                       " document.getElementById('post_form').elements.length]; })()"),
        [&, done](const QVariant& result) {
          drawn = result.toList();
          done();
        });
  }));
  ASSERT_EQ(drawn.size(), 4);
  EXPECT_EQ(drawn[0].toInt(), data->distanceAltitude.sampleCount);
  EXPECT_GT(drawn[1].toDouble(), 600);  // the line spans the plot
  EXPECT_GT(drawn[2].toDouble(), 50);   // a climb of 1000 m on an axis of 1100 m
  EXPECT_EQ(drawn[3].toInt(), 12);      // the form keeps its twelve parameters

  // A picture of the page, for people to look at.
  Wait([&](auto done) { QTimer::singleShot(1000, done); });  // let the engine paint
  const QImage image = view.grab().toImage();
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/chart.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  image.save(shot);
}

TEST(ChartView, TheWindowShowsOnePairAtATimeBesideTheStatistics) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("walk.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 600}));
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 0}}, 0);
  QStringList problems;
  ASSERT_TRUE(library.LoadHeld(0, problems));
  const auto data = ComputeCharts(library.log(0), library.log(0).fileName());
  ASSERT_TRUE(data->hasTimeCharts);
  ASSERT_EQ(WriteChartPages(*data, dir.path(), problems).size(), 4);
  InstallPageScheme(QWebEngineProfile::defaultProfile(), {dir.path()});
  const Settings settings(AppFolders::InHome(dir.path()));
  const LanguageTexts texts = LanguageTexts::LoadFile(
      test::SourceFolder() + QStringLiteral("/resources/Lang/LANG_ENG.INI"));

  ChartWindow window(settings, texts, data->statistics);
  auto* list = window.findChild<QTableWidget*>(QStringLiteral("statistics"));
  ASSERT_EQ(list->rowCount(), 14);
  EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("GPS Altitude MIN"));
  EXPECT_EQ(list->item(0, 1)->text(), data->statistics.altitudeMinimum);
  EXPECT_EQ(list->item(13, 1)->text(), QStringLiteral("walk.log"));
  auto* toggle = window.findChild<QPushButton*>(QStringLiteral("toggleButton"));
  EXPECT_TRUE(window.showsDistance());
  EXPECT_EQ(toggle->text(), QStringLiteral("By Time"));
  window.show();
  bool loaded = false;
  ASSERT_TRUE(Wait([&](auto done) {
    QObject::connect(window.view(0), &QWebEngineView::loadFinished, [&, done](bool ok) {
      loaded = ok;
      done();
    });
  }));
  EXPECT_TRUE(loaded);
  Wait([&](auto done) { QTimer::singleShot(1000, done); });  // let the engine paint
  window.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/chart-window.png"));
  toggle->click();
  EXPECT_FALSE(window.showsDistance());
  EXPECT_EQ(toggle->text(), QStringLiteral("By Distance"));
  EXPECT_TRUE(window.view(1)->isVisible());
  EXPECT_FALSE(window.view(0)->isVisible());
}

}  // namespace
}  // namespace trevalo
