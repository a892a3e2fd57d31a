#include "services/NSWindowControllerNewFeedback.h"

#include "gui/MyExtensions.h"
#include "gui/NSLanguageText.h"
#include "gui/ZLImage.h"
#include "platform/IAlertPresenter.h"
#include "platform/IFilePicker.h"
#include "platform/PlistDocument.h"
#include "services/ServiceImage.h"
#include "services/ServiceNetwork.h"
#include "services/SharedInstance.h"

#include <QButtonGroup>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

constexpr int kMaxPhotos = 5;
constexpr qint64 kMaxJpegBytes = 0xA003FF; // 10,486,783
constexpr qint64 kMaxPhotoFileBytes = 256LL * 1024 * 1024;
constexpr qint64 kMaxReplyBytes = 1024 * 1024;
const QSize kSlotSize(96, 96);

int JpegQuality(double rate) {
    return int(std::lround(std::clamp(rate, 0.0, 1.0) * 100.0));
}

} // namespace

NSWindowControllerNewFeedback::Environment NSWindowControllerNewFeedback::Environment::System() {
    Environment e;
    e.messageServer = [] {
        return PlistDocument::FromFile(QStringLiteral(":/Configuration.plist"))
            .String({"MessageServerHost"})
            .value_or(QString());
    };
    e.random = [](int from, int to) { return getRandomNumber(from, to); };
    return e;
}

