// SPDX-License-Identifier: GPL-3.0-or-later
// The manual and the README against the program, so that they cannot drift
// apart again: every page is in the contents; every nx4400c-cli command and
// option they name is in the command table (read from the program); the
// monitor page names the Alert Monitor window's columns as the window has
// them; and its decoder figures are the benchmark's, as the README's table
// gives them.
#include "monitor/gui/frmMonitor.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

namespace {

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString manualDir()
{
    return sourceDir() + QStringLiteral("/help/manual");
}

// The texts a reader sees: the README and every page of the manual.
QMap<QString, QString> documents()
{
    QMap<QString, QString> docs;
    docs.insert(QStringLiteral("README.md"), readText(sourceDir() + QStringLiteral("/README.md")));
    for (const QString &page : QDir(manualDir()).entryList({QStringLiteral("*.html")}, QDir::Files))
        docs.insert(page, readText(manualDir() + QLatin1Char('/') + page));
    return docs;
}

// The command table: each command's name and its options.
QMap<QString, QStringList> commandTable(QString *problem)
{
    QProcess p;
    p.start(buildBinDir() + QStringLiteral("/nx4400c-cli"), {QStringLiteral("--commands"), QStringLiteral("--json")});
    if (!p.waitForFinished(30000)) {
        *problem = QStringLiteral("nx4400c-cli --commands --json did not finish");
        return {};
    }
    QMap<QString, QStringList> table;
    const QJsonArray commands = QJsonDocument::fromJson(p.readAllStandardOutput()).object().value(QStringLiteral("commands")).toArray();
    for (const QJsonValue &c : commands) {
        QStringList options{QStringLiteral("--help")};
        for (const QJsonValue &o : c.toObject().value(QStringLiteral("options")).toArray())
            options << o.toObject().value(QStringLiteral("name")).toString();
        table.insert(c.toObject().value(QStringLiteral("name")).toString(), options);
    }
    if (table.isEmpty())
        *problem = QStringLiteral("nx4400c-cli --commands --json listed no command");
    return table;
}

// The first figure of a README table row whose first cell is `row`.
QString readmeFigure(const QString &readme, const QString &row)
{
    const QRegularExpression re(QStringLiteral("^\\| %1 \\| ([+\\x{2212}-][\\d.]+)[ /]").arg(QRegularExpression::escape(row)),
                                QRegularExpression::MultilineOption);
    return re.match(readme).captured(1).replace(QChar(0x2212), QLatin1Char('-'));
}

// The figure of the monitor page's decoder table row `row`.
QString manualFigure(const QString &page, const QString &row)
{
    const QRegularExpression re(QStringLiteral("<tr><td>%1</td><td>([+-]|&minus;)([\\d.]+) dB</td></tr>").arg(row));
    const auto m = re.match(page);
    if (!m.hasMatch())
        return QString();
    return (m.captured(1) == QLatin1String("+") ? QStringLiteral("+") : QStringLiteral("-")) + m.captured(2);
}

} // namespace

class tst_ManualPages : public QObject
{
    Q_OBJECT

private slots:
    void everyPageInTheContents();
    void commandsAsTheTableHasThem_data();
    void commandsAsTheTableHasThem();
    void monitorColumnsAsTheWindowHasThem();
    void decoderFiguresAsTheBenchmark_data();
    void decoderFiguresAsTheBenchmark();
};

void tst_ManualPages::everyPageInTheContents()
{
    const QString index = readText(manualDir() + QStringLiteral("/index.html"));
    QVERIFY(!index.isEmpty());
    for (const QString &page : QDir(manualDir()).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        if (page == QLatin1String("index.html"))
            continue;
        QVERIFY2(index.contains(QStringLiteral("href=\"%1\"").arg(page)), qPrintable(page + QStringLiteral(" is not in the contents")));
    }
}

void tst_ManualPages::commandsAsTheTableHasThem_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("text");
    const QMap<QString, QString> docs = documents();
    for (auto it = docs.cbegin(); it != docs.cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
}

