#include "profilefile.h"

#include "platform.h"
#include "utf8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace ProfileFile {

const QString fileName = QStringLiteral("zavdata.txt");

QString defaultPath()
{
    return Platform::dataFolderPath(Platform::userName()) + fileName;
}

namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the rest of the upper half is Latin-1. The five
// undefined bytes keep their own value, as Windows itself maps them.
const ushort cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes.at(i));
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : ushort(b));
    }
    return text;
}

QString decodeLine(const QByteArray &bytes)
{
    QString text;
    if (Utf8::decodeStrict(bytes, &text))
        return text;
    return decodeWindows1252(bytes);
}

void writeLine(QIODevice &file, const QString &line)
{
    // On a text-mode file Windows turns the LF into CR LF, as the original program's lines are.
    file.write(Utf8::encode(line));
    file.write("\r\n");
}

}

bool readLines(const QString &path, QStringList *lines)
{
    lines->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    const bool failed = file.error() != QFileDevice::NoError;
    file.close();
    if (failed)
        return false;

    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);   // a mark left by an editor is not part of the first line
    content.replace('\r', QByteArray());   // as a text-mode read, which drops every CR
    if (content.isEmpty())
        return true;
    if (content.endsWith('\n'))
        content.chop(1);

    QString whole;
    if (Utf8::decodeStrict(content, &whole)) {
        *lines = whole.split(QLatin1Char('\n'));
        return true;
    }
    // Not UTF-8 as a whole: each line is read on its own, so that lines appended in UTF-8 to a
    // file of the original program read as well as its own Windows-1252 lines.
    const QList<QByteArray> parts = content.split('\n');
    lines->reserve(parts.size());
    for (const QByteArray &part : parts)
        lines->append(decodeLine(part));
    return true;
}

QStringList rows(const QStringList &lines)
{
    QStringList result;
    result.reserve(lines.size());
    for (const QString &l : lines) {
        if (!l.isEmpty())
            result.append(l);
    }
    std::sort(result.begin(), result.end());
    return result;
}

QString listText(const QStringList &lines)
{
    QStringList reversed(lines);
    std::reverse(reversed.begin(), reversed.end());
    return reversed.join(QLatin1Char(' '));
}

bool containsBar(const QString &identifier)
{
    return identifier.contains(QLatin1Char('|'));
}

bool isValidIdentifier(const QString &identifier)
{
    return !identifier.isEmpty() && !containsBar(identifier);
}

QString line(const QString &identifier, int length, Scheme scheme)
{
    QString text = identifier + QLatin1Char('|') + QString::number(length, 10);
    if (scheme == Scheme::Strong)
        text += QLatin1Char('|') + Derivation::schemeName(Scheme::Strong);
    return text;
}

Profile parseRow(const QString &row)
{
    Profile profile;
    const int bar = row.indexOf(QLatin1Char('|'), 0, Qt::CaseSensitive);
    profile.identifier = row.left(bar);
    const QStringList fields = row.split(QLatin1Char('|'));
    if (fields.size() == 3) {
        const int length = fields.at(1).toInt(nullptr, 10);
        profile.length = Derivation::isValidLength(length) ? length : 0;
        Derivation::schemeFromName(fields.at(2), &profile.scheme);
    } else {
        profile.length = row.mid(bar + 1, 2).toInt(nullptr, 10);
    }
    return profile;
}

bool append(const QString &path, const QString &line)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());

    bool endMissing = false;
    if (info.size() > 0) {
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.seek(info.size() - 1)) {
            char last = 0;
            endMissing = existing.getChar(&last) && last != '\n';
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    if (endMissing)
        file.write("\r\n");
    writeLine(file, line);
    const bool written = file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

RemoveResult remove(const QString &path, const QString &line)
{
    QStringList lines;
    if (!readLines(path, &lines))
        return QFileInfo::exists(path) ? RemoveResult::Failed : RemoveResult::NotFound;
    const int before = lines.size();
    lines.removeAll(line);
    if (lines.size() == before)
        return RemoveResult::NotFound;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return RemoveResult::Failed;
    for (const QString &kept : lines)
        writeLine(file, kept);
    return file.commit() ? RemoveResult::Removed : RemoveResult::Failed;
}

SaveResult save(const QString &path, const QString &identifier, int length, Scheme scheme)
{
    if (!isValidIdentifier(identifier))
        return SaveResult::InvalidIdentifier;
    if (!Derivation::isValidLength(length))
        return SaveResult::InvalidLength;
    const QString candidate = line(identifier, length, scheme);
    QStringList lines;
    readLines(path, &lines);
    if (lines.contains(candidate))
        return SaveResult::AlreadySaved;
    return append(path, candidate) ? SaveResult::Saved : SaveResult::Failed;
}

}
