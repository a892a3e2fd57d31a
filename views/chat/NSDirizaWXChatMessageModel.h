#pragma once
#include "scan/NSWXChatSMSData.h"

#include <QAbstractListModel>
#include <QList>

// The messages of the shown friend (or those the message search found), one row each;
// the rows are painted by the message cell.
class NSDirizaWXChatMessageModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void SetMessages(QList<NSWXChatSMSData> messages);
    // The message of a row, or null.
    const NSWXChatSMSData* MessageAt(int row) const;

  private:
    QList<NSWXChatSMSData> messages_;
};