// "nx4400c-cli log audit --from ..." names a command of the table and,
// right after it, one of that command's options.
void tst_ManualPages::commandsAsTheTableHasThem()
{
    QFETCH(QString, document);
    QFETCH(QString, text);
    QString problem;
    static const QMap<QString, QStringList> table = commandTable(&problem);
    if (table.isEmpty())
        QSKIP(qPrintable(problem));
    static const QRegularExpression named(QStringLiteral("nx4400c-cli ((?:[a-z][a-z-]*)?)(?: ([a-z][a-z-]*))?(?: (--[a-z-]+))?"));
    QStringList wrong;
    for (auto it = named.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1).isEmpty())
            continue;   // a global option (--commands, --manpage) or the bare name
        QString command = m.captured(1) + QLatin1Char(' ') + m.captured(2);
        if (!table.contains(command))
            command = m.captured(1);
        if (!table.contains(command)) {
            wrong << QStringLiteral("\"%1\" is no command").arg(m.captured(0));
            continue;
        }
        const QString option = m.captured(3);
        if (!option.isEmpty() && command == m.captured(1) + QLatin1Char(' ') + m.captured(2)
            && !table.value(command).contains(option))
            wrong << QStringLiteral("\"%1\": %2 has no option %3").arg(m.captured(0), command, option);
        else if (!option.isEmpty() && m.captured(2).isEmpty() && !table.value(command).contains(option))
            wrong << QStringLiteral("\"%1\": %2 has no option %3").arg(m.captured(0), command, option);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(document + QStringLiteral(": ") + wrong.join(QStringLiteral("; "))));
}

// The monitor page's column table lists the window's headings, in order.
void tst_ManualPages::monitorColumnsAsTheWindowHasThem()
{
    TestEnv env;
    frmMonitor window({QString(), env.ctx->statesFolder, {}, {}, {}, false}, env.prompter, env.clock);
    auto *grid = window.findChild<QTableWidget *>(QStringLiteral("grdMessages"));
    QVERIFY(grid);
    QStringList headings;
    for (int c = 0; c < grid->columnCount(); ++c)
        headings << grid->horizontalHeaderItem(c)->text();

    const QString page = readText(manualDir() + QStringLiteral("/monitor.html"));
    const qsizetype from = page.indexOf(QStringLiteral("<tr><th>Column</th>"));
    QVERIFY(from > 0);
    const QString table = page.mid(from, page.indexOf(QStringLiteral("</table>"), from) - from);
    QStringList named;
    static const QRegularExpression firstCell(QStringLiteral("<tr><td>([^<]+)</td>"));
    for (auto it = firstCell.globalMatch(table); it.hasNext();)
        named += it.next().captured(1).split(QStringLiteral(", "));
    QCOMPARE(named, headings);
}

void tst_ManualPages::decoderFiguresAsTheBenchmark_data()
{
    QTest::addColumn<QString>("readmeRow");
    QTest::addColumn<QString>("manualRow");
    QTest::newRow("strict") << "ours, strict" << "strict";
    QTest::newRow("combined") << "ours, combined" << "combined";
}

// The decoder's figures: the README's benchmark table is where bench.sh's
// results are kept; the manual repeats its white-noise column.
void tst_ManualPages::decoderFiguresAsTheBenchmark()
{
    QFETCH(QString, readmeRow);
    QFETCH(QString, manualRow);
    const QString readme = readText(sourceDir() + QStringLiteral("/README.md"));
    const QString page = readText(manualDir() + QStringLiteral("/monitor.html"));
    const QString measured = readmeFigure(readme, readmeRow);
    QVERIFY2(!measured.isEmpty(), qPrintable(QStringLiteral("no row \"| %1 |\" in the README").arg(readmeRow)));
    QCOMPARE(manualFigure(page, manualRow), measured);
}

QTEST_MAIN(tst_ManualPages)
#include "tst_manualpages.moc"
