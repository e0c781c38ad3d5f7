#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include <QTimer>

#include "GuiTest.h"
#include "MessageBoxAnswerer.h"
#include "app/UpdaterApplication.h"

namespace {

// Runs the application with `during` scheduled inside its event loop, prints the boxes it
// showed and ends the process with run's result (these run in death-test children).
[[noreturn]] void runApplication(const std::function<void()>& during) {
    UpdaterApplication& application = guiApplication();
    application.setQuitOnLastWindowClosed(true);
    MessageBoxAnswerer answerer;
    QTimer::singleShot(100, &application, during);
    const int code = application.run();
    for (const MessageBoxAnswerer::Box& box : answerer.boxes())
        std::fprintf(stderr, "box: %s / %s\n", qPrintable(box.text),
                     qPrintable(box.informativeText));
    std::fprintf(stderr, "identity: %s %s\n", qPrintable(application.organizationName()),
                 qPrintable(application.applicationName()));
    std::fflush(stderr);
    std::_Exit(code);
}

class UpdaterApplicationDeathTest : public ::testing::Test {
protected:
    void SetUp() override { ::testing::FLAGS_gtest_death_test_style = "threadsafe"; }
};

TEST_F(UpdaterApplicationDeathTest, ClosingTheWindowEndsTheEventLoop) {
    EXPECT_EXIT(runApplication([] { QApplication::closeAllWindows(); }),
                ::testing::ExitedWithCode(0), "identity: Korvane Skelda2FWUpdater");
}

TEST_F(UpdaterApplicationDeathTest, EscapedExceptionEndsWithWarningBoxAndCode1) {
    EXPECT_EXIT(runApplication([] { throw std::runtime_error("Table answer lost"); }),
                ::testing::ExitedWithCode(1),
                "box: Application unexpectly terminated / Table answer lost");
}

TEST_F(UpdaterApplicationDeathTest, EscapedNonStandardExceptionEndsWithWarningBoxAndCode1) {
    EXPECT_EXIT(runApplication([] { throw 42; }), ::testing::ExitedWithCode(1),
                "box: Application unexpectly terminated / Unkown Error occured");
}

}  // namespace
