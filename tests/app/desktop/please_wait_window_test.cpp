#include "please_wait_window.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace tarvolin::desktop {
namespace {

QColor TextColour(const QLabel* label) {
  return label->palette().color(QPalette::WindowText);
}

TEST(PleaseWaitWindowTest, LooksAsDeclaredAndShowsAndCloses) {
  PleaseWaitWindow form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("QM5R.exe"));
  EXPECT_EQ(form.size(), QSize(243, 110));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(form.font().pixelSize(), 13);
  EXPECT_EQ(form.Label1()->text(), QStringLiteral("Please wait..."));
  EXPECT_EQ(form.Label1()->geometry(), QRect(64, 32, 126, 26));
  EXPECT_EQ(form.Label1()->font().pixelSize(), 23);
  EXPECT_EQ(TextColour(form.Label1()), QColor(255, 0, 0));
  EXPECT_FALSE(form.isVisible());
  form.Show();
  EXPECT_TRUE(form.isVisible());
  form.Close();
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tarvolin::desktop
