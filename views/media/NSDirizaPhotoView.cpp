#include "views/media/NSDirizaPhotoView.h"

#include "gui/NSLanguageText.h"

NSDirizaPhotoView::NSDirizaPhotoView(IPreviewService& preview, QWidget* parent, int pollMs)
    : MediaGridResultView(DirizaResultView::Photo, MediaGrid::Tile::Photo, preview, parent, pollMs) {}

QString NSDirizaPhotoView::FolderName() const {
    return LanguageText("Photo");
}
