#include "sync/DavClient.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkReply>
#include <QSslCertificate>

#include <deque>

DavClient::DavClient(const Settings &settings) : m_settings(settings), m_ssl(QSslConfiguration::defaultConfiguration())
{
    m_authorization = "Basic " + (settings.user + QLatin1Char(':') + settings.password).toUtf8().toBase64();
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

bool DavClient::prepare(QString *error)
{
    if (m_settings.caFile.isEmpty())
        return true;
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(m_settings.caFile, QSsl::Pem);
    if (certificates.isEmpty()) {
        *error = tr("Could not read a certificate from the CA file %1.").arg(m_settings.caFile);
        return false;
    }
    m_ssl.addCaCertificates(certificates);
    return true;
}

bool DavClient::isLoopback(const QUrl &url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString DavClient::refusal(const QUrl &url) const
{
    if (!url.isValid() || url.host().isEmpty())
        return tr("%1 is not a web address.").arg(url.toDisplayString());
    if (url.scheme() == QLatin1String("https"))
        return QString();
    if (url.scheme() != QLatin1String("http"))
        return tr("%1 is not an http or https address.").arg(url.toDisplayString());
    if (!m_settings.allowHttp && !isLoopback(url)) {
        return tr("%1 would send the password unencrypted over the network: use https, or --allow-http if the "
                  "network is your own.")
            .arg(url.toDisplayString());
    }
    return QString();
}

QNetworkReply *DavClient::start(const DavRequest &request)
{
    QNetworkRequest http(request.url);
    http.setSslConfiguration(m_ssl);
    http.setTransferTimeout(m_settings.timeoutMs);
    http.setRawHeader("Authorization", m_authorization);
    http.setRawHeader("User-Agent", "merivo-tool");
    if (!request.contentType.isEmpty())
        http.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    for (const auto &[name, value] : request.headers)
        http.setRawHeader(name, value);
    // Never a stored answer: ETags must be the server's current ones.
    http.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    return m_network.sendCustomRequest(http, request.method, request.body);
}

DavReply DavClient::finish(QNetworkReply *reply)
{
    DavReply result;
    result.url = reply->url();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.etag = reply->rawHeader("ETag").trimmed();
    if (result.status == 0) {
        result.error = reply->error() == QNetworkReply::OperationCanceledError
            ? tr("no answer from %1 within %2 seconds").arg(reply->url().host(), QString::number(m_settings.timeoutMs / 1000.0))
            : reply->errorString();
    }
    reply->deleteLater();
    return result;
}

DavReply DavClient::send(const DavRequest &request)
{
    DavRequest current = request;
    for (int redirects = 0;; ++redirects) {
        if (const QString why = refusal(current.url); !why.isEmpty()) {
            DavReply refused;
            refused.error = why;
            return refused;
        }
        QNetworkReply *reply = start(current);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        DavReply result = finish(reply);
        const bool redirected = result.status == 301 || result.status == 302 || result.status == 303
            || result.status == 307 || result.status == 308;
        if (!redirected || !target.isValid() || redirects == 5)
            return result;
        const QUrl next = current.url.resolved(target);
        if (current.url.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https")) {
            result.status = 0;
            result.error = tr("%1 redirects to the unencrypted %2; not followed.")
                               .arg(current.url.toDisplayString(), next.toDisplayString());
            return result;
        }
        current.url = next;
    }
}

void DavClient::sendAll(const std::vector<DavRequest> &requests, int parallel,
                        const std::function<bool(size_t, const DavReply &)> &done)
{
    QEventLoop loop;
    size_t next = 0;
    int running = 0;
    bool stopped = false;
    std::function<void()> startMore = [&] {
        while (!stopped && running < parallel && next < requests.size()) {
            const size_t index = next++;
            if (const QString why = refusal(requests[index].url); !why.isEmpty()) {
                DavReply refused;
                refused.error = why;
                stopped = !done(index, refused);
                continue;
            }
            QNetworkReply *reply = start(requests[index]);
            ++running;
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply, index] {
                --running;
                stopped = !done(index, finish(reply)) || stopped;
                startMore();
                if (running == 0 && (stopped || next >= requests.size()))
                    loop.quit();
            });
        }
    };
    startMore();
    if (running > 0)
        loop.exec();
}
