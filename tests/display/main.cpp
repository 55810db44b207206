#include <gtest/gtest.h>
#include <QApplication>
#include <QtGlobal>

// Sanitizer builds: Qt's offscreen platform never frees its screen, cursor and desktop widget.
// Full stacks are needed for the suppressions to match inside Qt's libraries.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:QApplication::desktop\n";
}
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}

int main(int argc, char** argv) {
    // Test discovery runs this program without the test environment, so default it here too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
