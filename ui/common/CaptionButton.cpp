#include "CaptionButton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace qvc {

namespace {

constexpr int kLineCharacters = 3; // half of the longest label
constexpr int kLines = 2;

// The widest character a label can hold (Latin-1), per font.
int WidestCharacter(const QFontMetrics& metrics, const QFont& font) {
    static QHash<QString, int> known;
    const QString key = font.key();
    const auto found = known.constFind(key);
    if (found != known.constEnd()) {
        return *found;
    }
    int widest = 0;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c >= 0x7F && c < 0xA0) {
            continue; // control characters
        }
        widest = std::max(widest, metrics.horizontalAdvance(QChar(c)));
    }
    known.insert(key, widest);
    return widest;
}

} // namespace

QStringList WrapCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    const auto fits = [&](const QString& line) { return metrics.horizontalAdvance(line) <= width; };
    if (fits(caption)) {
        return {caption};
    }
    for (qsizetype blank = caption.lastIndexOf(QLatin1Char(' ')); blank > 0;
         blank = caption.lastIndexOf(QLatin1Char(' '), blank - 1)) {
        const QString first = caption.left(blank).trimmed();
        const QString second = caption.mid(blank + 1).trimmed();
        if (!first.isEmpty() && fits(first) && fits(second)) {
            return {first, second};
        }
    }
    qsizetype cut = 1;
    while (cut < caption.size() - 1 && fits(caption.left(cut + 1))) {
        ++cut;
    }
    return {caption.left(cut), caption.mid(cut)};
}

CaptionButton::CaptionButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

QSize CaptionButton::TwoLineSize() const {
    const QFontMetrics metrics = fontMetrics();
    const QSize contents(kLineCharacters * WidestCharacter(metrics, font()),
                         kLines * metrics.lineSpacing() + TagHeight());
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, this);
}

QSize CaptionButton::sizeHint() const {
    return TwoLineSize();
}

QSize CaptionButton::minimumSizeHint() const {
    return TwoLineSize();
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    option.text = WrapCaption(text(), fontMetrics(), contents.width()).join(QLatin1Char('\n'));
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const int tagHeight = TagHeight();
    option.rect.adjust(0, tagHeight, 0, 0); // the caption below the tag's line
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (!tag_.isEmpty()) {
        // Small, bold, in the caption's colour, in its own line.
        const QFont small = TagFont();
        painter.setFont(small);
        painter.setPen(palette().color(QPalette::ButtonText));
        const int inset = std::max(2, QFontMetrics(small).height() / 3);
        painter.drawText(rect().adjusted(inset, inset / 2, -inset, -inset),
                         Qt::AlignTop | Qt::AlignRight, tag_);
    }
}

QFont CaptionButton::TagFont() const {
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.6);
    small.setBold(true);
    return small;
}

int CaptionButton::TagHeight() const {
    return tagRoom_ ? QFontMetrics(TagFont()).height() : 0;
}

void CaptionButton::SetTagRoom(bool room) {
    if (room != tagRoom_) {
        tagRoom_ = room;
        updateGeometry();
        update();
    }
}

void CaptionButton::SetTag(const QString& tag) {
    if (tag != tag_) {
        tag_ = tag;
        update();
    }
}

void CaptionButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
    }
}

} // namespace qvc
