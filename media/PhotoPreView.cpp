#include "media/PhotoPreView.h"

#include "platform/ProcessLog.h"
#include "media/MediaText.h"
#include "media/PreviewWindow.h"
#include "platform/ImageFileReader.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

PhotoPreView::PhotoPreView(QWidget* parent) : QWidget(parent, PreviewWindow::kFlags) {
    setObjectName(QStringLiteral("PhotoPreView"));
    auto* layout = new QVBoxLayout(this);
    PhotoView = new QLabel(this);
    PhotoView->setObjectName(QStringLiteral("PhotoView"));
    PhotoView->setAlignment(Qt::AlignCenter);
    PhotoView->setMinimumSize(1, 1);
    Text = new QLabel(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setAlignment(Qt::AlignCenter);
    Text->setWordWrap(true);
    Note = new QLabel(this);
    Note->setObjectName(QStringLiteral("Note"));
    Note->setAlignment(Qt::AlignCenter);
    Note->setWordWrap(true);
    layout->addWidget(PhotoView, 1);
    layout->addWidget(Text, 1);
    layout->addWidget(Note);
    PhotoView->hide();
    Text->hide();
    Note->hide();
    PreviewWindow::SetTitle(this, "PreviewPhotoTitle");
    resize(480, 360);
}

PhotoPreView* PhotoPreView::shareInstance() {
    static PhotoPreView* instance = new PhotoPreView;
    return instance;
}

void PhotoPreView::showWindow() {
    PreviewWindow::SetTitle(this, "PreviewPhotoTitle");
    PreviewWindow::ShowInFront(this);
}

void PhotoPreView::keyPressEvent(QKeyEvent* event) {
    if (PreviewWindow::IsCloseKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PhotoPreView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        if (Text->isVisible()) Text->setText(MediaText(textKey));
        if (Note->isVisible()) Note->setText(MediaText("PreviewThumbnailNote"));
        PreviewWindow::Retitle(this);
    }
    QWidget::changeEvent(event);
}

void PhotoPreView::showMessage(const char* key) {
    textKey = key;
    PhotoView->hide();
    PhotoView->clear();
    Note->hide();
    Text->setText(MediaText(key));
    Text->show();
    // The words in a window of their own size, in the middle of the window it is for.
    const QRect area = PreviewWindow::AvailableArea(this);
    const QMargins frame = PreviewWindow::FrameOf(this);
    setGeometry(
        PreviewWindow::FitGeometry(QSize(420, 160), QSize(), frame, area, PreviewWindow::AnchorFrame(this)));
}

void PhotoPreView::ShowNoPreview() {
    showMessage("PreviewNoneForKind");
}

void PhotoPreView::ShowPhotoFilePreview(const QString& path) {
    showPicture(path, false);
}

void PhotoPreView::ShowThumbnailPreview(const QString& path) {
    PreviewWindow::SetTitle(this, "PreviewThumbnailTitle");
    showPicture(path, true);
}

void PhotoPreView::showPicture(const QString& path, bool thumbnail) {
    Text->hide();
    PhotoView->hide();
    Note->setText(MediaText("PreviewThumbnailNote"));
    Note->setVisible(thumbnail);
    const QRect area = PreviewWindow::AvailableArea(this);
    const QMargins frame = PreviewWindow::FrameOf(this);
    const QMargins margins = layout()->contentsMargins();
    QSize chrome(margins.left() + margins.right(), margins.top() + margins.bottom());
    if (thumbnail) chrome.rheight() += Note->heightForWidth(360) + layout()->spacing();
    const QSize box = PreviewWindow::ContentRoom(chrome, frame, area);
    QString why;
    QImage image;
    if (!QFileInfo(path).isFile())
        why = QStringLiteral("not a file");
    else
        image = ImageFileReader::Read(path, box, &why);
    if (image.isNull()) {
        ProcessLog::Write(QStringLiteral("PhotoPreView: %1 cannot be shown: %2").arg(path, why));
        showMessage("NotResources");
        return;
    }
    // The whole picture on the screen: scaled down with its aspect kept when larger.
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    PhotoView->setPixmap(QPixmap::fromImage(image));
    PhotoView->show();
    // Room for the thumbnail's line below a small picture.
    const QSize least = thumbnail ? QSize(360, 150) : QSize(200, 150);
    setGeometry(PreviewWindow::FitGeometry(image.size().expandedTo(least), chrome, frame, area,
                                           PreviewWindow::AnchorFrame(this)));
}
