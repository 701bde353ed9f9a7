// One QApplication for the whole run of a page's test program (GoogleTest's
// main drives it), named after the program.
#include "tests/support/ApplicationEnvironment.h"

#include <QApplication>
#include <cerrno>

namespace {

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    qvc::test::AddApplicationEnvironment<QApplication>(program_invocation_short_name);

} // namespace
