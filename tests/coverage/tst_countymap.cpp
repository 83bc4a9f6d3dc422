// SPDX-License-Identifier: GPL-3.0-or-later
// The county map: the boundary reader on the real compiled-in file, the
// projection and hit test at known places, bad files, and the map in the
// county window clicked with real mouse events offscreen.
#include "config/core/ParameterFile.h"
#include "coverage/core/CountyAtlas.h"
#include "coverage/core/CountyMapModel.h"
#include "coverage/core/StateDatabase.h"
#include "coverage/gui/CountyMapView.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPS.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

namespace {

const QString Covington = QStringLiteral(" Covington        KIH42  162.550");
constexpr int Ohio = 34, Alaska = 1, Virginia = 45;

// A program as start-up leaves it, with a transmitter confirmed in the
// transmitter window, and the county window on screen (not modal: the test
// goes on while it shows).
struct Program {
    TestEnv env;
    QWidget mainWindow;
    frmFIPS *fips = nullptr;
    frmEnterFIP *enter = nullptr;
    QListWidget *lstFips = nullptr;
    CountyMapView *map = nullptr;

    Program(int stateId, const QString &transmitter)
    {
        mainWindow.setObjectName(QStringLiteral("NX4400C"));
        env.ctx->config.StateID = int16_t(stateId);
        env.ctx->config.TransmitterLocation = transmitter;
        CoverageCommands::prepareCoverageWindows(*env.ctx, *env.ctx, &mainWindow);
        fips = mainWindow.findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
        enter = mainWindow.findChild<frmEnterFIP *>(QStringLiteral("frmEnterFIP"));
        lstFips = fips->findChild<QListWidget *>(QStringLiteral("lstFips"));
        map = fips->findChild<CountyMapView *>(QStringLiteral("mapCounties"));
        if (!transmitter.isEmpty())
            QVERIFY(enter->StoreFips());
        fips->show();
        QVERIFY(QTest::qWaitForWindowExposed(fips));
    }

    void click(const QString &id)
    {
        const QPoint at = map->widgetPointOf(id);
        QVERIFY2(map->rect().contains(at), qPrintable(id + QStringLiteral(" is not on the map")));
        QCOMPARE(map->countyAt(at), id);
        QTest::mouseClick(map, Qt::LeftButton, {}, at);
    }
    QStringList checkedCodes() const
    {
        QStringList codes;
        for (int i = 0; i < lstFips->count(); ++i)
            if (lstFips->item(i)->checkState() == Qt::Checked)
                codes << lstFips->item(i)->text().left(6);
        return codes;
    }
};

// The first `n` counties of a state in the atlas, west to east by id.
QStringList countiesOfState(const QString &state, int n)
{
    QStringList ids;
    for (int i : CountyAtlas::builtIn().countiesOf(state))
        ids << CountyAtlas::builtIn().counties().at(i).id;
    ids.sort();
    return ids.mid(0, n);
}

} // namespace

class tst_CountyMap : public QObject
{
    Q_OBJECT

private slots:
    void realFile();
    void pointInCounty_data();
    void pointInCounty();
    void badFiles_data();
    void badFiles();
    void clickThroughTheList_data();
    void clickThroughTheList();
    void keyboardAndScreenReader();
    void markersAndSaving();
    void stateWindows_data();
    void stateWindows();
};

