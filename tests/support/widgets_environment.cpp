// One QApplication for a whole test program with windows. Add this file to the SOURCES of a
// window test. It is created when the tests start (not while ctest lists them), on the
// offscreen platform unless another one was chosen.

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "zr_window_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        // Closing a test window must not end anything.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace
