#pragma once
#include "app/recovery/NSProgressBlueColorView.h"

#include <QLabel>
#include <QWidget>

// The flat progress bar of the recovery page: a translucent track, a fill bar whose
// width shows the progress, and one centred line of text. It keeps no timer and makes
// no text of its own: it shows the text it is given.
class ZZProgressView : public QWidget {
  public:
    explicit ZZProgressView(QWidget* parent = nullptr);

    // The total (100 at first); setting it redraws nothing.
    void setTotatProgress(double total) { fTotatProgress = total; }
    double getTotatProgress() const { return fTotatProgress; }
    // Shows a progress (kept between 0 and the total) and a text; with a total of 0 or
    // less only the progress is stored and neither the text nor the bar changes.
    void setProgress(double progress, const QString& text);
    double getProgress() const { return fProgress; }
    // Shows a text and leaves the bar as it is (a progress without a total).
    void ShowText(const QString& text);
    // Shows a text with an empty bar.
    void ShowTitle(const QString& text);
    // Shows the text line, empty, and the fill bar.
    void InitProgressTitle();
    // Hides the fill bar and the text line.
    void HiddenRogress();

    // The text shown and the fill bar's width in pixels.
    QString Text() const { return ScanningText->text(); }
    int FillWidth() const { return pNSProgressBlueColorView->width(); }
    bool FillVisible() const { return !pNSProgressBlueColorView->isHidden(); }
    // The text line (for tests).
    const QLabel* TextLine() const { return ScanningText; }

    // Room for the text shown, and at least for the text line's usual width.
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void SetText(const QString& text);
    // The width the text shown needs, margins included (0: no text).
    int TextNeed() const;
    void PlaceText();
    void PlaceFill();

    double fProgress = 0;
    double fTotatProgress = 100;
    NSProgressBlueColorView* pNSProgressBlueColorView = nullptr;
    QLabel* ScanningText = nullptr;
};
