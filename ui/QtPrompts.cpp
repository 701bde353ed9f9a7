#include "QtPrompts.h"

#include "ui/common/ControlNames.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qvc {

namespace {
// Object names by which message boxes and their buttons can be found.
const QString kMessageBoxName = QStringLiteral("MessageBox");
const QString kQuestionBoxName = QStringLiteral("QuestionBox");
const QString kErrorBoxName = QStringLiteral("ErrorBox");
const QString kErrorTitle = QStringLiteral("Error");

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

QMessageBox::StandardButton Run(const QString& name, QMessageBox::Icon icon, const QString& title,
                                const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, DialogParent());
    NameControl(&box, name, title);
    box.setDefaultButton(defaultButton);
    for (QAbstractButton* button : box.buttons()) {
        const QString id = box.standardButton(button) == QMessageBox::Yes  ? QStringLiteral("Yes")
                           : box.standardButton(button) == QMessageBox::No ? QStringLiteral("No")
                           : box.standardButton(button) == QMessageBox::Cancel
                               ? QStringLiteral("Cancel")
                               : QStringLiteral("OK");
        NameControl(button, name + id + QStringLiteral("Button"));
    }
    // The prompts of the program carry tabs and line breaks: keep them.
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void QtPrompts::Message(const QString& text) {
    Run(kMessageBoxName, QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text,
        QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::MessageWithTitle(const QString& title, const QString& text) {
    Run(kMessageBoxName, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompts::YesNo(const QString& title, const QString& text) {
    return Run(kQuestionBoxName, QMessageBox::Question, title, text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtPrompts::OkCancel(const QString& title, const QString& text) {
    return Run(kQuestionBoxName, QMessageBox::Warning, title, text,
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

void QtPrompts::Error(const QString& text) {
    Run(kErrorBoxName, QMessageBox::Critical, kErrorTitle, text, QMessageBox::Ok, QMessageBox::Ok);
}

QString QtPrompts::OpenFileName(const QString& title) {
    // No filter and no extension: any file name is taken as typed.
    return QFileDialog::getOpenFileName(DialogParent(), title);
}

QString QtPrompts::SaveFileName(const QString& title) {
    // The save replaces an existing file without asking first.
    return QFileDialog::getSaveFileName(DialogParent(), title, QString(), QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace qvc
