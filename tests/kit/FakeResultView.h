#pragma once
// A result view for tests of the recovery page: it keeps the names of what it was given,
// reports at once through the GUI thread's queue, writes one small text file per record,
// and lets a test hold each saved item (a latch) or fail every item.
#include "gui/DirizaResultView.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

namespace kit {

class FakeResultView final : public DirizaResultView {
  public:
    explicit FakeResultView(int type, QWidget* parent = nullptr);

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

    // Every operation the view received, in order ("StartUpdateUI", "AddDirizaFile 2",
    // "DirizaData", "ClearData", "setLanguage 3", ...).
    QStringList Calls() const;
    // The names delivered last.
    QStringList Names() const;

    // Save thread, before each item (its number from 1): a test may block here.
    std::function<void(int)> beforeItem;
    // Every item fails instead of being written.
    std::atomic<bool> failEveryItem{false};
    // Every item is a file the backup does not hold: nothing written, counted apart.
    std::atomic<bool> missingEveryItem{false};

  private:
    void Deliver(QStringList names);
    void Note(const QString& call);

    mutable std::mutex mutex;
    QStringList calls;
    QStringList names;
    bool ticked = false;
    QString searchKey;
    bool onlyDeleted = false;
};

} // namespace kit
