#include "WireLogModel.h"

#include <algorithm>

namespace qvc {

namespace {
constexpr int kColumns = 6;
const char* const kHeaders[kColumns] = {"Time (ms)", "Link",    "Line sent",
                                        "Kind",      "Outcome", "Took (ms)"};
} // namespace

WireLogModel::WireLogModel(QObject* parent, std::size_t limit)
    : QAbstractTableModel(parent), limit_(limit > 0 ? limit : 1) {}

void WireLogModel::Append(const WireExchange& exchange) {
    Append(std::vector<WireExchange>{exchange});
}

void WireLogModel::Append(const std::vector<WireExchange>& exchanges) {
    const std::size_t fit = std::min(limit_ - count_, exchanges.size());
    if (fit > 0) {
        const int first = static_cast<int>(count_);
        beginInsertRows({}, first, first + static_cast<int>(fit) - 1);
        ring_.insert(ring_.end(), exchanges.begin(), exchanges.begin() + static_cast<long>(fit));
        count_ += fit;
        endInsertRows();
    }
    if (fit == exchanges.size()) {
        return;
    }
    // Full: each newer one takes the place of the oldest, and every row moves
    // up, which the view learns as a change of all rows.
    for (auto it = exchanges.begin() + static_cast<long>(fit); it != exchanges.end(); ++it) {
        ring_[oldest_] = *it;
        oldest_ = (oldest_ + 1) % limit_;
    }
    emit dataChanged(index(0, 0), index(static_cast<int>(count_) - 1, kColumns - 1));
}

void WireLogModel::Clear() {
    beginResetModel();
    ring_.clear();
    oldest_ = 0;
    count_ = 0;
    endResetModel();
}

const WireExchange& WireLogModel::At(std::size_t row) const {
    return ring_[(oldest_ + row) % ring_.size()];
}

QString WireLogModel::Text() const {
    QString text;
    for (std::size_t row = 0; row < count_; ++row) {
        text += WireExchangeText(At(row));
        text += QLatin1Char('\n');
    }
    return text;
}

int WireLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(count_);
}

int WireLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant WireLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= count_) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == TimeColumn || index.column() == DurationColumn;
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
        return {};
    }
    const WireExchange& e = At(static_cast<std::size_t>(index.row()));
    switch (index.column()) {
    case TimeColumn:
        return QString::number(e.atMs);
    case LinkColumn:
        return e.link;
    case LineColumn:
        return WireLineText(e.line);
    case KindColumn:
        return WireKindText(e.kind);
    case OutcomeColumn:
        return WireOutcomeText(e);
    case DurationColumn:
        return QString::number(e.durationMs);
    default:
        return {};
    }
}

QVariant WireLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString::fromLatin1(kHeaders[section]);
}

} // namespace qvc
