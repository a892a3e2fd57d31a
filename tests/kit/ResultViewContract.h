#pragma once
// What the recovery page relies on of every result view, as a typed test suite. A view's
// tests instantiate it with a traits struct:
//
//   struct MyTraits {
//       // A new view, its type set.
//       static std::unique_ptr<DirizaResultView> Make();
//       // Delivers (on the calling thread) a collection of `records` records (1 or 2) of
//       // the view's type: record 0 is deleted and has the hostile name "../x\n", record 1
//       // is named "/etc/passwd". Files of media types are made in `backupFolder`.
//       static void Deliver(DirizaResultView& view, int records, const QString& backupFolder);
//       // The count the view reports for `records` delivered records.
//       static qint64 Count(int records);
//       // Optional: a save into a folder that holds an earlier save writes files of its
//       // own (numbered names) beside the earlier ones; without it the second save may
//       // find everything saved already (same files reused).
//       static constexpr bool kWritesNewFilesOnSaveAgain = true;
//   };
//   namespace kit {
//   INSTANTIATE_TYPED_TEST_SUITE_P(MyView, ResultViewContract, ::testing::Types<MyTraits>);
//   }
#include "gui/DirizaResultView.h"
#include "gui/MainQueue.h"
#include "gui/ResultDelivery.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtWaitUntil.h"
#include "tests/kit/ScratchFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

namespace kit {

// Records what a view tells the page, and stops a save after a number of items.
class ContractDelegate : public NSDirizaDataUpdateDelegate {
  public:
    void UpdateDirizaFileNum(int type, qint64 num) override {
        std::lock_guard<std::mutex> lock(mutex);
        counts.emplace_back(type, num);
        countsOnGui = countsOnGui && MainQueue::OnGuiThread();
    }
    void SaveDataProgress(int total, int current) override {
        std::lock_guard<std::mutex> lock(mutex);
        progress.emplace_back(total, current);
    }
    bool isStopSave() override {
        const int after = stopAfter.load();
        std::lock_guard<std::mutex> lock(mutex);
        return after >= 0 && int(progress.size()) >= after;
    }
    std::vector<std::pair<int, qint64>> Counts() {
        std::lock_guard<std::mutex> lock(mutex);
        return counts;
    }
    std::vector<std::pair<int, int>> Progress() {
        std::lock_guard<std::mutex> lock(mutex);
        return progress;
    }
    bool CountsOnGui() {
        std::lock_guard<std::mutex> lock(mutex);
        return countsOnGui;
    }
    // Stop once this many items were reported (-1: never).
    std::atomic<int> stopAfter{-1};

