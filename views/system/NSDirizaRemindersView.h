#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSRemindersData.h"

// The notes of a scan (the class keeps its historical name): title and time, a pane
// with the picked note's title and text, ticked by title (notes with the same title are
// ticked together), saved as one CSV file.
struct NotesTexts {
    QString file, header, deleted, kept;
};

class NSDirizaRemindersView : public SystemTableViewOf<NSRemindersData, NotesTexts> {
  public:
    explicit NSDirizaRemindersView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSRemindersData>& notes) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 3; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

    InfoPane* Info() const { return info_; }

  protected:
    QStringList SearchFields(const NSRemindersData& r) const override;
    bool HasTickKeys() const override { return true; }
    QString TickKey(const NSRemindersData& r) const override { return r.Title(); }
    NotesTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSRemindersData>& records,
                           const std::vector<int>& items, const NotesTexts& texts) const override;
    void FillInfo(int record) override;
    void RetranslateInfo() override;

  private:
    InfoPane* info_ = nullptr;
};
