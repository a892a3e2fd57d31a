#include "views/chat/NSDirizaVideoView.h"

#include "app/common/NSLanguageText.h"

NSDirizaVideoView::NSDirizaVideoView(IPreviewService& preview, QWidget* parent, int pollMs)
    : MediaGridResultView(DirizaResultView::Video, MediaGrid::Tile::Video, preview, parent, pollMs) {}

QString NSDirizaVideoView::FolderName() const {
    return LanguageText("Video");
}
