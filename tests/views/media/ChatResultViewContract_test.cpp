// Every media view made by the factory passes the result-view contract of the
// recovery page.
#include "views/media/ChatResultViews.h"
#include "views/media/NSDirizaAttachmentView.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FakeVoiceConverter.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ResultViewContract.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>

namespace {

kit::FakePreviewService preview;
kit::FakeVoiceConverter voice;

QList<NSDeletedFile> Files(int records, const QString& backup, int first) {
    QList<NSDeletedFile> out;
    const char* names[] = {"../x\n", "/etc/passwd"};
    for (int i = first; i < records && i < 2; ++i) {
        const QString stored = QStringLiteral("c%1/file%1").arg(i);
        mediatest::Store(backup, stored, QByteArray("content ") + QByteArray::number(i));
        NSDeletedFile f = mediatest::Record(backup, QString::fromUtf8(names[i]), stored,
                                            mediatest::On(i == 0 ? "2020-01-01" : "2019-06-01"));
        f.setDeleteMark(i == 0);
        out << f;
    }
    return out;
}

template <int Type> struct Grid {
    static std::unique_ptr<DirizaResultView> Make() { return MakeChatResultView(Type, preview, voice); }
    static void Deliver(DirizaResultView& view, int records, const QString& backup) {
        view.AddDirizaFile(Files(records, backup, 0));
    }
    static qint64 Count(int records) { return records; }
};

template <int Type> struct Attachment {
    static std::unique_ptr<DirizaResultView> Make() { return MakeChatResultView(Type, preview, voice); }
    // Record 0 is a picture, record 1 other media.
    static void Deliver(DirizaResultView& view, int records, const QString& backup) {
        QList<NSDeletedFile> all = Files(records, backup, 0);
        view.AddDirizaFile(all.mid(0, 1), all.mid(1));
    }
    static qint64 Count(int records) { return records; }
};

} // namespace

namespace kit {
using ChatViews = ::testing::Types<Grid<0>, Grid<1>, Grid<4>, Attachment<2>, Attachment<3>, Attachment<14>>;
INSTANTIATE_TYPED_TEST_SUITE_P(ChatMedia, ResultViewContract, ChatViews);
} // namespace kit

TEST(MakeChatResultView, TypesOfThisLibraryOnly) {
    for (int type = -1; type <= DirizaResultView::TypeCount; ++type) {
        auto view = MakeChatResultView(type, preview, voice);
        const bool media = type == 0 || type == 1 || type == 2 || type == 3 || type == 4 || type == 14;
        if (media) {
            ASSERT_NE(view, nullptr) << type;
            EXPECT_EQ(view->DirizaType(), type);
            EXPECT_EQ(dynamic_cast<NSDirizaAttachmentView*>(view.get()) != nullptr,
                      type == 2 || type == 3 || type == 14);
        } else if (type != DirizaResultView::WXAddressBook && type != DirizaResultView::WXChat) {
            EXPECT_EQ(view, nullptr) << type;
        }
    }
}

KIT_QT_TEST_MAIN(QApplication)
