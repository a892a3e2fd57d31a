#pragma once
#include "app/common/DirizaResultView.h"
#include "app/common/SaveFolder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <vector>

// A plain result view for any data type: a list of the records (name and texts), a
// select-all box, search and show-deleted. It saves media and attachment files under
// their names from the backup and every other type as one CSV file (deleted mark and
// the record's texts). Used until a type has its own view.
class PlaceholderResultView : public DirizaResultView {
  public:
    // `pollMs`: the period of the timer that shows newly arrived data.
    explicit PlaceholderResultView(int type, QWidget* parent = nullptr, int pollMs = 1000);
    ~PlaceholderResultView() override;

    void setLanguage(int language) override;
    void StartUpdateUI() override;
    void SearchKey(const QString& key) override;
    QString GetSearchKey() const override;
    void AllSelect() override;
    void ClearSelect() override;
    bool isSelectData() const override;
    DirizaSaveResult DirizaData(const QString& folder) override;
    void ClearData() override;
    void SetShowDeleteFile(bool onlyDeleted) override;
    bool GetShowDeleteFile() const override;

    void AddDirizaFile(const QList<NSDeletedFile>& files) override;
    void AddDirizaFile(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) override;
    void AddDirizaFile(const QMap<QString, NSSMSHeadData>& conversations) override;
    void AddDirizaFile(const QList<NSCallLogData>& calls) override;
    void AddDirizaFile(const QList<NSContactData>& contacts) override;
    void AddDirizaFile(const QList<NSBookmarksData>& bookmarks) override;
    void AddDirizaFile(const QList<NSMemoData>& reminders) override;
    void AddDirizaFile(const QList<NSRemindersData>& notes) override;
    void AddDirizaFile(const QList<NSCalendarData>& events) override;
    void AddDirizaFile(const QList<NSWXChatAccount>* accounts) override;
    void AddDirizaFile(const QMap<QString, NSWXChatRecordData>& accounts) override;

    // One shown record: a file to copy (source set) or a row of texts.
    struct Record {
        bool deleted = false;
        QString name;
        QStringList texts;
        QString source;
    };
    // The number of rows shown (after search and show-deleted), and whether the view
    // shows "ScanNotData".
    int ShownCount() const;
    bool ShowsNoData() const;
    bool ShowsLoading() const { return state == State::Loading; }
    bool IsFileType() const;

  private:
    void Deliver(std::vector<Record> records);
    void OnTimer();
    void Rebuild();
    void OnItemChanged(QStandardItem* item);
    void SetAllTicks(bool on);
    void UpdateTexts();
    DirizaSaveResult SaveFiles(const std::vector<Record>& items, const SaveFolder& folder);
    DirizaSaveResult SaveCsv(const std::vector<Record>& items, const SaveFolder& folder);

    // Delivered on the scan thread, taken by the timer.
    mutable std::mutex pendingMutex;
    std::vector<Record> pending;
    std::atomic<bool> arrived{false};

    // Shown records and ticks; read by the save thread under the mutex.
    mutable std::mutex dataMutex;
    std::vector<Record> records;
    std::vector<char> ticked;

    enum class State { Empty, Loading, NoData, Data };
    State state = State::Empty;
    QString searchKey;
    bool onlyDeleted = false;
    bool rebuilding = false;
    QTimer timer;
    QStackedWidget* stack = nullptr;
    QLabel* status = nullptr;
    QCheckBox* selectAll = nullptr;
    QListView* list = nullptr;
    QStandardItemModel model;
};
