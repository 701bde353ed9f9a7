// One QApplication for the whole test run (GoogleTest's main drives it).
#include "tests/support/ApplicationEnvironment.h"

#include <QApplication>

namespace {

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    qvc::test::AddApplicationEnvironment<QApplication>("preset_page_tests");

} // namespace
