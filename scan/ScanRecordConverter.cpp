#include "scan/ScanRecordConverter.h"

#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/MediaFileRecord.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/SmsConversationRecord.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "platform/ProcessLog.h"

#include <QDate>
#include <QImageReader>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace {

// Height of a contact picture, and bounds of its scaled width.
constexpr int kContactImageHeight = 106;
constexpr int kContactImageMaxWidth = 4096;
// Decoding limit for a contact picture read from the scan's output folder, in MB.
constexpr int kContactImageAllocationLimitMb = 64;

// A contact picture scaled on read to a height of 106 with its width in proportion;
// a null image when the file cannot be read within the allocation limit.
QImage loadContactImage(const QString& path) {
    QImageReader reader(path);
    reader.setAllocationLimit(kContactImageAllocationLimitMb);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return QImage();
    const qint64 width = std::clamp<qint64>(qint64(size.width()) * kContactImageHeight / size.height(), 1,
                                            kContactImageMaxWidth);
    const QSize target(int(width), kContactImageHeight);
    reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull()) return QImage();
    if (image.size() != target) image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

NSDeletedFile deletedFile(const MediaFileRecord& record, const QString& backupRoot) {
    NSDeletedFile file;
    file.setBackUpPath(backupRoot);
    const QDate day =
        QDate::fromString(ScanRecordConverter::TextOrEmpty(record.day), QStringLiteral("yyyy-MM-dd"));
    const QDateTime dayStart = day.isValid() ? day.startOfDay() : QDateTime();
    file.setMtime(dayStart);
    file.setAtime(dayStart);
    file.setCtime(dayStart);
    const QString name = ScanRecordConverter::TextOrEmpty(record.displayName);
    file.setFileName(name);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) file.setSuffix(QStringLiteral("*") + name.mid(dot) + QStringLiteral(";"));
    file.setSHA1(ScanRecordConverter::TextOrEmpty(record.storedPath));
    return file;
}

} // namespace

ScanRecordConverter::ScanRecordConverter(Hooks hooks) : hooks(std::move(hooks)) {}

std::optional<QString> ScanRecordConverter::Utf8Text(const std::string& bytes) {
    const size_t end = bytes.find('\0');
    const QByteArrayView view(bytes.data(), qsizetype(end == std::string::npos ? bytes.size() : end));
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(view);
    if (decoder.hasError()) return std::nullopt;
    if (text.isNull()) text = QStringLiteral("");
    return text;
}

QString ScanRecordConverter::TextOrEmpty(const std::string& bytes) {
    return Utf8Text(bytes).value_or(QString());
}

QMap<QString, NSSMSHeadData> ScanRecordConverter::ConvertSms(const SmsConversationRecord* first) const {
    QMap<QString, NSSMSHeadData> conversations;
    int unnamed = 1;
    for (auto* c = first; c; c = c->next) {
        hooks.waitWhilePaused();
        QString key = Utf8Text(c->address).value_or(QString());
        if (key.isEmpty()) {
            key = QStringLiteral("%1_%2")
                      .arg(hooks.text(QStringLiteral("Unknown")).value_or(QStringLiteral("Unknown")))
                      .arg(unnamed);
            ++unnamed;
        }
        // Two conversations with one key share the first one's head.
        NSSMSHeadData head;
        const bool known = conversations.contains(key);
        if (known) {
            head = conversations.take(key);
        } else {
            head.setPhone(key);
            head.setName(TextOrEmpty(c->contactName));
            head.setNHandleId(c->handleId);
            head.setBDelete(c->deleted);
        }
        for (auto* m = c->messages.first; m; m = m->next) {
            QString text = Utf8Text(m->text).value_or(QString());
            if (text.isEmpty() && !m->text.empty() && m->text[0] != '\0') {
                // Not UTF-8: one character per byte, so the message is still shown.
                text.reserve(qsizetype(m->text.size()));
                for (unsigned char b : m->text)
                    text += QChar(b);
            }
            if (text.isEmpty()) continue;
            NSSMSData message;
            message.setContent(text);
            message.setNType(m->type);
            message.setBDelete(m->deleted);
            message.setLDataTime(m->date);
            message.setAlignment(m->type != 0 ? 1 : 0);
            // A date of 0 is no date known: no time is shown for it.
            if (m->date != 0)
                message.setTime(
                    QDateTime::fromSecsSinceEpoch(m->date).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
            head.mutableSMSDataList().append(message);
        }
        // A conversation without any shown message is left out.
        if (!head.SMSDataList().isEmpty()) conversations.insert(key, head);
    }
    return conversations;
}

QList<NSCallLogData> ScanRecordConverter::ConvertCalls(const CallRecord* first) const {
    QList<NSCallLogData> calls;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        NSCallLogData call;
        call.setBDelete(r->deleted);
        call.setName(TextOrEmpty(r->name));
        call.setPhone(TextOrEmpty(r->number));
        call.setNType(r->outgoing ? 1 : 0);
        call.setLDataTime(r->date);
        call.setLDuration(r->duration);
        calls.append(call);
    }
    return calls;
}