NSWindowControllerNewFeedback::NSWindowControllerNewFeedback(Environment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      env(std::move(environment)) {
    if (!env.manager) env.manager = &ServiceNetwork::manager();
    if (!env.random) env.random = [](int from, int to) { return getRandomNumber(from, to); };
    if (!env.messageServer) env.messageServer = [] { return QString(); };
    resize(600, 460);

    // Children are owned by this window.
    auto* layout = new QVBoxLayout(this);
    auto* types = new QHBoxLayout;
    typeGroup = new QButtonGroup(this);
    typeGroup->setExclusive(true);
    const QString typeKeys[] = {LanguageText("FeedbackType1"), LanguageText("FeedbackType2"),
                                LanguageText("FeedbackType3")};
    for (int i = 0; i < 3; ++i) {
        selectType[size_t(i)] = new QPushButton(typeKeys[i], this);
        selectType[size_t(i)]->setCheckable(true);
        typeGroup->addButton(selectType[size_t(i)], i);
        types->addWidget(selectType[size_t(i)]);
    }
    types->addStretch(1);
    connect(selectType[0], &QPushButton::clicked, this, [this] { SelectType1BtEvent(); });
    connect(selectType[1], &QPushButton::clicked, this, [this] { SelectType2BtEvent(); });
    connect(selectType[2], &QPushButton::clicked, this, [this] { SelectType3BtEvent(); });
    layout->addLayout(types);

    ContentTextField = new QPlainTextEdit(this);
    layout->addWidget(ContentTextField, 1);

    auto* photos = new QGridLayout;
    for (int i = 0; i < kMaxPhotos; ++i) {
        selectPhoto[size_t(i)] = new QPushButton(this);
        selectPhoto[size_t(i)]->setFixedSize(kSlotSize);
        selectPhoto[size_t(i)]->setIconSize(kSlotSize - QSize(8, 8));
        deletePhoto[size_t(i)] = new QPushButton(this);
        photos->addWidget(selectPhoto[size_t(i)], 0, i);
        photos->addWidget(deletePhoto[size_t(i)], 1, i);
        connect(selectPhoto[size_t(i)], &QPushButton::clicked, this, [this, i] { AddPhoto1BtEvent(i); });
        connect(deletePhoto[size_t(i)], &QPushButton::clicked, this, [this, i] { DeletePhotoBtEvent(i); });
    }
    layout->addLayout(photos);

    SubmitBt = new QPushButton(this);
    layout->addWidget(SubmitBt, 0, Qt::AlignRight);
    connect(SubmitBt, &QPushButton::clicked, this, [this] { SubmitBtEvent(); });

    setWindowTitle(LanguageText("TitleText"));
    SubmitBt->setText(LanguageText("SubmitBt"));
    InitData();
}

NSWindowControllerNewFeedback::~NSWindowControllerNewFeedback() {
    if (pending) {
        pending->disconnect(this);
        pending->abort();
    }
}

NSWindowControllerNewFeedback& NSWindowControllerNewFeedback::shareInstance() {
    return SharedInstance<NSWindowControllerNewFeedback>();
}

QPushButton* NSWindowControllerNewFeedback::typeButton(int i) const {
    return i >= 0 && i < 3 ? selectType[size_t(i)] : nullptr;
}

void NSWindowControllerNewFeedback::Show(QObject*) {
    show();
    raise();
    InitData();
}

void NSWindowControllerNewFeedback::InitData() {
    ContentTextField->clear();
    selectType[0]->setChecked(true);
    nSelectType = 1;
    SelectImageArr.clear();
    ResetPhotoSlots();
    for (QPushButton* b : deletePhoto) {
        b->setText(LanguageText("DeletePhotoBt"));
        QPalette palette = b->palette();
        palette.setColor(QPalette::ButtonText, Qt::white);
        b->setPalette(palette);
    }
    ApplyPhotoLayout();
}

void NSWindowControllerNewFeedback::SelectType1BtEvent() {
    nSelectType = 1;
}

void NSWindowControllerNewFeedback::SelectType2BtEvent() {
    nSelectType = 3;
}

void NSWindowControllerNewFeedback::SelectType3BtEvent() {
    nSelectType = 4;
}

void NSWindowControllerNewFeedback::ResetPhotoSlots() {
    const QIcon add(ServiceImage(QStringLiteral("NSAddTemplate"), kSlotSize));
    for (int i = 0; i < kMaxPhotos; ++i) {
        selectPhoto[size_t(i)]->setIcon(add);
        selectPhoto[size_t(i)]->setVisible(i == 0);
        deletePhoto[size_t(i)]->hide();
    }
}

void NSWindowControllerNewFeedback::ApplyPhotoLayout() {
    for (int i = 0; i < int(SelectImageArr.size()) && i < kMaxPhotos; ++i) {
        const QImage thumb =
            SelectImageArr[i].scaled(kSlotSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        selectPhoto[size_t(i)]->setIcon(QIcon(QPixmap::fromImage(thumb)));
        selectPhoto[size_t(i)]->show();
        deletePhoto[size_t(i)]->show();
        if (i <= 3) selectPhoto[size_t(i) + 1]->show(); // the next free slot
    }
}

void NSWindowControllerNewFeedback::DeletePhotoBtEvent(int tag) {
    if (tag < 0 || tag >= int(SelectImageArr.size())) return;
    SelectImageArr.removeAt(tag);
    ResetPhotoSlots();
    ApplyPhotoLayout();
}

void NSWindowControllerNewFeedback::AddPhoto1BtEvent(int tag) {
    if (tag >= 0 && tag < int(SelectImageArr.size())) {
        DeletePhotoBtEvent(tag);
        return;
    }
    IFilePicker::Request request;
    request.chooseFiles = true;
    request.chooseFolders = true;
    request.multiple = true;
    request.fileTypes = {QStringLiteral("jpg"), QStringLiteral("png"), QStringLiteral("jpge"),
                         QStringLiteral("jpeg")};
    const QStringList chosen = IFilePicker::Current().Choose(this, request);
    if (chosen.isEmpty()) return;
    const int have = int(SelectImageArr.size());
    if (int(chosen.size()) + have >= 6) {
        Alert(SafeFormat(LanguageText("SelectPhotoNum"), {QString::number(kMaxPhotos - have)}));
        return;
    }
    QStringList skipped;
    for (const QString& path : chosen) {
        QImage image;
        const QFileInfo info(path);
        if (info.isFile() && info.size() <= kMaxPhotoFileBytes) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) image = ZLImage::Decode(file.readAll());
        }
        if (image.isNull()) {
            skipped << info.fileName();
            continue;
        }
        SelectImageArr.append(image);
    }
    ResetPhotoSlots();
    ApplyPhotoLayout();
    if (!skipped.isEmpty()) Alert(LanguageText("ErrPhotoLoad") + QStringLiteral("\n") + skipped.join(u'\n'));
}

