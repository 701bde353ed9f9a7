// quorvel-ctl labels: the labels of a configuration file as CSV and back,
// offline.
#pragma once

#include <QStringList>
#include <ostream>

namespace qvc::ctl {

// `args` are the words after "labels". Throws UsageError for a bad line.
int LabelsCommand(const QStringList& args, std::ostream& out, std::ostream& err);

} // namespace qvc::ctl
