// compatible-distinct: how many different passwords the compatible scheme really gives.
//
// Derives the length-32 password of N distinct phrases (one identifier, and N distinct
// identifiers for one phrase) and counts the different passwords, so that the figure the window
// shows for that scheme rests on a measurement rather than on 6 bits a character.
// Usage: quorvane-compatible-distinct [N]   (default 20000)

#include "derivation.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cmath>
#include <cstdio>

namespace {

void report(const char *what, const QHash<QString, int> &seen, int samples)
{
    int most = 0, once = 0;
    double shannon = 0;
    for (int count : seen) {
        most = qMax(most, count);
        once += count == 1;
        const double p = double(count) / samples;
        shannon -= p * std::log2(p);
    }
    std::printf("%s\tsamples %d\tdistinct %d\tlog2(distinct) %.2f\tshannon %.2f bits\tmost frequent %d\tseen once %d\n",
                what, samples, int(seen.size()), std::log2(double(seen.size())), shannon, most, once);
    std::fflush(stdout);
}

}

int main(int argc, char **argv)
{
    const int samples = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;
    QHash<QString, int> byPhrase, byIdentifier;
    for (int i = 0; i < samples; ++i) {
        ++byPhrase[Derivation::compatible(QStringLiteral("phrase %1 x").arg(i), QStringLiteral("account"), 32)];
        ++byIdentifier[Derivation::compatible(QStringLiteral("Mind my own words"), QStringLiteral("site-%1").arg(i), 32)];
    }
    report("phrases", byPhrase, samples);
    report("identifiers", byIdentifier, samples);
    QHash<QString, int> all = byPhrase;
    for (auto it = byIdentifier.cbegin(); it != byIdentifier.cend(); ++it)
        all[it.key()] += it.value();
    report("both", all, 2 * samples);
    return 0;
}
