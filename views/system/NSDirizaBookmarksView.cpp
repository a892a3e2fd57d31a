#include "views/system/NSDirizaBookmarksView.h"

#include "gui/NSLanguageText.h"

NSDirizaBookmarksView::NSDirizaBookmarksView(QWidget* parent)
    : SystemTableViewOf(DirizaResultView::Bookmarks, parent) {
    Init();
}

void NSDirizaBookmarksView::AddDirizaFile(const QList<NSBookmarksData>& bookmarks) {
    Deliver(bookmarks);
}

QString NSDirizaBookmarksView::HeaderText(int column) const {
    switch (column) {
    case 1:
        return LanguageText("BookmarksCell");
    case 2:
        return LanguageText("BookmarksURLCell");
    default:
        return QString();
    }
}

QString NSDirizaBookmarksView::CellText(int record, int column) const {
    const NSBookmarksData& r = At(record);
    switch (column) {
    case 1:
        return r.BookMarks();
    case 2:
        return r.Address();
    default:
        return QString();
    }
}

QStringList NSDirizaBookmarksView::SearchFields(const NSBookmarksData& r) const {
    return {r.BookMarks(), r.Address()};
}

BookmarksTexts NSDirizaBookmarksView::SaveTexts() const {
    return {LanguageText("Bookmarks"), LanguageText("BookmarksDataStruct"), LanguageText("Delete"),
            LanguageText("NotDelete")};
}

DirizaSaveResult NSDirizaBookmarksView::Write(const SaveFolder& folder, const QList<NSBookmarksData>& records,
                                              const std::vector<int>& items,
                                              const BookmarksTexts& texts) const {
    const CsvWriter::LogLines log{QStringLiteral("【日志】书签.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】写入错误"), QStringLiteral("【日志】无法写入内容")};
    return WriteCsv(folder, texts.file, texts.header, log, int(items.size()),
                    [&](int i, QStringList& fields) {
                        const NSBookmarksData& r = records[items[size_t(i)]];
                        fields = {r.BookMarks(), r.Address(), r.bDelete() ? texts.deleted : texts.kept};
                        return true;
                    });
}
