#include "services/UserActionAnalysis.h"

#include "platform/Paths.h"
#include "platform/PlistDocument.h"
#include "platform/ProcessLog.h"
#include "services/Base64.h"
#include "services/BufferCipher.h"
#include "services/ServiceNetwork.h"
#include "services/SharedInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrlQuery>

// The report bodies are written with the styled writer, whose member order and layout
// the service reads; it is marked deprecated in newer jsoncpp releases.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <json/json.h>

namespace {

std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

std::string StyledText(const Json::Value& value) {
    Json::StyledWriter writer;
    return writer.write(value);
}

constexpr qint64 kMaxReplyBytes = 64 * 1024;
constexpr qint64 kMaxLogBytes = 16 * 1024 * 1024;

struct LogNames {
    QString unknown;      // no reply
    QString refused;      // refused, synchronous
    QString refusedAsync; // refused, asynchronous
};

LogNames Names(const QString& tag, bool spaceBeforeAsync = false) {
    const QString prefix = QStringLiteral("[") + tag + QStringLiteral("]");
    return {prefix + QStringLiteral("ProductAction - unknownError"),
            prefix + QStringLiteral("ProductAction - Error:"),
            prefix + (spaceBeforeAsync ? QStringLiteral(" ") : QString()) +
                QStringLiteral("ProductAction - Error:")};
}

} // namespace

UserActionAnalysis::UserActionAnalysis(QNetworkAccessManager* manager, QObject* parent)
    : QObject(parent), nam(manager ? manager : &ServiceNetwork::manager()) {}

UserActionAnalysis::~UserActionAnalysis() {
    ClearLogs();
}

UserActionAnalysis& UserActionAnalysis::shareInstance() {
    ServiceNetwork::manager(); // made first, so that it goes last
    static bool configured = false;
    UserActionAnalysis& reporter = SharedInstance<UserActionAnalysis>();
    if (!configured) {
        configured = true;
        // The service address of the bundle's configuration; empty: nothing is sent.
        reporter.SetDomainName(PlistDocument::FromFile(QStringLiteral(":/Configuration.plist"))
                                   .String({"DomainName"})
                                   .value_or(QString()));
    }
    return reporter;
}

void UserActionAnalysis::AddLog(const QString& code, unsigned times, bool hasValue, const QString& value) {
    m_UALogs.push_back(CUserActionLog{Utf8(code), Utf8(value), times, hasValue ? 2u : 1u});
}

void UserActionAnalysis::ClearLogs() {
    m_UALogs.clear();
}

std::string UserActionAnalysis::EncryEncode(const std::string& text) {
    std::vector<uint8_t> encrypted;
    if (aesEncryptBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), encrypted,
                         reinterpret_cast<const uint8_t*>(kBodyKey)) != 0) {
        return {};
    }
    return base64Encode(encrypted);
}

void UserActionAnalysis::RequestEvent(int /*actionType*/) {}

bool UserActionAnalysis::ProductAction(int typeId, bool synchronous) {
    m_ActionType = typeId;
    Json::Value root(Json::objectValue);
    root["AppId"] = m_uAppId;
    root["ChannelCode"] = Utf8(m_strChannelCode);
    root["MachineCode"] = Utf8(m_strMachineCode);
    root["Os"] = Utf8(m_strOS);
    root["OsBit"] = m_uOSBit;
    root["TypeId"] = typeId;
    root["Version"] = Utf8(m_strVersion);
    return Post(StyledText(root), QStringLiteral("action.ashx"), QStringLiteral("ProductAction"),
                synchronous);
}

bool UserActionAnalysis::EventAction(bool synchronous) {
    if (m_UALogs.empty()) return false;
    Json::Value logs(Json::arrayValue);
    for (const CUserActionLog& log : m_UALogs) {
        Json::Value item(Json::objectValue);
        item["Code"] = log.code;
        item["Mode"] = Json::UInt(log.mode);
        item["Times"] = Json::UInt(log.times);
        item["Value"] = log.value;
        logs.append(item);
    }
    ClearLogs(); // the events are gone whether or not the report gets through
    m_ActionType = 5;
    Json::Value root(Json::objectValue);
    root["AppId"] = m_uAppId;
    root["Logs"] = logs;
    root["MachineCode"] = Utf8(m_strMachineCode);
    root["OsBit"] = m_uOSBit;
    root["Username"] = Utf8(m_strUserName);
    root["Version"] = Utf8(m_strVersion);
    return Post(StyledText(root), QStringLiteral("event.ashx"), QStringLiteral("EventAction"), synchronous);
}

bool UserActionAnalysis::ErrorAction(const std::optional<QString>& content, bool synchronous) {
    m_ActionType = 6;
    Json::Value root(Json::objectValue);
    root["AppId"] = m_uAppId;
    root["Content"] = Utf8(content.value_or(QString()));
    root["Os"] = Utf8(m_strOS);
    root["OsBit"] = m_uOSBit;
    root["Version"] = Utf8(m_strVersion);
    return Post(StyledText(root), QStringLiteral("error.ashx"), QStringLiteral("ErrorAction"), synchronous);
}

