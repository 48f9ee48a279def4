#include "legacyutf8.h"
#include "testsupport.h"
#include "utf8.h"

#include <QtTest>

using namespace TestSupport;

class TestLegacyUtf8 : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void reencodeIsEncodeOfDecode();
    void strictUtf8();
    void standardEncoding();
};

void TestLegacyUtf8::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("units");
    const QList<QStringList> rows = readTsv(QStringLiteral("legacy-utf8-decode.tsv"));
    QVERIFY(rows.size() == 2067);
    int n = 0;
    for (const QStringList &row : rows)
        QTest::addRow("%d:%s", ++n, qPrintable(row.value(0))) << QByteArray::fromHex(row.value(0).toLatin1())
                                                              << fromHexUnits(row.value(1));
}

void TestLegacyUtf8::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, units);
    QCOMPARE(toHexUnits(LegacyUtf8::decode(bytes.constData(), bytes.size())), toHexUnits(units));
}

void TestLegacyUtf8::encode_data()
{
    QTest::addColumn<QString>("units");
    QTest::addColumn<QByteArray>("bytes");
    const QList<QStringList> rows = readTsv(QStringLiteral("legacy-utf8-encode.tsv"));
    QVERIFY(rows.size() == 32);
    int n = 0;
    for (const QStringList &row : rows)
        QTest::addRow("%d:%s", ++n, qPrintable(row.value(0))) << fromHexUnits(row.value(0))
                                                              << QByteArray::fromHex(row.value(1).toLatin1());
}

void TestLegacyUtf8::encode()
{
    QFETCH(QString, units);
    QFETCH(QByteArray, bytes);
    QCOMPARE(LegacyUtf8::encode(units).toHex(), bytes.toHex());
}

void TestLegacyUtf8::reencodeIsEncodeOfDecode()
{
    // The one-pass form the password chain uses must agree with the two conversions on every
    // vector and on random digest-like input, malformed sequences included.
    QList<QByteArray> inputs;
    for (const QStringList &row : readTsv(QStringLiteral("legacy-utf8-decode.tsv")))
        inputs.append(QByteArray::fromHex(row.value(0).toLatin1()));
    QRandomGenerator random(20261207);
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(int(random.bounded(65)), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.bounded(256));
        inputs.append(bytes);
    }
    unsigned char out[3 * 4096 + 1];
    for (const QByteArray &in : inputs) {
        QVERIFY(in.size() <= 4096);
        const int n = LegacyUtf8::reencode(reinterpret_cast<const unsigned char *>(in.constData()), in.size(), out);
        const QByteArray expected = LegacyUtf8::encode(LegacyUtf8::decode(in.constData(), in.size()));
        QVERIFY2(QByteArray(reinterpret_cast<const char *>(out), n) == expected, in.toHex().constData());
    }
}

void TestLegacyUtf8::strictUtf8()
{
    QString text;
    QVERIFY(Utf8::decodeStrict(QByteArray("\xEF\xBB\xBF" "a\xC3\xA9\xF0\x9F\x94\x91"), &text));
    QCOMPARE(toHexUnits(text), QStringLiteral("feff006100e9d83ddd11"));

    // Overlong forms, encoded surrogates, values past U+10FFFF, stray and cut-off bytes.
    const char *bad[] = {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                         "\xF5\x80\x80\x80", "\x80", "\xFF", "\xE2\x82", "a\xC3"};
    for (const char *b : bad) {
        text = QStringLiteral("unchanged");
        QVERIFY2(!Utf8::decodeStrict(QByteArray(b), &text), b);
        QCOMPARE(text, QStringLiteral("unchanged"));
    }
}

void TestLegacyUtf8::standardEncoding()
{
    QCOMPARE(Utf8::encode(QString::fromUtf16(u"a\u00e9\u20ac")).toHex(), QByteArray("61c3a9e282ac"));
    QCOMPARE(Utf8::encode(fromHexUnits(QStringLiteral("d83ddd11"))).toHex(), QByteArray("f09f9491"));
    // Unlike the legacy encoder, a non-character is kept and a lone surrogate becomes U+FFFD.
    QCOMPARE(Utf8::encode(fromHexUnits(QStringLiteral("fffe"))).toHex(), QByteArray("efbfbe"));
    QCOMPARE(Utf8::encode(fromHexUnits(QStringLiteral("d8000041dc00"))).toHex().toUpper(),
             QByteArray("EFBFBD41EFBFBD"));
    // A strict round trip gives the bytes back.
    QString text;
    const QByteArray bytes("\xE2\x82\xAC x \xF0\x90\x80\x80");
    QVERIFY(Utf8::decodeStrict(bytes, &text));
    QCOMPARE(Utf8::encode(text), bytes);
}

QTEST_GUILESS_MAIN(TestLegacyUtf8)
#include "TestLegacyUtf8.moc"
