// One application object for the whole run: the program's own, so that the
// error guard of the event loop is tested too.
#include "ui/GuardedApplication.h"

#include <gtest/gtest.h>

namespace {

class UiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new qvc::GuardedApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    qvc::GuardedApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kUiEnvironment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);

} // namespace
