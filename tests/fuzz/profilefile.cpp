// Reading a profile file written by anyone: lines, rows, and each row's profile. A readable
// profile written back as a line must read back as the same profile.
#include "fuzzsupport.h"
#include "profilefile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

bool sameProfile(const ProfileFile::Profile &a, const ProfileFile::Profile &b)
{
    return a.recipe == b.recipe && a.recipe.length == b.recipe.length && a.readable == b.readable;
}

}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zavdata.txt"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(fuzzBytes(data, size));
    }
    QStringList lines;
    if (ProfileFile::readLines(path, &lines) != ProfileFile::ReadStatus::Read)
        return 0;
    for (const QString &row : ProfileFile::rows(lines)) {
        const ProfileFile::Profile profile = ProfileFile::parseRow(row);
        if (!profile.readable)
            continue;
        const QString line = profile.recipe.line();
        if (!sameProfile(ProfileFile::parseRow(line), profile))
            std::fprintf(stderr, "row: %s\nwritten: %s\n", qPrintable(row), qPrintable(line));
        FUZZ_ASSERT(sameProfile(ProfileFile::parseRow(line), profile), "a profile line written and read back");
    }
    return 0;
}
