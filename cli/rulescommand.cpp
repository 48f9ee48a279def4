#include "command.h"
#include "commands.h"

#include "rule.h"
#include "sitelist.h"
#include "terminal.h"

namespace Cli {

RulesCommand::RulesCommand(bool show)
    : Command(show ? QStringLiteral("rules show") : QStringLiteral("rules site"),
              show ? QStringLiteral("Prints a rule's canonical text (a short rule prints itself), the lengths it allows\n"
                                    "and its strength at the longest of them.")
                   : QStringLiteral("Prints the site whose password rules the identifier takes, the site's rule in\n"
                                    "canonical form and the file it was read from; exit code 1 when no site matches.")),
      shows(show)
{
}

QList<QCommandLineOption> RulesCommand::options() const
{
    return {};
}

QString RulesCommand::operandName() const
{
    return shows ? QStringLiteral("RULE") : QStringLiteral("IDENTIFIER");
}

int RulesCommand::execute(const QCommandLineParser &parser)
{
    const QString operand = parser.positionalArguments().constFirst();
    Rule rule;
    QString problem;
    QString text;
    if (shows) {
        if (!Rule::parse(operand, &rule, &problem))
            return fail(Usage, QStringLiteral("RULE: \"%1\" is not a rule: %2").arg(operand, problem));
        const int longest = rule.maximumLength();
        text = rule.text() + QLatin1Char('\n');
        if (rule.minimumLength() > longest) {
            text += QStringLiteral("lengths: none from 4 to 32\n");
        } else {
            text += QStringLiteral("lengths: %1 to %2\n").arg(rule.minimumLength()).arg(longest);
            text += QStringLiteral("entropy: %1 bits at length %2\n").arg(rule.entropyText(longest)).arg(longest);
            if (!rule.lengthProblem(longest).isEmpty())
                text += QStringLiteral("no password: %1\n").arg(rule.lengthProblem(longest));
        }
    } else {
        if (operand.trimmed().isEmpty())
            return usageError(QStringLiteral("IDENTIFIER is empty"));
        const SiteList::Match site = SiteList::installed().match(operand);
        if (site.isNull())
            return fail(Refused, QStringLiteral("no site rule is known for \"%1\"").arg(operand));
        if (!Rule::parse(site.rule, &rule, &problem))
            return fail(Usage, QStringLiteral("the rule of %1 in %2 is not valid: %3").arg(site.domain, site.source, problem));
        text = site.domain + QLatin1Char('\n') + rule.text() + QStringLiteral("\nfrom: ") + site.source + QLatin1Char('\n');
    }
    Terminal::writeOutput(text);
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("cannot write to standard output"));
    return Ok;
}

}
