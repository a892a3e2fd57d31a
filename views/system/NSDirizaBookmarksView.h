#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSBookmarksData.h"

// The Safari bookmarks of a scan: title and address, ticked by title (bookmarks with
// the same title are ticked together), saved as one CSV file.
struct BookmarksTexts {
    QString file, header, deleted, kept;
};

class NSDirizaBookmarksView : public SystemTableViewOf<NSBookmarksData, BookmarksTexts> {
  public:
    explicit NSDirizaBookmarksView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSBookmarksData>& bookmarks) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 3; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

  protected:
    QStringList SearchFields(const NSBookmarksData& r) const override;
    bool HasTickKeys() const override { return true; }
    QString TickKey(const NSBookmarksData& r) const override { return r.BookMarks(); }
    bool ColumnHoldsText(int column) const override { return column >= 1; }
    BookmarksTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSBookmarksData>& records,
                           const std::vector<int>& items, const BookmarksTexts& texts) const override;
};