QList<NSContactData> ScanRecordConverter::ConvertContacts(const ContactRecord* first) const {
    QList<NSContactData> contacts;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        NSContactData contact;
        contact.setBDelete(r->deleted);
        contact.setName(TextOrEmpty(r->name));
        contact.setPhone(TextOrEmpty(r->phone));
        contact.setEmail(TextOrEmpty(r->email));
        if (!r->imagePath.empty()) {
            if (auto path = Utf8Text(r->imagePath); path && !path->isEmpty())
                contact.setImage(loadContactImage(*path));
        }
        contacts.append(contact);
    }
    return contacts;
}

QList<NSBookmarksData> ScanRecordConverter::ConvertBookmarks(const BookmarkRecord* first) const {
    QList<NSBookmarksData> bookmarks;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        const auto title = Utf8Text(r->title);
        const auto url = Utf8Text(r->url);
        if (!title || title->isEmpty() || !url || url->isEmpty()) continue;
        NSBookmarksData bookmark;
        bookmark.setBookMarks(*title);
        bookmark.setAddress(*url);
        bookmark.setBDelete(r->deleted);
        bookmarks.append(bookmark);
    }
    return bookmarks;
}

QList<NSMemoData> ScanRecordConverter::ConvertReminders(const ReminderRecord* first) const {
    QList<NSMemoData> reminders;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        const auto title = Utf8Text(r->title);
        const auto list = Utf8Text(r->listTitle);
        const auto notes = Utf8Text(r->notes);
        const auto location = Utf8Text(r->location);
        if (!title && !list && !notes && !location) continue;
        NSMemoData reminder;
        reminder.setTitle(title.value_or(QString()));
        reminder.setType(list.value_or(QString()));
        reminder.setContent(notes.value_or(QString()));
        reminder.setLocation(location.value_or(QString()));
        reminder.setBDelete(r->deleted);
        reminder.setBComplete(r->completed);
        reminder.setLDataTime(r->date);
        reminders.append(reminder);
    }
    return reminders;
}

QList<NSRemindersData> ScanRecordConverter::ConvertNotes(const NoteRecord* first) const {
    QList<NSRemindersData> notes;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        const auto text = Utf8Text(r->text);
        if (!text || text->isEmpty()) continue;
        NSRemindersData note;
        note.setTitle(*text);
        note.setContent(*text);
        note.setLDataTime(r->date);
        note.setBDelete(r->deleted);
        notes.append(note);
    }
    return notes;
}

QList<NSCalendarData> ScanRecordConverter::ConvertCalendar(const CalendarRecord* first) const {
    QList<NSCalendarData> events;
    for (auto* r = first; r; r = r->next) {
        hooks.waitWhilePaused();
        NSCalendarData event;
        event.setBDelete(r->deleted);
        event.setTitle(TextOrEmpty(r->title));
        event.setContent(TextOrEmpty(r->description));
        event.setLStartTime(r->start);
        event.setLEndTime(r->end);
        event.setAddres(TextOrEmpty(r->location));
        events.append(event);
    }
    return events;
}

QList<NSDeletedFile> ScanRecordConverter::ConvertMedia(const MediaFileRecord* first,
                                                       const QString& backupRoot) const {
    QList<NSDeletedFile> files;
    for (auto* r = first; r; r = r->next)
        files.append(deletedFile(*r, backupRoot));
    return files;
}

ScanRecordConverter::Attachments ScanRecordConverter::ConvertAttachments(const MediaFileRecord* first,
                                                                         const QString& backupRoot) const {
    Attachments out;
    for (auto* r = first; r; r = r->next)
        (r->kind == 0 ? out.photos : out.media).append(deletedFile(*r, backupRoot));
    return out;
}

