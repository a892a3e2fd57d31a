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
    // The thumbnail of a picture whose full file is missing: shown with a line that says
    // it is only the thumbnail, and titled so.
    void ShowThumbnailPreview(const QString& path);
    // No picture, only the words that files of this kind have no preview.
    void ShowNoPreview();

    QLabel* photoView() const { return PhotoView; }
    QLabel* text() const { return Text; }
    QLabel* note() const { return Note; }

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showMessage(const char* key);
    // Shows the picture at `path`, with the thumbnail line when `thumbnail`.
    void showPicture(const QString& path, bool thumbnail);

    QLabel* PhotoView = nullptr;
    const char* textKey = "NotResources";
    QLabel* Text = nullptr;
    QLabel* Note = nullptr;
};
