#include "views/system/NSDirizaCalendarView.h"

#include "gui/NSLanguageText.h"
#include "views/frame/ResultText.h"

NSDirizaCalendarView::NSDirizaCalendarView(QWidget* parent)
    : SystemTableViewOf(DirizaResultView::Calendar, parent) {
    info_ = new InfoPane(false, 2, this);
    SetInfoPane(info_);
    Init();
}

void NSDirizaCalendarView::AddDirizaFile(const QList<NSCalendarData>& events) {
    Deliver(events);
}

QString NSDirizaCalendarView::HeaderText(int column) const {
    switch (column) {
    case 1:
        return LanguageText("TitleCell");
    case 2:
        return LanguageText("AddresCell");
    case 3:
        return LanguageText("StartTimeCell");
    case 4:
        return LanguageText("EndTimeCell");
    default:
        return QString();
    }
}

QStringList NSDirizaCalendarView::ColumnSamples(int column) const {
    return column == 2 ? QStringList{LanguageText("Unknown")} : QStringList();
}

QString NSDirizaCalendarView::CellText(int record, int column) const {
    const NSCalendarData& r = At(record);
    switch (column) {
    case 1:
        return r.Title();
    case 2:
        return ResultText::OrElse(r.addres(), LanguageText("Unknown"));
    case 3:
        return ResultText::LocalTime(r.lStartTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    case 4:
        return ResultText::LocalTime(r.lEndTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    default:
        return QString();
    }
}

QStringList NSDirizaCalendarView::SearchFields(const NSCalendarData& r) const {
    return {r.Title(), r.Content()};
}

void NSDirizaCalendarView::RetranslateInfo() {
    info_->SetCaption(0, LanguageText("TitleCell"));
    info_->SetCaption(1, LanguageText("ContentCell"));
}

void NSDirizaCalendarView::FillInfo(int record) {
    info_->SetValue(0, At(record).Title());
    info_->SetValue(1, At(record).Content());
}

CalendarTexts NSDirizaCalendarView::SaveTexts() const {
    return {LanguageText("Calendar"), LanguageText("CalendarDataStruct"), LanguageText("Delete"),
            LanguageText("NotDelete"), LanguageText("Unknown")};
}

DirizaSaveResult NSDirizaCalendarView::Write(const SaveFolder& folder, const QList<NSCalendarData>& records,
                                             const std::vector<int>& items,
                                             const CalendarTexts& texts) const {
    const CsvWriter::LogLines log{QStringLiteral("【日志】日历.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】日历.csv, 写入错误"),
                                  QStringLiteral("【日志】日历.csv, 无法写入内容")};
    return WriteCsv(folder, texts.file, texts.header, log, int(items.size()),
                    [&](int i, QStringList& fields) {
                        const NSCalendarData& r = records[items[size_t(i)]];
                        fields = {r.Title(),
                                  ResultText::OrElse(r.addres(), texts.unknown),
                                  ResultText::LocalTime(r.lStartTime()),
                                  ResultText::LocalTime(r.lEndTime()),
                                  r.Content(),
                                  r.bDelete() ? texts.deleted : texts.kept};
                        return true;
                    });
}
