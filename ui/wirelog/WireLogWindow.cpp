#include "WireLogWindow.h"

#include "link/DeviceLink.h"
#include "link/LinkEvents.h"
#include "link/Prompts.h"
#include "ui/common/ControlNames.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace qvc {

namespace {
const QString kTitle = QStringLiteral("Wire Log");
const QString kPauseText = QStringLiteral("Pause");
const QString kResumeText = QStringLiteral("Resume");
const QString kClearText = QStringLiteral("Clear");
const QString kCopyText = QStringLiteral("Copy");
const QString kSaveText = QStringLiteral("Save...");
const QString kSaveTitle = QStringLiteral("Save Wire Log");
const QString kSaveErrorText = QStringLiteral("Unable to save the wire log to %1: %2");
constexpr int kWidth = 940; // at 120 dpi
constexpr int kHeight = 440;

QPushButton* Button(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    NameControl(button, QString::fromLatin1(name), text);
    button->setAutoDefault(false);
    return button;
}
} // namespace

WireLogWindow::WireLogWindow(LinkEvents& events, DeviceLink& link, Prompts& prompts,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), prompts_(prompts) {
    NameControl(this, QStringLiteral("WireLogWindow"), kTitle);
    setWindowTitle(kTitle);

    table_ = new QTableView(this);
    NameControl(table_, QStringLiteral("WireLogTable"), QStringLiteral("Exchanges"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    // Rows of one height: the view need not measure 10,000 of them.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(false);
    const int digit = table_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    // The line sent takes what the other columns leave.
    header->resizeSection(WireLogModel::TimeColumn, digit * 10);
    header->resizeSection(WireLogModel::LinkColumn, digit * 19);
    header->setSectionResizeMode(WireLogModel::LineColumn, QHeaderView::Stretch);
    header->resizeSection(WireLogModel::KindColumn, digit * 10);
    header->resizeSection(WireLogModel::OutcomeColumn, digit * 20);
    header->resizeSection(WireLogModel::DurationColumn, digit * 10);
    header->setMinimumSectionSize(digit * 6);

    pause_ = Button(this, kPauseText, "WireLogPauseButton");
    pause_->setCheckable(true);
    QPushButton* clear = Button(this, kClearText, "WireLogClearButton");
    QPushButton* copy = Button(this, kCopyText, "WireLogCopyButton");
    QPushButton* save = Button(this, kSaveText, "WireLogSaveButton");
    connect(pause_, &QPushButton::clicked, this, &WireLogWindow::TogglePause);
    connect(clear, &QPushButton::clicked, this, &WireLogWindow::ClearClick);
    connect(copy, &QPushButton::clicked, this, &WireLogWindow::CopyClick);
    connect(save, &QPushButton::clicked, this, &WireLogWindow::SaveClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    setTabOrder(table_, pause_);
    setTabOrder(pause_, clear);
    setTabOrder(clear, copy);
    setTabOrder(copy, save);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &WireLogWindow::Flush);

    resize(ScaledPixels(this, kWidth), ScaledPixels(this, kHeight));
    connect(&events, &LinkEvents::exchangeLogged, this, &WireLogWindow::Logged);
}

WireLogWindow::~WireLogWindow() {
    link_.SetWireLogging(false);
}

bool WireLogWindow::Paused() const {
    return pause_->isChecked();
}

void WireLogWindow::Logged(const WireExchange& exchange) {
    if (!isVisible() || Paused()) {
        return;
    }
    pending_.push_back(exchange);
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void WireLogWindow::Flush() {
    flushTimer_.stop();
    if (pending_.empty()) {
        return;
    }
    QScrollBar* bar = table_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_.Append(pending_);
    pending_.clear();
    if (atEnd) {
        table_->scrollToBottom();
    }
}

// The link records exchanges only while somebody reads them.
void WireLogWindow::UpdateLogging() {
    link_.SetWireLogging(isVisible() && !Paused());
}

void WireLogWindow::TogglePause() {
    Flush(); // what came before the pause is shown
    const QString text = Paused() ? kResumeText : kPauseText;
    pause_->setText(text);
    pause_->setAccessibleName(text);
    UpdateLogging();
}

void WireLogWindow::ClearClick() {
    pending_.clear();
    model_.Clear();
}

void WireLogWindow::CopyClick() {
    Flush();
    QApplication::clipboard()->setText(model_.Text());
}

void WireLogWindow::SaveClick() {
    const QString path = prompts_.SaveFileName(kSaveTitle);
    if (path.isEmpty()) {
        return;
    }
    Flush();
    QSaveFile file(path);
    const QByteArray bytes = model_.Text().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        prompts_.Message(kSaveErrorText.arg(path, file.errorString()));
    }
}

void WireLogWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    UpdateLogging();
}

void WireLogWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Flush();
    UpdateLogging();
}

} // namespace qvc
