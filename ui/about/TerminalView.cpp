#include "TerminalView.h"

#include <QFontDatabase>
#include <QPainter>

namespace qvc {

namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kBackspace = '\b';
constexpr int kMargin = 4;
} // namespace

TerminalView::TerminalView(QWidget* parent) : QWidget(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ClearScreen();
}

void TerminalView::ClearScreen() {
    rows_.clear();
    for (int r = 0; r < kRows; ++r) {
        rows_.append(QByteArray(kColumns, ' '));
    }
    row_ = 0;
    column_ = 0;
    update();
}

void TerminalView::NewLine() {
    if (row_ + 1 < kRows) {
        ++row_;
        return;
    }
    rows_.removeFirst();
    rows_.append(QByteArray(kColumns, ' '));
}

void TerminalView::Feed(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == kCr) {
            column_ = 0;
        } else if (c == kLf) {
            NewLine();
        } else if (c == kBackspace) {
            column_ = column_ > 0 ? column_ - 1 : 0;
        } else if (u >= 0x20 && u < 0x7F) {
            if (column_ >= kColumns) {
                column_ = 0;
                NewLine();
            }
            rows_[row_][column_] = c;
            ++column_;
        }
    }
    update();
}

QStringList TerminalView::Rows() const {
    QStringList rows;
    for (const QByteArray& r : rows_) {
        rows << QString::fromLatin1(r).trimmed();
    }
    return rows;
}

QSize TerminalView::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('M')) * kColumns + 2 * kMargin,
            metrics.lineSpacing() * kRows + 2 * kMargin};
}

void TerminalView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(kBackColour));
    painter.setPen(QColor(kTextColour));
    painter.setFont(font());
    const QFontMetrics metrics(font());
    int y = kMargin + metrics.ascent();
    for (const QByteArray& r : rows_) {
        painter.drawText(kMargin, y, QString::fromLatin1(r));
        y += metrics.lineSpacing();
    }
}

} // namespace qvc
