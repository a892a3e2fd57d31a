#include "app/pages/MediaPreviewService.h"

#include "media/AudioPreView.h"
#include "media/PhotoPreView.h"
#include "media/PreviewWindow.h"
#include "media/TxtPreView.h"
#include "media/VideoPreView.h"

void MediaPreviewService::ShowPhoto(const QString& path, const QString& title) {
    PhotoPreView* preview = PhotoPreView::shareInstance();
    preview->showWindow();
    if (!title.isEmpty()) PreviewWindow::SetOwnTitle(preview->window(), title);
    preview->ShowPhotoFilePreview(path);
}

void MediaPreviewService::ShowPhotoThumbnail(const QString& path) {
    PhotoPreView* preview = PhotoPreView::shareInstance();
    preview->showWindow();
    preview->ShowThumbnailPreview(path);
}

void MediaPreviewService::ShowNoPreview(const QString& title) {
    PhotoPreView* preview = PhotoPreView::shareInstance();
    preview->showWindow();
    if (!title.isEmpty()) PreviewWindow::SetOwnTitle(preview->window(), title);
    preview->ShowNoPreview();
}

void MediaPreviewService::ShowVideo(const QString& path) {
    VideoPreView* preview = VideoPreView::shareInstance();
    preview->showWindow();
    preview->ShowVideoFilePreView(path);
}

void MediaPreviewService::ShowSilkVoice(const QString& path) {
    AudioPreView* preview = AudioPreView::shareInstance();
    preview->showWindow();
    preview->ShowAudFilePreview(path);
}

void MediaPreviewService::ShowAudioData(const QByteArray& data) {
    AudioPreView* preview = AudioPreView::shareInstance();
    preview->showWindow();
    preview->ShowAmrFilePreview(data);
}

void MediaPreviewService::ShowVoiceFile(const QString& path) {
    AudioPreView* preview = AudioPreView::shareInstance();
    preview->showWindow();
    preview->ShowAudioPreview(path);
}

void MediaPreviewService::ShowText(const QString& path) {
    TxtPreView* preview = TxtPreView::shareInstance();
    preview->showWindow();
    preview->ShowTxtPreview(path);
}
