#include "views/system/SystemTableView.h"

#include "gui/NSLanguageText.h"
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "views/system/SystemRowDelegate.h"
#include "views/system/SystemTableModel.h"
#include "views/frame/SystemViewLook.h"
#include "views/frame/SaveSnapshot.h"

#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Hides the detail pane when a click on the table hits no row.
class EmptyClickFilter : public QObject {
  public:
    EmptyClickFilter(TableViewEvent* table, std::function<void()> onEmpty)
        : QObject(table), table_(table), onEmpty_(std::move(onEmpty)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (!table_->indexAt(e->position().toPoint()).isValid()) onEmpty_();
        }
        return false;
    }

  private:
    TableViewEvent* table_;
    std::function<void()> onEmpty_;
};

// Gives the table its background again whenever its palette changes (the appearance).
class LookFilter : public QObject {
  public:
    explicit LookFilter(QWidget* table) : QObject(table) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange)
            SystemViewLook::ApplyTableLook(static_cast<QWidget*>(watched));
        return false;
    }
};

// Calls back when the watched widget changes its size.
class ResizeFilter : public QObject {
  public:
    ResizeFilter(QObject* watched, std::function<void()> onResize)
        : QObject(watched), onResize_(std::move(onResize)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) onResize_();
        return false;
    }

  private:
    std::function<void()> onResize_;
};

} // namespace

SystemTableView::SystemTableView(int type, QWidget* parent)
    : DirizaResultView(parent),
      delivery_(this, 1000, ResultDelivery::AfterClear::Drop, [this] { UpdataUiFinish(); }) {
    SetDirizaType(type);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    outer->addWidget(stack_);

    loadingInfo_ = new QLabel(stack_);
    loadingInfo_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(loadingInfo_);

    dirizaView_ = new QWidget(stack_);
    auto* row = new QHBoxLayout(dirizaView_);
    row->setContentsMargins(0, 0, 0, 0);
    table_ = new TableViewEvent(dirizaView_);
    table_->setEventdelegate(this);
    header_ = new TableHeadrView(table_);
    table_->setHorizontalHeader(header_);
    header_->setSectionsClickable(true);
    header_->setHighlightSections(false);
    // The title column takes the room (LayoutColumns), not the last one.
    header_->setStretchLastSection(false);
    model_ = new SystemTableModel(frame_, this);
    proxy_ = new SystemTableProxy(frame_, this);
    proxy_->setSourceModel(model_);
    table_->setModel(proxy_);
    auto* rows = new SystemRowDelegate(table_);
    rows->setColor(BDTableRowView::DefaultSelection());
    rows->setColorDarkAqua(BDTableRowView::DarkSelection());
    table_->setItemDelegate(rows);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSortingEnabled(false);
    table_->setWordWrap(false);
    table_->setShowGrid(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(24);
    row->addWidget(table_, 1);
    stack_->addWidget(dirizaView_);

    connect(header_, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == 0) HeaderClicked();
    });
    // A width the user gives a column by hand stays when the table's width changes.
    connect(header_, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!layingOut_ && section > 0 && size_t(section) < userWidth_.size())
            userWidth_[size_t(section)] = size;
    });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ClickRow(current.isValid() ? current.row() : -1); });
    table_->viewport()->installEventFilter(new EmptyClickFilter(table_, [this] { ClickRow(-1); }));
    table_->installEventFilter(new LookFilter(table_));
    // The columns follow the table's width (the window resized, the detail pane shown).
    table_->viewport()->installEventFilter(new ResizeFilter(table_->viewport(), [this] { LayoutColumns(); }));
    dirizaView_->installEventFilter(new ResizeFilter(dirizaView_, [this] { FitInfoPane(); }));
    SystemViewLook::ApplyTableLook(table_);

    stack_->setCurrentIndex(0);
}

void SystemTableView::Init() {
    model_->SetColumns(
        Headers(), [this](int record, int column) { return CellText(record, column); },
        [this](int record, bool on) { TickRecord(record, on); });
    ShowState();
    setLanguage(0);
}

SystemTableView::~SystemTableView() {
    // The view's own parts are gone already: nothing may reach them while the table and
    // the models are taken down.
    delivery_.Clear();
    table_->setEventdelegate(nullptr);
    QObject::disconnect(table_->selectionModel(), nullptr, this, nullptr);
    QObject::disconnect(header_, nullptr, this, nullptr);
    infoPane_ = nullptr;
    model_->ClearColumns();
    proxy_->setSourceModel(nullptr);
}