QSize NSWindowControllerNewFeedback::SizeFor1080(const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    if (w <= 1080 && h <= 1080) return size;
    if (w > h) return QSize(1080, int(std::lround(double(h) * 1080.0 / double(w))));
    return QSize(int(std::lround(double(w) * 1080.0 / double(h))), 1080);
}

QByteArray NSWindowControllerNewFeedback::imageTo1080(const QImage& source) {
    if (source.isNull()) return {};
    QImage image = source;
    const QSize target = SizeFor1080(source.size());
    if (target != source.size()) image = ZLImage::resizeImage1(source, target);
    double rate = 0.9;
    int lastQuality = -1;
    QByteArray data;
    while (true) {
        const int quality = JpegQuality(rate);
        if (quality == lastQuality) break; // halving no longer changes the encoding
        lastQuality = quality;
        data = ZLImage::compressedImageDataWithImg(image, rate);
        if (data.size() <= kMaxJpegBytes) break;
        rate /= 2;
    }
    return data;
}

int NSWindowControllerNewFeedback::getRandomNumber(int from, int to) {
    const quint32 span = quint32(to - from + 1);
    return from + int(QRandomGenerator::global()->generate() % span);
}

QString NSWindowControllerNewFeedback::Token(int typeId, const QString& ts) {
    // appid, typeid, mobile, m, code, ts and the key, joined without separators.
    const QString text = QStringLiteral("22") + QString::number(typeId) + QString() + QStringLiteral("0") +
                         QString() + ts + QString::fromLatin1(kFeedbackKey);
    return MyExtensions::md5(text);
}

bool NSWindowControllerNewFeedback::IsValidTimeStamp(const QByteArray& ts) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,20}$"));
    return pattern.match(QString::fromLatin1(ts)).hasMatch() && !ts.contains('\n');
}

QByteArray NSWindowControllerNewFeedback::OrderBody(int typeId, const QString& content, const QString& ts,
                                                    const QList<QByteArray>& photos) {
    const QPair<QString, QString> fields[] = {
        {QStringLiteral("appid"), QStringLiteral("22")},
        {QStringLiteral("typeid"), QString::number(typeId)},
        {QStringLiteral("mobile"), QString()},
        {QStringLiteral("content"), content},
        {QStringLiteral("code"), QString()},
        {QStringLiteral("m"), QStringLiteral("0")},
        {QStringLiteral("ts"), ts},
        {QStringLiteral("token"), Token(typeId, ts)},
    };
    QByteArray body;
    for (const auto& [name, value] : fields) {
        body += getDataWithString(QStringLiteral("--BOUNDARY\r\n"));
        body += getDataWithString(QStringLiteral("Content-Disposition: form-data; name=\"") + name +
                                  QStringLiteral("\"\r\n"));
        body += getDataWithString(QStringLiteral("\r\n"));
        body += getDataWithString(value);
        body += getDataWithString(QStringLiteral("\r\n"));
    }
    int n = 0;
    for (const QByteArray& jpeg : photos) {
        ++n;
        body += getDataWithString(QStringLiteral("--BOUNDARY\r\n"));
        body +=
            getDataWithString(QStringLiteral("Content-Disposition: form-data; name=\"image\"; filename=\"") +
                              ts + QString::number(n) + QStringLiteral(".jpg\"\r\n"));
        body += getDataWithString(QStringLiteral("\r\n"));
        body += jpeg;
        body += getDataWithString(QStringLiteral("\r\n"));
    }
    body += getDataWithString(QStringLiteral("--BOUNDARY--\r\n"));
    return body;
}

void NSWindowControllerNewFeedback::Alert(const QString& text, std::function<void()> after) {
    IAlertPresenter::Alert alert;
    alert.messageText = LanguageText("提示");
    alert.informativeText = text;
    alert.buttons = {LanguageText("OK")};
    alert.style = IAlertPresenter::Style::Informational;
    IAlertPresenter::Current().BeginSheet(this, alert, [after = std::move(after)](int) {
        if (after) after();
    });
}

