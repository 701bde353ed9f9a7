// The About dialog (LMDAboutDlg1) and the small seam through which the main
// window shows it: the program runs it modally, tests look at it without
// blocking.
#pragma once

#include <QDialog>

class QLabel;

namespace qvc {

class LMDAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit LMDAboutDlg(QWidget* parent = nullptr);

    void SetVersion(const QString& versionText); // "Version " + version
    QString VersionText() const;

  private:
    QLabel* version_ = nullptr;
};

class AboutPresenter {
  public:
    virtual ~AboutPresenter() = default;
    // Shows the dialog modally over the main window and returns when it closed.
    virtual void Present(LMDAboutDlg& dialog) = 0;
};

// The program's presenter: a modal exec().
class ModalAboutPresenter : public AboutPresenter {
  public:
    void Present(LMDAboutDlg& dialog) override;
};

} // namespace qvc