void SystemTableView::SetInfoPane(QWidget* pane) {
    infoPane_ = pane;
    pane->setParent(dirizaView_);
    static_cast<QHBoxLayout*>(dirizaView_->layout())->addWidget(pane);
    pane->hide();
    FitColumns();
}

QStringList SystemTableView::Headers() const {
    QStringList headers{QString()};
    for (int c = 1; c < ColumnCount(); ++c)
        headers << HeaderText(c);
    return headers;
}

void SystemTableView::FitColumns() {
    columnWant_.assign(size_t(header_->count()), 0);
    userWidth_.assign(size_t(header_->count()), 0);
    columnLeast_.assign(size_t(header_->count()), 0);
    if (header_->count() == 0) return; // before the model has its columns
    const QFontMetrics headerFm = header_->fontMetrics();
    const int headerMargin = 2 * header_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header_) + 2;
    const QFontMetrics cellFm = table_->fontMetrics();
    // The room an item view leaves around a cell's text, and a little air.
    const int cellMargin =
        2 * (table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 1) + 2;
    const int textFloor = cellFm.averageCharWidth() * 8 + cellMargin;
    // The widest line; the ink may reach past the advance (the last letter of a
    // right-to-left text).
    auto width = [](const QFontMetrics& fm, const QString& text) {
        int widest = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            widest = std::max({widest, fm.horizontalAdvance(line), fm.boundingRect(line).width()});
        return widest;
    };
    // Rows measured: enough to see the widths of a column, not every row of a large table.
    constexpr int kMeasuredRows = 2000;
    const int rows = std::min(frame_.RecordCount(), kMeasuredRows);
    for (int c = 0; c < header_->count(); ++c) {
        header_->setSectionResizeMode(c, c == 0 ? QHeaderView::Fixed : QHeaderView::Interactive);
        if (c == 0) {
            // The tick box: 5 pixels in, 14 wide, and as much room on its right.
            columnWant_[0] = columnLeast_[0] = 24;
            continue;
        }
        const QString title = model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        int least = title.isEmpty() ? 0 : width(headerFm, title) + headerMargin;
        for (const QString& sample : ColumnSamples(c))
            least = std::max(least, width(cellFm, sample) + cellMargin);
        int want = least;
        for (int r = 0; r < rows; ++r)
            want = std::max(want, width(cellFm, CellText(r, c)) + cellMargin);
        if (ColumnHoldsText(c))
            least = std::max(least, std::min(want, textFloor));
        else
            least = want;
        columnWant_[size_t(c)] = want;
        columnLeast_[size_t(c)] = least;
    }
    // Sections narrower than this are the user's choice; the layout sets its own widths.
    header_->setMinimumSectionSize(20);
    FitInfoPane();
    LayoutColumns();
}

void SystemTableView::FitInfoPane() {
    if (!infoPane_ || columnLeast_.empty()) return;
    // The pane gives up width (down to a narrower one) before the table has to scroll.
    constexpr int kWidest = 250, kNarrowest = 160;
    int least = 0;
    for (int w : columnLeast_)
        least += w;
    const int frame = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    const int spacing = dirizaView_->layout()->spacing();
    const int room = dirizaView_->width() - least - frame - std::max(0, spacing);
    const int width = std::clamp(room, kNarrowest, kWidest);
    if (infoPane_->width() != width || infoPane_->minimumWidth() != width) infoPane_->setFixedWidth(width);
}

