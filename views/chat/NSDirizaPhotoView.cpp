#include "views/chat/NSDirizaPhotoView.h"

#include "app/common/NSLanguageText.h"

NSDirizaPhotoView::NSDirizaPhotoView(IPreviewService& preview, QWidget* parent, int pollMs)
    : MediaGridResultView(DirizaResultView::Photo, MediaGrid::Tile::Photo, preview, parent, pollMs) {}

QString NSDirizaPhotoView::FolderName() const {
    return LanguageText("Photo");
}
