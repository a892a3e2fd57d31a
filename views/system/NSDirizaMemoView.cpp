#include "views/system/NSDirizaMemoView.h"

#include "gui/NSLanguageText.h"
#include "views/frame/ResultText.h"

NSDirizaMemoView::NSDirizaMemoView(QWidget* parent) : SystemTableViewOf(DirizaResultView::Reminders, parent) {
    info_ = new InfoPane(false, 2, this);
    SetInfoPane(info_);
    Init();
}

void NSDirizaMemoView::AddDirizaFile(const QList<NSMemoData>& reminders) {
    Deliver(reminders);
}

QString NSDirizaMemoView::HeaderText(int column) const {
    switch (column) {
    case 1:
        return LanguageText("TitleCell");
    case 2:
        return LanguageText("ListCell");
    case 3:
        return LanguageText("LocationCell");
    case 4:
        return LanguageText("StateCell");
    case 5:
        return LanguageText("DateCell");
    default:
        return QString();
    }
}

QStringList NSDirizaMemoView::ColumnSamples(int column) const {
    return column == 4 ? QStringList{LanguageText("CompleteCell"), LanguageText("NotCompleteCell")}
                       : QStringList();
}

QString NSDirizaMemoView::CellText(int record, int column) const {
    const NSMemoData& r = At(record);
    switch (column) {
    case 1:
        return r.Title();
    case 2:
        return r.Type();
    case 3:
        return r.Location();
    case 4:
        return r.bComplete() ? LanguageText("CompleteCell") : LanguageText("NotCompleteCell");
    case 5:
        return ResultText::LocalTime(r.lDataTime());
    default:
        return QString();
    }
}

QStringList NSDirizaMemoView::SearchFields(const NSMemoData& r) const {
    return {r.Title(), r.Content()};
}

void NSDirizaMemoView::RetranslateInfo() {
    info_->SetCaption(0, LanguageText("TitleCell"));
    info_->SetCaption(1, LanguageText("ContentCell"));
}

void NSDirizaMemoView::FillInfo(int record) {
    info_->SetValue(0, At(record).Title());
    info_->SetValue(1, At(record).Content());
}

RemindersTexts NSDirizaMemoView::SaveTexts() const {
    return {LanguageText("Reminders"), LanguageText("RemindersDataStruct"), LanguageText("Delete"),
            LanguageText("NotDelete"), LanguageText("CompleteCell"),        LanguageText("NotCompleteCell")};
}

DirizaSaveResult NSDirizaMemoView::Write(const SaveFolder& folder, const QList<NSMemoData>& records,
                                         const std::vector<int>& items, const RemindersTexts& texts) const {
    const CsvWriter::LogLines log{QStringLiteral("【日志】提醒事项.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】写入错误"), QStringLiteral("【日志】无法写入内容")};
    return WriteCsv(folder, texts.file, texts.header, log, int(items.size()),
                    [&](int i, QStringList& fields) {
                        const NSMemoData& r = records[items[size_t(i)]];
                        fields = {r.Title(),
                                  r.Type(),
                                  r.Location(),
                                  r.bComplete() ? texts.complete : texts.notComplete,
                                  ResultText::LocalTime(r.lDataTime()),
                                  r.Content(),
                                  r.bDelete() ? texts.deleted : texts.kept};
                        return true;
                    });
}
