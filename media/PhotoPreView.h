#pragma once
#include <QWidget>

class QLabel;

// The one photo preview window: the picture, or "NotResources" when it cannot be shown.
class PhotoPreView : public QWidget {
    Q_OBJECT
  public:
    explicit PhotoPreView(QWidget* parent = nullptr);
    static PhotoPreView* shareInstance();

    void showWindow();
    QWidget* window() { return this; }
    void ShowPhotoFilePreview(const QString& path);

    QLabel* photoView() const { return PhotoView; }
    QLabel* text() const { return Text; }

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QLabel* PhotoView = nullptr;
    QLabel* Text = nullptr;
};
