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
#include <QPrinter>
#include <QSvgRenderer>
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

// Two transmitters with known positions, as an update of the listing brings
// them: KIH42 at Covington and KIG86 at Columbus, out of service.
QHash<QString, TransmitterInfo> ohioMarkers()
{
    TransmitterInfo kih42;
    kih42.field = Covington;
    kih42.callsign = QStringLiteral("KIH42");
    kih42.siteName = QStringLiteral("Covington");
    kih42.siteState = QStringLiteral("KY");
    kih42.latitude = 39.05;
    kih42.longitude = -84.50;
    kih42.status = QStringLiteral("NORMAL");
    TransmitterInfo off = kih42;
    off.field = QStringLiteral(" Columbus         KIG86  162.550");
    off.callsign = QStringLiteral("KIG86");
    off.siteName = QStringLiteral("Columbus");
    off.siteState = QStringLiteral("OH");
    off.latitude = 39.96;
    off.longitude = -82.99;
    off.status = QStringLiteral("OUT OF SERVICE");
    return {{kih42.field, kih42}, {off.field, off}};
}

// The text of a PDF file, as pdftotext lays it out.
QString pdfText(const QString &pdf)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    text.waitForFinished(30000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// A county's outline on the widget.
QRectF widgetBoundsOf(const CountyMapView *map, const QString &id)
{
    const CountyMap::Shape &s = map->model().shapes().at(map->model().indexOf(id));
    return map->drawing().transform(QSizeF(map->mapArea().size())).mapRect(s.bounds);
}

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
    void legendBesideTheMap_data();
    void legendBesideTheMap();
    void fitFramesTheSelection_data();
    void fitFramesTheSelection();
    void smallCountiesMarked_data();
    void smallCountiesMarked();
    void hoverNamesStateAndTransmitter();
    void printedPage();
    void printedPageFromTheCommandLine();
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

    // More than the receiver takes: the line under the map is a warning,
    // in colour and with the sign, and a screen reader hears it so.
    auto *note = p.fips->findChild<QLabel *>(QStringLiteral("lblMapNote"));
    QCOMPARE(p.fips->findChild<QLabel *>(QStringLiteral("lblMapWarning"))->isVisibleTo(p.fips), refused);
    const QString spoken = QAccessible::queryAccessibleInterface(note)->text(QAccessible::Name);
    QCOMPARE(spoken.startsWith(QLatin1String("Warning: ")), refused);
    QCOMPARE(note->styleSheet().contains(QLatin1String("color")), refused);

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
    const QHash<QString, TransmitterInfo> table = ohioMarkers();
    p.map->setTransmitterTable(table);
    p.fips->resize(1280, 800);
    QCoreApplication::processEvents();
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

    // Save Map As: PNG and SVG, through the prompter's save dialog, which
    // starts in the documents folder. The picture carries a caption and the
    // selected counties beside the map; the SVG's hatch is a pattern.
    p.click(QStringLiteral("39061"));
    for (const QString &name : {QStringLiteral("ohio.png"), QStringLiteral("ohio.svg")}) {
        p.env.prompter.saveAnswers.enqueue(p.env.path(name));
        p.fips->findChild<QPushButton *>(QStringLiteral("cmdSaveMap"))->click();
        QCOMPARE(p.env.prompter.saveRequests.last().directory,
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        QFile f(p.env.path(name));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
        const QByteArray bytes = f.readAll();
        if (name.endsWith(QLatin1String("png"))) {
            QImage picture;
            QVERIFY(picture.loadFromData(bytes, "PNG"));
            QVERIFY(picture.width() > 2 * p.map->width() + 100 && picture.height() > 2 * p.map->height());
        } else {
            // The hatch is lines in the hatch's colour, not a brush the
            // SVG writer turns into dots.
            for (const char *part : {"stroke=\"#402800\"", "KIH42", "Covington", "039061", "Hamilton", "Listing: ",
                                     "Made "})
                QVERIFY2(bytes.contains(part), part);
        }
        if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR")) {
            const QString grabbed = qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/countymap-saved-") + name;
            QFile::remove(grabbed);
            QFile::copy(f.fileName(), grabbed);
            if (name.endsWith(QLatin1String("svg"))) {
                // As an SVG viewer shows it.
                QSvgRenderer svg(bytes);
                QImage shown(svg.defaultSize() * 2, QImage::Format_ARGB32);
                shown.fill(Qt::white);
                QPainter painter(&shown);
                svg.render(&painter);
                painter.end();
                shown.save(grabbed + QStringLiteral(".png"));
            }
        }
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
    QTest::newRow("Alaska WXK89") << Alaska << QStringLiteral(" Unalaska         WXK89  162.550") << 1 << "02";
    QTest::newRow("Texas") << 42 << QStringLiteral(" Dallas           KEC56  162.400") << 12 << "48";
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
    // And at the size of a 1024 x 768 screen.
    p.fips->resize(1024, 740);
    QCoreApplication::processEvents();
    grab(p.fips, QStringLiteral("countymap-1024-") + QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(','), 0, 0));
    // Maximised on a larger screen: every extra pixel goes to the map.
    const QSize mapAt1024 = p.map->size();
    const int listAt1024 = p.lstFips->width();
    p.fips->resize(1600, 1000);
    QCoreApplication::processEvents();
    QCOMPARE(p.lstFips->width(), listAt1024);
    QVERIFY(p.map->width() >= mapAt1024.width() + 576 - 4 && p.map->height() > mapAt1024.height() + 200);
    grab(p.fips, QStringLiteral("countymap-1600-") + QString::fromLatin1(QTest::currentDataTag()).section(QLatin1Char(','), 0, 0));
}