void tst_CountyMap::realFile()
{
    const CountyAtlas::Atlas &atlas = CountyAtlas::builtIn();
    QCOMPARE(atlas.countyCount(), 3231);
    QCOMPARE(atlas.states().size(), 56);
    QCOMPARE(atlas.closedByReader(), 0);
    int multi = 0, withHoles = 0, drawnHoles = 0;
    for (const CountyAtlas::County &c : atlas.counties()) {
        multi += c.multiPolygon;
        withHoles += c.holes > 0;
        // Six of those counties lose their holes: simplifying shrank them to nothing.
        drawnHoles += std::any_of(c.rings.cbegin(), c.rings.cend(), [](const CountyAtlas::Ring &r) { return r.hole; });
        for (const CountyAtlas::Ring &r : c.rings) {
            QVERIFY2(r.points.size() >= 4 && r.points.first() == r.points.last(), qPrintable(c.id));
        }
    }
    QCOMPARE(multi, 110);
    QCOMPARE(withHoles, 18);
    QCOMPARE(drawnHoles, 12);
    QCOMPARE(atlas.county(QStringLiteral("35013"))->name, QString::fromUtf8("Doña Ana"));
    QCOMPARE(atlas.county(QStringLiteral("24005"))->name, QStringLiteral("Baltimore"));
    QCOMPARE(atlas.county(QStringLiteral("24510"))->name, QStringLiteral("Baltimore"));
    QCOMPARE(atlas.countyForCode(QStringLiteral("139049"))->id, QStringLiteral("39049"));   // partial county
    // Aleutians West lies across 180°: wrapped, it spans some twenty degrees
    // west of it, not the whole world.
    const QRectF aleutians = atlas.county(QStringLiteral("02016"))->bounds;
    QCOMPARE(atlas.county(QStringLiteral("02016"))->name, QStringLiteral("Aleutians West"));
    QVERIFY2(aleutians.left() < -180 && aleutians.right() < -160 && aleutians.width() < 25,
             qPrintable(QStringLiteral("%1..%2").arg(aleutians.left()).arg(aleutians.right())));
    QVERIFY(atlas.stateBounds(QStringLiteral("02")).width() < 60);
    // Texas's neighbourhood: its four neighbours, not the far states.
    const QStringList texas = atlas.neighbourhood(QStringLiteral("48"));
    for (const char *s : {"35", "40", "05", "22"})
        QVERIFY2(texas.contains(QLatin1String(s)), s);
    QVERIFY(!texas.contains(QStringLiteral("12")));
}

void tst_CountyMap::pointInCounty_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::newRow("Franklin OH, Columbus") << "39049" << -82.99 << 39.96;
    QTest::newRow("Los Angeles") << "06037" << -118.24 << 34.05;
    QTest::newRow("Cook, Chicago") << "17031" << -87.63 << 41.88;
    QTest::newRow("Baltimore city") << "24510" << -76.61 << 39.29;
    QTest::newRow("Baltimore county, Towson") << "24005" << -76.60 << 39.40;
    QTest::newRow("St. Louis city") << "29510" << -90.20 << 38.63;
    QTest::newRow("St. Louis county") << "29189" << -90.44 << 38.64;
    QTest::newRow("Dona Ana, Las Cruces") << "35013" << -106.78 << 32.32;
    QTest::newRow("Salem, inside Roanoke county's hole") << "51775" << -80.055 << 37.293;
    QTest::newRow("Roanoke county around it") << "51161" << -80.20 << 37.25;
    QTest::newRow("Fairfax city") << "51600" << -77.306 << 38.846;
    QTest::newRow("Aleutians West, Unalaska") << "02016" << -166.54 << 53.88;
    QTest::newRow("Aleutians West, Attu east of 180") << "02016" << 173.18 << 52.90;
    QTest::newRow("Honolulu") << "15003" << -157.86 << 21.31;
    QTest::newRow("Mayaguez") << "72097" << -67.14 << 18.20;
}

void tst_CountyMap::pointInCounty()
{
    QFETCH(QString, id);
    QFETCH(double, lon);
    QFETCH(double, lat);
    CountyMap::Model model;
    QVERIFY(model.build(CountyAtlas::builtIn(), id.left(2)));
    // Alaska's longitudes east of 180° are wrapped, as the reader did.
    const double wrapped = id.startsWith(QLatin1String("02")) && lon > 0 ? lon - 360 : lon;
    const int hit = model.hitTest(model.projection().project(wrapped, lat));
    QVERIFY2(hit >= 0, "nothing hit");
    QCOMPARE(model.shapes().at(hit).id, id);
    // The interior point the map clicks and marks lies inside the county.
    const CountyMap::Shape &shape = model.shapes().at(model.indexOf(id));
    QCOMPARE(model.hitTest(shape.centre), model.indexOf(id));
}

