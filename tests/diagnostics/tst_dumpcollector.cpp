// SPDX-License-Identifier: GPL-3.0-or-later
// The rules for the receiver's RAW and NV replies, byte by byte.
#include "diagnostics/core/DumpCollector.h"

#include <QtTest>

namespace {

template <class C>
C feedAll(const QByteArray &bytes, int *endsAt = nullptr)
{
    C c;
    for (int i = 0; i < bytes.size(); ++i) {
        if (c.feed(uint8_t(bytes.at(i)))) {
            if (endsAt)
                *endsAt = i;
            break;
        }
    }
    return c;
}

QByteArray letters(int n)
{
    QByteArray s;
    for (int i = 0; i < n; ++i)
        s.append(char('A' + i % 26));
    return s;
}

} // namespace

class tst_DumpCollector : public QObject
{
    Q_OBJECT

private slots:
    void raw_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("finished");
        QTest::newRow("two characters before the header")
            << QByteArray("xyZCZC-WXR-TOR-012011+0030-\x03") << "ZCZC-WXR-TOR-012011+0030-" << true;
        QTest::newRow("no header at all") << QByteArray("NNNN junk\r\n\x03") << "" << true;
        QTest::newRow("control characters dropped")
            << QByteArray("\r\n\x11ZC\x01ZC-A\r\nB\x7f\x03") << "ZCZC-AB\x7f" << true;
        QTest::newRow("header split by noise is not a header")
            << QByteArray("ZCXZC-A\x03") << "" << true;
        QTest::newRow("overlapping header") << QByteArray("ZCZCZC-A\x03") << "ZCZCZC-A" << true;
        QTest::newRow("high bytes kept") << QByteArray("\x8a+ZCZC\xe9\x03") << QString::fromLatin1("ZCZC\xe9") << true;
        QTest::newRow("no end of text") << QByteArray("ZCZC-A") << "ZCZC-A" << false;
        QTest::newRow("ETX ends it, later bytes ignored") << QByteArray("ZCZC\x03-MORE") << "ZCZC" << true;
        const QByteArray m130 = "ZCZC" + letters(126);
        QTest::newRow("130 characters: 62, 60 and 8")
            << m130 + '\x03'
            << QString::fromLatin1(m130.left(62) + "\r\n" + m130.mid(62, 60) + "\r\n" + m130.mid(122)) << true;
        const QByteArray m62 = "ZCZC" + letters(58);
        QTest::newRow("exactly 62 ends with a break") << m62 + '\x03' << QString::fromLatin1(m62 + "\r\n")
                                                      << true;
        const QByteArray m61 = "ZCZC" + letters(57);
        QTest::newRow("61 has no break") << m61 + '\x03' << QString::fromLatin1(m61) << true;
        const QByteArray m300 = "ZCZC" + letters(296);
        QTest::newRow("only two breaks, however long")
            << m300 + '\x03'
            << QString::fromLatin1(m300.left(62) + "\r\n" + m300.mid(62, 60) + "\r\n" + m300.mid(122)) << true;
    }
    void raw()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);
        QFETCH(bool, finished);
        const RawDumpCollector c = feedAll<RawDumpCollector>(reply);
        QCOMPARE(c.text(), text);
        QCOMPARE(c.finished(), finished);
    }

    // Noise without end must not grow the search without bound.
    void longNoiseThenHeader()
    {
        RawDumpCollector c;
        for (int i = 0; i < 100000; ++i)
            c.feed('Z');
        for (char ch : QByteArray("CZC-A\x03"))
            c.feed(uint8_t(ch));
        QCOMPARE(c.text(), QStringLiteral("ZCZC-A"));
        QVERIFY(c.finished());
    }

    void nv_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("control characters kept")
            << QByteArray("NV\x01\x02\r\n8000:\t0F\x00\x7f\x03", 17) << QByteArray("NV\x01\x02\r\n8000:\t0F\x00\x7f", 16);
        QTest::newRow("empty reply") << QByteArray("\x03") << QByteArray();
        QTest::newRow("high bytes") << QByteArray("\xff\xfe\x03") << QByteArray("\xff\xfe");
    }
    void nv()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, text);
        const NvDumpCollector c = feedAll<NvDumpCollector>(reply);
        QVERIFY(c.finished());
        QCOMPARE(c.text(), QString::fromLatin1(text));
    }

    void noByteIsIgnored()
    {
        RawDumpCollector r;
        NvDumpCollector n;
        QVERIFY(!r.feed(-1));
        QVERIFY(!n.feed(-1));
        QCOMPARE(r.bytesRead(), 0);
        QCOMPARE(n.bytesRead(), 0);
    }

    void display_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line ends") << "A\r\nB\nC" << "A\nB\nC";
        QTest::newRow("control codes in hex") << QStringLiteral("A\x01\rB\x1b") << QStringLiteral("A<01><0D>B<1B>");
        QTest::newRow("tab kept, DEL shown") << QStringLiteral("\tA\x7f") << QStringLiteral("\tA<7F>");
        QTest::newRow("NUL shown") << QString(QChar(0)) << QStringLiteral("<00>");
    }
    void display()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(DumpDisplayText(text), shown);
    }
};

QTEST_GUILESS_MAIN(tst_DumpCollector)
#include "tst_dumpcollector.moc"
