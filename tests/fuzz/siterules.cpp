// Site rule texts and the site lists that carry them, Firefox's zip archive among them. A
// canonical text parses to the same rule and writes itself again; a list or an archive, whatever
// its bytes, gives sites or a reason.
#include "fuzzsupport.h"
#include "sitelist.h"
#include "siterule.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const QString text = fuzzText(data, size);
    SiteRule rule;
    QString problem;
    if (SiteRule::parse(text, &rule, &problem)) {
        SiteRule again;
        FUZZ_ASSERT(SiteRule::parse(rule.canonicalText(), &again, &problem), "a canonical text parses");
        FUZZ_ASSERT(again == rule, "a canonical text means the same rule");
        FUZZ_ASSERT(again.canonicalText() == rule.canonicalText(), "a canonical text writes itself");
        FUZZ_ASSERT(!rule.alphabet().isEmpty(), "a rule has characters");
        if (rule.minimumLength() <= rule.maximumLength()) {
            rule.lengthProblem(rule.minimumLength());
            rule.lengthProblem(rule.maximumLength());
        }
    } else {
        FUZZ_ASSERT(!problem.isEmpty(), "a refusal says why");
    }

    QByteArray json = fuzzBytes(data, size);
    if (json.startsWith("PK")) {
        static QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("omni.ja"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(json);
        file.close();
        if (!SiteList::readArchive(path, &json, &problem)) {
            FUZZ_ASSERT(!problem.isEmpty(), "a refused archive says why");
            return 0;
        }
    }
    QVector<SiteList::Site> sites;
    if (SiteList::parseJson(json, &sites, &problem)) {
        for (const SiteList::Site &site : sites)
            SiteList::hostOf(site.domain);
    } else {
        FUZZ_ASSERT(!problem.isEmpty(), "a refused list says why");
    }
    return 0;
}