void tst_CountyMap::badFiles_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    const QByteArray head = R"({"type":"Topology","transform":{"scale":[1,1],"translate":[0,0]},)";
    const QByteArray square = R"("arcs":[[[0,0],[1,0],[0,1],[-1,0],[0,-1]]],)";
    auto county = [](const QByteArray &geometry) {
        return QByteArray(R"("objects":{"counties":{"type":"GeometryCollection","geometries":[)") + geometry + "]}}}";
    };
    QTest::newRow("not JSON") << QByteArray("{\"type\":") << "not JSON";
    QTest::newRow("no counties") << QByteArray(R"({"type":"Topology","arcs":[],"objects":{}})") << "no counties";
    QTest::newRow("arc out of range")
        << head + square + county(R"({"type":"Polygon","id":"39049","arcs":[[1]]})") << "arc that is not there";
    QTest::newRow("reversed arc out of range")
        << head + square + county(R"({"type":"Polygon","id":"39049","arcs":[[-2]]})") << "arc that is not there";
    QTest::newRow("arc index not a whole number")
        << head + square + county(R"({"type":"Polygon","id":"39049","arcs":[[0.5]]})") << "arc that is not there";
    QTest::newRow("short code") << head + square + county(R"({"type":"Polygon","id":"3904","arcs":[[0]]})")
                                << "not five digits";
    QTest::newRow("a point") << head + square + county(R"({"type":"Point","id":"39049","coordinates":[1,1]})")
                             << "not a polygon";
    QTest::newRow("twice") << head + square
                                  + county(R"({"type":"Polygon","id":"39049","arcs":[[0]]},{"type":"Polygon","id":"39049","arcs":[[0]]})")
                           << "twice";
    QTest::newRow("position without numbers")
        << head + R"("arcs":[[[0,0],["a"]]],)" + county(R"({"type":"Polygon","id":"39049","arcs":[[0]]})")
        << "position";
    QTest::newRow("no transform scale") << QByteArray(R"({"type":"Topology","transform":{},"arcs":[[[0,0],[1,1]]],)")
                                               + county(R"({"type":"Polygon","id":"39049","arcs":[[0]]})")
                                        << "scale";
    // One arc named a million times: refused, not a gigabyte of points.
    QByteArray many = "[[";
    for (int i = 0; i < 1'000'000; ++i)
        many += i ? ",0" : "0";
    many += "]]";
    QTest::newRow("arcs repeated without end")
        << head + square + county(R"({"type":"Polygon","id":"39049","arcs":)" + many + "}") << "too many points";
}

void tst_CountyMap::badFiles()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    CountyAtlas::Atlas atlas;
    QString why;
    QVERIFY(!atlas.read(json, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    QCOMPARE(atlas.countyCount(), 0);
}

void tst_CountyMap::clickThroughTheList_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<int>("listed");
    QTest::addColumn<bool>("refused");

    // KIH42 lists 26 counties in Indiana, Kentucky and Ohio.
    QTest::newRow("one listed county") << QStringList{"39061"} << QStringList{"039061"} << 26 << false;
    QTest::newRow("a second click unselects") << QStringList{"39061", "39025", "39061"} << QStringList{"039025"}
                                              << 26 << false;
    QTest::newRow("a listed county across the river") << QStringList{"21117"} << QStringList{"021117"} << 26 << false;
    QTest::newRow("an unlisted county is added, checked")
        << QStringList{"39049"} << QStringList{"039049"} << 27 << false;
    QStringList ohio24 = countiesOfState(QStringLiteral("39"), 24);
    QStringList codes24;
    for (const QString &id : ohio24)
        codes24 << QLatin1Char('0') + id;
    QTest::newRow("24 counties are stored") << ohio24 << codes24 << -1 << false;
    QStringList ohio25 = countiesOfState(QStringLiteral("39"), 25);
    QStringList codes25;
    for (const QString &id : ohio25)
        codes25 << QLatin1Char('0') + id;
    QTest::newRow("the 25th is refused at OK") << ohio25 << codes25 << -1 << true;
}

void tst_CountyMap::clickThroughTheList()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, checked);
    QFETCH(int, listed);
    QFETCH(bool, refused);
    Program p(Ohio, Covington);
    AppContext &ctx = *p.env.ctx;
    ctx.FipEntries[0] = QStringLiteral("X 039999  Before                 Ohio");
    const QStringList before = ctx.FipEntries;
    for (const QString &id : clicks)
        p.click(id);
    QStringList got = p.checkedCodes();
    got.sort();
    checked.sort();
    QCOMPARE(got, checked);
    if (listed >= 0)
        QCOMPARE(p.lstFips->count(), listed);
    // The map agrees with the list.
    QVERIFY2(p.map->summary().contains(QStringLiteral("%1 of %2 listed counties selected").arg(checked.size()).arg(p.lstFips->count())),
             qPrintable(p.map->summary()));

    p.fips->cmdOK_Click();
    if (refused) {
        QCOMPARE(p.env.prompter.beeps, 1);
        QCOMPARE(p.env.prompter.texts(), QStringList{QStringLiteral(" Error, More than 24 FIP codes selected. ")});
        QCOMPARE(ctx.FipEntries, before);
        QVERIFY(p.fips->isVisible());
        return;
    }
    QVERIFY(p.env.prompter.boxes.isEmpty());
    QVERIFY(!p.fips->isVisible());
    QStringList marked;
    for (const QString &line : std::as_const(ctx.FipEntries))
        if (line.startsWith(QLatin1String("X ")))
            marked << line.mid(2, 6);
    marked.sort();
    QCOMPARE(marked, checked);
    // And the parameter data file carries the same county lines.
    SaveParameterFile(ctx, ctx);
    QFile file(ctx.parameterFilePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(file.readAll());
    for (const QString &code : std::as_const(checked))
        QVERIFY2(stored.contains(QStringLiteral("X ") + code), qPrintable(code));
}

