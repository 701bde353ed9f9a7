// The exchanges the wire log shows: the most recent ones, up to a limit, in a
// ring, so that an append costs the same however full the log is. Once full,
// each append drops the oldest exchange.
#pragma once

#include "link/WireExchange.h"

#include <QAbstractTableModel>
#include <cstddef>
#include <vector>

namespace qvc {

class WireLogModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr std::size_t kLimit = 10000;
    enum Column { TimeColumn, LinkColumn, LineColumn, KindColumn, OutcomeColumn, DurationColumn };

    explicit WireLogModel(QObject* parent = nullptr, std::size_t limit = kLimit);

    void Append(const WireExchange& exchange);
    // Several at once: one change of the rows for all of them.
    void Append(const std::vector<WireExchange>& exchanges);
    void Clear();
    std::size_t Count() const { return count_; }
    // Row `row`, 0 being the oldest kept.
    const WireExchange& At(std::size_t row) const;
    // Every exchange kept, oldest first, one line each (WireExchangeText),
    // each ended by a line feed.
    QString Text() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::size_t limit_;
    std::vector<WireExchange> ring_;
    std::size_t oldest_ = 0; // index in ring_ of row 0, once the ring is full
    std::size_t count_ = 0;
};

} // namespace qvc