void tst_CountyMap::legendBesideTheMap_data()
{
    QTest::addColumn<bool>("markers");
    QTest::newRow("Ohio, KIH42") << false;
    QTest::newRow("Ohio, KIH42, after an update adds markers") << true;
}

// The legend has a strip of its own: nothing of the map is drawn under it,
// however the map is moved, and the selected counties stay clear of it.
void tst_CountyMap::legendBesideTheMap()
{
    QFETCH(bool, markers);
    Program p(Ohio, Covington);
    for (const char *id : {"39061", "39025", "39015"})   // Hamilton, Clermont, Brown
        p.click(QString::fromLatin1(id));
    const int oneRow = p.map->legendRect().height();
    if (markers)
        p.map->setTransmitterTable(ohioMarkers());
    const QRect legend = p.map->legendRect();
    QVERIFY(!legend.isEmpty());
    QVERIFY(!legend.intersects(p.map->mapArea()));
    QCOMPARE(legend.bottom(), p.map->height() - 1);
    if (markers)
        QVERIFY(legend.height() >= oneRow);
    for (const char *id : {"39061", "39025", "39015"}) {
        const QRectF r = widgetBoundsOf(p.map, QString::fromLatin1(id));
        QVERIFY2(QRectF(p.map->mapArea()).contains(r), id);
    }
    // Pan the map down over the legend and zoom: the strip stays as it was.
    const QImage before = p.map->grab(legend).toImage();
    QTest::mousePress(p.map, Qt::LeftButton, {}, QPoint(100, 40));
    QTest::mouseMove(p.map, QPoint(100, 160));
    QTest::mouseRelease(p.map, Qt::LeftButton, {}, QPoint(100, 160));
    p.map->zoomBy(0.7, QPointF(100, 100));
    QCOMPARE(p.map->grab(legend).toImage(), before);
    grab(p.map, QStringLiteral("countymap-legend-") + (markers ? QStringLiteral("markers") : QStringLiteral("plain")));
}

void tst_CountyMap::fitFramesTheSelection_data()
{
    QTest::addColumn<QSize>("window");
    QTest::newRow("1024 x 740") << QSize(1024, 740);
    QTest::newRow("1600 x 1000") << QSize(1600, 1000);
    QTest::newRow("smallest") << QSize(0, 0);
}