void SystemTableView::LayoutColumns() {
    const int count = header_->count();
    if (layingOut_ || count == 0 || int(columnWant_.size()) != count) return;
    layingOut_ = true;
    const int room = table_->viewport()->width();
    // A column the user sized keeps that width; the others share the rest.
    std::vector<int> want(columnWant_), least(columnLeast_);
    for (int c = 0; c < count; ++c)
        if (size_t(c) < userWidth_.size() && userWidth_[size_t(c)] > 0)
            want[size_t(c)] = least[size_t(c)] = userWidth_[size_t(c)];
    int wantSum = 0, leastSum = 0;
    for (int c = 0; c < count; ++c) {
        wantSum += want[size_t(c)];
        leastSum += least[size_t(c)];
    }
    std::vector<int> widths(want);
    const int stretch = StretchColumn() > 0 && StretchColumn() < count ? StretchColumn() : -1;
    if (room < wantSum) {
        // The title gives up its room first, down to its minimum; then the other text
        // columns, each in proportion to what it may give; below the sum of the minimums
        // the table scrolls sideways.
        int give = std::min(wantSum - room, wantSum - leastSum);
        if (stretch > 0) {
            const int own = std::min(give, want[size_t(stretch)] - least[size_t(stretch)]);
            widths[size_t(stretch)] -= own;
            give -= own;
        }
        int canGive = 0;
        for (int c = 0; c < count; ++c)
            if (c != stretch) canGive += want[size_t(c)] - least[size_t(c)];
        int given = 0;
        int last = -1;
        for (int c = 0; c < count && give > 0; ++c) {
            const int slack = want[size_t(c)] - least[size_t(c)];
            if (c == stretch || slack <= 0) continue;
            const int share = int(qint64(give) * slack / canGive);
            widths[size_t(c)] -= share;
            given += share;
            last = c;
        }
        // What rounding left over comes off the last column that could give.
        if (last >= 0 && given < give)
            widths[size_t(last)] = std::max(least[size_t(last)], widths[size_t(last)] - (give - given));
    } else if (stretch > 0) {
        widths[size_t(stretch)] += room - wantSum;
    }
    for (int c = 0; c < count; ++c)
        if (header_->sectionSize(c) != widths[size_t(c)]) header_->resizeSection(c, widths[size_t(c)]);
    layingOut_ = false;
}

void SystemTableView::ShowState() {
    const bool hasData = frame_.RecordCount() > 0 && !delivery_.Waiting();
    loadingInfo_->setText(delivery_.Waiting() ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
    stack_->setCurrentIndex(hasData ? 1 : 0);
    FitColumns();
}

QString SystemTableView::LoadingText() const {
    return stack_->currentIndex() == 0 ? loadingInfo_->text() : QString();
}

void SystemTableView::setLanguage(int) {
    loadingInfo_->setText(delivery_.Waiting() ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
    RetranslateInfo();
    model_->SetHeaders(Headers());
    FitColumns();
}

void SystemTableView::StartUpdateUI() {
    delivery_.Begin();
    proxy_->BeginRefilter();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.ClearSelection();
        frame_.SetSearchKey(QString());
    }
    proxy_->EndRefilter();
    header_->setIsSelect(false);
    ShowState();
}

void SystemTableView::Post(std::function<void()> store) {
    delivery_.Hand(delivery_.Open(), std::move(store));
}

void SystemTableView::UpdataUiFinish() {
    if (!delivery_.Take()) return;
    ShowInfo(-1);
    model_->BeginReset();
    qint64 count = 0;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        FrameInput in = TakeDelivery();
        frame_.SetRecords(std::move(in.deleted), std::move(in.searchTexts), std::move(in.tickKeys));
        count = frame_.RecordCount();
    }
    model_->EndReset();
    header_->setIsSelect(false);
    if (auto* d = delegate()) d->UpdateDirizaFileNum(DirizaType(), count);
    ShowState();
}

void SystemTableView::ClearData() {
    delivery_.Clear();
    ShowInfo(-1);
    model_->BeginReset();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        DropRecords();
        frame_.Clear();
    }
    model_->EndReset();
    header_->setIsSelect(false);
    ShowState();
}

void SystemTableView::SearchKey(const QString& key) {
    // An empty key with no search running changes nothing (the key is still stored).
    if (key.isEmpty() && !frame_.IsSearching()) {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.SetSearchKey(key);
        return;
    }
    proxy_->BeginRefilter();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.SetSearchKey(key);
    }
    proxy_->EndRefilter();
    ShowInfo(-1);
    UpdateHeaderTick();
}

QString SystemTableView::GetSearchKey() const {
    return frame_.SearchKey();
}

void SystemTableView::SetShowDeleteFile(bool onlyDeleted) {
    ShowInfo(-1);
    proxy_->BeginRefilter();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.SetShowDeleteFile(onlyDeleted);
    }
    proxy_->EndRefilter();
    UpdateHeaderTick();
}

bool SystemTableView::GetShowDeleteFile() const {
    return frame_.ShowDeleteFile();
}

void SystemTableView::AllSelect() {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.SelectAll();
    }
    model_->AllTicksChanged();
    header_->setIsSelect(true);
}

void SystemTableView::ClearSelect() {
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.ClearSelection();
    }
    model_->AllTicksChanged();
    header_->setIsSelect(false);
}

bool SystemTableView::isSelectData() const {
    std::lock_guard<std::mutex> lock(dataMutex_);
    return frame_.HasSelection();
}

