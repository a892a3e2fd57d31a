#pragma once
#include <QAbstractTableModel>
#include <QList>

#include <functional>

class NetworkImageFetcher;
class NSDirizaWXAddressBookState;

// The contacts of the chosen group: a tick box, the head image and the nickname (red
// when deleted). Head images come from the record, else from the fetcher.
class NSDirizaWXAddressBookContactModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    NSDirizaWXAddressBookContactModel(const NSDirizaWXAddressBookState& state, NetworkImageFetcher& fetcher,
                                      std::function<void(int id, bool on)> onTick, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetContacts(QList<int> ids);
    const QList<int>& Ids() const { return ids_; }
    int IdAt(int row) const { return row >= 0 && row < ids_.size() ? ids_[row] : -1; }
    void Refresh();

  private:
    const NSDirizaWXAddressBookState& state_;
    NetworkImageFetcher& fetcher_;
    std::function<void(int, bool)> onTick_;
    QList<int> ids_;
};
