// main() of every window test: the offscreen platform unless the caller chose one, set before
// the QApplication (else test discovery aborts without a display), and no user files touched:
// the settings, data and runtime folders point into a temporary folder for the whole run, so a test that
// reaches the rescue folder or the default settings store never writes into the real home.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QtMessageHandler previousHandler = nullptr;
// The offscreen platform reports every raise() of a stay-on-top pop-up; keep the output readable.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (previousHandler) previousHandler(type, context, text);
}
} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(QuietOffscreen);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    // The single-instance socket too, so a test never hands over to the user's running program.
    QDir().mkdir(home.path() + "/runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toUtf8());
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
