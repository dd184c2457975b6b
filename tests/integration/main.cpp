// Integration tests run with a QCoreApplication, as the app's platform
// objects (main loop, sockets, D-Bus) expect one.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
