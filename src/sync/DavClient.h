#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

struct DavRequest
{
    QByteArray method;
    QUrl url;
    QByteArray body;
    QByteArray contentType;
    QList<QPair<QByteArray, QByteArray>> headers; // If-Match, Depth, ...
};

struct DavReply
{
    int status = 0;     // 0 when no answer came (error says why)
    QString error;      // network failure, timeout, or refused certificate
    QByteArray body;
    QByteArray etag;    // of the ETag header
    QUrl url;           // where the answer came from, after redirects

    bool succeeded() const { return status >= 200 && status <= 299; }
};

// HTTP(S) for WebDAV over QtNetwork: Basic authentication sent with every
// request, certificates verified (against the system's authorities and, if
// named, a CA file of the user's), plain HTTP only to this machine unless
// allowed. Requests run one at a time, or many in parallel for uploads and
// downloads; each waits in a local event loop.
class DavClient
{
    Q_DECLARE_TR_FUNCTIONS(DavClient)

public:
    // A server may think for minutes before it answers the first listing of
    // a large address book (Radicale does, for 10,000 cards): only a server
    // silent much longer is taken for gone.
    static constexpr int DefaultTimeoutMs = 600000;

    struct Settings
    {
        QString user;
        QString password;
        QString caFile;
        bool allowHttp = false; // plain HTTP to other machines
        int timeoutMs = DefaultTimeoutMs; // with nothing transferred
    };

    explicit DavClient(const Settings &settings);

    // False with error set when the CA file cannot be read.
    bool prepare(QString *error);

    // Why url may not be used (not HTTP(S), plain HTTP to another machine),
    // or an empty text.
    QString refusal(const QUrl &url) const;
    static bool isLoopback(const QUrl &url);

    // Redirects are followed (at most 5), keeping method and body, but never
    // from HTTPS to HTTP.
    DavReply send(const DavRequest &request);

    // Runs the requests with up to `parallel` at once; done is called for
    // each as it ends, in the order they end, and stops the rest from
    // starting by returning false.
    void sendAll(const std::vector<DavRequest> &requests, int parallel,
                 const std::function<bool(size_t index, const DavReply &reply)> &done);

private:
    QNetworkReply *start(const DavRequest &request);
    DavReply finish(QNetworkReply *reply);

    Settings m_settings;
    QNetworkAccessManager m_network;
    QSslConfiguration m_ssl;
    QByteArray m_authorization;
};
