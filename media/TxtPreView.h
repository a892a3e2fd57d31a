#pragma once
#include <QWidget>

class QPlainTextEdit;

// The one text preview window: the file's text as UTF-8 (at most its first 4 MB).
class TxtPreView : public QWidget {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    explicit TxtPreView(QWidget* parent = nullptr);
    static TxtPreView* shareInstance();

    void showWindow();
    QWidget* window() { return this; }
    void ShowTxtPreview(const QString& path);

    QPlainTextEdit* ShowText() const { return showText; }
    // The text shown for the file's bytes: invalid UTF-8 as replacement characters, cut at
    // kMaxBytes (on a character boundary) with a last line "…" when there was more.
    static QString TextOf(const QByteArray& head, bool more);

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPlainTextEdit* showText = nullptr;
};
