#pragma once
#include "views/system/SystemTableView.h"

#include "scan/NSContactData.h"

// The contacts of a scan: the name list beside a pane with the picked contact's photo,
// name, phone and e-mail; saved as a CSV file and one PNG photo per contact with a photo,
// in a subfolder of the chosen folder.
struct ContactTexts {
    QString folder, header, deleted, kept, unknown;
    // Seconds since 2001-01-01 00:00:00 UTC at the start of the save (photo names).
    qint32 stamp = 0;
};

class NSDirizaContactView : public SystemTableViewOf<NSContactData, ContactTexts> {
  public:
    explicit NSDirizaContactView(QWidget* parent = nullptr);

    void AddDirizaFile(const QList<NSContactData>& contacts) override;
    using DirizaResultView::AddDirizaFile;

    int ColumnCount() const override { return 2; }
    QString HeaderText(int column) const override;
    QString CellText(int record, int column) const override;

    InfoPane* Info() const { return info_; }

    // The photo's file name for a save at `stamp` (seconds since 2001) and a phone text.
    static QString PhotoName(qint32 stamp, const QString& phone);

  protected:
    QStringList SearchFields(const NSContactData& r) const override;
    QStringList ColumnSamples(int column) const override;
    ContactTexts SaveTexts() const override;
    DirizaSaveResult Write(const SaveFolder& folder, const QList<NSContactData>& records,
                           const std::vector<int>& items, const ContactTexts& texts) const override;
    void FillInfo(int record) override;
    void RetranslateInfo() override;

  private:
    InfoPane* info_ = nullptr;
};
