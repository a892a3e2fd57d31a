#include "tests/kit/QtWeChatRecords.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace kit {

NSWXChatSMSData QtWeChatRecords::Message(qint64 kind, int receiveState, const QString& content, qint64 time,
                                         bool deleted) {
    NSWXChatSMSData m;
    m.setEType(kind);
    m.setReceiveState(receiveState);
    m.setBFromMe(receiveState == 2);
    m.setContent(content);
    m.setLDataTime(time);
    m.setBDelete(deleted);
    m.setCsWxId(receiveState == 2 ? QStringLiteral("me") : QStringLiteral("Bob"));
    return m;
}

NSWXChatFriendData QtWeChatRecords::Chat(const QString& account, const QString& name,
                                         QList<NSWXChatSMSData> messages, bool deleted) {
    NSWXChatFriendData chat;
    chat.setAccount(account);
    chat.setFrinedAccount(name);
    chat.setBDelete(deleted);
    chat.setDate(QStringLiteral("2020-09-13"));
    chat.setWXSMSData(std::move(messages));
    return chat;
}

bool QtWeChatRecords::WritePicture(const QString& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(120, 170, 220));
    QPainter p(&image);
    p.setBrush(QColor(250, 210, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(width * 0.7, height * 0.3), width * 0.12, width * 0.12);
    p.setBrush(QColor(70, 140, 80));
    p.drawRect(QRectF(0, height * 0.65, width, height * 0.35));
    p.end();
    return image.save(path, "PNG");
}

QMap<QString, NSWXChatRecordData> QtWeChatRecords::Chats(const QString& mediaFolder) {
    QDir().mkpath(mediaFolder);
    const QString picture = mediaFolder + "/pic.png";
    const QString thumb = mediaFolder + "/video_thumb.png";
    WritePicture(picture, 120, 90);
    WritePicture(thumb, 160, 90);
    QFile voice(mediaFolder + "/voice.aud");
    if (voice.open(QIODevice::WriteOnly))
        voice.write(QByteArray("\x02#!SILK_V3", 10) + QByteArray(40, '\x01'));
    voice.close();

    qint64 t = 1600000000;
    QList<NSWXChatSMSData> bob;
    bob << Message(1, 1, "Hello, are you there?\nSecond line", t++);
    bob << Message(1, 2, "Yes, here.", t++);
    auto pic = Message(3, 1, picture, t++);
    pic.setResourcesFile(picture);
    bob << pic;
    auto voiceMsg = Message(34, 2, "", t++);
    voiceMsg.setResourcesFile(mediaFolder + "/voice.aud");
    bob << voiceMsg;
    auto card = Message(42, 1, "", t++);
    card.setBcardNickName("Dana");
    card.setBcardPhone("dana_wx");
    card.setBacrdHeadImage("contact_logo");
    bob << card;
    auto video = Message(43, 2, thumb, t++);
    video.setResourcesFile(thumb);
    bob << video;
    bob << Message(47, 1, "", t++);
    bob << Message(48, 1, "Main Street 1, Springfield", t++);
    auto link = Message(49, 2, "A short description of the page", t++);
    link.setURL("https://example.invalid/page");
    link.setULRTitle("An interesting page");
    bob << link;
    auto call = Message(50, 1, "", t++);
    call.setBIsVoice(true);
    call.setCallTime(125);
    bob << call;
    auto missed = Message(50, 2, "", t++);
    missed.setCallTime(0);
    bob << missed;
    auto shortVideo = Message(62, 1, mediaFolder + "/missing_thumb.jpg", t++);
    shortVideo.setResourcesFile(mediaFolder + "/missing.mp4");
    bob << shortVideo;
    bob << Message(10000, 0, "Bob joined the chat", t++);
    bob << Message(10001, 1, "", t++);
    bob << Message(1, 1, "A message that was deleted", t++, true);
    bob << Message(99, 1, "An unknown kind", t++);

    QMap<QString, NSWXChatRecordData> accounts;
    NSWXChatRecordData me;
    me.setAccount("me");
    me.setSWxID("wxid_me");
    const NSWXChatFriendData bobChat = Chat("me", "Bob", bob);
    me.addWXChatFriendObj(&bobChat, "wxid_bob");
    const NSWXChatFriendData ann = Chat("me", "Ann", {Message(1, 1, "hi from Ann", t++, true)}, true);
    me.addWXChatFriendObj(&ann, "wxid_ann");
    const NSWXChatFriendData lee = Chat("me", "Lee", {Message(1, 2, "bye Lee", t++, true)}, true);
    me.addWXChatFriendObj(&lee, "wxid_lee");
    accounts.insert("me", me);

    NSWXChatRecordData work;
    work.setAccount("work");
    const NSWXChatFriendData carol = Chat("work", "Carol", {Message(1, 1, "Meeting at ten", t++)});
    work.addWXChatFriendObj(&carol, "wxid_carol");
    accounts.insert("work", work);
    return accounts;
}

NSAddressBookInfo QtWeChatRecords::Contact(const QString& account, const QString& nick, bool deleted) {
    NSAddressBookInfo c;
    c.setAccount(account);
    c.setNickName(nick);
    c.setWxDefaultId("wxid_" + nick.toLower());
    c.setWxId(nick.toLower() + "_id");
    c.setBDelete(deleted);
    c.setSignature("Signature of " + nick);
    return c;
}

QList<NSWXChatAccount> QtWeChatRecords::Contacts() {
    auto group = [](const QString& name, qint64 type, const QString& ico, QList<NSAddressBookInfo> contacts) {
        NSWXAddressBookData g;
        g.setAddressBookName(name);
        g.setWXType(type);
        g.setICO(ico);
        g.setAddressBook(std::move(contacts));
        return g;
    };
    NSWXChatAccount me;
    me.setKey("me");
    auto a = Contact("me", "A");
    a.setPhone("555-0100");
    a.setAddress("Springfield");
    auto b = Contact("me", "B", true);
    me.mutableAccountWXData() << group("Friends", 0, "friends_ico", {a, b});
    me.mutableAccountWXData() << group("Official", 1, "public_ico", {Contact("me", "News")});
    NSWXAddressBookData groups = group("Groups", 2, "Group_ico", {});
    NSWXAddressBookData g =
        group("G", 2, "Group_ico", {Contact("me", "M1"), Contact("me", "M2", true), Contact("me", "M3")});
    g.mutableNextObj() << group("G2", 2, "Group_ico", {Contact("me", "N1")});
    groups.mutableNextObj() << g;
    me.mutableAccountWXData() << groups;

    NSWXChatAccount work;
    work.setKey("work");
    work.mutableAccountWXData() << group("Friends", 0, "friends_ico", {Contact("work", "W1", true)});
    return {me, work};
}

} // namespace kit
