#pragma once
#include <QHeaderView>
#include <QPixmap>

// A table header that draws a select-all tick box ("check_ok" or "check_no") 5 pixels
// from its left edge, centred vertically. The owner calls setIsSelect; the header has
// no click handling of its own (the owner listens to sectionClicked).
class TableHeadrView : public QHeaderView {
  public:
    explicit TableHeadrView(QWidget* parent = nullptr);

    bool isSelect() const { return isSelect_; }
    // Shows the tick (true) or the empty box; nothing when it shows that already.
    void setIsSelect(bool select);
    const QPixmap& SelectImage() const { return selectImage; }
    // The image shown for a state.
    static QString ImageName(bool select) {
        return select ? QStringLiteral("check_ok") : QStringLiteral("check_no");
    }
    // Times setIsSelect redrew the header.
    int redraws() const { return redrawCount; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool isSelect_ = false;
    bool hasImage = false;
    QPixmap selectImage;
    int redrawCount = 0;
};
