// The labels of a configuration file as CSV: a header "table,number,label",
// then one row per label (table input, output, group or preset; number
// 1..16). Labels are the file's 8-bit bytes, written as UTF-8 text.
#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <optional>

namespace qvc::ctl {

QString LabelsToCsv(const ConfigImage& image);

// Writes every label of the CSV into the image's slots; every other byte of
// the image stays. On a bad CSV the image is untouched and the message
// names the row.
std::optional<QString> CsvToLabels(const QString& csv, ConfigImage& image);

} // namespace qvc::ctl
