#include "please_wait_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "qt_convert.h"

namespace tarvolin::desktop {

using Look = ::tarvolin::PleaseWaitLook;

PleaseWaitWindow::PleaseWaitWindow()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      label1_(new QLabel(QString::fromLatin1(Look::kLabelCaption), this)) {
  setObjectName(QStringLiteral("PleaseWaitWindow"));
  setWindowTitle(QString::fromLatin1(Look::kCaption));
  // Sizes are pixels as given, not scaled to the screen's resolution.
  setFixedSize(Look::kClientWidth, Look::kClientHeight);
  QFont font(QString::fromLatin1(Look::kFontName));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Look::kFontHeight);
  setFont(font);

  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(Look::kLabelLeft, Look::kLabelTop, Look::kLabelWidth, Look::kLabelHeight);
  QFont labelFont = font;
  labelFont.setPixelSize(Look::kLabelFontHeight);
  label1_->setFont(labelFont);
  QPalette palette = label1_->palette();
  palette.setColor(QPalette::WindowText, QtColour(Look::kLabelColour));
  label1_->setPalette(palette);
}

void PleaseWaitWindow::Show() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  raise();
}

void PleaseWaitWindow::Close() {
  hide();
}

}  // namespace tarvolin::desktop
