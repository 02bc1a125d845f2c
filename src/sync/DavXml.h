#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

// One <response> of a WebDAV multistatus (RFC 4918), with the properties
// this program asks for. Only properties reported with a 2xx status count.
struct DavResource
{
    QString path;   // the href resolved against the request and decoded
    int status = 0; // of the response as a whole (sync-collection: 404 = removed); 0 when not given
    QByteArray etag;
    QByteArray addressData;
    bool isCollection = false;
    bool isAddressBook = false;
    QString displayName;
    QString principal; // current-user-principal, decoded path
    QString home;      // addressbook-home-set, decoded path
};

struct DavMultistatus
{
    std::vector<DavResource> resources;
    QString syncToken;
    bool truncated = false; // a 507 for the collection: ask again with the new token
};

// Request bodies and the reading of multistatus answers. The reader takes
// whatever a server sends: malformed XML is an error, unknown elements are
// passed over, and hrefs on another host are dropped.
namespace DavXml {

enum class Property { ResourceType, DisplayName, ETag, CurrentUserPrincipal, AddressBookHomeSet, SyncToken };

QByteArray propfind(const std::vector<Property> &properties);
QByteArray syncCollection(const QString &token);
QByteArray addressBookMultiget(const QStringList &paths);

// False, with error set, when body is no multistatus.
bool parseMultistatus(const QByteArray &body, const QUrl &requestUrl, DavMultistatus &result, QString *error);

// The status code of "HTTP/1.1 404 Not Found", or 0.
int statusCode(QStringView statusLine);

// A path as sent in an href: each segment percent-encoded.
QString encodedPath(const QString &path);

} // namespace DavXml
