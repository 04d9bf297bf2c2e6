// main() of the input method's window tests: the offscreen platform unless one is chosen, set
// before the QApplication (test discovery would otherwise abort without a display).
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
QtMessageHandler previousHandler = nullptr;
// The offscreen platform reports every raise() of a stay-on-top pop-up; keep the output readable.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith("This plugin does not support")) return;
    if (previousHandler) previousHandler(type, context, text);
}
} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(QuietOffscreen);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
