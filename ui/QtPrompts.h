// The program's Prompts: message boxes and file dialogs. The only code that
// calls QMessageBox and QFileDialog; only the composition root creates it.
#pragma once

#include "link/Prompts.h"

class QWidget;

namespace qvc {

inline constexpr const char* kApplicationTitle = "Norvak Dellby Quorvel";

class QtPrompts : public Prompts {
  public:
    void Message(const QString& text) override;
    void MessageWithTitle(const QString& title, const QString& text) override;
    bool YesNo(const QString& title, const QString& text) override;
    bool OkCancel(const QString& title, const QString& text) override;
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title) override;
    QString SaveFileName(const QString& title) override;
};

} // namespace qvc
