// SPDX-License-Identifier: GPL-3.0-or-later
// The map's SVG writer: each kind of primitive read back as XML, and the
// whole saved map read back (one path per county drawn, the caption as
// text) and drawn by rsvg-convert, which must look like the PNG of the same
// map.
#include "coverage/core/CountyAtlas.h"
#include "coverage/core/CountyMapDrawing.h"
#include "coverage/core/CoverageSheet.h"
#include "coverage/core/SvgWriter.h"

#include <QtTest>
#include <QPainter>
#include <QXmlStreamReader>

namespace {

struct Element {
    QString name;
    QXmlStreamAttributes attributes;
    QString text;
};

// Every element of the document, in order; fails the test on bad XML.
QVector<Element> elementsOf(const QByteArray &svg, QString *error)
{
    QVector<Element> out;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            out.append({xml.name().toString(), xml.attributes(), {}});
            if (xml.name() == QLatin1String("text") || xml.name() == QLatin1String("title")
                || xml.name() == QLatin1String("desc"))
                out.last().text = xml.readElementText();
        }
    }
    if (xml.hasError())
        *error = xml.errorString() + QStringLiteral(" at line %1").arg(xml.lineNumber());
    return out;
}

QVector<Element> named(const QVector<Element> &all, const QString &name)
{
    QVector<Element> out;
    for (const Element &e : all)
        if (e.name == name)
            out.append(e);
    return out;
}

QByteArray paintedSvg(const QSize &size, const std::function<void(QPainter &)> &draw)
{
    SvgWriter svg(size);
    svg.setTitle(QStringLiteral("Test & <title>"));
    QPainter p(&svg);
    draw(p);
    p.end();
    return svg.data();
}

// The mean difference of two pictures' channels (0-255), both shrunk to
// `size` so that antialiasing and font hinting count for little.
double meanDifference(const QImage &a, const QImage &b, const QSize &size)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0;
    for (int j = 0; j < size.height(); ++j)
        for (int i = 0; i < size.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * size.width() * size.height());
}

} // namespace

class tst_MapSvg : public QObject
{
    Q_OBJECT
private slots:
    void primitives_data();
    void primitives();
    void nothingBeforeTheEnd();
    void savedMap_data();
    void savedMap();
    void savedElsewhere();

private:
    QImage rendered(const QString &svgPath, const QSize &size, QString *why);
};

enum class Case { FilledOddEven, StrokedScaled, Hatch, PatternBrush, Clip, TextEscaped, Translucent, Polyline };
Q_DECLARE_METATYPE(Case)

void tst_MapSvg::primitives_data()
{
    QTest::addColumn<Case>("drawing");
    QTest::addColumn<QString>("element");     // the element that must be there
    QTest::addColumn<int>("count");           // how many of them
    QTest::addColumn<QStringList>("expected"); // attribute=value pairs, or text:..., on the first
    QTest::newRow("odd-even fill with its edge")
        << Case::FilledOddEven << "path" << 1
        << QStringList{"fill=#e69f00", "fill-rule=evenodd", "stroke=#707070", "stroke-width=0.8", "d=M10 10L90 10L90 90L10 90L10 10M30 30L70 30L70 70L30 70L30 30"};
    QTest::newRow("a scaled pen is scaled, a cosmetic one is not")
        << Case::StrokedScaled << "path" << 2
        << QStringList{"stroke-width=6", "fill=none", "stroke-linecap=round", "d=M0 0L60 30"};
    QTest::newRow("lines drawn together are one path")
        << Case::Hatch << "path" << 1
        << QStringList{"stroke=#402800", "fill=none", "d=M0 0L10 10M5 0L15 10M10 0L20 10"};
    QTest::newRow("a hatch brush is a pattern")
        << Case::PatternBrush << "pattern" << 1 << QStringList{"patternUnits=userSpaceOnUse", "width=8"};
    QTest::newRow("clipping is a clipPath round what it clips")
        << Case::Clip << "clipPath" << 1 << QStringList{"id=clip1"};
    QTest::newRow("text keeps its characters and place")
        << Case::TextEscaped << "text" << 1
        << QStringList{"text:039061  Hamilton & <Ohio> \"Adams\"", "x=20", "y=40", "font-weight=bold", "fill=#000000"};
    QTest::newRow("a translucent colour keeps its opacity")
        << Case::Translucent << "path" << 1 << QStringList{"fill=#ffffff", "fill-opacity=0.5", "stroke=none"};
    QTest::newRow("a polyline is not filled")
        << Case::Polyline << "path" << 1 << QStringList{"fill=none", "d=M0 0L10 0L10 10"};
}

