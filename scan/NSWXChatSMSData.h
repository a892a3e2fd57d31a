#pragma once
#include "scan/ResultProperty.h"

#include <QImage>
#include <QString>

// One WeChat message as the chat view shows it. `eType` is the display kind: 1 text,
// 3 image, 34 voice, 42 contact card, 43 video, 47 emoji, 48 location, 49 link or app
// message, 50 voice or video call, 10000 system message, 10001 red packet.
class NSWXChatSMSData {
    RESULT_PROPERTY(bool, bIsVoice, setBIsVoice)
    RESULT_PROPERTY(bool, bDelete, setBDelete)
    RESULT_PROPERTY(bool, bFromMe, setBFromMe)
    RESULT_PROPERTY(qint32, receiveState, setReceiveState) // 2 sent by the owner, 1 received
    RESULT_PROPERTY(QString, Content, setContent)
    RESULT_PROPERTY(qint64, CallTime, setCallTime) // seconds
    RESULT_PROPERTY(QString, BcardNickName, setBcardNickName)
    RESULT_PROPERTY(QString, BcardPhone, setBcardPhone)
    RESULT_PROPERTY(QString, BacrdHeadImage, setBacrdHeadImage) // name of the card image
    RESULT_PROPERTY(QString, ULRTitle, setULRTitle)
    RESULT_PROPERTY(QString, ULRImage, setULRImage)
    RESULT_PROPERTY(QString, URL, setURL)
    RESULT_PROPERTY(QString, ResourcesFile, setResourcesFile) // media file in the backup
    RESULT_PROPERTY(QString, csWxId, setCsWxId)               // sender as shown
    RESULT_PROPERTY(QImage, image, setImage)
    RESULT_PROPERTY(QString, ImageUrl, setImageUrl)  // sender's avatar address
    RESULT_PROPERTY(qint64, lDataTime, setLDataTime) // Unix seconds
    RESULT_PROPERTY(qint64, eType, setEType)
};