void tst_CountyMap::keyboardAndScreenReader()
{
    Program p(Ohio, Covington);
    p.click(QStringLiteral("39061"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(p.map);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("County map"));
    const QString description = iface->text(QAccessible::Description);
    QVERIFY2(description.contains(QStringLiteral("1 of 26 listed counties selected"))
                 && description.contains(QStringLiteral("Hamilton (039061)")),
             qPrintable(description));
    QVERIFY(p.map->focusPolicy() & Qt::TabFocus);
    // Arrows move the highlight county to county; Space toggles through the
    // list; the list's current entry follows.
    p.map->setFocus();
    QCOMPARE(p.map->highlighted(), QStringLiteral("39061"));
    QTest::keyClick(p.map, Qt::Key_Up);
    const QString north = p.map->highlighted();
    QVERIFY(!north.isEmpty() && north != QLatin1String("39061"));
    QVERIFY(p.map->model().shapes().at(p.map->model().indexOf(north)).centre.y()
            > p.map->model().shapes().at(p.map->model().indexOf(QStringLiteral("39061"))).centre.y());
    const QString value = iface->text(QAccessible::Value);
    QVERIFY2(value.contains(QLatin1Char('0') + north) && value.endsWith(QLatin1String("not selected")), qPrintable(value));
    QTest::keyClick(p.map, Qt::Key_Space);
    QVERIFY(p.checkedCodes().contains(QLatin1Char('0') + north));
    QVERIFY(iface->text(QAccessible::Value).endsWith(QLatin1String(", selected")));
    QCOMPARE(p.lstFips->currentItem()->text().mid(1, 5), north);
    // The wheel zooms about the cursor, a drag pans (and selects nothing),
    // Fit returns to the whole state.
    const QPoint home = p.map->widgetPointOf(QStringLiteral("39049"));
    const QPoint cursor = p.map->widgetPointOf(QStringLiteral("39061"));
    QWheelEvent wheel(cursor, p.map->mapToGlobal(cursor), {}, QPoint(0, 240), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(p.map, &wheel);
    QCOMPARE(p.map->countyAt(cursor), QStringLiteral("39061"));
    QVERIFY((p.map->widgetPointOf(QStringLiteral("39049")) - cursor).manhattanLength() > (home - cursor).manhattanLength());
    const QStringList checkedBefore = p.checkedCodes();
    QTest::mousePress(p.map, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(p.map, QPoint(160, 130));
    QTest::mouseRelease(p.map, Qt::LeftButton, {}, QPoint(160, 130));
    QCOMPARE(p.checkedCodes(), checkedBefore);
    p.fips->findChild<QPushButton *>(QStringLiteral("cmdFit"))->click();
    QCOMPARE(p.map->widgetPointOf(QStringLiteral("39049")), home);
    // Counties the map cannot draw are counted, and stay in the list.
    p.fips->appendEntry(QStringLiteral("002063  Chugach                Alaska"), true);
    p.fips->appendEntry(QStringLiteral("073630  Chesapeake Bay         Marine"));
    QCOMPARE(p.map->notDrawnListed(), 2);
    QCOMPARE(p.map->notDrawnSelected(), 1);
    QVERIFY(p.map->noteText().contains(QStringLiteral("2 listed (1 selected) not on the map")));
}

void tst_CountyMap::markersAndSaving()
{
    Program p(Ohio, Covington);
    QHash<QString, TransmitterInfo> table;
    TransmitterInfo kih42;
    kih42.field = Covington;
    kih42.callsign = QStringLiteral("KIH42");
    kih42.latitude = 39.05;
    kih42.longitude = -84.50;
    kih42.status = QStringLiteral("NORMAL");
    TransmitterInfo off = kih42;
    off.field = QStringLiteral(" Columbus         KIG86  162.550");
    off.latitude = 39.96;
    off.longitude = -82.99;
    off.status = QStringLiteral("OUT OF SERVICE");
    table.insert(kih42.field, kih42);
    table.insert(off.field, off);
    p.map->setTransmitterTable(table);
    p.map->resize(600, 480);
    p.map->fit();
    // The chosen transmitter's mark is drawn in the marker's blue where it
    // stands; the one out of service is crossed out in vermillion.
    const QImage shot = p.map->grab().toImage();
    auto near = [&](double lon, double lat, auto test) {
        const QPoint w = p.map->widgetPointAt(lon, lat);
        int hits = 0;
        for (int dx = -6; dx <= 6; ++dx)
            for (int dy = -6; dy <= 6; ++dy)
                hits += test(shot.pixelColor(w + QPoint(dx, dy) * shot.devicePixelRatio()));
        return hits;
    };
    QVERIFY(near(-84.50, 39.05, [](const QColor &c) { return c == QColor(0x00, 0x5a, 0x8c); }) > 10);
    QVERIFY(near(-82.99, 39.96, [](const QColor &c) { return c.red() > 180 && c.green() < 120 && c.blue() < 60; }) > 4);
    QVERIFY(p.map->countyToolTip(QStringLiteral("39061")).contains(QStringLiteral("Covington KIH42 162.550 (NORMAL)")));

    // Save Map As: PNG and SVG, through the prompter's save dialog.
    for (const QString &name : {QStringLiteral("ohio.png"), QStringLiteral("ohio.svg")}) {
        p.env.prompter.saveAnswers.enqueue(p.env.path(name));
        p.fips->findChild<QPushButton *>(QStringLiteral("cmdSaveMap"))->click();
        QFile f(p.env.path(name));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
        const QByteArray head = f.read(200);
        QVERIFY(name.endsWith(QLatin1String("png")) ? head.startsWith("\x89PNG") : head.contains("<svg") || head.contains("<?xml"));
        if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
            QFile::copy(f.fileName(), qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/countymap-saved-") + name);
    }
    // A place that cannot be written is told, not passed over.
    p.env.prompter.saveAnswers.enqueue(p.env.path(QStringLiteral("missing/folder/map.png")));
    p.fips->findChild<QPushButton *>(QStringLiteral("cmdSaveMap"))->click();
    QCOMPARE(p.env.prompter.boxes.size(), 1);
}

void tst_CountyMap::stateWindows_data()
{
    QTest::addColumn<int>("stateId");
    QTest::addColumn<QString>("transmitter");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("state");
    QTest::newRow("Ohio, KIH42, 24 selected") << Ohio << Covington << 24 << "39";
    QTest::newRow("Alaska") << Alaska << QStringLiteral(" Anchorage        KEC43  162.550") << 2 << "02";
    QTest::newRow("Virginia") << Virginia << QStringLiteral(" Roanoke          WXL60  162.475") << 6 << "51";
}

// The county window as a user meets it for three states; with NX_GRAB_DIR
// set, pictures to look at.
void tst_CountyMap::stateWindows()
{
    QFETCH(int, stateId);
    QFETCH(QString, transmitter);
    QFETCH(int, selected);
    QFETCH(QString, state);
    Program p(stateId, transmitter);
    QCOMPARE(p.map->state(), state);
    QVERIFY(p.lstFips->count() > 0);
    // Select among the listed counties first, then others of the state.
    QStringList ids;
    for (int i = 0; i < p.lstFips->count() && ids.size() < selected; ++i)
        if (p.lstFips->item(i)->text().mid(1, 2) == state)
            ids << p.lstFips->item(i)->text().mid(1, 5);
    for (const QString &id : countiesOfState(state, 200))
        if (ids.size() < selected && !ids.contains(id))
            ids << id;
    for (const QString &id : std::as_const(ids))
        p.click(id);
    QCOMPARE(p.checkedCodes().size(), selected);
    QCOMPARE(p.map->notDrawnListed(), 0);
    grab(p.fips, QStringLiteral("countymap-") + QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(','), 0, 0));
}

QTEST_MAIN(tst_CountyMap)
#include "tst_countymap.moc"
