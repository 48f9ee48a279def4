#include "peerschemes.h"

#include "lesspass.h"

#include <new>

bool PeerRecipe::operator==(const PeerRecipe &o) const
{
    if (scheme != o.scheme || site != o.site || counter != o.counter)
        return false;
    if (scheme == Scheme::LessPass)
        return login == o.login && classes == o.classes && length == o.length;
    return userName == o.userName && templateName == o.templateName && purpose == o.purpose
           && context == o.context && algorithm == o.algorithm && login == o.login;
}

namespace PeerSchemes {

bool isPeer(Scheme scheme)
{
    return scheme == Scheme::LessPass || scheme == Scheme::Spectre;
}

QString problem(const PeerRecipe &r)
{
    if (r.counter < 1)
        return QStringLiteral("the counter must be a whole number from 1 to 4294967295");
    if (r.scheme == Scheme::LessPass) {
        if (!LessPass::isValidClasses(r.classes))
            return QStringLiteral("LessPass's characters must be one or more of a, A, 9 and ! in that order "
                                  "(lowercase, uppercase, digits, symbols)");
        if (r.length < LessPass::minimumLength || r.length > LessPass::maximumLength)
            return QStringLiteral("a LessPass password has 5 to 35 characters");
        return QString();
    }
    if (r.scheme != Scheme::Spectre)
        return QStringLiteral("not a LessPass or Spectre recipe");
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

QString derive(const PeerRecipe &r, const QString &phrase)
{
    if (!problem(r).isEmpty())
        return QString();
    try {
        if (r.scheme == Scheme::LessPass)
            return LessPass::derive(phrase, r.site, r.login, r.classes, r.length, r.counter);
        return Spectre::derive(phrase, r.userName, r.site, r.templateName, r.counter, r.purpose, r.context, r.algorithm);
    } catch (const std::bad_alloc &) {
        return QString();
    }
}

QString entropyText(const PeerRecipe &r)
{
    return r.scheme == Scheme::LessPass ? LessPass::entropyText(r.classes, r.length) : Spectre::entropyText(r.templateName);
}

QString entropyNote(Scheme scheme)
{
    if (scheme == Scheme::Spectre)
        return QStringLiteral("log2 of the number of results the Spectre template can give; the password's length "
                              "and characters follow from the template.");
    return QStringLiteral("log2 of the number of LessPass passwords of this length that hold every chosen class.");
}

QString line(const PeerRecipe &r)
{
    const QChar bar(QLatin1Char('|'));
    if (r.scheme == Scheme::LessPass)
        return QStringList{r.site, QString::number(r.length), Derivation::schemeName(r.scheme), r.classes,
                           QString::number(r.counter), r.login}
            .join(bar);
    QStringList fields{r.site, QStringLiteral("0"), Derivation::schemeName(r.scheme), r.templateName,
                       QString::number(r.counter), QString::number(r.algorithm), Spectre::purposeName(r.purpose),
                       r.userName, r.context};
    if (!r.login.isEmpty())
        fields << r.login;   // a login name kept from an imported site list
    return fields.join(bar);
}

bool fromFields(const QStringList &f, PeerRecipe *recipe)
{
    PeerRecipe r;
    bool counted = false;
    if (f.size() == 6 && f.at(2) == Derivation::schemeName(Scheme::LessPass)) {
        bool lengthRead = false;
        r.scheme = Scheme::LessPass;
        r.site = f.at(0);
        r.length = f.at(1).toInt(&lengthRead, 10);
        r.classes = f.at(3);
        r.counter = f.at(4).toUInt(&counted, 10);
        r.login = f.at(5);
        counted = counted && lengthRead;
    } else if ((f.size() == 9 || f.size() == 10) && f.at(2) == Derivation::schemeName(Scheme::Spectre)) {
        bool algorithmRead = false;
        r.scheme = Scheme::Spectre;
        r.site = f.at(0);
        r.templateName = f.at(3);
        r.counter = f.at(4).toUInt(&counted, 10);
        r.algorithm = f.at(5).toInt(&algorithmRead, 10);
        r.userName = f.at(7);
        r.context = f.at(8);
        r.login = f.value(9);
        counted = counted && algorithmRead && Spectre::purposeFromName(f.at(6), &r.purpose);
    }
    if (!counted || !problem(r).isEmpty())
        return false;
    *recipe = r;
    return true;
}

}
