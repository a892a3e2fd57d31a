#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSCalendarData.h"

// The calendar events of a scan: title, location, start and end, a pane with the
// picked event's title and description, saved as one CSV file. The header tick box adds
// the shown events to what is ticked; unticking it clears every tick.
struct CalendarTexts {
    QString file, header, deleted, kept, unknown;
};

class NSDirizaCalendarView : public SystemTableViewOf<NSCalendarData, CalendarTexts> {
  public:
    explicit NSDirizaCalendarView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSCalendarData>& events) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 5; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

    InfoPane* Info() const { return info_; }

  protected:
    QStringList SearchFields(const NSCalendarData& r) const override;
    bool HeaderKeepsOthers() const override { return true; }
    bool ColumnHoldsText(int column) const override { return column == 1 || column == 2; }
    QStringList ColumnSamples(int column) const override;
    CalendarTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSCalendarData>& records,
                           const std::vector<int>& items, const CalendarTexts& texts) const override;
    void FillInfo(int record) override;
    void RetranslateInfo() override;

  private:
    InfoPane* info_ = nullptr;
};
