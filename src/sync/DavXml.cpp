#include "sync/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString Dav = QStringLiteral("DAV:");
const QString CardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

bool is(const QXmlStreamReader &xml, const QString &ns, QLatin1StringView name)
{
    return xml.namespaceUri() == ns && xml.name() == name;
}

class Writer
{
public:
    Writer() : m_xml(&m_body)
    {
        m_xml.writeStartDocument();
        m_xml.writeNamespace(Dav, QStringLiteral("d"));
        m_xml.writeNamespace(CardDav, QStringLiteral("c"));
    }
    QXmlStreamWriter &xml() { return m_xml; }
    QByteArray finish()
    {
        m_xml.writeEndDocument();
        return m_body;
    }

private:
    QByteArray m_body;
    QXmlStreamWriter m_xml;
};

class MultistatusReader
{
public:
    MultistatusReader(const QByteArray &body, const QUrl &requestUrl) : m_xml(body), m_base(requestUrl) {}

    bool read(DavMultistatus &result, QString *error)
    {
        bool sawRoot = false;
        while (m_xml.readNextStartElement()) {
            if (!sawRoot) {
                if (!is(m_xml, Dav, QLatin1StringView("multistatus"))) {
                    m_xml.raiseError(QStringLiteral("the answer is no WebDAV multistatus"));
                    break;
                }
                sawRoot = true;
                continue; // into its children
            }
            if (is(m_xml, Dav, QLatin1StringView("response")))
                readResponse(result);
            else if (is(m_xml, Dav, QLatin1StringView("sync-token")))
                result.syncToken = m_xml.readElementText().trimmed();
            else
                m_xml.skipCurrentElement();
        }
        if (!sawRoot && !m_xml.hasError())
            m_xml.raiseError(QStringLiteral("the answer is no WebDAV multistatus"));
        if (m_xml.hasError()) {
            if (error) {
                *error = QStringLiteral("%1 (line %2, column %3)")
                             .arg(m_xml.errorString(), QString::number(m_xml.lineNumber()),
                                  QString::number(m_xml.columnNumber()));
            }
            return false;
        }
        return true;
    }

private:
    // The decoded path of an href on the server asked, or an empty text.
    QString pathOf(const QString &href) const
    {
        const QUrl url = m_base.resolved(QUrl(href.trimmed()));
        if (!url.isValid() || url.scheme() != m_base.scheme() || url.host().compare(m_base.host(), Qt::CaseInsensitive) != 0
            || url.port(m_base.scheme() == QLatin1String("https") ? 443 : 80)
                   != m_base.port(m_base.scheme() == QLatin1String("https") ? 443 : 80))
            return QString();
        return url.path(QUrl::FullyDecoded);
    }

    QString readHref()
    {
        QString href;
        while (m_xml.readNextStartElement()) {
            if (is(m_xml, Dav, QLatin1StringView("href")) && href.isEmpty())
                href = m_xml.readElementText();
            else
                m_xml.skipCurrentElement();
        }
        return pathOf(href);
    }

    void readResourceType(DavResource &resource)
    {
        while (m_xml.readNextStartElement()) {
            if (is(m_xml, Dav, QLatin1StringView("collection")))
                resource.isCollection = true;
            else if (is(m_xml, CardDav, QLatin1StringView("addressbook")))
                resource.isAddressBook = true;
            m_xml.skipCurrentElement();
        }
    }

