#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSMemoData.h"

// The reminders of a scan (the class keeps its historical name): title, list, location,
// state and date, a pane with the picked reminder's title and notes, saved as one CSV
// file.
struct RemindersTexts {
    QString file, header, deleted, kept, complete, notComplete;
};

class NSDirizaMemoView : public SystemTableViewOf<NSMemoData, RemindersTexts> {
  public:
    explicit NSDirizaMemoView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSMemoData>& reminders) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 6; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

    InfoPane* Info() const { return info_; }

  protected:
    QStringList SearchFields(const NSMemoData& r) const override;
    bool ColumnHoldsText(int column) const override { return column >= 1 && column <= 3; }
    QStringList ColumnSamples(int column) const override;
    RemindersTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSMemoData>& records,
                           const std::vector<int>& items, const RemindersTexts& texts) const override;
    void FillInfo(int record) override;
    void RetranslateInfo() override;

  private:
    InfoPane* info_ = nullptr;
};