namespace {

// Top nodes of a contact tree, in the order the tree lists them.
constexpr qint64 kFriendsNode = 0;
constexpr qint64 kOfficialNode = 1;
constexpr qint64 kGroupsNode = 2;

qint64 topNodeOf(int kind) {
    return kind == 1 ? kOfficialNode : kind == 2 ? kGroupsNode : kFriendsNode;
}

NSAddressBookInfo addressBookInfo(const WxContactRecord& c, const QString& accountKey) {
    NSAddressBookInfo info;
    info.setBDelete(c.deleted);
    info.setBFriend(c.kind == 0);
    info.setAccount(accountKey);
    info.setWxId(ScanRecordConverter::TextOrEmpty(c.alias));
    info.setRemarkName(ScanRecordConverter::TextOrEmpty(c.remark));
    info.setWxDefaultId(ScanRecordConverter::TextOrEmpty(c.userName));
    if (!info.WxDefaultId().isEmpty() && info.WxId().isEmpty()) info.setWxId(info.WxDefaultId());
    info.setNickName(ScanRecordConverter::TextOrEmpty(c.nickName));
    info.setAddress(ScanRecordConverter::TextOrEmpty(c.address));
    info.setSignature(ScanRecordConverter::TextOrEmpty(c.signature));
    info.setURLImage(ScanRecordConverter::TextOrEmpty(c.headImageUrl));
    info.setPhone(ScanRecordConverter::TextOrEmpty(c.phone));
    return info;
}

// Message types the chat view shows, mapped onto its display kinds; 0 for the rest.
qint64 displayKindOf(int32_t type) {
    switch (type) {
    case 1:
    case 3:
    case 34:
    case 42:
    case 47:
    case 48:
    case 49:
    case 50:
        return type;
    case 43:
    case 62:
        return 43;
    case 10000:
    case 10002:
        return 10000;
    case 100001:
        return 10001;
    default:
        return 0;
    }
}

// The text of a system message ("system message").
const char kSystemMessageText[] = "\xe7\xb3\xbb\xe7\xbb\x9f\xe6\xb6\x88\xe6\x81\xaf";

} // namespace

bool ScanRecordConverter::ConvertWxContacts(const WxContactRecord* first,
                                            QList<NSWXChatAccount>& accounts) const {
    bool anyContacts = false;
    {
        int unnamedGroups = 1;
        for (auto* c = first; c; c = c->next) {
            hooks.waitWhilePaused();
            if (c->accountIndex < 0 || c->accountIndex >= accounts.size()) continue;
            if (c->kind < 0 || c->kind > 4) continue;
            if (hooks.wxContactFilter(TextOrEmpty(c->alias), TextOrEmpty(c->nickName))) continue;
            NSWXChatAccount& account = accounts[c->accountIndex];
            QList<NSWXAddressBookData>& tree = account.mutableAccountWXData();

            const qint64 top = topNodeOf(c->kind);
            qsizetype at = -1;
            for (qsizetype i = 0; i < tree.size(); ++i)
                if (tree[i].WXType() == top) {
                    at = i;
                    break;
                }
            if (at < 0) {
                NSWXAddressBookData node;
                node.setWXType(top);
                const char* nameKey = top == kFriendsNode    ? "HaoYou"
                                      : top == kOfficialNode ? "GongZhongHao"
                                                             : "Qun";
                node.setAddressBookName(hooks.text(QString::fromLatin1(nameKey)).value_or(QString()));
                node.setICO(QString::fromLatin1(top == kFriendsNode    ? "friends_ico"
                                                : top == kOfficialNode ? "public_ico"
                                                                       : "Group_ico"));
                tree.append(node);
                at = tree.size() - 1;
            }
            NSWXAddressBookData& node = tree[at];

            if (c->kind != 2) {
                node.mutableAddressBook().append(addressBookInfo(*c, account.key()));
                if (c->deleted) node.setBDelete(true);
                continue;
            }
            // A group: a node of its members below the groups node.
            NSWXAddressBookData group;
            QString name = TextOrEmpty(c->nickName);
            if (name.isEmpty()) {
                name = hooks.text(QStringLiteral("Unknown")).value_or(QString()) +
                       QString::number(unnamedGroups);
                ++unnamedGroups;
            }
            group.setAddressBookName(name);
            group.setICO(QStringLiteral("Group_ico"));
            for (const WxContactRecord* m = c->members.first; m; m = m->next) {
                NSAddressBookInfo member = addressBookInfo(*m, account.key());
                if (m->deleted) {
                    group.setBDelete(true);
                    node.setBDelete(true);
                }
                if (!account.wxid().isEmpty() && member.WxId() == account.wxid()) {
                    member.setNickName(account.key());
                    member.setURLImage(account.HeadUrl());
                }
                group.mutableAddressBook().append(member);
            }
            if (!group.AddressBook().isEmpty()) node.mutableNextObj().append(group);
        }
        // Every tree in the order friends, official accounts, groups.
        for (NSWXChatAccount& account : accounts) {
            QList<NSWXAddressBookData>& tree = account.mutableAccountWXData();
            std::stable_sort(tree.begin(), tree.end(),
                             [](const NSWXAddressBookData& a, const NSWXAddressBookData& b) {
                                 return a.WXType() < b.WXType();
                             });
            if (!tree.isEmpty()) anyContacts = true;
        }
    }
    return anyContacts;
}

