#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

// Listing the tests needs no display; running them needs one (the test script
// starts a private Xvfb with a window manager).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) {
        app = std::make_unique<QApplication>(argc, argv);
    }
    return RUN_ALL_TESTS();
}
