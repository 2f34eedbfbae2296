// One QGuiApplication for a whole test program that draws (fonts need one). It is created when
// the tests start, not while ctest lists them, on the offscreen platform unless another one was
// chosen. Add this file to the SOURCES of a test that draws pages.

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class GuiApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "zr_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace
