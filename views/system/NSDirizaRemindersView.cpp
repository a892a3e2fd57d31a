#include "views/system/NSDirizaRemindersView.h"

#include "gui/NSLanguageText.h"
#include "views/frame/ResultText.h"

NSDirizaRemindersView::NSDirizaRemindersView(QWidget* parent)
    : SystemTableViewOf(DirizaResultView::Notes, parent) {
    info_ = new InfoPane(false, 2, this);
    SetInfoPane(info_);
    Init();
}

void NSDirizaRemindersView::AddDirizaFile(const QList<NSRemindersData>& notes) {
    Deliver(notes);
}

QString NSDirizaRemindersView::HeaderText(int column) const {
    switch (column) {
    case 1:
        return LanguageText("TitleCell");
    case 2:
        return LanguageText("TimeCell");
    default:
        return QString();
    }
}

QString NSDirizaRemindersView::CellText(int record, int column) const {
    const NSRemindersData& r = At(record);
    switch (column) {
    case 1:
        return r.Title();
    case 2:
        return ResultText::LocalTime(r.lDataTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    default:
        return QString();
    }
}

QStringList NSDirizaRemindersView::SearchFields(const NSRemindersData& r) const {
    return {r.Title(), r.Content()};
}

void NSDirizaRemindersView::RetranslateInfo() {
    info_->SetCaption(0, LanguageText("TitleCell"));
    info_->SetCaption(1, LanguageText("ContentCell"));
}

void NSDirizaRemindersView::FillInfo(int record) {
    info_->SetValue(0, At(record).Title());
    info_->SetValue(1, At(record).Content());
}

NotesTexts NSDirizaRemindersView::SaveTexts() const {
    return {LanguageText("Memo"), LanguageText("MemoDataStruct"), LanguageText("Delete"),
            LanguageText("NotDelete")};
}

DirizaSaveResult NSDirizaRemindersView::Write(const SaveFolder& folder, const QList<NSRemindersData>& records,
                                              const std::vector<int>& items, const NotesTexts& texts) const {
    const CsvWriter::LogLines log{QStringLiteral("【日志】备忘录.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】备忘录.csv, 写入错误"),
                                  QStringLiteral("【日志】备忘录.csv, 无法写入内容")};
    return WriteCsv(folder, texts.file, texts.header, log, int(items.size()),
                    [&](int i, QStringList& fields) {
                        const NSRemindersData& r = records[items[size_t(i)]];
                        fields = {r.Title(), ResultText::LocalTime(r.lDataTime()), r.Content(),
                                  r.bDelete() ? texts.deleted : texts.kept};
                        return true;
                    });
}
