#include "views/media/NSDirizaMusicView.h"

#include "gui/NSLanguageText.h"

NSDirizaMusicView::NSDirizaMusicView(IPreviewService& preview, QWidget* parent, int pollMs)
    : MediaGridResultView(DirizaResultView::VoiceMemo, MediaGrid::Tile::Music, preview, parent, pollMs) {}

QString NSDirizaMusicView::FolderName() const {
    return LanguageText("Music");
}