// Ohio with KIH42: the listed counties of Indiana and Kentucky selected
// too. Fit, at first show and after a resize, shows every one of them whole.
void tst_CountyMap::fitFramesTheSelection()
{
    QFETCH(QSize, window);
    Program p(Ohio, Covington);
    QStringList selected;
    for (int i = 0; i < p.lstFips->count() && selected.size() < 24; ++i) {
        const QString id = p.lstFips->item(i)->text().mid(1, 5);
        if (!id.startsWith(QLatin1String("39")))
            selected << id;
    }
    QVERIFY(selected.size() >= 6);
    for (const QString &id : std::as_const(selected))
        p.fips->toggleCounty(id);
    p.fips->resize(window.expandedTo(p.fips->minimumSizeHint()));
    QCoreApplication::processEvents();
    auto framed = [&] {
        for (const QString &id : std::as_const(selected)) {
            const QRectF r = widgetBoundsOf(p.map, id);
            if (!QRectF(p.map->mapArea()).contains(r))
                return id;
        }
        return QString();
    };
    QCOMPARE(framed(), QString());
    p.map->zoomBy(3, QPointF(50, 50));
    QVERIFY(!framed().isEmpty());
    p.fips->findChild<QPushButton *>(QStringLiteral("cmdFit"))->click();
    QCOMPARE(framed(), QString());
    // Home state whole as well.
    const QRectF home = p.map->drawing().transform(QSizeF(p.map->mapArea().size())).mapRect(p.map->model().homeBounds());
    QVERIFY(QRectF(p.map->mapArea()).adjusted(-1, -1, 1, 1).contains(home));
    grab(p.fips, QStringLiteral("countymap-fit-%1x%2").arg(p.fips->width()).arg(p.fips->height()));
}

void tst_CountyMap::smallCountiesMarked_data()
{
    QTest::addColumn<int>("stateId");
    QTest::addColumn<QString>("transmitter");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("Aleutians West") << Alaska << QStringLiteral(" Unalaska         WXK89  162.550") << "02016"
                                    << "Aleutians West";
    QTest::newRow("Texas, Rockwall") << 42 << QStringLiteral(" Dallas           KEC56  162.400") << "48397"
                                     << "Rockwall";
}

// A selected county a few pixels across gets an orange dot with the black
// outline; what a screen reader hears of it is unchanged.
void tst_CountyMap::smallCountiesMarked()
{
    QFETCH(int, stateId);
    QFETCH(QString, transmitter);
    QFETCH(QString, id);
    QFETCH(QString, name);
    Program p(stateId, transmitter);
    p.fips->resize(p.fips->minimumSizeHint());
    QCoreApplication::processEvents();
    p.fips->toggleCounty(id);
    QVERIFY(p.map->drawing().isSelected(id));
    // Zoomed out until the county is a few pixels across.
    for (int i = 0; i < 10 && !p.map->smallCounties().contains(id); ++i)
        p.map->zoomBy(1 / 1.5, p.map->widgetPointOf(id));
    QVERIFY2(p.map->smallCounties().contains(id), qPrintable(p.map->smallCounties().join(' ')));
    const QImage shot = p.map->grab().toImage();
    const QPoint at = p.map->widgetPointOf(id) * shot.devicePixelRatio();
    int orange = 0, black = 0;
    for (int dx = -7; dx <= 7; ++dx)
        for (int dy = -7; dy <= 7; ++dy) {
            const QColor c = shot.pixelColor(at + QPoint(dx, dy));
            orange += c == QColor(0xe6, 0x9f, 0x00);
            black += c.lightness() < 40;
        }
    QVERIFY2(orange >= 20 && black >= 12, qPrintable(QStringLiteral("%1 orange, %2 black").arg(orange).arg(black)));
    QVERIFY(p.map->summary().contains(QStringLiteral("%1 (0%2)").arg(name, id)));
    // Zoomed in far enough, the county is its own size again.
    for (int i = 0; i < 30 && p.map->smallCounties().contains(id); ++i)
        p.map->zoomBy(1.5, p.map->widgetPointOf(id));
    QVERIFY(!p.map->smallCounties().contains(id));
    grab(p.fips, QStringLiteral("countymap-small-") + name);
}

void tst_CountyMap::hoverNamesStateAndTransmitter()
{
    Program p(Ohio, Covington);
    p.map->setTransmitterTable(ohioMarkers());
    // A neighbour's county names its state.
    QVERIFY(p.map->countyToolTip(QStringLiteral("21135")).startsWith(QStringLiteral("Lewis, Kentucky  021135")));
    QVERIFY(p.map->countyToolTip(QStringLiteral("39049")).startsWith(QStringLiteral("Franklin, Ohio  039049")));
    // A transmitter's mark names the transmitter, not the county under it.
    const QPoint mark = p.map->widgetPointAt(-82.99, 39.96);
    const QString field = p.map->transmitterAt(mark);
    QCOMPARE(field, QStringLiteral(" Columbus         KIG86  162.550"));
    const QString tip = p.map->transmitterToolTip(field);
    for (const char *part : {"KIG86", "Columbus, OH", "162.550 MHz", "OUT OF SERVICE"})
        QVERIFY2(tip.contains(QLatin1String(part)), qPrintable(tip));
    QVERIFY(p.map->transmitterAt(p.map->widgetPointOf(QStringLiteral("39041"))).isEmpty());   // Delaware, no mark
    // State borders come from the boundary file's state outlines.
    QVERIFY(!p.map->model().stateBorders().isEmpty());
}

