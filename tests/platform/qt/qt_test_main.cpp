// The desktop tests need one QApplication for the whole process; they run
// without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

namespace {

// The offscreen platform reports every window operation it cannot do
// (raise, size hints); those reports are noise here.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
  qt_message_output(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  qInstallMessageHandler(FilterMessages);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
