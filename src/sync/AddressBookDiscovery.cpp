#include "sync/AddressBookDiscovery.h"

#include "sync/DavClient.h"
#include "sync/DavXml.h"

struct AddressBookDiscovery::Look
{
    int status = 0;
    DavMultistatus answer;
    QUrl url; // after redirects
};

bool AddressBookDiscovery::look(const QUrl &url, int depth, Look &result)
{
    using P = DavXml::Property;
    const DavReply reply = m_client.send({"PROPFIND", url,
                                          DavXml::propfind({P::ResourceType, P::DisplayName, P::CurrentUserPrincipal,
                                                            P::AddressBookHomeSet}),
                                          "application/xml; charset=utf-8", {{"Depth", QByteArray::number(depth)}}});
    result.status = reply.status;
    result.url = reply.url;
    if (reply.status == 0) {
        m_lastError = tr("Could not reach %1: %2").arg(url.toDisplayString(), reply.error);
        return false;
    }
    if (reply.status == 401) {
        m_lastError = tr("%1 refused the user name or password (401).").arg(url.toDisplayString());
        return false;
    }
    if (reply.status != 207)
        return true;
    QString error;
    if (!DavXml::parseMultistatus(reply.body, reply.url, result.answer, &error)) {
        m_lastError = tr("The answer of %1 could not be read: %2").arg(url.toDisplayString(), error);
        return false;
    }
    return true;
}

bool AddressBookDiscovery::run(const QUrl &start, std::vector<FoundAddressBook> &found)
{
    found.clear();
    const auto at = [](const QUrl &base, const QString &path) {
        QUrl url = base;
        url.setPath(path, QUrl::DecodedMode);
        url.setQuery(QString());
        return url;
    };
    const auto self = [](const Look &look) -> const DavResource * {
        const QString path = look.url.path(QUrl::FullyDecoded);
        for (const DavResource &resource : look.answer.resources) {
            if (resource.path == path || resource.path == path + QLatin1Char('/') || resource.path + QLatin1Char('/') == path)
                return &resource;
        }
        return look.answer.resources.empty() ? nullptr : &look.answer.resources.front();
    };

    // The address given, then the server's well-known address for CardDAV
    // (first when only the server was given).
    std::vector<QUrl> starts{start};
    const QUrl wellKnown = at(start, QStringLiteral("/.well-known/carddav"));
    if (start.path().isEmpty() || start.path() == QLatin1String("/"))
        starts.insert(starts.begin(), wellKnown);
    else
        starts.push_back(wellKnown);

    QString home;
    QUrl server;
    for (const QUrl &url : starts) {
        Look first;
        if (!look(url, 0, first))
            return false;
        const DavResource *resource = self(first);
        if (!resource)
            continue;
        if (resource->isAddressBook) {
            found.push_back({at(first.url, resource->path), resource->displayName});
            return true;
        }
        server = first.url;
        home = resource->home;
        if (home.isEmpty() && !resource->principal.isEmpty()) {
            Look principal;
            if (!look(at(server, resource->principal), 0, principal))
                return false;
            if (const DavResource *entry = self(principal))
                home = entry->home;
        }
        if (!home.isEmpty())
            break;
    }
    if (home.isEmpty()) {
        m_lastError = tr("%1 does not look like a CardDAV server: neither the address nor /.well-known/carddav leads "
                         "to the address books of a user.")
                          .arg(start.toDisplayString());
        return false;
    }

    Look books;
    if (!look(at(server, home), 1, books))
        return false;
    for (const DavResource &resource : books.answer.resources) {
        if (!resource.isAddressBook)
            continue;
        QString name = resource.displayName;
        if (name.isEmpty())
            name = resource.path.section(QLatin1Char('/'), -2, -2);
        found.push_back({at(server, resource.path), name});
    }
    if (found.empty()) {
        m_lastError = tr("The user has no address book on %1 yet: make one there (in its web pages or another "
                         "program) and add the account again.")
                          .arg(server.host());
        return false;
    }
    return true;
}