bool UserActionAnalysis::Feedback(const std::optional<QString>& content,
                                  const std::optional<QString>& contact) {
    m_ActionType = 8;
    Json::Value root(Json::objectValue);
    root["AppId"] = m_uAppId;
    if (contact) root["Contact"] = Utf8(*contact);
    if (content) root["Content"] = Utf8(*content);
    root["Version"] = Utf8(m_strVersion);
    return Post(StyledText(root), QStringLiteral("suggest.ashx"), QStringLiteral("Feedback"), true);
}

bool UserActionAnalysis::Post(const std::string& json, const QString& endpoint, const QString& logName,
                              bool synchronous) {
    const LogNames names = Names(logName, logName == QLatin1String("ProductAction"));
    const std::string bodyText = EncryEncode(json);
    if (bodyText.empty()) {
        ProcessLog::Write(QStringLiteral("[") + logName + QStringLiteral("]ProductAction - encryptError"));
        return false;
    }
    const QUrl url = ServiceNetwork::ServiceUrl(m_strDomainName, endpoint);
    if (!url.isValid()) {
        // No service address: nothing is sent.
        ProcessLog::Write(names.unknown);
        return !synchronous;
    }
    const QByteArray body = QByteArray::fromStdString(bodyText);
    QNetworkRequest request(url);
    request.setRawHeader("Content-Length", QByteArray::number(body.size()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = nam->post(request, body);

    const int actionType = m_ActionType;
    auto verdict = [names, synchronous](QNetworkReply* r) {
        const ServiceNetwork::Answer answer = ServiceNetwork::Collect(r, kMaxReplyBytes);
        if (!answer.answered || answer.tooLarge) {
            ProcessLog::Write(names.unknown);
            return false;
        }
        const QString text = QString::fromUtf8(answer.body);
        if (ServiceNetwork::IntegerValue(text) < 1) {
            ProcessLog::Write((synchronous ? names.refused : names.refusedAsync) + text);
            return false;
        }
        return true;
    };

    if (!synchronous) {
        connect(reply, &QNetworkReply::finished, this, [reply, verdict] {
            verdict(reply);
            reply->deleteLater();
        });
        return true;
    }
    ServiceNetwork::WaitForFinished(reply);
    const bool accepted = verdict(reply);
    reply->deleteLater();
    if (accepted) RequestEvent(actionType);
    return accepted;
}

QString UserActionAnalysis::LogFile() const {
    if (!m_strLogFile.isEmpty()) return m_strLogFile;
    // The newest log of the log folder: the one this run writes.
    const QFileInfoList logs =
        QDir(Paths::LogFolder()).entryInfoList({QStringLiteral("DoviakIOS-*.log")}, QDir::Files, QDir::Time);
    return logs.isEmpty() ? QString() : logs.first().absoluteFilePath();
}

bool UserActionAnalysis::UploadLogAction() {
    const QString path = LogFile();
    if (path.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // The newest part of a very long log.
    if (file.size() > kMaxLogBytes) file.seek(file.size() - kMaxLogBytes);
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) return false;
    ErrorAction(QString::fromUtf8(bytes), false); // invalid UTF-8 becomes replacement characters
    return true;
}

UserActionAnalysis::FileRequest UserActionAnalysis::requestWithURl(const QUrl& url, const QString& fileName,
                                                                   const QString& localPath,
                                                                   const QString& boundary) {
    FileRequest out;
    out.request = QNetworkRequest(url);
    out.request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    out.request.setTransferTimeout(15000);
    const QByteArray b = boundary.toUtf8();
    out.body += "\r\n--" + b + "\r\n";
    out.body += "Content-Disposition: form-data; name=\"File\"; filename=\"" + fileName.toUtf8() + "\"\r\n";
    out.body += "Content-Type:text/plain \r\n";
    out.body += "Content-Transfer-Encoding: binary\r\n\r\n";
    QFile file(localPath);
    if (file.open(QIODevice::ReadOnly)) {
        out.body += file.readAll();
        out.fileRead = file.error() == QFileDevice::NoError;
    }
    out.body += "\r\n--" + b + "--\r\n";
    out.request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArray("multipart/form-data; boundary=") + b);
    return out;
}

bool UserActionAnalysis::DumpFileAction(const QString& localPath) {
    const QString boundary = QStringLiteral("-RYEOL-FB3B405B7EAE495aB0C0295C54D4E096-");
    QUrl url = ServiceNetwork::ServiceUrl(m_strDomainName, QStringLiteral("errorfile.ashx"));
    QFile probe(localPath);
    if (!probe.open(QIODevice::ReadOnly)) return false;
    probe.close();
    if (!url.isValid()) {
        ProcessLog::Write(QStringLiteral("[DumpFileAction]ProductAction - unknownError"));
        return true;
    }
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("aid"), QString::number(m_uAppId));
    query.addQueryItem(QStringLiteral("v"), m_strVersion);
    query.addQueryItem(QStringLiteral("os"), m_strOS);
    query.addQueryItem(QStringLiteral("b"), QStringLiteral("64"));
    url.setQuery(query);
    FileRequest file = requestWithURl(url, QStringLiteral("12312asdasd.tmp"), localPath, boundary);
    if (!file.fileRead) return false;
    file.request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = nam->post(file.request, file.body);
    // The service's JSON reply carries nothing the application uses.
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return true;
}

#pragma GCC diagnostic pop
