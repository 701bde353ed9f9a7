#include "LabelsCsv.h"

#include <QStringList>
#include <array>

namespace qvc::ctl {

namespace {

const QString kHeader = QStringLiteral("table,number,label");
constexpr std::array<std::pair<const char*, LabelKind>, 4> kTables{{{"input", LabelKind::Input},
                                                                    {"output", LabelKind::Output},
                                                                    {"group", LabelKind::Group},
                                                                    {"preset", LabelKind::Preset}}};

// A field quoted when it holds a comma, a quote, a line break or blanks at
// its ends.
QString Field(const QString& text) {
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       text != text.trimmed();
    if (!quote) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Splits CSV text into rows of fields (quotes, doubled quotes, line breaks
// inside quotes). False when a quote is left open.
bool ParseCsv(const QString& text, QList<QStringList>& rows) {
    QStringList row;
    QString field;
    bool quoted = false;
    bool rowHasData = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            rowHasData = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            rowHasData = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            if (rowHasData || !field.isEmpty()) {
                row << field;
                rows << row;
            }
            row.clear();
            field.clear();
            rowHasData = false;
        } else {
            field += c;
            rowHasData = true;
        }
    }
    if (quoted) {
        return false;
    }
    if (rowHasData || !field.isEmpty()) {
        row << field;
        rows << row;
    }
    return true;
}

} // namespace

QString LabelsToCsv(const ConfigImage& image) {
    QString csv = kHeader + QLatin1Char('\n');
    for (const auto& [name, kind] : kTables) {
        for (int n = 1; n <= kLabelsPerKind; ++n) {
            const std::string label = ReadLabel(image, kind, n);
            csv += QString::fromLatin1(name) + QLatin1Char(',') + QString::number(n) +
                   QLatin1Char(',') + Field(QString::fromLatin1(label)) + QLatin1Char('\n');
        }
    }
    return csv;
}

std::optional<QString> CsvToLabels(const QString& csv, ConfigImage& image) {
    QList<QStringList> rows;
    if (!ParseCsv(csv, rows)) {
        return QStringLiteral("a quoted label is not closed");
    }
    if (rows.isEmpty() || rows.first().join(QLatin1Char(',')) != kHeader) {
        return QStringLiteral("row 1: the header must be \"%1\"").arg(kHeader);
    }
    ConfigImage updated = image;
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        const QString where = QStringLiteral("row %1: ").arg(r + 1);
        if (row.size() != 3) {
            return where + QStringLiteral("expected table,number,label");
        }
        const auto table = std::find_if(kTables.begin(), kTables.end(), [&](const auto& t) {
            return row[0].trimmed() == QLatin1String(t.first);
        });
        if (table == kTables.end()) {
            return where + QStringLiteral("unknown table \"%1\" (input, output, group or preset)")
                               .arg(row[0]);
        }
        bool ok = false;
        const int n = row[1].trimmed().toInt(&ok);
        if (!ok || n < 1 || n > kLabelsPerKind) {
            return where + QStringLiteral("number \"%1\" is not 1 to 16").arg(row[1]);
        }
        const QString& label = row[2];
        for (const QChar c : label) {
            if (c.unicode() == 0 || c.unicode() > 0xFF) {
                return where + QStringLiteral("the label holds a character that is not 8-bit text");
            }
        }
        const QByteArray bytes = label.toLatin1();
        if (bytes.size() > static_cast<qsizetype>(LabelSlot::kSize)) {
            return where +
                   QStringLiteral("the label \"%1\" is longer than 6 characters").arg(label);
        }
        WriteLabel(updated, table->second, n, bytes.toStdString());
    }
    image = updated;
    return std::nullopt;
}

} // namespace qvc::ctl
