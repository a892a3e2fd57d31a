#include "views/system/NSDirizaContactView.h"

#include "gui/NSLanguageText.h"
#include "views/frame/SystemViewLook.h"
#include "views/frame/ResultText.h"
#include "views/frame/SaveNames.h"

#include <QBuffer>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QIcon>

namespace {

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC.
constexpr qint64 Epoch2001 = 978307200;

QByteArray PngOf(const QImage& image) {
    QByteArray data;
    if (image.isNull()) return data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) data.clear();
    return data;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

// Writes the photo into the folder under `name`, never replacing a different file: the
// same content there already is kept; else "name (2).png" and so on. The name used, or
// nothing when the photo could not be written.
std::optional<QString> SavePhoto(const SaveFolder& folder, const QString& name, const QByteArray& png) {
    const auto path = folder.FileFor(name);
    if (path && QFile::exists(*path)) {
        if (ReadAll(*path) == png) return QFileInfo(*path).fileName();
    }
    const auto free = folder.UniqueFileFor(name);
    if (!free || !SaveFolder::WriteNewFile(*free, png)) return std::nullopt;
    return QFileInfo(*free).fileName();
}

} // namespace

NSDirizaContactView::NSDirizaContactView(QWidget* parent)
    : SystemTableViewOf(DirizaResultView::Contact, parent) {
    info_ = new InfoPane(true, 3, this);
    SetInfoPane(info_);
    Init();
}

void NSDirizaContactView::AddDirizaFile(const QList<NSContactData>& contacts) {
    Deliver(contacts);
}

QString NSDirizaContactView::HeaderText(int column) const {
    return column == 1 ? LanguageText("SurnameCell") : QString();
}

QStringList NSDirizaContactView::ColumnSamples(int column) const {
    return column == 1 ? QStringList{LanguageText("Unknown")} : QStringList();
}

QString NSDirizaContactView::CellText(int record, int column) const {
    return column == 1 ? ResultText::OrElse(At(record).Name(), LanguageText("Unknown")) : QString();
}

QStringList NSDirizaContactView::SearchFields(const NSContactData& r) const {
    return {r.Name(), r.Phone()};
}

void NSDirizaContactView::RetranslateInfo() {
    info_->SetCaption(0, QString());
    info_->SetCaption(1, SafeFormat(QStringLiteral("%@:"), {LanguageText("PhoneCell")}));
    info_->SetCaption(2, SafeFormat(QStringLiteral("%@:"), {LanguageText("EmailCell")}));
}

void NSDirizaContactView::FillInfo(int record) {
    const NSContactData& r = At(record);
    // The pane shows the fields as they are (an empty name stays empty).
    info_->SetValue(0, r.Name());
    info_->SetValue(1, r.Phone());
    info_->SetValue(2, r.Email());
    QPixmap picture;
    if (!r.image().isNull()) {
        picture = QPixmap::fromImage(r.image());
    } else {
        const bool dark = SystemViewLook::IsDark(this);
        picture = QIcon(dark ? QStringLiteral(":/images/contact_logo_black.svg")
                             : QStringLiteral(":/images/contact_logo.svg"))
                      .pixmap(96, 96);
    }
    info_->Picture()->setPixmap(
        picture.scaledToHeight(qMin(picture.height(), 110), Qt::SmoothTransformation));
}

QString NSDirizaContactView::PhotoName(qint32 stamp, const QString& phone) {
    return SaveFolder::SafeName(QString::number(stamp) + phone + QStringLiteral(".png"));
}

ContactTexts NSDirizaContactView::SaveTexts() const {
    ContactTexts t{LanguageText("联系人"), LanguageText("ContactDataStruct"), LanguageText("Delete"),
                   LanguageText("NotDelete"), LanguageText("Unknown")};
    t.stamp = qint32(QDateTime::currentSecsSinceEpoch() - Epoch2001);
    return t;
}

DirizaSaveResult NSDirizaContactView::Write(const SaveFolder& folder, const QList<NSContactData>& records,
                                            const std::vector<int>& items, const ContactTexts& texts) const {
    const auto sub = SaveNames::SubFolder(folder, texts.folder);
    if (!sub) {
        qWarning().noquote() << QStringLiteral("【日志】联系人文件夹无法创建") << texts.folder;
        return DirizaSaveResult{0, int(items.size())};
    }
    const CsvWriter::LogLines log{QStringLiteral("【日志】联系人.csv, 没有足够可用空间"),
                                  QStringLiteral("【日志】写入错误"), QStringLiteral("【日志】无法写入内容")};
    return WriteCsv(
        *sub, texts.folder, texts.header, log, int(items.size()), [&](int i, QStringList& fields) {
            const NSContactData& r = records[items[size_t(i)]];
            bool ok = true;
            QString photo;
            if (!r.image().isNull()) {
                const QByteArray png = PngOf(r.image());
                const auto saved =
                    png.isEmpty() ? std::nullopt : SavePhoto(*sub, PhotoName(texts.stamp, r.Phone()), png);
                if (saved) {
                    photo = *saved;
                } else {
                    qWarning().noquote() << QStringLiteral("【日志】联系人头像无法写入") << r.Phone();
                    ok = false;
                }
            }
            fields = {ResultText::OrElse(r.Name(), texts.unknown), r.Phone(), r.Email(), photo,
                      r.bDelete() ? texts.deleted : texts.kept};
            return ok;
        });
}