void NSWindowControllerNewFeedback::Finish(bool sent, const QString& text) {
    sending = false;
    SubmitBt->setEnabled(true);
    if (sent) {
        QPointer<NSWindowControllerNewFeedback> self(this);
        Alert(text, [self] {
            if (self) self->close();
        });
    } else {
        Alert(text);
    }
    emit SubmissionFinished(sent, text);
}

void NSWindowControllerNewFeedback::SubmitBtEvent() {
    if (sending) return;
    const QString message = ContentTextField->toPlainText();
    if (message.isEmpty()) {
        Alert(LanguageText("inputSuggest"));
        return;
    }
    const int r = env.random(1000, 9999);
    QUrl url = ServiceNetwork::ServiceUrl(env.messageServer(), QStringLiteral("time"));
    if (!url.isValid()) {
        Finish(false, LanguageText("ErrNetworkLost"));
        return;
    }
    url.setQuery(QString::number(r));
    sending = true;
    SubmitBt->setEnabled(false);
    QNetworkRequest request(url);
    request.setTransferTimeout(env.transferTimeoutMs);
    QNetworkReply* reply = env.manager->get(request);
    pending = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, r] { OnTime(reply, r); });
}

void NSWindowControllerNewFeedback::OnTime(QNetworkReply* reply, int r) {
    reply->deleteLater();
    pending = nullptr;
    const ServiceNetwork::Answer answer = ServiceNetwork::Collect(reply, 64);
    if (!answer.answered || answer.tooLarge || answer.status < 200 || answer.status >= 300) {
        Finish(false, LanguageText("ErrNetworkLost"));
        return;
    }
    // The time goes into the form and the token as it is: digits only.
    if (!IsValidTimeStamp(answer.body)) {
        Finish(false, LanguageText("ErrServerReply"));
        return;
    }
    const QString ts = QString::fromLatin1(answer.body);
    QList<QByteArray> photos;
    for (const QImage& image : SelectImageArr) {
        QByteArray jpeg = imageTo1080(image);
        if (!jpeg.isEmpty()) photos.append(std::move(jpeg)); // a photo without JPEG data is left out
    }
    const QByteArray body = OrderBody(nSelectType, ContentTextField->toPlainText(), ts, photos);
    QUrl url = ServiceNetwork::ServiceUrl(env.messageServer(), QStringLiteral("order"));
    if (!url.isValid()) {
        Finish(false, LanguageText("ErrNetworkLost"));
        return;
    }
    url.setQuery(QString::number(r));
    QNetworkRequest request(url);
    request.setRawHeader("Content-Length", QByteArray::number(body.size()));
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=BOUNDARY");
    request.setTransferTimeout(env.transferTimeoutMs);
    QNetworkReply* order = env.manager->post(request, body);
    pending = order;
    connect(order, &QNetworkReply::finished, this, [this, order] { OnOrder(order); });
}

void NSWindowControllerNewFeedback::OnOrder(QNetworkReply* reply) {
    reply->deleteLater();
    pending = nullptr;
    const ServiceNetwork::Answer answer = ServiceNetwork::Collect(reply, kMaxReplyBytes);
    if (!answer.answered || answer.tooLarge) {
        Finish(false, LanguageText("ErrNetworkLost"));
        return;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(answer.body);
    const QJsonObject o = doc.object();
    if (!doc.isObject() || !o.contains(QLatin1String("result"))) {
        Finish(false, LanguageText("suggestFail"));
        return;
    }
    const QJsonValue result = o.value(QLatin1String("result"));
    qint64 value = 0;
    if (result.isDouble()) {
        value = qint64(result.toDouble());
    } else if (result.isString()) {
        value = ServiceNetwork::IntegerValue(result.toString());
    } else if (result.isBool()) {
        value = result.toBool() ? 1 : 0;
    }
    if (value != 0) {
        Finish(true, LanguageText("suggestOK"));
        return;
    }
    const QJsonValue msg = o.value(QLatin1String("msg"));
    if (!msg.isString()) {
        Finish(false, LanguageText("suggestFail"));
        return;
    }
    Finish(false, msg.toString());
}
