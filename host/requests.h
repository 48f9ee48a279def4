#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The browser host's requests and their replies (PROTOCOL.md): each request type has one
// handler, which reads what it needs of the core and says what it found or what is wrong.
namespace Requests {

// A request read from a message, with the fields its type needs.
struct Request
{
    QString type;
    QString url;      // lookup
    QString line;     // derive, save, next, replace, moved
    QString with;     // replace: the line that takes its place
    QString phrase;   // derive, fingerprint
    // compose: a new profile's fields, as the popup's form holds them
    QString scheme;
    QString identifier;
    QString length;
    QString rule;
    QString login;
    QString userName;
};

// Reads a message: a JSON object whose "type" names a request, with that request's fields as
// texts; fields it does not know are ignored. False, with what is wrong, for anything else.
bool read(const QByteArray &message, Request *request, QString *problem);

// The reply to a request that was read.
QJsonObject answer(const Request &request);

// The reply that says what is wrong: {"error": "..."}.
QJsonObject error(const QString &problem);

// The most profiles a lookup names, most specific first, and the most bytes they take: a reply
// stays far below the browsers' limit on a message (1 MB); the rest are counted as left out.
constexpr int maximumProfiles = 100;
constexpr int profilesBudget = 256 * 1024;
// The longest reply the host sends: anything longer is replaced by an error that says so.
constexpr int longestReply = 512 * 1024;

}
