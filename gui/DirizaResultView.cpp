#include "gui/DirizaResultView.h"

DirizaResultView::DirizaResultView(QWidget* parent) : QWidget(parent) {}

DirizaResultView::~DirizaResultView() = default;

bool DirizaResultView::StopRequested() const {
    NSDirizaDataUpdateDelegate* d = delegate_.load();
    return d != nullptr && d->isStopSave();
}

void DirizaResultView::ReportSaveProgress(int total, int current) const {
    if (NSDirizaDataUpdateDelegate* d = delegate_.load()) d->SaveDataProgress(total, current);
}
