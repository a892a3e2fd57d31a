#pragma once
// The second feedback window: a kind of feedback, a message and up to five photos,
// signed with a token over the message server's time and posted to it as a multipart
// form. Nothing is sent while no message server is configured.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QButtonGroup;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QPushButton;

class NSWindowControllerNewFeedback : public QWidget {
    Q_OBJECT
  public:
    struct Environment {
        std::function<QString()> messageServer;      // host (or base address) of "time" and "order"
        QNetworkAccessManager* manager = nullptr;    // default the shared one
        std::function<int(int from, int to)> random; // default a uniform draw
        int transferTimeoutMs = 15000;
        static Environment System();
    };

    explicit NSWindowControllerNewFeedback(Environment environment = Environment::System(),
                                           QWidget* parent = nullptr);
    ~NSWindowControllerNewFeedback() override;

    static NSWindowControllerNewFeedback& shareInstance();

    void Show(QObject* sender = nullptr);
    void InitData();
    void SelectType1BtEvent();
    void SelectType2BtEvent();
    void SelectType3BtEvent();
    // The action of the photo slots (0 to 4): adds photos on the free slot, removes the
    // photo of a filled one.
    void AddPhoto1BtEvent(int tag);
    void DeletePhotoBtEvent(int tag);
    void SubmitBtEvent();

    // The photo as JPEG: its longer side brought down to 1080 when larger, then
    // compressed from quality 0.9, halving, until it is at most 10,486,783 bytes or the
    // quality stops changing. Empty when no JPEG could be made.
    static QByteArray imageTo1080(const QImage& image);
    // The size imageTo1080 scales to.
    static QSize SizeFor1080(const QSize& size);
    static QByteArray getDataWithString(const QString& text) { return text.toUtf8(); }
    static int getRandomNumber(int from, int to);

    static constexpr const char* kFeedbackKey = "Rq7TmLw2Xc9PbV4nKs8HdJ3fYg6ZaE1u";
    // 32 lower-case hex digits of MD5 over appid, typeid, mobile, m, code, ts and the key.
    static QString Token(int typeId, const QString& ts);
    // The form of an order: the eight fields in order, then one part per photo's JPEG
    // data named "image" with the file name ts followed by its number and ".jpg".
    static QByteArray OrderBody(int typeId, const QString& content, const QString& ts,
                                const QList<QByteArray>& photos);
    // A time stamp the form may carry: 1 to 20 digits.
    static bool IsValidTimeStamp(const QByteArray& ts);

    int selectedType() const { return nSelectType; }
    const QList<QImage>& selectedImages() const { return SelectImageArr; }
    QPushButton* photoSlot(int i) const { return selectPhoto[size_t(i)]; }
    QPushButton* deleteButton(int i) const { return deletePhoto[size_t(i)]; }
    QPushButton* typeButton(int i) const;
    QPushButton* submitButton() const { return SubmitBt; }
    QPlainTextEdit* contentField() const { return ContentTextField; }
    bool isSending() const { return sending; }

  signals:
    // The submission ended; `text` is what the alert showed.
    void SubmissionFinished(bool sent, const QString& text);

  private:
    void ApplyPhotoLayout();
    void ResetPhotoSlots();
    void Alert(const QString& text, std::function<void()> after = {});
    void Finish(bool sent, const QString& text);
    void OnTime(QNetworkReply* reply, int r);
    void OnOrder(QNetworkReply* reply);

    Environment env;
    std::array<QPushButton*, 3> selectType{};
    QButtonGroup* typeGroup = nullptr;
    int nSelectType = 1;
    QPushButton* SubmitBt = nullptr;
    QPlainTextEdit* ContentTextField = nullptr;
    std::array<QPushButton*, 5> selectPhoto{};
    std::array<QPushButton*, 5> deletePhoto{};
    QList<QImage> SelectImageArr;
    bool sending = false;
    QPointer<QNetworkReply> pending;
};
