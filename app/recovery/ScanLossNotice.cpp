#include "app/recovery/ScanLossNotice.h"

#include "app/recovery/DirizaTypeList.h"
#include "core/records/ScanDataType.h"
#include "gui/NSLanguageText.h"

#include <QStringList>

QString ScanLossNotice::TypeName(uint32_t dataType) {
    // Type-list positions of the data types, in the order of the type selection.
    static constexpr uint32_t kBits[] = {
        ScanPhotos,  ScanVideos,        ScanSmsAttachments, ScanNoteAttachments, ScanVoiceMemos,
        ScanSms,     ScanCallHistory,   ScanContacts,       ScanBookmarks,       ScanReminders,
        ScanNotes,   ScanCalendar,      ScanWxContacts,     ScanWxChats,         ScanWxAttachments,
        ScanWaChats, ScanWaAttachments,
    };
    for (int type = 0; type < int(std::size(kBits)); ++type)
        if (kBits[type] == dataType) return DirizaTypeList::NameOf(type);
    return LanguageText("ScanLossBackup");
}

QString ScanLossNotice::Text(const std::vector<ScanLoss>& losses) {
    QStringList lines{LanguageText("ScanLossTitle")};
    for (const ScanLoss& loss : losses) {
        const QString name = TypeName(loss.dataType);
        switch (loss.kind) {
        case ScanLoss::Kind::UnreadableRows:
            lines << SafeFormat(LanguageText("ScanLossRows"), {name, QString::number(loss.count)});
            break;
        case ScanLoss::Kind::LogNotApplied:
            lines << SafeFormat(LanguageText("ScanLossLog"), {name});
            break;
        case ScanLoss::Kind::LeftOut:
            lines << SafeFormat(LanguageText("ScanLossLeftOut"), {name, QString::number(loss.count)});
            break;
        case ScanLoss::Kind::FileChanged:
            lines << SafeFormat(LanguageText("ScanLossFileChanged"), {name});
            break;
        case ScanLoss::Kind::UnreadableDatabase:
            lines << SafeFormat(LanguageText("ScanLossDatabase"), {name});
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}
