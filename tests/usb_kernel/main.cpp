// Tests against usbdevfs as umockdev emulates it. Without the preloaded library they would
// reach the machine's real USB, so they refuse to run and fail instead.
#include <gtest/gtest.h>
#include <QApplication>

#include <cstdio>

#include "usbdevfs_radar.h"

int main(int argc, char** argv) {
    if (!vorn::test::InMockEnvironment()) {
        std::fprintf(stderr, "umockdev is not preloaded: run under umockdev-wrapper\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
