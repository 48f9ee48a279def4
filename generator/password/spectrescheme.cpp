// Spectre's (formerly Master Password's) passwords (spectre.h). Its lines:
// "site|0|spectre|TEMPLATE|COUNTER|ALGORITHM|PURPOSE|USER NAME|KEYWORD", followed by "|LOGIN"
// when an imported site list kept a login name for the site.

#include "schemeunit.h"

#include "recipe.h"
#include "spectre.h"

namespace {

void setDefaults(Recipe *r)
{
    r->templateName = QStringLiteral("long");
    r->purpose = Spectre::Purpose::Password;
    r->algorithm = Spectre::latestAlgorithm;
    r->counter = 1;
    r->length = 0;   // the template fixes it
}

QString problem(const Recipe &r)
{
    if (r.counter < 1)
        return QStringLiteral("the counter must be a whole number from 1 to 4294967295");
    if (r.userName.isEmpty())
        return QStringLiteral("Spectre needs the user name (its \"full name\")");
    if (!Spectre::isTemplate(r.templateName))
        return QStringLiteral("the template must be one of %1").arg(Spectre::templateNames().join(QStringLiteral(", ")));
    if (r.algorithm < 0 || r.algorithm > Spectre::latestAlgorithm)
        return QStringLiteral("Spectre's algorithm version is 0, 1, 2 or 3");
    if (!r.context.isEmpty() && r.purpose != Spectre::Purpose::Answer)
        return QStringLiteral("only a security answer takes a keyword");
    return QString();
}

QString derive(const Recipe &r, const QString &phrase)
{
    return Spectre::derive(phrase, r.userName, r.identifier, r.templateName, r.counter, r.purpose, r.context, r.algorithm);
}

QString entropyText(const Recipe &r)
{
    return Spectre::entropyText(r.templateName);
}

QString entropyNote(const Recipe &)
{
    return QStringLiteral("log2 of the number of results the Spectre template can give; the password's length "
                          "and characters follow from the template.");
}

QString describe(const Recipe &r)
{
    QString text = QStringLiteral("%1, %2").arg(r.templateName, r.userName);
    if (r.purpose == Spectre::Purpose::Login)
        text += QStringLiteral(", login name");
    else if (r.purpose == Spectre::Purpose::Answer)
        text += r.context.isEmpty() ? QStringLiteral(", answer") : QStringLiteral(", answer for %1").arg(r.context);
    if (r.counter != 1)
        text += QStringLiteral(", counter %1").arg(r.counter);
    if (r.algorithm != Spectre::latestAlgorithm)
        text += QStringLiteral(", algorithm %1").arg(r.algorithm);
    return text;
}

QStringList lineFields(const Recipe &r)
{
    QStringList fields{r.identifier, QStringLiteral("0"), QStringLiteral("spectre"), r.templateName,
                       QString::number(r.counter), QString::number(r.algorithm), Spectre::purposeName(r.purpose),
                       r.userName, r.context};
    if (!r.login.isEmpty())
        fields << r.login;   // a login name kept from an imported site list
    return fields;
}

bool readFields(const QStringList &f, Recipe *r)
{
    bool counterRead = false;
    bool algorithmRead = false;
    if (f.size() != 9 && f.size() != 10)
        return false;
    r->scheme = Scheme::Spectre;
    r->length = 0;
    r->templateName = f.at(3);
    r->counter = f.at(4).toUInt(&counterRead, 10);
    r->algorithm = f.at(5).toInt(&algorithmRead, 10);
    r->userName = f.at(7);
    r->context = f.at(8);
    r->login = f.value(9);
    return counterRead && algorithmRead && Spectre::purposeFromName(f.at(6), &r->purpose) && problem(*r).isEmpty();
}

QList<QPair<QString, QString>> textFields(const Recipe &r)
{
    return {{QStringLiteral("site"), r.identifier},
            {QStringLiteral("user name"), r.userName},
            {QStringLiteral("keyword"), r.context},
            {QStringLiteral("login name"), r.login}};
}

bool next(const Recipe &r, Recipe *next)
{
    return SchemeUnits::nextCounter(Spectre::maximumCounter, r, next);
}

bool same(const Recipe &a, const Recipe &b)
{
    return a.counter == b.counter && a.userName == b.userName && a.templateName == b.templateName
           && a.purpose == b.purpose && a.context == b.context && a.algorithm == b.algorithm && a.login == b.login;
}

void dropKept(Recipe *r)
{
    r->login.clear();   // kept from an import, never derived from
}

}

namespace SchemeUnits {

const SchemeUnit spectre = {Scheme::Spectre, "spectre", false,
    setDefaults, problem, derive, entropyText, entropyNote, describe,
    "scrypt (32 MiB) makes every guess of the phrase slow",
    "SITE|0|spectre|TEMPLATE|COUNTER|ALGORITHM|PURPOSE|USER NAME|KEYWORD, and |LOGIN NAME when one was kept",
    lineFields, readFields, textFields,
    next, same, dropKept};

}