void SystemTableView::TickRecord(int record, bool on) {
    if (record < 0 || record >= frame_.RecordCount()) return;
    std::vector<int> changed;
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        changed = on ? frame_.Select(record) : frame_.Remove(record);
    }
    model_->TicksChanged(changed);
    if (on)
        UpdateHeaderTick();
    else
        header_->setIsSelect(false);
    ReportAllTicked();
}

void SystemTableView::HeaderClicked() {
    const bool on = !header_->isSelect();
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        frame_.SetShownTicked(on, HeaderKeepsOthers());
    }
    header_->setIsSelect(on);
    model_->AllTicksChanged();
    ReportAllTicked();
}

void SystemTableView::UpdateHeaderTick() {
    header_->setIsSelect(frame_.HeaderTicked());
}

void SystemTableView::ReportAllTicked() {
    if (auto* d = delegate()) d->ViewisAllSelect(DirizaType(), frame_.AllTicked());
}

void SystemTableView::SelectRowEvent(int row) {
    // Only a shown row; anything else leaves the pane as it is.
    if (row < 0 || row >= frame_.ShownCount()) return;
    ShowInfo(frame_.RecordAt(row));
}

void SystemTableView::ClickRow(int shownRow) {
    ShowInfo(shownRow >= 0 && shownRow < frame_.ShownCount() ? frame_.RecordAt(shownRow) : -1);
}

void SystemTableView::ShowInfo(int record) {
    infoRecord_ = record;
    if (!infoPane_) return;
    if (record < 0) {
        infoPane_->hide();
        return;
    }
    FillInfo(record);
    infoPane_->show();
}

void SystemTableView::ApplyLook() {
    SystemViewLook::ApplyTableLook(table_);
    if (infoRecord_ >= 0) FillInfo(infoRecord_);
}

void SystemTableView::changeEvent(QEvent* event) {
    DirizaResultView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) ApplyLook();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitColumns();
}

void SystemTableView::showEvent(QShowEvent* event) {
    DirizaResultView::showEvent(event);
    ApplyLook();
}

DirizaSaveResult SystemTableView::WriteCsv(const SaveFolder& folder, const QString& fileName,
                                           const QString& header, const CsvWriter::LogLines& log, int count,
                                           const std::function<bool(int, QStringList&)>& line) const {
    SaveRun run(
        count, [this] { return StopRequested(); },
        [this](int total, int current) { ReportSaveProgress(total, current); });
    if (count <= 0) return run.result;
    CsvWriter writer(folder, fileName + QStringLiteral(".csv"), log);
    if (!writer.IsOpen()) {
        // Nothing of this file can be written: every item failed.
        run.Failed(count);
        return run.result;
    }
    writer.WriteHeader(header);
    for (int i = 0; i < count; ++i) {
        if (!run.Next()) break;
        QStringList fields;
        const bool itemOk = line(i, fields);
        const bool lineOk = writer.WriteLine(fields);
        if (itemOk && lineOk)
            run.Written();
        else
            run.Failed();
    }
    if (!writer.Close()) {
        // The lines counted as written may not have reached the file.
        run.result.failed += run.result.written;
        run.result.written = 0;
    }
    return run.result;
}

InfoPane::InfoPane(bool withPicture, int rows, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    setFixedWidth(250);
    if (withPicture) {
        picture_ = new QLabel(this);
        picture_->setAlignment(Qt::AlignCenter);
        picture_->setFixedHeight(120);
        layout->addWidget(picture_);
    }
    for (int i = 0; i < rows; ++i) {
        auto* caption = new QLabel(this);
        auto* value = new QPlainTextEdit(this);
        value->setReadOnly(true);
        value->setFrameShape(QFrame::NoFrame);
        value->setMaximumHeight(i + 1 == rows ? QWIDGETSIZE_MAX : 60);
        layout->addWidget(caption);
        layout->addWidget(value, i + 1 == rows ? 1 : 0);
        captions_.push_back(caption);
        values_.push_back(value);
    }
}

void InfoPane::SetCaption(int row, const QString& caption) {
    if (row >= 0 && row < int(captions_.size())) captions_[size_t(row)]->setText(caption);
}

void InfoPane::SetValue(int row, const QString& value) {
    if (row >= 0 && row < int(values_.size())) values_[size_t(row)]->setPlainText(value);
}

QString InfoPane::Value(int row) const {
    return row >= 0 && row < int(values_.size()) ? values_[size_t(row)]->toPlainText() : QString();
}