// File > Print Coverage... into a PDF: the same QPrinter path as a printer.
void tst_CountyMap::printedPage()
{
    Program p(Ohio, Covington);
    AppContext &ctx = *p.env.ctx;
    for (const char *id : {"39061", "39025", "21117"})   // Hamilton, Clermont, Kenton KY
        p.click(QString::fromLatin1(id));
    p.fips->cmdOK_Click();
    ctx.EventSelection[0] = QStringLiteral("TOR");
    ctx.EventSelection[1] = QStringLiteral("SVR");
    ctx.EventSelection[2] = QStringLiteral("FFW");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = p.env.path(QStringLiteral("coverage.pdf"));
    printer.setOutputFileName(pdf);
    QString why;
    QVERIFY2(CoverageCommands::printCoveragePage(ctx, ctx, ctx.catalog, printer, &why), qPrintable(why));
    const QString page = pdfText(pdf);
    for (const char *part : {"KIH42", "Covington", "162.550", "039061", "Hamilton", "039025", "Clermont", "021117",
                             "Kenton", "TOR", "Tornado Warning", "SVR", "FFW", "Receiver options", "Listing:"})
        QVERIFY2(page.contains(QLatin1String(part)), part);
    // Each county names the transmitters that cover it.
    const QString hamilton = page.section(QStringLiteral("039061"), 1).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(hamilton.contains(QStringLiteral("KIH42")), qPrintable(hamilton));
    if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
        QFile::copy(pdf, qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/coverage-page.pdf"));
}

// nx4400c-cli coverage print --pdf: the stored setup's page, drawn by the
// same code, with no screen.
void tst_CountyMap::printedPageFromTheCommandLine()
{
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(cli).isExecutable())
        QSKIP("nx4400c-cli is not built");
    QTemporaryDir dir;
    const QString cfg = dir.filePath(QStringLiteral("cfg")), work = dir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(cfg + QStringLiteral("/NX4400C")) && QDir().mkpath(work));
    {
        QSettings store(cfg + QStringLiteral("/NX4400C/NX4400C.ini"), QSettings::IniFormat);
        store.setValue(QStringLiteral("EDITOR/StateID"), Ohio);
        store.setValue(QStringLiteral("EDITOR/TransmitterLocation"), Covington);
    }
    TestEnv env;
    QStringList fips = env.ctx->FipEntries, events = env.ctx->EventSelection;
    fips.fill(QString());
    events.fill(QString());
    fips[0] = QStringLiteral("X 039061  Hamilton               Ohio");
    fips[1] = QStringLiteral("  039025  Clermont               Ohio");
    fips[2] = QStringLiteral("X 021117  Kenton                 Kentucky");
    events[0] = QStringLiteral("TOR");
    events[1] = QStringLiteral("SVR");
    QFile dat(work + QStringLiteral("/NX_4400C.DAT"));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    dat.write(ParameterFile::format(fips, events));
    dat.close();

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), cfg);
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));   // it needs no screen of its own
    run.setProcessEnvironment(environment);
    run.setWorkingDirectory(work);
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    run.start(cli, {QStringLiteral("coverage"), QStringLiteral("print"), QStringLiteral("--pdf"), pdf});
    QVERIFY(run.waitForFinished(60000));
    QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
    const QString page = pdfText(pdf);
    for (const char *part : {"KIH42", "039061", "Hamilton", "021117", "Kenton", "TOR", "SVR", "Severe Thunderstorm"})
        QVERIFY2(page.contains(QLatin1String(part)), part);
    // Clermont is listed, not selected.
    QVERIFY(!page.contains(QLatin1String("039025")));

    // Without a file name it is told, not guessed.
    run.start(cli, {QStringLiteral("coverage"), QStringLiteral("print")});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 2);
}

QTEST_MAIN(tst_CountyMap)
#include "tst_countymap.moc"