  private:
    std::mutex mutex;
    std::vector<std::pair<int, qint64>> counts;
    std::vector<std::pair<int, int>> progress;
    bool countsOnGui = true;
};

// The bytes of a file ("" when it cannot be read).
inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Only additions inside `out` (and the folder's own time) in a diff of its parent.
inline std::string ChangesOutside(const std::string& diff, const std::string& out) {
    std::istringstream in(diff);
    std::string line, rest;
    while (std::getline(in, line)) {
        if (line.rfind("added " + out + "/", 0) == 0 || line == "changed " + out) continue;
        rest += line + "\n";
    }
    return rest;
}

// Whether a view's traits say a later save writes files of its own.
template <typename Traits> constexpr bool WritesNewFilesOnSaveAgain() {
    if constexpr (requires { Traits::kWritesNewFilesOnSaveAgain; })
        return Traits::kWritesNewFilesOnSaveAgain;
    else
        return false;
}

template <typename Traits> class ResultViewContract : public ::testing::Test {
  protected:
    void SetUp() override {
        view = Traits::Make();
        view->setDelegate(&delegate);
        backup = QString::fromStdString((scratch.path() / "backup").string());
        std::filesystem::create_directory(scratch.path() / "backup");
        std::filesystem::create_directory(scratch.path() / "out");
    }
    void TearDown() override { view->setDelegate(nullptr); }
    // StartUpdateUI, then a delivery from a worker thread, then the report.
    bool Load(int records = 2) {
        view->StartUpdateUI();
        const size_t before = delegate.Counts().size();
        std::thread worker([&] { Traits::Deliver(*view, records, backup); });
        worker.join();
        return WaitUntil([&] { return delegate.Counts().size() > before; });
    }
    DirizaSaveResult SaveOnWorker(const QString& folder) {
        DirizaSaveResult result;
        std::thread saver([&] { result = view->DirizaData(folder); });
        saver.join();
        return result;
    }
    QString Out() const { return QString::fromStdString((scratch.path() / "out").string()); }

    ScratchFolder scratch{"contract"};
    ContractDelegate delegate;
    std::unique_ptr<DirizaResultView> view;
    QString backup;
};

TYPED_TEST_SUITE_P(ResultViewContract);

TYPED_TEST_P(ResultViewContract, DeliveryIsReportedOnTheGuiThread) {
    ASSERT_TRUE(this->Load(2));
    const auto counts = this->delegate.Counts();
    ASSERT_EQ(1u, counts.size());
    EXPECT_EQ(this->view->DirizaType(), counts[0].first);
    EXPECT_EQ(TypeParam::Count(2), counts[0].second);
    EXPECT_TRUE(this->delegate.CountsOnGui());
}

TYPED_TEST_P(ResultViewContract, ALaterDeliveryReplacesTheData) {
    ASSERT_TRUE(this->Load(2));
    std::thread worker([&] { TypeParam::Deliver(*this->view, 1, this->backup); });
    worker.join();
    ASSERT_TRUE(WaitUntil([&] { return this->delegate.Counts().size() == 2; }));
    EXPECT_EQ(TypeParam::Count(1), this->delegate.Counts().back().second);
    this->view->AllSelect();
    const auto result = this->SaveOnWorker(this->Out());
    EXPECT_EQ(0, result.failed);
    EXPECT_EQ(int(this->delegate.Progress().back().first), result.written);
}

TYPED_TEST_P(ResultViewContract, StartUpdateUIResetsTheSearchKey) {
    ASSERT_TRUE(this->Load(2));
    this->view->SearchKey("passwd");
    EXPECT_EQ("passwd", this->view->GetSearchKey().toStdString());
    this->view->StartUpdateUI();
    EXPECT_EQ("", this->view->GetSearchKey().toStdString());
}

TYPED_TEST_P(ResultViewContract, SelectionAndClear) {
    ASSERT_TRUE(this->Load(2));
    EXPECT_FALSE(this->view->isSelectData());
    this->view->AllSelect();
    EXPECT_TRUE(this->view->isSelectData());
    this->view->ClearSelect();
    EXPECT_FALSE(this->view->isSelectData());
    this->view->AllSelect();
    this->view->ClearData();
    EXPECT_FALSE(this->view->isSelectData());
    // The show-deleted state stays off for views without it, and can be set back.
    this->view->SetShowDeleteFile(true);
    EXPECT_EQ(DirizaResultView::HasShowDeletePair(this->view->DirizaType()), this->view->GetShowDeleteFile());
    this->view->SetShowDeleteFile(false);
    EXPECT_FALSE(this->view->GetShowDeleteFile());
}

TYPED_TEST_P(ResultViewContract, NothingTickedWritesNothing) {
    ASSERT_TRUE(this->Load(2));
    const auto before = FolderSnapshot::Take(this->scratch.path());
    const auto result = this->SaveOnWorker(this->Out());
    EXPECT_EQ(DirizaSaveResult{}, result);
    EXPECT_TRUE(this->delegate.Progress().empty());
    EXPECT_EQ("", FolderSnapshot::Take(this->scratch.path()).DiffFrom(before));
}

TYPED_TEST_P(ResultViewContract, AllTickedWritesOnlyInsideTheFolder) {
    ASSERT_TRUE(this->Load(2));
    this->view->AllSelect();
    const auto before = FolderSnapshot::Take(this->scratch.path());
    const auto result = this->SaveOnWorker(this->Out());
    EXPECT_EQ(0, result.failed);
    EXPECT_GE(result.written, 1);
    const auto progress = this->delegate.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
    for (size_t i = 0; i < progress.size(); ++i)
        EXPECT_EQ(int(i) + 1, progress[i].second);
    const std::string diff = FolderSnapshot::Take(this->scratch.path()).DiffFrom(before);
    EXPECT_NE("", diff);
    EXPECT_EQ("", ChangesOutside(diff, "out"));
    // Saving again never changes what is there: every file of the first save stays byte
    // for byte as it was; views that write files write new ones beside them.
    const auto outPath = this->scratch.path() / "out";
    const auto firstFiles = FolderSnapshot::Take(outPath);
    std::map<std::string, std::string> firstBytes;
    for (const auto& [name, entry] : firstFiles.entries)
        if (!entry.isDirectory) firstBytes[name] = ReadBytes(outPath / name);
    this->SaveOnWorker(this->Out());
    const auto secondFiles = FolderSnapshot::Take(outPath);
    for (const auto& [name, bytes] : firstBytes) {
        ASSERT_TRUE(secondFiles.entries.count(name)) << name;
        EXPECT_EQ(bytes, ReadBytes(outPath / name)) << name << " was changed by a later save";
    }
    if (WritesNewFilesOnSaveAgain<TypeParam>())
        EXPECT_GT(secondFiles.entries.size(), firstFiles.entries.size()) << "the second save wrote nothing";
}

TYPED_TEST_P(ResultViewContract, StopAfterTheFirstItem) {
    ASSERT_TRUE(this->Load(2));
    this->view->AllSelect();
    this->delegate.stopAfter = 1;
    const auto result = this->SaveOnWorker(this->Out());
    EXPECT_EQ(1u, this->delegate.Progress().size());
    EXPECT_LE(result.written + result.failed, 1);
}

TYPED_TEST_P(ResultViewContract, ADestinationThatIsAFileFails) {
    ASSERT_TRUE(this->Load(2));
    this->view->AllSelect();
    const auto file = this->scratch.path() / "file";
    std::ofstream(file) << "x";
    const auto before = FolderSnapshot::Take(this->scratch.path());
    const auto result = this->SaveOnWorker(QString::fromStdString(file.string()));
    EXPECT_EQ(0, result.written);
    EXPECT_GT(result.failed, 0);
    EXPECT_EQ("", FolderSnapshot::Take(this->scratch.path()).DiffFrom(before));
}

TYPED_TEST_P(ResultViewContract, DeliveriesWhileTheTimerRuns) {
    this->view->StartUpdateUI();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 30; ++i)
            TypeParam::Deliver(*this->view, 1 + i % 2, this->backup);
        TypeParam::Deliver(*this->view, 2, this->backup);
        done = true;
    });
    WaitUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(WaitUntil([&] {
        const auto c = this->delegate.Counts();
        return !c.empty() && c.back().second == TypeParam::Count(2);
    }));
    EXPECT_TRUE(this->delegate.CountsOnGui());
}

