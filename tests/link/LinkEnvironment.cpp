// One application object for the whole program: the link dispatches events
// and the simulator thread needs one to receive any.
#include "tests/support/ApplicationEnvironment.h"

#include <QCoreApplication>

namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    qvc::test::AddApplicationEnvironment<QCoreApplication>("link_tests");

} // namespace
