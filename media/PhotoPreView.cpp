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

PhotoPreView::PhotoPreView(QWidget* parent) : QWidget(parent, Qt::Window) {
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
    layout->addWidget(PhotoView, 1);
    layout->addWidget(Text, 1);
    PhotoView->hide();
    Text->hide();
    resize(480, 360);
}

PhotoPreView* PhotoPreView::shareInstance() {
    static PhotoPreView* instance = new PhotoPreView;
    return instance;
}

void PhotoPreView::showWindow() {
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
    if (event->type() == QEvent::LanguageChange && Text->isVisible())
        Text->setText(MediaText("NotResources"));
    QWidget::changeEvent(event);
}

void PhotoPreView::ShowPhotoFilePreview(const QString& path) {
    Text->hide();
    PhotoView->hide();
    const QRect area = PreviewWindow::AvailableArea(this);
    const QMargins frame = PreviewWindow::FrameOf(this);
    const QMargins margins = layout()->contentsMargins();
    const QSize chrome(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QSize box = PreviewWindow::ContentRoom(chrome, frame, area);
    QString why;
    QImage image;
    if (!QFileInfo(path).isFile())
        why = QStringLiteral("not a file");
    else
        image = ImageFileReader::Read(path, box, &why);
    if (image.isNull()) {
        ProcessLog::Write(QStringLiteral("PhotoPreView: %1 cannot be shown: %2").arg(path, why));
        PhotoView->clear();
        Text->setText(MediaText("NotResources"));
        Text->show();
        return;
    }
    // The whole picture on the screen: scaled down with its aspect kept when larger.
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    PhotoView->setPixmap(QPixmap::fromImage(image));
    PhotoView->show();
    setGeometry(PreviewWindow::FitGeometry(image.size().expandedTo(QSize(200, 150)), chrome, frame, area));
}
