#include <QApplication>
#include <gtest/gtest.h>

namespace {
QtMessageHandler previousHandler = nullptr;
// The offscreen platform reports every window feature it lacks; those lines bury real output.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (previousHandler) previousHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    // Widget tests run without a display unless a platform was chosen (the Xvfb run picks xcb).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
