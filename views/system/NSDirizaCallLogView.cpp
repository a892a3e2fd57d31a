#include "views/system/NSDirizaCallLogView.h"

#include "gui/NSLanguageText.h"
#include "views/frame/ResultText.h"

NSDirizaCallLogView::NSDirizaCallLogView(QWidget* parent)
    : SystemTableViewOf(DirizaResultView::CallLog, parent) {
    Init();
}

void NSDirizaCallLogView::AddDirizaFile(const QList<NSCallLogData>& calls) {
    Deliver(calls);
}

QString NSDirizaCallLogView::HeaderText(int column) const {
    switch (column) {
    case 1:
        return LanguageText("SurnameCell");
    case 2:
        return LanguageText("PhoneCell");
    case 3:
        return LanguageText("DateCell");
    case 4:
        return LanguageText("TypeCell");
    case 5:
        return LanguageText("TimeLengthCell");
    default:
        return QString();
    }
}

QStringList NSDirizaCallLogView::ColumnSamples(int column) const {
    switch (column) {
    case 1:
        return {LanguageText("Unknown")};
    case 4:
        return {LanguageText("TypeInto"), LanguageText("TypeOut")};
    default:
        return {};
    }
}

QString NSDirizaCallLogView::CellText(int record, int column) const {
    const NSCallLogData& r = At(record);
    switch (column) {
    case 1:
        return ResultText::OrElse(r.Name(), LanguageText("Unknown"));
    case 2:
        return r.Phone();
    case 3:
        return ResultText::LocalTime(r.lDataTime());
    case 4:
        return r.nType() == 0 ? LanguageText("TypeInto") : LanguageText("TypeOut");
    case 5:
        return ResultText::Duration(r.lDuration());
    default:
        return QString();
    }
}

QStringList NSDirizaCallLogView::SearchFields(const NSCallLogData& r) const {
    return {r.Phone(), r.Name()};
}

CallLogTexts NSDirizaCallLogView::SaveTexts() const {
    return {LanguageText("CallLog"),   LanguageText("CallLogDataStruct"), LanguageText("Delete"),
            LanguageText("NotDelete"), LanguageText("Unknown"),           LanguageText("TypeInto"),
            LanguageText("TypeOut")};
}

DirizaSaveResult NSDirizaCallLogView::Write(const SaveFolder& folder, const QList<NSCallLogData>& records,
                                            const std::vector<int>& items, const CallLogTexts& texts) const {
    const CsvWriter::LogLines log{QStringLiteral("【日志】通话记录.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】写入错误"), QStringLiteral("【日志】无法写入内容")};
    return WriteCsv(
        folder, texts.file, texts.header, log, int(items.size()), [&](int i, QStringList& fields) {
            const NSCallLogData& r = records[items[size_t(i)]];
            fields = {
                ResultText::OrElse(r.Name(), texts.unknown), r.Phone(),
                ResultText::LocalTime(r.lDataTime()),        r.nType() == 0 ? texts.incoming : texts.outgoing,
                ResultText::Duration(r.lDuration()),         r.bDelete() ? texts.deleted : texts.kept};
            return true;
        });
}
