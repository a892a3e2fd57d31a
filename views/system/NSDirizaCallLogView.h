#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSCallLogData.h"

// The calls of a scan: name, number, time, direction and duration, saved as one CSV file.
struct CallLogTexts {
    QString file, header, deleted, kept, unknown, incoming, outgoing;
};

class NSDirizaCallLogView : public SystemTableViewOf<NSCallLogData, CallLogTexts> {
  public:
    explicit NSDirizaCallLogView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSCallLogData>& calls) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 6; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

  protected:
    QStringList SearchFields(const NSCallLogData& r) const override;
    bool ColumnHoldsText(int column) const override { return column == 1 || column == 2; }
    QStringList ColumnSamples(int column) const override;
    CallLogTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSCallLogData>& records,
                           const std::vector<int>& items, const CallLogTexts& texts) const override;
};