QString ScanRecordConverter::WxMediaPath(const QString& root, const std::string& mediaPath,
                                         const char* suffix) const {
    return hooks.wxResourceLookup(root + QStringLiteral("/") + TextOrEmpty(mediaPath) +
                                  QString::fromLatin1(suffix));
}

void ScanRecordConverter::ConvertWxChats(const WxSessionRecord* first,
                                         QMap<QString, NSWXChatRecordData>& accounts,
                                         const QHash<QString, QString>& keyByIndex) const {
    {
        // "analysing WeChat chats...[i/n]", in the interface language.
        const QString progressFormat =
            hooks.text(QStringLiteral("PROGRESSTXT_WXCONVERT")).value_or(QStringLiteral("%1/%2"));
        const QString stickerText =
            QStringLiteral("[%1]").arg(hooks.text(QStringLiteral("WxTypeExp")).value_or(QString()));
        int wxSessionCounter = 0;
        int unnamedChats = 1;
        // (account key, chat key) of each chat that got messages, once.
        QList<QPair<QString, QString>> touched;
        QSet<QPair<QString, QString>> touchedSet;
        auto touch = [&](const QString& accountKey, const QString& chatKey) {
            if (!touchedSet.contains({accountKey, chatKey})) {
                touchedSet.insert({accountKey, chatKey});
                touched.append({accountKey, chatKey});
            }
        };
        for (auto* s = first; s; s = s->next) {
            ++wxSessionCounter;
            hooks.waitWhilePaused();
            const WxContactRecord* peer = s->peer;
            if (!peer) continue;
            const auto keyIt = keyByIndex.constFind(QString::number(peer->accountIndex));
            const auto accountIt =
                keyIt == keyByIndex.constEnd() ? accounts.end() : accounts.find(keyIt.value());
            if (accountIt == accounts.end()) {
                ProcessLog::Write(QString::fromUtf8(
                    "\xe6\x89\xbe\xe4\xb8\x8d\xe5\x88\xb0\xe5\xbe\xae\xe4\xbf\xa1\xe7\x94\xa8"
                    "\xe6\x88\xb7\xe4\xbf\xa1\xe6\x81\xaf!!!"));
                continue;
            }
            NSWXChatRecordData& account = accountIt.value();

            // A chat is keyed by its peer's user name (a generated peer by its remark),
            // so peers with one display name keep their own chats.
            QString chatKey = TextOrEmpty(peer->userName);
            if (chatKey.isEmpty()) chatKey = TextOrEmpty(peer->remark);
            if (chatKey.isEmpty()) chatKey = QStringLiteral("\x01session %1").arg(wxSessionCounter);
            // A chat is made with its first kept message: a chat without one is not listed.
            NSWXChatFriendData* chat = account.getWXCharFriendobj(chatKey);
            auto makeChat = [&]() -> NSWXChatFriendData* {
                NSWXChatFriendData fresh;
                fresh.setAccount(account.Account());
                QString name = TextOrEmpty(peer->nickName);
                if (name.isEmpty()) {
                    name =
                        hooks.text(QStringLiteral("Qun")).value_or(QString()) + QString::number(unnamedChats);
                    ++unnamedChats;
                }
                if (name.isEmpty()) name = QStringLiteral(" ");
                fresh.setFrinedAccount(name);
                fresh.setCsWxId(TextOrEmpty(peer->alias));
                fresh.setCsWxName(TextOrEmpty(peer->alias));
                fresh.setCsBody(TextOrEmpty(peer->signature));
                fresh.setCsAddress(TextOrEmpty(peer->address));
                fresh.setCsPhone(TextOrEmpty(peer->phone));
                fresh.setFrinedAccountImageUrl(TextOrEmpty(peer->headImageUrl));
                fresh.setAccountImageUrl(account.HeadImageUrl());
                fresh.setBDelete(peer->deleted);
                fresh.setBFriend(peer->kind == 0);
                account.addWXChatFriendObj(&fresh, chatKey);
                return account.getWXCharFriendobj(chatKey);
            };

            const QString root = account.sRoot();
            int i = 0;
            bool recovered = false;
            for (const WxMessageRecord* m = s->messages.first; m; m = m->next) {
                ++i;
                hooks.progressText(wxSessionCounter, 0, progressFormat.arg(i).arg(s->messages.count));
                if (m->deleted) {
                    recovered = true;
                    if (chat) chat->setBDelete(true);
                }
                const qint64 kind = displayKindOf(m->type);
                if (kind == 0) continue;
                NSWXChatSMSData message;
                message.setBDelete(m->deleted);
                message.setBFromMe(m->fromMe);
                message.setBIsVoice(m->isVoiceCall);
                message.setEType(kind);
                switch (kind) {
                case 1:
                    message.setContent(TextOrEmpty(m->text));
                    break;
                case 3:
                    message.setContent(WxMediaPath(root, m->mediaPath, ".pic_thum"));
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".pic"));
                    break;
                case 34:
                    message.setContent(QString());
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".aud"));
                    break;
                case 42:
                    message.setBcardNickName(TextOrEmpty(m->cardNickName));
                    message.setBcardPhone(TextOrEmpty(m->cardUserName));
                    message.setBacrdHeadImage(QStringLiteral("contact_logo"));
                    break;
                case 43:
                    message.setContent(WxMediaPath(root, m->mediaPath, ".video_thum"));
                    message.setResourcesFile(WxMediaPath(root, m->mediaPath, ".mp4"));
                    break;
                case 47:
                    message.setContent(stickerText);
                    break;
                case 48:
                    message.setContent(TextOrEmpty(m->locationLabel));
                    break;
                case 49:
                    message.setULRTitle(TextOrEmpty(m->title));
                    message.setURL(TextOrEmpty(m->url));
                    message.setContent(TextOrEmpty(m->description));
                    message.setULRImage(TextOrEmpty(m->thumbUrl));
                    break;
                case 50:
                    message.setCallTime(m->callDuration);
                    break;
                case 10000:
                    message.setContent(QString::fromUtf8(kSystemMessageText));
                    break;
                default: // 10001, a red packet: nothing more
                    break;
                }
                if (!chat) {
                    chat = makeChat();
                    if (!chat) break;
                    if (recovered) chat->setBDelete(true);
                }
                touch(accountIt.key(), chatKey);
                if (m->fromMe) {
                    message.setReceiveState(2);
                    message.setCsWxId(chat->Account());
                    message.setImageUrl(chat->AccountImageUrl());
                } else {
                    message.setReceiveState(1);
                    message.setCsWxId(TextOrEmpty(m->senderDisplayName));
                    message.setImageUrl(TextOrEmpty(m->senderHeadUrl));
                }
                message.setLDataTime(m->time);
                chat->addWXSMSContent(message);
            }
        }
        // A peer's sessions (one per message database) were added one after the other:
        // each chat is put in time order, equal times keeping the order they came in, and
        // shows the day of its last message.
        for (const auto& [accountKey, chatKey] : touched) {
            NSWXChatFriendData* chat = accounts[accountKey].getWXCharFriendobj(chatKey);
            if (!chat || chat->WXSMSData().isEmpty()) continue;
            auto byTime = [](const NSWXChatSMSData& a, const NSWXChatSMSData& b) {
                return a.lDataTime() < b.lDataTime();
            };
            if (!std::is_sorted(chat->WXSMSData().begin(), chat->WXSMSData().end(), byTime)) {
                QList<NSWXChatSMSData> messages = chat->WXSMSData();
                std::stable_sort(messages.begin(), messages.end(), byTime);
                chat->setWXSMSData(messages);
            }
            chat->setDate(QDateTime::fromSecsSinceEpoch(chat->WXSMSData().last().lDataTime())
                              .toString(QStringLiteral("yyyy-MM-dd")));
        }
    }
}
