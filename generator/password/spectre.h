#pragma once

#include <QString>
#include <QStringList>

// Spectre (formerly Master Password) passwords, bit for bit, for the algorithm versions 0 to 3:
// a user key by scrypt over the user name and the phrase, a site seed by HMAC-SHA-256, and a
// template drawn by the seed's bytes.
namespace Spectre {

enum class Purpose { Password, Login, Answer };

constexpr int latestAlgorithm = 3;
constexpr quint32 maximumCounter = 4294967295u;

// "maximum", "long", "medium", "short", "basic", "pin", "name", "phrase", in their type order.
QStringList templateNames();
bool isTemplate(const QString &name);

// "password", "login", "answer".
QString purposeName(Purpose purpose);
bool purposeFromName(const QString &name, Purpose *purpose);
// long for a password, name for a login name, phrase for a security answer.
QString defaultTemplate(Purpose purpose);

// Their files' type codes: maximum 16 ... phrase 31; 0 for anything else.
int templateCode(const QString &name);
QString templateFromCode(int code);

// The password, or the null text when the key could not be computed. The caller checks the
// user name (not empty), the template, the counter (1 and more) and the version (0 to 3). The
// context counts only when not empty.
QString derive(const QString &phrase, const QString &userName, const QString &site, const QString &templateName,
               quint32 counter, Purpose purpose, const QString &context, int algorithm);

// log2 of the number of results the template can give, with one decimal.
QString entropyText(const QString &templateName);

}
