#pragma once

// Helpers of the sync tests: a real Radicale on 127.0.0.1 with a scratch
// storage folder and password file, a proxy in front of it that breaks
// requests on purpose, and merivo-tool run while this process keeps
// serving the proxy.

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

struct ToolRun
{
    int status = -1; // -1: killed or crashed
    QByteArray output;
    QByteArray errors;
};

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Radicale as Debian ships it, serving one user ("ann", password "secret")
// with one address book, /ann/contacts/.
class Radicale
{
public:
    static constexpr const char *User = "ann";
    static constexpr const char *Password = "secret";

    explicit Radicale(const QString &folder) : m_folder(folder), m_port(freePort()) {}
    // HTTPS with this certificate and key (PEM files).
    void useTls(const QString &certificate, const QString &key)
    {
        m_tls = QStringLiteral("ssl = True\ncertificate = %1\nkey = %2\n").arg(certificate, key);
    }
    ~Radicale() { stop(); }

    bool start()
    {
        addressBook(QStringLiteral("contacts"));
        writeText(m_folder + QStringLiteral("/users"), "ann:secret\n");
        writeText(m_folder + QStringLiteral("/config"),
                  QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n%3"
                                 "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\nhtpasswd_encryption = plain\n"
                                 "[storage]\nfilesystem_folder = %2/collections\n"
                                 "[rights]\ntype = owner_only\n[logging]\nlevel = warning\n")
                      .arg(m_port)
                      .arg(m_folder, m_tls)
                      .toUtf8());
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->start(QStringLiteral("radicale"), {QStringLiteral("--config"), m_folder + QStringLiteral("/config")});
        if (!m_process->waitForStarted(10000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(200))
                return true;
            if (m_process->state() != QProcess::Running)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    void stop()
    {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(10000);
        }
        m_process.reset();
    }

    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("%1://127.0.0.1:%2/").arg(m_tls.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")).arg(m_port); }
    QString collectionFolder(const QString &book = QStringLiteral("contacts")) const
    {
        return m_folder + QStringLiteral("/collections/collection-root/ann/") + book;
    }
    // A new, empty address book of ann's; its address.
    QString addressBook(const QString &book)
    {
        QDir().mkpath(collectionFolder(book));
        writeText(collectionFolder(book) + QStringLiteral("/.Radicale.props"),
                  QStringLiteral(R"({"tag": "VADDRESSBOOK", "D:displayname": "%1"})").arg(book).toUtf8());
        return url() + QStringLiteral("ann/") + book + QLatin1Char('/');
    }

    // The cards the server stores, by file name.
    QHash<QString, QByteArray> cards(const QString &book = QStringLiteral("contacts")) const
    {
        QHash<QString, QByteArray> found;
        const QDir folder(collectionFolder(book));
        for (const QString &name : folder.entryList({QStringLiteral("*.vcf")}, QDir::Files)) {
            QFile file(folder.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                found.insert(name, file.readAll());
        }
        return found;
    }

    static void writeText(const QString &path, const QByteArray &text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }

private:
    QString m_folder;
    quint16 m_port;
    QString m_tls;
    std::unique_ptr<QProcess> m_process;
};

// One HTTP/1.1 message read from a socket: head and body.
struct HttpMessage
{
    QByteArray head; // first line and headers, without the blank line
    QByteArray body;

    QByteArray firstLine() const { return head.left(head.indexOf("\r\n")); }
    QByteArray method() const { return firstLine().split(' ').value(0); }
    QByteArray path() const { return firstLine().split(' ').value(1); }
    int status() const { return firstLine().split(' ').value(1).toInt(); }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return QByteArray();
    }
    void setHeader(const QByteArray &name, const QByteArray &value)
    {
        QList<QByteArray> lines = head.split('\n');
        lines.removeIf([&](const QByteArray &line) {
            const qsizetype colon = line.indexOf(':');
            return colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0;
        });
        head = lines.join('\n');
        if (!value.isNull())
            head += "\r\n" + name + ": " + value;
    }
    QByteArray bytes() const
    {
        HttpMessage copy = *this;
        copy.setHeader("Content-Length", QByteArray::number(body.size()));
        return copy.head + "\r\n\r\n" + body;
    }

    // Takes one whole message from the front of buffer, if it is there.
    static bool take(QByteArray &buffer, HttpMessage &message)
    {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        HttpMessage found;
        found.head = buffer.left(end);
        const qsizetype length = found.header("Content-Length").toLongLong();
        if (buffer.size() < end + 4 + length)
            return false;
        found.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        message = found;
        return true;
    }
};

// Sits between merivo-tool and Radicale and, when told to, breaks the
// n-th request of a method in one of the ways servers and networks break.
// Each request is forwarded on a connection of its own; answers close the
// connection.
class FaultProxy
{
public:
    enum class Fault {
        None,
        ErrorInstead,      // answers the status without forwarding
        ErrorAfter,        // forwards (the server does the work), then answers the status
        Silence,           // never answers: the client times out
        CutAfter,          // forwards, then closes without an answer
        NoETag,            // forwards, drops the ETag of the answer
        RewriteAfterPut,   // forwards the PUT, then changes the stored card as some servers do, without ETag
    };
    struct Rule
    {
        QByteArray method; // empty: any
        int nth = 1;       // the n-th request of that method from now on; 0: every one
        Fault fault = Fault::None;
        int status = 503;
    };

