#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "gui/TableViewEventDelegate.h"
#include "views/frame/CsvWriter.h"
#include "views/frame/ResultFrame.h"
#include "views/frame/SaveSnapshot.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

class QStackedWidget;
class TableHeadrView;
class TableViewEvent;
class SystemTableModel;
class SystemTableProxy;

// What a result table shares, whatever its records: the waiting and empty texts, the
// table with its tick column and tick-box header, the deleted-only filter and the search
// (through ResultFrame), the refresh timer, the detail pane of the picked row, and the
// CSV save loop.
//
// Threads: a delivery reaches the GUI thread through ResultDelivery: one begun before
// StartUpdateUI or ClearData (or sent after ClearData) is dropped, and the timer (1.0 s)
// then shows the latest. The save thread reads the frame and the records only under the view's lock,
// which the GUI side holds whenever it changes them.
class SystemTableView : public DirizaResultView, public TableViewEventDelegate {
  public:
    explicit SystemTableView(int type, QWidget* parent = nullptr);
    ~SystemTableView() override;

    void setLanguage(int language) override;
    void StartUpdateUI() override;
    void SearchKey(const QString& key) override;
    QString GetSearchKey() const override;
    void AllSelect() override;
    void ClearSelect() override;
    bool isSelectData() const override;
    void ClearData() override;
    void SetShowDeleteFile(bool onlyDeleted) override;
    bool GetShowDeleteFile() const override;
    using DirizaResultView::AddDirizaFile;
    ResultDelivery* Delivery() override { return &delivery_; }

    // The timer's tick: shows data that arrived since the last tick (tests call it in
    // place of waiting for the timer).
    void UpdataUiFinish();
    // Arrow keys of the table: the shown row becomes the detail pane's record.
    void SelectRowEvent(int row) override;

    // The columns, 0 being the tick column.
    virtual int ColumnCount() const = 0;
    // The localised header of a column (0: none).
    virtual QString HeaderText(int column) const = 0;
    // The text of a record's cell (GUI thread; the model asks it from Init on).
    virtual QString CellText(int record, int column) const = 0;
    // The column that takes the room left (the title or name column).
    virtual int StretchColumn() const { return 1; }
    // A column of free text (a title, a name, a place) gets less than its widest text
    // when the room is short, never less than its header, its samples and some eight
    // letters; every other column (dates, durations, states) always shows its texts whole.
    virtual bool ColumnHoldsText(int column) const { return column == StretchColumn(); }
    // Texts a column shows besides the records' own (the localised "Unknown" of an empty
    // name, both words of a state), so that each fits before a record shows it.
    virtual QStringList ColumnSamples(int column) const { return {}; }

    // GUI thread: the row tick box of a record (the records sharing its tick key follow).
    void TickRecord(int record, bool on);
    // GUI thread: the header's tick box was clicked.
    void HeaderClicked();

    // For tests.
    const ResultFrame& Frame() const { return frame_; }
    TableViewEvent* Table() const { return table_; }
    TableHeadrView* Header() const { return header_; }
    SystemTableProxy* Proxy() const { return proxy_; }
    SystemTableModel* Model() const { return model_; }
    // The waiting or empty text; "" while the table is shown.
    QString LoadingText() const;
    bool TimerRunning() const { return delivery_.Waiting(); }
    // The record in the detail pane, -1 when it is hidden.
    int InfoRecord() const { return infoRecord_; }
    // Picks a shown row as a click does (-1 or outside the rows: the pane hides).
    void ClickRow(int shownRow);

  protected:
    // The end of a view's constructor: the first texts and column widths.
    void Init();

    // What the frame needs of new data.
    struct FrameInput {
        std::vector<char> deleted;
        std::vector<QStringList> searchTexts;
        std::vector<QString> tickKeys;
    };
    // GUI thread, under the lock: the delivery becomes the current records.
    virtual FrameInput TakeDelivery() = 0;
    // GUI thread, under the lock: no records.
    virtual void DropRecords() = 0;
    // The header tick box adds the shown rows to what is ticked (true) or replaces it.
    virtual bool HeaderKeepsOthers() const { return false; }

    // The detail pane: built by the view (FillInfo fills it; -1 hides it).
    void SetInfoPane(QWidget* pane);
    virtual void FillInfo(int record) {}
    virtual void RetranslateInfo() {}

    // Scan thread: hands `store` (which keeps the delivered collection) to the GUI thread.
    void Post(std::function<void()> store);

    // Save thread: writes `count` items as one CSV file `fileName` + ".csv" in `folder`:
    // the header, then per item (after the stop check and the progress report) the fields
    // `line` gives (false: the item failed besides its line).
    DirizaSaveResult WriteCsv(const SaveFolder& folder, const QString& fileName, const QString& header,
                              const CsvWriter::LogLines& log, int count,
                              const std::function<bool(int item, QStringList& fields)>& line) const;

    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    mutable std::mutex dataMutex_;
    ResultFrame frame_;