    void readProp(DavResource &found)
    {
        while (m_xml.readNextStartElement()) {
            if (is(m_xml, Dav, QLatin1StringView("getetag"))) {
                found.etag = m_xml.readElementText().trimmed().toUtf8();
            } else if (is(m_xml, CardDav, QLatin1StringView("address-data"))) {
                // XML turns every CR LF into LF; vCard lines end in CR LF.
                QByteArray card = m_xml.readElementText().toUtf8();
                card.replace("\r\n", "\n");
                card.replace('\n', "\r\n");
                found.addressData = card;
            } else if (is(m_xml, Dav, QLatin1StringView("resourcetype"))) {
                readResourceType(found);
            } else if (is(m_xml, Dav, QLatin1StringView("displayname"))) {
                found.displayName = m_xml.readElementText().trimmed();
            } else if (is(m_xml, Dav, QLatin1StringView("current-user-principal"))) {
                found.principal = readHref();
            } else if (is(m_xml, CardDav, QLatin1StringView("addressbook-home-set"))) {
                found.home = readHref();
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }

    void readPropstat(DavResource &resource)
    {
        DavResource found;
        int status = 0;
        while (m_xml.readNextStartElement()) {
            if (is(m_xml, Dav, QLatin1StringView("prop")))
                readProp(found);
            else if (is(m_xml, Dav, QLatin1StringView("status")))
                status = DavXml::statusCode(m_xml.readElementText());
            else
                m_xml.skipCurrentElement();
        }
        if (status < 200 || status > 299)
            return;
        if (!found.etag.isEmpty())
            resource.etag = found.etag;
        if (!found.addressData.isEmpty())
            resource.addressData = found.addressData;
        resource.isCollection = resource.isCollection || found.isCollection;
        resource.isAddressBook = resource.isAddressBook || found.isAddressBook;
        if (!found.displayName.isEmpty())
            resource.displayName = found.displayName;
        if (!found.principal.isEmpty())
            resource.principal = found.principal;
        if (!found.home.isEmpty())
            resource.home = found.home;
    }

    void readResponse(DavMultistatus &result)
    {
        DavResource resource;
        bool hasHref = false;
        bool foreign = false;
        while (m_xml.readNextStartElement()) {
            if (is(m_xml, Dav, QLatin1StringView("href")) && !hasHref) {
                resource.path = pathOf(m_xml.readElementText());
                hasHref = true;
                foreign = resource.path.isEmpty();
            } else if (is(m_xml, Dav, QLatin1StringView("status"))) {
                resource.status = DavXml::statusCode(m_xml.readElementText());
            } else if (is(m_xml, Dav, QLatin1StringView("propstat"))) {
                readPropstat(resource);
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (!hasHref || foreign)
            return;
        if (resource.status == 507 && resource.path == m_base.path(QUrl::FullyDecoded))
            result.truncated = true;
        else
            result.resources.push_back(std::move(resource));
    }

    QXmlStreamReader m_xml;
    QUrl m_base;
};

} // namespace

namespace DavXml {

QByteArray propfind(const std::vector<Property> &properties)
{
    Writer writer;
    QXmlStreamWriter &xml = writer.xml();
    xml.writeStartElement(Dav, QStringLiteral("propfind"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    for (const Property property : properties) {
        switch (property) {
        case Property::ResourceType:
            xml.writeEmptyElement(Dav, QStringLiteral("resourcetype"));
            break;
        case Property::DisplayName:
            xml.writeEmptyElement(Dav, QStringLiteral("displayname"));
            break;
        case Property::ETag:
            xml.writeEmptyElement(Dav, QStringLiteral("getetag"));
            break;
        case Property::CurrentUserPrincipal:
            xml.writeEmptyElement(Dav, QStringLiteral("current-user-principal"));
            break;
        case Property::AddressBookHomeSet:
            xml.writeEmptyElement(CardDav, QStringLiteral("addressbook-home-set"));
            break;
        case Property::SyncToken:
            xml.writeEmptyElement(Dav, QStringLiteral("sync-token"));
            break;
        }
    }
    xml.writeEndElement();
    xml.writeEndElement();
    return writer.finish();
}

QByteArray syncCollection(const QString &token)
{
    Writer writer;
    QXmlStreamWriter &xml = writer.xml();
    xml.writeStartElement(Dav, QStringLiteral("sync-collection"));
    xml.writeTextElement(Dav, QStringLiteral("sync-token"), token);
    xml.writeTextElement(Dav, QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    xml.writeEmptyElement(Dav, QStringLiteral("getetag"));
    xml.writeEndElement();
    xml.writeEndElement();
    return writer.finish();
}

QByteArray addressBookMultiget(const QStringList &paths)
{
    Writer writer;
    QXmlStreamWriter &xml = writer.xml();
    xml.writeStartElement(CardDav, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(Dav, QStringLiteral("prop"));
    xml.writeEmptyElement(Dav, QStringLiteral("getetag"));
    xml.writeEmptyElement(CardDav, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString &path : paths)
        xml.writeTextElement(Dav, QStringLiteral("href"), encodedPath(path));
    xml.writeEndElement();
    return writer.finish();
}

bool parseMultistatus(const QByteArray &body, const QUrl &requestUrl, DavMultistatus &result, QString *error)
{
    result = DavMultistatus();
    return MultistatusReader(body, requestUrl).read(result, error);
}

int statusCode(QStringView statusLine)
{
    // "HTTP/1.1 404 Not Found"
    const QStringView trimmed = statusLine.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return 0;
    const QStringView rest = trimmed.sliced(blank + 1);
    bool ok = false;
    const int code = rest.left(3).toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

QString encodedPath(const QString &path)
{
    QUrl url;
    url.setPath(path, QUrl::DecodedMode);
    return QString::fromUtf8(url.toEncoded(QUrl::FullyEncoded));
}

} // namespace DavXml
