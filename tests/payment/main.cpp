#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The Qt network stack answers through the application's event loop.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