  private:
    void ShowState();
    // The model's headers: none for the tick column, then HeaderText of each column.
    QStringList Headers() const;
    // Measures what each column needs (its header, its samples and the texts of its
    // first rows), then lays the columns out in the table's width.
    void FitColumns();
    // Gives the columns their widths in the table's present width: every column its
    // texts when there is room, the stretch column the rest; with less room the text
    // columns share what is left down to their minimums, then the table scrolls sideways.
    void LayoutColumns();
    // The detail pane as wide as it may be without pushing a column out of sight: 250
    // pixels when there is room, down to 160.
    void FitInfoPane();
    void UpdateHeaderTick();
    void ReportAllTicked();
    void ShowInfo(int record);
    void ApplyLook();

    QStackedWidget* stack_ = nullptr;
    QLabel* loadingInfo_ = nullptr;
    QWidget* dirizaView_ = nullptr;
    TableViewEvent* table_ = nullptr;
    TableHeadrView* header_ = nullptr;
    SystemTableModel* model_ = nullptr;
    SystemTableProxy* proxy_ = nullptr;
    QWidget* infoPane_ = nullptr;
    int infoRecord_ = -1;
    ResultDelivery delivery_;
    // Per column, measured by FitColumns: the width that shows every measured text, and
    // the least width the column may get.
    std::vector<int> columnWant_;
    std::vector<int> columnLeast_;
    // Per column, the width the user dragged it to (0: none); kept until the columns are
    // measured again.
    std::vector<int> userWidth_;
    bool layingOut_ = false;
};

// A detail pane: captions with their values, and optionally a picture on top.
class InfoPane : public QWidget {
  public:
    explicit InfoPane(bool withPicture, int rows, QWidget* parent = nullptr);
    void SetCaption(int row, const QString& caption);
    void SetValue(int row, const QString& value);
    QString Value(int row) const;
    QLabel* Picture() const { return picture_; }

  private:
    QLabel* picture_ = nullptr;
    std::vector<QLabel*> captions_;
    std::vector<QPlainTextEdit*> values_;
};

// The result table of one kind of record: keeps the delivered collection (an implicitly
// shared list) and takes the save snapshot from it.
template <typename Record, typename Texts> class SystemTableViewOf : public SystemTableView {
  public:
    using SystemTableView::SystemTableView;

    DirizaSaveResult DirizaData(const QString& folder) override {
        QList<Record> records;
        std::vector<int> items;
        Texts texts;
        {
            std::lock_guard<std::mutex> lock(dataMutex_);
            items = SaveSnapshot<QList<Record>, Texts>::ItemsOf(frame_);
            if (items.empty()) return {};
            records = records_;
            texts = SaveTexts();
        }
        return Write(SaveFolder(folder), records, items, texts);
    }

    // The current records (GUI thread).
    const QList<Record>& Records() const { return records_; }

  protected:
    // Scan thread: keeps the collection and hands it to the GUI thread.
    void Deliver(const QList<Record>& delivered) {
        Post([this, delivered] { pendingRecords_ = delivered; });
    }
    FrameInput TakeDelivery() override {
        records_ = std::move(pendingRecords_);
        pendingRecords_ = QList<Record>();
        FrameInput in;
        in.deleted.reserve(size_t(records_.size()));
        in.searchTexts.reserve(size_t(records_.size()));
        for (const Record& r : records_) {
            in.deleted.push_back(r.bDelete() ? 1 : 0);
            QStringList fields = SearchFields(r);
            for (QString& f : fields)
                f = f.toLower();
            in.searchTexts.push_back(std::move(fields));
            if (HasTickKeys()) in.tickKeys.push_back(TickKey(r));
        }
        return in;
    }
    void DropRecords() override { records_ = QList<Record>(); }

    // The fields a search looks in.
    virtual QStringList SearchFields(const Record& r) const = 0;
    // With tick keys, records with equal keys are ticked together; else each alone.
    virtual bool HasTickKeys() const { return false; }
    virtual QString TickKey(const Record&) const { return QString(); }
    // The localised texts a save needs, taken with the snapshot.
    virtual Texts SaveTexts() const = 0;
    // Save thread: writes the snapshot.
    virtual DirizaSaveResult Write(const SaveFolder& folder, const QList<Record>& records,
                                   const std::vector<int>& items, const Texts& texts) const = 0;

    const Record& At(int record) const { return records_[record]; }

  private:
    QList<Record> records_;
    QList<Record> pendingRecords_;
};
