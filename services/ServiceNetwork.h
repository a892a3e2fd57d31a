#pragma once
// What every network service of the application shares: the one QNetworkAccessManager
// (GUI thread), the rule on addresses (https, or http to a loopback host only), and a
// bounded wait for a reply that keeps the GUI thread's event loop running.
#include <QByteArray>
#include <QNetworkReply>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

class ServiceNetwork {
  public:
    // The manager of the process, created on the GUI thread at first use.
    static QNetworkAccessManager& manager();

    // An https address, or an http one whose host is a loopback address ("localhost",
    // 127.0.0.0/8, ::1). Everything else (other schemes, relative or empty addresses)
    // is refused.
    static bool IsAllowedAddress(const QUrl& url);
    static bool IsLoopbackHost(const QString& host);

    // The address of `path` on a service given as a host (with an optional port, e.g.
    // "stats.example.org" or "127.0.0.1:8080") or as a base address with a scheme. A
    // bare host is reached over https, a loopback one over http. Invalid when the
    // service is empty or the result is not an allowed address.
    static QUrl ServiceUrl(const QString& service, const QString& path);

    // Runs a local event loop until the reply finishes (its transfer timeout ends a
    // stalled one). Returns at once when it has already finished.
    static void WaitForFinished(QNetworkReply* reply);

    // The reply's body when the server answered with a status (any status), read up to
    // `maxBytes`; nothing for a transport failure, a time-out or a longer body.
    struct Answer {
        bool answered = false; // an HTTP status came back
        int status = 0;
        QByteArray body;
        bool tooLarge = false;
    };
    static Answer Collect(QNetworkReply* reply, qint64 maxBytes);

    // The value of the text as a signed integer: leading white space, an optional
    // sign, then digits; anything else ends the number, no digits give 0.
    static qint64 IntegerValue(const QString& text);
};
