// File names that look like markup, shown by the shared controls exactly as written.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTextDocument>

#include "widgets/progress_dialog.h"

namespace trevalo {
namespace {

const QString kMarkupName = QStringLiteral("/photos/<b>x</b> <img src=y.png>.jpg");

// What a tooltip shows of its text: Qt renders a text that looks like markup as rich text.
QString ShownToolTip(const QString& tip) {
  if (!Qt::mightBeRichText(tip)) {
    return tip;
  }
  QTextDocument document;
  document.setHtml(tip);
  return document.toPlainText();
}

TEST(PlainText, TheProgressWindowShowsANameAsWritten) {
  ProgressDialog progress(QStringLiteral("Saving"), nullptr);
  progress.Step(40, kMarkupName);
  const auto* line = progress.findChild<QLabel*>(QStringLiteral("progressText"));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->textFormat(), Qt::PlainText);
  EXPECT_EQ(ShownToolTip(line->toolTip()), kMarkupName);
  EXPECT_EQ(progress.text(), kMarkupName);
  // Blanks and tabs stay as they are too.
  const QString spaced = QStringLiteral("a  b\tc.jpg");
  progress.Step(50, spaced);
  EXPECT_EQ(ShownToolTip(line->toolTip()), spaced);
}

}  // namespace
}  // namespace trevalo