void tst_MapSvg::primitives()
{
    QFETCH(Case, drawing);
    QFETCH(QString, element);
    QFETCH(int, count);
    QFETCH(QStringList, expected);

    const QByteArray svg = paintedSvg(QSize(100, 100), [&](QPainter &p) {
        switch (drawing) {
        case Case::FilledOddEven: {
            QPainterPath path;
            path.addRect(10, 10, 80, 80);
            path.addRect(30, 30, 40, 40);
            path.setFillRule(Qt::OddEvenFill);
            p.setPen(QPen(QColor(0x70, 0x70, 0x70), 0.8));
            p.setBrush(QColor(0xe6, 0x9f, 0x00));
            p.drawPath(path);
            break;
        }
        case Case::StrokedScaled: {
            p.scale(2, 2);
            p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, 0), QPointF(30, 15));
            QPen cosmetic(Qt::black, 3);
            cosmetic.setCosmetic(true);
            p.setPen(cosmetic);
            p.drawLine(QPointF(0, 0), QPointF(30, 15));
            break;
        }
        case Case::Hatch:
            p.setPen(QPen(QColor(0x40, 0x28, 0x00), 1.1, Qt::SolidLine, Qt::FlatCap));
            p.drawLines(QVector<QLineF>{{0, 0, 10, 10}, {5, 0, 15, 10}, {10, 0, 20, 10}});
            break;
        case Case::PatternBrush:
            p.setPen(Qt::NoPen);
            p.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
            p.drawRect(QRectF(0, 0, 50, 50));
            p.drawRect(QRectF(50, 50, 50, 50));   // the same brush: one pattern
            break;
        case Case::Clip:
            p.setClipRect(QRectF(10, 10, 20, 20));
            p.fillRect(QRectF(0, 0, 100, 100), Qt::red);
            break;
        case Case::TextEscaped: {
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(12);
            f.setBold(true);
            p.setFont(f);
            p.setPen(Qt::black);
            p.translate(10, 20);
            p.drawText(QPointF(10, 20), QStringLiteral("039061  Hamilton & <Ohio> \"Adams\""));
            break;
        }
        case Case::Translucent:
            p.fillRect(QRectF(0, 0, 10, 10), QColor(255, 255, 255, 128));
            break;
        case Case::Polyline: {
            const QPointF points[] = {{0, 0}, {10, 0}, {10, 10}};
            p.setPen(Qt::black);
            p.setBrush(Qt::red);
            p.drawPolyline(points, 3);
            break;
        }
        }
    });
    QString error;
    const QVector<Element> all = elementsOf(svg, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error + QLatin1Char('\n') + QString::fromUtf8(svg)));
    QCOMPARE(all.value(0).name, QStringLiteral("svg"));
    QCOMPARE(all.value(0).attributes.value(QLatin1String("viewBox")).toString(), QStringLiteral("0 0 100 100"));
    QCOMPARE(named(all, QStringLiteral("title")).value(0).text, QStringLiteral("Test & <title>"));
    const QVector<Element> found = named(all, element);
    QVERIFY2(found.size() == count, qPrintable(QString::fromUtf8(svg)));
    for (const QString &pair : expected) {
        const QString key = pair.section(QLatin1Char('='), 0, 0), value = pair.section(QLatin1Char('='), 1);
        if (pair.startsWith(QLatin1String("text:")))
            QCOMPARE(found.first().text, pair.mid(5));
        else
            QVERIFY2(found.first().attributes.value(key) == value,
                     qPrintable(pair + QStringLiteral(" in ") + QString::fromUtf8(svg)));
    }
    if (drawing == Case::StrokedScaled)
        QCOMPARE(found.at(1).attributes.value(QLatin1String("stroke-width")).toString(), QStringLiteral("3"));
    if (drawing == Case::PatternBrush) {
        // Both squares are filled with the one pattern.
        const QVector<Element> paths = named(all, QStringLiteral("path"));
        int filled = 0;
        for (const Element &e : paths)
            filled += e.attributes.value(QLatin1String("fill")) == QLatin1String("url(#pattern1)");
        QCOMPARE(filled, 2);
    }
    if (drawing == Case::Clip) {
        // The red square is inside the clipped group.
        QVERIFY(svg.indexOf("<g clip-path=\"url(#clip1)\">") < svg.indexOf("fill=\"#ff0000\""));
        QVERIFY(svg.indexOf("fill=\"#ff0000\"") < svg.indexOf("</g>"));
    }
}