// A delivery begun before StartUpdateUI or ClearData and arriving after it is dropped:
// nothing waits for the GUI thread and nothing is reported; the next scan's delivery shows.
TYPED_TEST_P(ResultViewContract, ALateDeliveryIsDropped) {
    ResultDelivery* handOver = this->view->Delivery();
    if (!handOver) GTEST_SKIP() << "the view hands its results over in its own way";
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"ClearData", [&] { this->view->ClearData(); }},
        {"StartUpdateUI", [&] { this->view->StartUpdateUI(); }},
    };
    for (const auto& [name, after] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(this->Load(2));
        const size_t shown = this->delegate.Counts().size();
        std::thread late([&] { TypeParam::Deliver(*this->view, 1, this->backup); });
        late.join();
        after();
        QCoreApplication::processEvents(); // the late hand-over reaches the GUI thread
        EXPECT_FALSE(handOver->Take());
        EXPECT_EQ(shown, this->delegate.Counts().size());
        // The next scan's delivery shows as ever.
        ASSERT_TRUE(this->Load(1));
        const auto counts = this->delegate.Counts();
        EXPECT_EQ(shown + 1, counts.size());
        EXPECT_EQ(TypeParam::Count(1), counts.back().second);
    }
}

REGISTER_TYPED_TEST_SUITE_P(ResultViewContract, DeliveryIsReportedOnTheGuiThread,
                            ALaterDeliveryReplacesTheData, StartUpdateUIResetsTheSearchKey, SelectionAndClear,
                            NothingTickedWritesNothing, AllTickedWritesOnlyInsideTheFolder,
                            StopAfterTheFirstItem, ADestinationThatIsAFileFails, DeliveriesWhileTheTimerRuns,
                            ALateDeliveryIsDropped);

} // namespace kit
