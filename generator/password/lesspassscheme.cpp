// LessPass's passwords (lesspass.h). Its lines: "site|length|lesspass|CLASSES|COUNTER|LOGIN".

#include "schemeunit.h"

#include "lesspass.h"
#include "recipe.h"
#include "spectre.h"

namespace {

void setDefaults(Recipe *r)
{
    r->length = LessPass::defaultLength;
    r->classes = QStringLiteral("aA9!");
    r->counter = 1;
}

QString problem(const Recipe &r)
{
    if (r.counter < 1)
        return QStringLiteral("the counter must be a whole number from 1 to 4294967295");
    if (!LessPass::isValidClasses(r.classes))
        return QStringLiteral("LessPass's characters must be one or more of a, A, 9 and ! in that order "
                              "(lowercase, uppercase, digits, symbols)");
    if (r.length < LessPass::minimumLength || r.length > LessPass::maximumLength)
        return QStringLiteral("a LessPass password has 5 to 35 characters");
    return QString();
}

QString derive(const Recipe &r, const QString &phrase)
{
    return LessPass::derive(phrase, r.identifier, r.login, r.classes, r.length, r.counter);
}

QString entropyText(const Recipe &r)
{
    return LessPass::entropyText(r.classes, r.length);
}

QString entropyNote(const Recipe &)
{
    return QStringLiteral("log2 of the number of LessPass passwords of this length that hold every chosen class.");
}

QString describe(const Recipe &r)
{
    QString text = QStringLiteral("%1, %2").arg(r.length).arg(r.classes);
    if (!r.login.isEmpty())
        text += QStringLiteral(", login %1").arg(r.login);
    if (r.counter != 1)
        text += QStringLiteral(", counter %1").arg(r.counter);
    return text;
}

QStringList lineFields(const Recipe &r)
{
    return {r.identifier, QString::number(r.length), QStringLiteral("lesspass"), r.classes, QString::number(r.counter),
            r.login};
}

bool readFields(const QStringList &f, Recipe *r)
{
    bool lengthRead = false;
    bool counterRead = false;
    if (f.size() != 6)
        return false;
    r->scheme = Scheme::LessPass;
    r->length = f.at(1).toInt(&lengthRead, 10);
    r->classes = f.at(3);
    r->counter = f.at(4).toUInt(&counterRead, 10);
    r->login = f.at(5);
    return lengthRead && counterRead && problem(*r).isEmpty();
}

QList<QPair<QString, QString>> textFields(const Recipe &r)
{
    return {{QStringLiteral("site"), r.identifier}, {QStringLiteral("login"), r.login}};
}

bool next(const Recipe &r, Recipe *next)
{
    return SchemeUnits::nextCounter(Spectre::maximumCounter, r, next);
}

bool same(const Recipe &a, const Recipe &b)
{
    return a.counter == b.counter && a.login == b.login && a.classes == b.classes && a.length == b.length;
}

void dropKept(Recipe *)
{
}

}

namespace SchemeUnits {

const SchemeUnit lessPass = {Scheme::LessPass, "lesspass", false,
    setDefaults, problem, derive, entropyText, entropyNote, describe,
    "PBKDF2-HMAC-SHA256 with 100,000 iterations makes every guess of the phrase slow",
    "SITE|LENGTH|lesspass|CHARACTERS|COUNTER|LOGIN",
    lineFields, readFields, textFields,
    next, same, dropKept};

}