void tst_MapSvg::nothingBeforeTheEnd()
{
    // Half a drawing is never handed out as a file.
    SvgWriter svg(QSize(10, 10));
    QPainter p(&svg);
    p.fillRect(QRectF(0, 0, 5, 5), Qt::black);
    QVERIFY(svg.data().isEmpty());
    p.end();
    QVERIFY(svg.data().startsWith("<?xml"));
}

void tst_MapSvg::savedMap_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("Ohio, three selected") << "39" << QStringList{"39061", "39001", "39015"};
    QTest::newRow("Kentucky, none selected") << "21" << QStringList{};
}

QImage tst_MapSvg::rendered(const QString &svgPath, const QSize &size, QString *why)
{
    const QString png = svgPath + QStringLiteral(".png");
    QProcess rsvg;
    rsvg.start(QStringLiteral("rsvg-convert"), {QStringLiteral("-w"), QString::number(size.width()), QStringLiteral("-h"),
                                               QString::number(size.height()), QStringLiteral("-b"), QStringLiteral("white"),
                                               QStringLiteral("-o"), png, svgPath});
    if (!rsvg.waitForFinished(60000) || rsvg.exitCode() != 0) {
        *why = QString::fromLocal8Bit(rsvg.readAllStandardError());
        return {};
    }
    return QImage(png);
}

