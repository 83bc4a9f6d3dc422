// SPDX-License-Identifier: GPL-3.0-or-later
// The transmitters on the county map when a listing with positions brings
// some 300 of them to Texas. As the county window opens and maximised, the
// others are small muted marks without names, and the chosen one is drawn
// over them and named; zoomed in, the others are named too. No name ever
// lies over a mark or over another name.
#include "coverage/core/CountyCoverage.h"
#include "coverage/core/CountyMapDrawing.h"
#include "coverage/core/CoverageSheet.h"
#include "coverage/core/StateDatabase.h"
#include "support/TestEnv.h"

#include <QFont>
#include <QtTest>

namespace {

const QString Dallas = QStringLiteral(" Dallas           KEC56  162.400");
constexpr int Texas = 42;

QHash<QString, TransmitterInfo> crowdedTexas()
{
    QHash<QString, TransmitterInfo> table;
    for (int i = 0; i < 300; ++i) {
        TransmitterInfo t;
        t.callsign = QStringLiteral("WX%1").arg(i, 3, 10, QLatin1Char('0'));
        t.field = QStringLiteral(" Site %1  %2  162.475").arg(i, -7).arg(t.callsign);
        t.longitude = -106.0 + (i % 20) * 0.6 + (i % 7) * 0.05;
        t.latitude = 26.0 + (i / 20) * 0.66 + (i % 5) * 0.04;
        t.status = i % 37 ? QStringLiteral("NORMAL") : QStringLiteral("OUT OF SERVICE");
        table.insert(t.field, t);
    }
    TransmitterInfo kec56;
    kec56.field = Dallas;
    kec56.callsign = QStringLiteral("KEC56");
    kec56.longitude = -96.80;
    kec56.latitude = 32.78;
    kec56.status = QStringLiteral("NORMAL");
    table.insert(Dallas, kec56);
    return table;
}

} // namespace

class tst_CountyMarks : public QObject
{
    Q_OBJECT

private slots:
    void crowdedTransmitters_data();
    void crowdedTransmitters();
    void everyCoveredCountyOnTheMap_data();
    void everyCoveredCountyOnTheMap();
};

void tst_CountyMarks::crowdedTransmitters_data()
{
    QTest::addColumn<QSizeF>("area");
    QTest::addColumn<double>("zoom");
    // The map's room in the county window: as it opens on a 1024 x 768
    // screen, maximised on 1600 x 1000, and zoomed in on Dallas.
    QTest::newRow("first size") << QSizeF(540, 330) << 1.0;
    QTest::newRow("maximised") << QSizeF(1150, 560) << 1.0;
    QTest::newRow("zoomed in on Dallas") << QSizeF(540, 330) << 8.0;
}

void tst_CountyMarks::crowdedTransmitters()
{
    QFETCH(QSizeF, area);
    QFETCH(double, zoom);
    TestEnv env;
    CoverageSheet::Source source;
    source.statesFolder = env.ctx->statesFolder;
    source.stateId = Texas;
    source.transmitter = Dallas;
    source.fipEntries = env.ctx->FipEntries;
    CountyCoverage coverage;
    CountyMapDrawing map;
    CoverageSheet::setUpMap(map, coverage, source);
    map.setTransmitterTable(crowdedTexas());
    map.fit(area);
    const bool zoomed = zoom > 1;
    if (zoomed) {
        const QPointF dallas = map.model().projection().project(-96.80, 32.78);
        map.setView(map.scale() * zoom, dallas);
    }
    QCOMPARE(map.scale() >= CountyMapDrawing::LabelScale, zoomed);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const CountyMapDrawing::MarkLayout layout = map.markLayout(area, font);
    QVERIFY(layout.marks.size() > 50);
    QVERIFY(layout.marks.last().chosen);   // drawn last, over the others
    int chosenNamed = 0;
    for (const auto &label : layout.labels) {
        chosenNamed += label.chosen && label.text == QLatin1String("KEC56");
        for (const auto &mark : layout.marks)
            QVERIFY2(!mark.box().intersects(label.box), qPrintable(label.text + QStringLiteral(" over ") + mark.name));
        for (const auto &other : layout.labels)
            QVERIFY(&other == &label || !other.box.intersects(label.box));
    }
    QCOMPARE(chosenNamed, 1);
    for (const auto &mark : layout.marks)
        QCOMPARE(mark.muted, !mark.chosen && !zoomed);
    if (zoomed)
        QVERIFY(layout.labels.size() > 3);
    else
        QCOMPARE(layout.labels.size(), 1);
}

void tst_CountyMarks::everyCoveredCountyOnTheMap_data()
{
    QTest::addColumn<int>("stateId");
    QTest::addColumn<QString>("transmitter");
    // Manassas covers Falls Church, whose outline the boundaries file
    // simplified to nothing.
    QTest::newRow("Virginia, Manassas") << 45 << QStringLiteral(" Manassas         KHB36  162.550");
    QTest::newRow("Texas, Dallas") << Texas << Dallas;
    QTest::newRow("Ohio, Covington") << 34 << QStringLiteral(" Covington        KIH42  162.550");
}

// Every county a transmitter covers, all ticked, is drawn: none is "not on
// the map".
void tst_CountyMarks::everyCoveredCountyOnTheMap()
{
    QFETCH(int, stateId);
    QFETCH(QString, transmitter);
    TestEnv env;
    QStringList counties;
    QVERIFY(StateDatabase::FindTransmitterCounties(env.prompter, env.ctx->statesFolder, transmitter, &counties));
    QVERIFY(!counties.isEmpty());
    CoverageSheet::Source source;
    source.statesFolder = env.ctx->statesFolder;
    source.stateId = stateId;
    source.transmitter = transmitter;
    source.fipEntries = QStringList(99, QString());
    for (int i = 0; i < counties.size() && i < 99; ++i)
        source.fipEntries[i] = QStringLiteral("X ") + counties.at(i);
    CountyCoverage coverage;
    CountyMapDrawing map;
    CoverageSheet::setUpMap(map, coverage, source);
    QCOMPARE(map.notDrawnListed(), 0);
    QVERIFY2(!map.noteText().contains(QStringLiteral("not on the map")), qPrintable(map.noteText()));
    // A county too small for the file still gets its dot.
    if (stateId == 45) {
        map.fit(QSizeF(540, 330));
        QVERIFY(map.smallCounties(QSizeF(540, 330)).contains(QStringLiteral("51610")));
    }
}

QTEST_MAIN(tst_CountyMarks)
#include "tst_countymarks.moc"
