#pragma once

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <vector>

class DavClient;

struct FoundAddressBook
{
    QUrl url;
    QString name; // its display name, else the last part of its path
};

// Finds the address books of a user from what the user was given: the
// address book itself, the server's address (RFC 6764: /.well-known/carddav,
// RFC 5785), or any address on it. The current-user-principal (RFC 5397)
// leads to the addressbook-home-set (RFC 6352, 7.1.1), whose members that are
// address books are the answer.
class AddressBookDiscovery
{
    Q_DECLARE_TR_FUNCTIONS(AddressBookDiscovery)

public:
    explicit AddressBookDiscovery(DavClient &client) : m_client(client) {}

    bool run(const QUrl &start, std::vector<FoundAddressBook> &found);
    QString lastError() const { return m_lastError; }

private:
    struct Look;
    bool look(const QUrl &url, int depth, Look &result);

    DavClient &m_client;
    QString m_lastError;
};