void tst_MapSvg::savedMap()
{
    QFETCH(QString, state);
    QFETCH(QStringList, selected);

    CountyMapDrawing map;
    map.setAtlas(&CountyAtlas::builtIn());
    map.setState(state);
    map.setStateName(state == QLatin1String("39") ? QStringLiteral("Ohio") : QStringLiteral("Kentucky"));
    QVector<CountyEntries::Item> items;
    for (const QString &id : selected)
        items.append({QLatin1Char('0') + id, true});
    map.setListed(items);
    const QSizeF mapSize(640, 480);
    map.fit(mapSize);
    const QStringList caption = {QStringLiteral("County map: ") + map.stateName(), QStringLiteral("Listing: test"),
                                 QStringLiteral("Made 2026-12-09")};
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QSize size = CoverageSheet::pictureSize(map, mapSize, caption, font).toSize();

    // The map alone: one path per county drawn (a county's fill; a
    // selected one has its hatch and outline besides).
    SvgWriter mapOnly(mapSize.toSize());
    {
        QPainter p(&mapOnly);
        map.paintMap(p, mapSize);
    }
    QString error;
    const QVector<Element> mapElements = elementsOf(mapOnly.data(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QRectF visible = map.transform(mapSize).inverted().mapRect(QRectF(QPointF(0, 0), mapSize));
    int drawn = 0;
    for (const CountyMap::Shape &s : map.model().shapes())
        drawn += visible.intersects(s.bounds);
    int countyPaths = 0;
    for (const Element &e : named(mapElements, QStringLiteral("path"))) {
        const QString fill = e.attributes.value(QLatin1String("fill")).toString();
        const QString stroke = e.attributes.value(QLatin1String("stroke")).toString();
        // Neighbours, the state's own (white) counties and the selected ones'
        // orange fill; the water is white too but has no edge.
        countyPaths += (fill == QLatin1String("#d9d9d9") && stroke == QLatin1String("#a6a6a6"))
                       || (fill == QLatin1String("#ffffff") && stroke == QLatin1String("#707070"))
                       || (fill == QLatin1String("#e69f00") && stroke == QLatin1String("none"));
    }
    QVERIFY(drawn > 50);
    QCOMPARE(countyPaths, drawn);

    // The whole picture, as Save Map As writes it.
    SvgWriter svg(size);
    svg.setTitle(caption.first());
    svg.setDescription(map.summary());
    QImage png(size, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&svg);
        CoverageSheet::paintPicture(p, map, mapSize, caption, font);
        QPainter q(&png);
        CoverageSheet::paintPicture(q, map, mapSize, caption, font);
    }
    const QByteArray bytes = svg.data();
    const QVector<Element> all = elementsOf(bytes, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList texts;
    for (const Element &e : named(all, QStringLiteral("text")))
        texts << e.text;
    for (const QString &line : caption)
        QVERIFY2(texts.contains(line), qPrintable(line));
    for (const QString &line : CoverageSheet::countyLines(map))
        QVERIFY2(texts.contains(line), qPrintable(line));
    QCOMPARE(named(all, QStringLiteral("title")).value(0).text, caption.first());

    // Kept for a person, or for the Windows build's stage, which draws on
    // Linux what was saved under Wine (savedElsewhere).
    if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR")) {
        const QString base = qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/mapsvg-") + state;
        png.save(base + QStringLiteral("-qt.png"));
        QFile out(base + QStringLiteral(".svg"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")).isEmpty())
        QSKIP("rsvg-convert is not installed (Debian: librsvg2-bin): the SVG was read back, not drawn");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.svg"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QString why;
    const QImage drawnBySvg = rendered(path, size, &why);
    QVERIFY2(!drawnBySvg.isNull(), qPrintable(QStringLiteral("rsvg-convert failed: ") + why));
    QCOMPARE(drawnBySvg.size(), size);
    if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
        drawnBySvg.save(qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/mapsvg-") + state + QStringLiteral("-rsvg.png"));
    // Shrunk to a quarter, the two differ by little more than the fonts'
    // rendering; a map painted differently is far off.
    const QSize coarse = size / 4;
    const double same = meanDifference(png, drawnBySvg, coarse);
    QImage other = png.copy();
    {
        QPainter p(&other);
        p.fillRect(QRectF(CoverageSheet::pictureSize(map, mapSize, {}, font).width() / 4, 60, mapSize.width() / 2,
                          mapSize.height() / 2),
                   Qt::white);
    }
    const double changed = meanDifference(other, drawnBySvg, coarse);
    qInfo("mean channel difference, PNG and SVG drawn by rsvg-convert at a quarter size: %.2f (a blanked quarter: %.2f)",
          same, changed);
    QVERIFY2(same < 1.5, qPrintable(QString::number(same)));
    QVERIFY(changed > same * 2);
}

void tst_MapSvg::savedElsewhere()
{
    // The maps another build saved (the Windows one under Wine, with
    // NX_GRAB_DIR): each SVG drawn here by rsvg-convert must look like the
    // PNG that build painted of the same map.
    const QString from = qEnvironmentVariable("NX_SVG_FROM");
    if (from.isEmpty())
        QSKIP("NX_SVG_FROM names no folder of maps saved by another build");
    if (QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")).isEmpty())
        QSKIP("rsvg-convert is not installed (Debian: librsvg2-bin)");
    const QStringList svgs = QDir(from).entryList({QStringLiteral("mapsvg-*.svg")}, QDir::Files);
    QVERIFY2(!svgs.isEmpty(), qPrintable(QStringLiteral("no mapsvg-*.svg in ") + from));
    for (const QString &name : svgs) {
        const QString base = QDir(from).filePath(name.chopped(4));
        const QImage painted(base + QStringLiteral("-qt.png"));
        QVERIFY2(!painted.isNull(), qPrintable(base + QStringLiteral("-qt.png is missing")));
        QString why;
        const QImage drawn = rendered(base + QStringLiteral(".svg"), painted.size(), &why);
        QVERIFY2(!drawn.isNull(), qPrintable(name + QStringLiteral(": rsvg-convert failed: ") + why));
        const double difference = meanDifference(painted, drawn, painted.size() / 4);
        qInfo("%s: mean channel difference from its PNG at a quarter size: %.2f", qPrintable(name), difference);
        QVERIFY2(difference < 1.5, qPrintable(name + QLatin1Char(' ') + QString::number(difference)));
    }
}

QTEST_MAIN(tst_MapSvg)
#include "tst_mapsvg.moc"
