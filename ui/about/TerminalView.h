// A small terminal view: a fixed number of rows of fixed-pitch text, light
// grey on black, without scroll-back. Bytes are shown as they arrive; CR
// returns to the start of the row, LF moves down a row (the top row drops
// off at the bottom), backspace steps back, other control bytes are ignored.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QWidget>

namespace qvc {

class TerminalView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRows = 15;
    static constexpr int kColumns = 64;
    static constexpr QRgb kTextColour = 0xC0C0C0;
    static constexpr QRgb kBackColour = 0x000000;

    explicit TerminalView(QWidget* parent = nullptr);

    void Feed(const QByteArray& bytes);
    void ClearScreen();
    // The rows as shown, trailing blanks removed.
    QStringList Rows() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void NewLine();

    QList<QByteArray> rows_;
    int row_ = 0;
    int column_ = 0;
};

} // namespace qvc
