// SPDX-License-Identifier: GPL-3.0-or-later
// The printed coverage page from the editor (File > Print Coverage... into
// a PDF) and from `nx4400c-cli coverage print --pdf`: the same sheet for the
// same locale (Letter in the United States, A4 elsewhere), one page even
// with the longest county list a receiver takes, and nothing printed within 12 mm of the edge,
// where a printer would clip it. Read back with pdfinfo and pdftotext -bbox,
// as a user's tools see the file.
#include "config/core/ParameterFile.h"
#include "coverage/core/CountyEntries.h"
#include "coverage/core/SetupChoice.h"
#include "coverage/gui/CoverageCommands.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString Dallas = QStringLiteral(" Dallas           KEC56  162.400");
constexpr int Texas = 42;
constexpr double LeastMarginPt = 12 / 25.4 * 72;

struct PdfFacts {
    int pages = 0;
    QSizeF size;                 // points
    QRectF ink;                  // the words' bounding box, points
    QString text;
    QString problem;
};

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

PdfFacts readPdf(const QString &pdf)
{
    PdfFacts facts;
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    static const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption);
    const auto p = pages.match(info), s = size.match(info);
    if (!p.hasMatch() || !s.hasMatch()) {
        facts.problem = QStringLiteral("pdfinfo: ") + info;
        return facts;
    }
    facts.pages = p.captured(1).toInt();
    facts.size = QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble());
    const QString boxes = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        const QRectF box(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                         QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
        facts.ink = facts.ink.isNull() ? box : facts.ink.united(box);
        facts.text += m.captured(5) + QLatin1Char(' ');
    }
    return facts;
}

// A setup with the longest list a receiver takes: 24 Texas counties
// selected (each with its transmitters), eight events.
QStringList longSetup(QStringList &fips, QStringList &events, const QString &statesFolder)
{
    fips.fill(QString());
    events.fill(QString());
    QStringList codes;
    int n = 0;
    for (int code = 1; n < CountyEntries::MaxSelected && code < 510; code += 2) {
        const QString entry = SetupChoice::countyEntryOf(statesFolder, QStringLiteral("048%1").arg(code, 3, 10, QLatin1Char('0')));
        if (!entry.isEmpty()) {
            fips[n++] = QStringLiteral("X ") + entry;
            codes << entry.left(6);
        }
    }
    const char *const events8[] = {"TOR", "SVR", "FFW", "FLW", "WSW", "BZW", "HUW", "EVI"};
    for (int i = 0; i < 8; ++i)
        events[i] = QString::fromLatin1(events8[i]);
    return codes;
}

} // namespace

class tst_CoveragePage : public QObject
{
    Q_OBJECT

private slots:
    void oneSheetBothWays_data();
    void oneSheetBothWays();
};

void tst_CoveragePage::oneSheetBothWays_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QSizeF>("paper");
    QTest::newRow("United States: Letter") << "en_US" << QSizeF(612, 792);
    QTest::newRow("Germany: A4") << "de_DE" << QSizeF(595.276, 841.89);
}

void tst_CoveragePage::oneSheetBothWays()
{
    QFETCH(QString, locale);
    QFETCH(QSizeF, paper);
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    const QString cli = buildBinDir() + QStringLiteral("/nx4400c-cli");
    if (!QFileInfo(cli).isExecutable())
        QSKIP("nx4400c-cli is not built");

    // The editor's page.
    TestEnv env;
    AppContext &ctx = *env.ctx;
    ctx.config.StateID = Texas;
    ctx.config.TransmitterLocation = Dallas;
    const QStringList selected = longSetup(ctx.FipEntries, ctx.EventSelection, ctx.statesFolder);
    QCOMPARE(selected.size(), CountyEntries::MaxSelected);
    QLocale::setDefault(QLocale(locale));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString editorPdf = env.path(QStringLiteral("editor.pdf"));
    printer.setOutputFileName(editorPdf);
    QString why;
    QVERIFY2(CoverageCommands::printCoveragePage(ctx, ctx, ctx.catalog, printer, &why), qPrintable(why));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    // The command line's page of the same setup.
    const QString cfg = env.path(QStringLiteral("cfg")), work = env.path(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(cfg + QStringLiteral("/NX4400C")) && QDir().mkpath(work));
    {
        QSettings store(cfg + QStringLiteral("/NX4400C/NX4400C.ini"), QSettings::IniFormat);
        store.setValue(QStringLiteral("EDITOR/StateID"), Texas);
        store.setValue(QStringLiteral("EDITOR/TransmitterLocation"), Dallas);
    }
    QFile dat(work + QStringLiteral("/NX_4400C.DAT"));
    QVERIFY(dat.open(QIODevice::WriteOnly));
    dat.write(ParameterFile::format(ctx.FipEntries, ctx.EventSelection));
    dat.close();
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), cfg);
    environment.insert(QStringLiteral("LC_ALL"), locale + QStringLiteral(".UTF-8"));
    environment.insert(QStringLiteral("LANG"), locale + QStringLiteral(".UTF-8"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(work);
    const QString cliPdf = env.path(QStringLiteral("cli.pdf"));
    tool.start(cli, {QStringLiteral("coverage"), QStringLiteral("print"), QStringLiteral("--pdf"), cliPdf});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

    for (const QString &pdf : {editorPdf, cliPdf}) {
        const PdfFacts facts = readPdf(pdf);
        QVERIFY2(facts.problem.isEmpty(), qPrintable(facts.problem));
        QCOMPARE(facts.pages, 1);
        QVERIFY2(qAbs(facts.size.width() - paper.width()) < 1 && qAbs(facts.size.height() - paper.height()) < 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(facts.size.width()).arg(facts.size.height())));
        const QRectF allowed(LeastMarginPt, LeastMarginPt, facts.size.width() - 2 * LeastMarginPt,
                             facts.size.height() - 2 * LeastMarginPt);
        QVERIFY2(allowed.contains(facts.ink),
                 qPrintable(QStringLiteral("%1: words from (%2, %3) to (%4, %5)")
                                .arg(QFileInfo(pdf).fileName())
                                .arg(facts.ink.left())
                                .arg(facts.ink.top())
                                .arg(facts.ink.right())
                                .arg(facts.ink.bottom())));
        // The heading, the counties and the options all made it to the one
        // page.
        for (const char *part : {"KEC56", "Receiver options", "Event codes (8)", "Alert packets"})
            QVERIFY2(facts.text.contains(QLatin1String(part)), part);
        for (const QString &code : selected)
            QVERIFY2(facts.text.contains(code), qPrintable(code));
        QVERIFY(!facts.text.contains(QStringLiteral("more counties")));
        if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
            QFile::copy(pdf, qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/coverage-page-%1-%2")
                                                                      .arg(locale, QFileInfo(pdf).fileName()));
    }
}

QTEST_MAIN(tst_CoveragePage)
#include "tst_coveragepage.moc"
