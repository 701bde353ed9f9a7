// One application object for the whole run: the program's own, so that the
// error guard of the event loop is tested too.
#include "tests/support/ApplicationEnvironment.h"
#include "ui/GuardedApplication.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kUiEnvironment =
    qvc::test::AddApplicationEnvironment<qvc::GuardedApplication>("ui_tests");

} // namespace