    explicit FaultProxy(quint16 upstream) : m_upstream(upstream)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *client = m_server.nextPendingConnection())
                serve(client);
        });
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }
    void setRule(const Rule &rule)
    {
        m_rule = rule;
        m_seen = 0;
    }
    // Called with every request before it is forwarded.
    std::function<void(const HttpMessage &request)> onRequest;
    // "METHOD path status" of every request, in order.
    QList<QByteArray> log;
    void clearLog() { log.clear(); }
    qsizetype count(const QByteArray &method) const
    {
        return std::count_if(log.cbegin(), log.cend(), [&](const QByteArray &line) { return line.startsWith(method + ' '); });
    }

private:
    void serve(QTcpSocket *client)
    {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, buffer] {
            buffer->append(client->readAll());
            HttpMessage request;
            while (HttpMessage::take(*buffer, request))
                answer(client, request);
        });
    }

    bool matches(const HttpMessage &request)
    {
        if (m_rule.fault == Fault::None || (!m_rule.method.isEmpty() && request.method() != m_rule.method))
            return false;
        ++m_seen;
        return m_rule.nth == 0 || m_seen == m_rule.nth;
    }

    void answer(QTcpSocket *client, HttpMessage request)
    {
        if (onRequest)
            onRequest(request);
        const Fault fault = matches(request) ? m_rule.fault : Fault::None;
        if (fault == Fault::Silence) {
            log.append(request.method() + ' ' + request.path() + " silence");
            return;
        }
        if (fault == Fault::ErrorInstead) {
            log.append(request.method() + ' ' + request.path() + ' ' + QByteArray::number(m_rule.status));
            reply(client, errorAnswer(m_rule.status));
            return;
        }
        HttpMessage response = forward(request);
        log.append(request.method() + ' ' + request.path() + ' ' + QByteArray::number(response.status()));
        switch (fault) {
        case Fault::CutAfter:
            client->abort();
            return;
        case Fault::ErrorAfter:
            response = errorAnswer(m_rule.status);
            break;
        case Fault::NoETag:
            response.setHeader("ETag", QByteArray());
            break;
        case Fault::RewriteAfterPut:
            if (request.method() == "PUT" && response.status() / 100 == 2) {
                HttpMessage rewrite = request;
                rewrite.body.replace("END:VCARD", "X-SERVER-NOTE:rewritten by the server\r\nEND:VCARD");
                rewrite.setHeader("If-Match", QByteArray());
                rewrite.setHeader("If-None-Match", QByteArray());
                log.append("rewrite " + request.path() + ' ' + QByteArray::number(forward(rewrite).status()));
                response.setHeader("ETag", QByteArray());
            }
            break;
        default:
            break;
        }
        reply(client, response);
    }

    static HttpMessage errorAnswer(int status)
    {
        return {QByteArray("HTTP/1.1 ") + QByteArray::number(status) + " Broken on purpose\r\nContent-Type: text/plain",
                QByteArray("broken on purpose\n")};
    }

    static void reply(QTcpSocket *client, HttpMessage response)
    {
        response.setHeader("Connection", "close");
        response.setHeader("Transfer-Encoding", QByteArray());
        client->write(response.bytes());
        client->disconnectFromHost();
    }

    HttpMessage forward(HttpMessage request)
    {
        QTcpSocket upstream;
        upstream.connectToHost(QHostAddress::LocalHost, m_upstream);
        HttpMessage response{"HTTP/1.1 502 Upstream gone", QByteArray()};
        if (!upstream.waitForConnected(5000))
            return response;
        request.setHeader("Connection", "close");
        upstream.write(request.bytes());
        QByteArray buffer;
        QElapsedTimer waited;
        waited.start();
        while (!HttpMessage::take(buffer, response) && waited.elapsed() < 30000) {
            if (!upstream.waitForReadyRead(1000) && upstream.state() != QAbstractSocket::ConnectedState)
                break;
            buffer.append(upstream.readAll());
        }
        return response;
    }

    quint16 m_upstream;
    QTcpServer m_server;
    Rule m_rule;
    int m_seen = 0;
};

// merivo-tool, run while this process's event loop keeps going (the proxy
// answers from it). killAfterMs kills it with SIGKILL that long after it
// started; kill() from onRequest kills it at a given request.
class ToolRunner
{
public:
    explicit ToolRunner(const QString &program) : m_program(program) {}

    ToolRun run(const QStringList &arguments, int killAfterMs = -1,
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        m_running = &process;
        process.setProcessEnvironment(environment);
        process.start(m_program, arguments);
        process.closeWriteChannel();
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] { process.kill(); });
        limit.start(killAfterMs >= 0 ? killAfterMs : 240000);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        process.waitForFinished(10000);
        m_running = nullptr;
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    // SIGKILL, now.
    void kill()
    {
        if (m_running)
            m_running->kill();
    }

private:
    QString m_program;
    QProcess *m_running = nullptr;
};
