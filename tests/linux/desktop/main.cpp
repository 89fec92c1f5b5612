#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The clipboard and the helper windows need a graphical application object.
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
