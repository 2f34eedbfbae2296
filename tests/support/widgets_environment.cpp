// One QApplication for a whole test program with windows. Add this file to the SOURCES of a
// window test. It is created when the tests start (not while ctest lists them), on the
// offscreen platform unless another one was chosen. What the windows remember (recent reports,
// places, window geometry) goes to settings of the test program's own, emptied before each test.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

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
        m_settings = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings->path());
        ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetSettings);
    }
    void TearDown() override {
        m_app.reset();
        m_settings.reset();
    }

private:
    // Every test starts as on a first run.
    struct ForgetSettings final : ::testing::EmptyTestEventListener {
        void OnTestStart(const ::testing::TestInfo&) override { QSettings().clear(); }
    };

    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<QTemporaryDir> m_settings;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace
