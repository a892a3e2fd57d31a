#include "views/media/NSDirizaVideoView.h"

#include "gui/NSLanguageText.h"

NSDirizaVideoView::NSDirizaVideoView(IPreviewService& preview, QWidget* parent, int pollMs)
    : MediaGridResultView(DirizaResultView::Video, MediaGrid::Tile::Video, preview, parent, pollMs) {}

QString NSDirizaVideoView::FolderName() const {
    return LanguageText("Video");
}
