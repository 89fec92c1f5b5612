#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The HTTP layer and QCoro's waits need an application object and its event loop.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
