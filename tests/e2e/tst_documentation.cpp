// SPDX-License-Identifier: GPL-3.0-or-later
// Every command example that the README and the help pages mark as runnable
// is run, in the order it stands, in a fresh home with virtual receivers
// behind the device names the text uses, and must end with the exit status
// the text expects; the manual's example profile is loaded by its own
// marked example. The marks (docs/architecture.md, "Examples that are run"):
//   HTML:   <pre class="example">, <pre class="example" data-exit="1">,
//           <pre class="example-file" data-file="NAME"> (a file's contents)
//   README: a line <!-- example -->, <!-- example exit=1 --> or
//           <!-- example-file NAME --> right before an indented or fenced block
#include "support/Headless.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Block {
    enum Kind { Commands, File } kind = Commands;
    QString text;
    QString fileName;   // File
    int exitCode = 0;   // Commands
    int line = 0;       // where it stands, for messages
};

int lineOf(const QString &text, qsizetype at)
{
    return int(text.left(at).count(QLatin1Char('\n'))) + 1;
}

QString htmlText(QString s)
{
    // Tags inside the block (<b>, <a>) go; the entities a <pre> body uses
    // become their characters, &amp; last.
    s.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return s.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

QList<Block> htmlBlocks(const QString &html)
{
    QList<Block> blocks;
    static const QRegularExpression pre(QStringLiteral("<pre\\s+([^>]*)>(.*?)</pre>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cls(QStringLiteral("class=\"(example|example-file)\""));
    static const QRegularExpression exitAttr(QStringLiteral("data-exit=\"(\\d+)\""));
    static const QRegularExpression fileAttr(QStringLiteral("data-file=\"([^\"]+)\""));
    for (auto it = pre.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const auto c = cls.match(m.captured(1));
        if (!c.hasMatch())
            continue;
        Block b;
        b.line = lineOf(html, m.capturedStart());
        b.text = htmlText(m.captured(2));
        if (c.captured(1) == QLatin1String("example-file")) {
            b.kind = Block::File;
            b.fileName = fileAttr.match(m.captured(1)).captured(1);
        } else if (const auto e = exitAttr.match(m.captured(1)); e.hasMatch()) {
            b.exitCode = e.captured(1).toInt();
        }
        blocks << b;
    }
    return blocks;
}

QList<Block> markdownBlocks(const QString &md)
{
    QList<Block> blocks;
    const QStringList lines = md.split(QLatin1Char('\n'));
    static const QRegularExpression mark(QStringLiteral("^<!-- (example|example-file)(?: exit=(\\d+))?(?: (\\S+))? -->$"));
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = mark.match(lines.at(i).trimmed());
        if (!m.hasMatch())
            continue;
        Block b;
        b.line = i + 1;
        if (m.captured(1) == QLatin1String("example-file")) {
            b.kind = Block::File;
            b.fileName = m.captured(3);
        }
        b.exitCode = m.captured(2).toInt();
        int j = i + 1;
        while (j < lines.size() && lines.at(j).trimmed().isEmpty())
            ++j;
        QStringList body;
        if (j < lines.size() && lines.at(j).startsWith(QLatin1String("```"))) {
            for (++j; j < lines.size() && !lines.at(j).startsWith(QLatin1String("```")); ++j)
                body << lines.at(j);
        } else {
            // An indented block runs to the first line that is not indented.
            for (; j < lines.size() && (lines.at(j).startsWith(QLatin1String("    ")) || lines.at(j).isEmpty()); ++j)
                body << lines.at(j).mid(4);
            while (!body.isEmpty() && body.last().isEmpty())
                body.removeLast();
        }
        b.text = body.join(QLatin1Char('\n'));
        blocks << b;
    }
    return blocks;
}

// One command a line; a line that ends in a backslash goes on on the next.
QStringList commandsOf(const QString &text)
{
    QStringList commands;
    QString current;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        if (line.endsWith(QLatin1Char('\\'))) {
            current += line.chopped(1) + QLatin1Char(' ');
            continue;
        }
        commands << current + line;
        current.clear();
    }
    if (!current.isEmpty())
        commands << current;
    return commands;
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestDocumentation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examples_data();
    void examples();
};

void TestDocumentation::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
}

void TestDocumentation::examples_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("README.md") << QStringLiteral("README.md");
    QDirIterator it(sourceDir() + QStringLiteral("/help/manual"), {QStringLiteral("*.html")}, QDir::Files);
    QStringList pages;
    while (it.hasNext())
        pages << it.next();
    pages.sort();
    for (const QString &p : pages) {
        const QString name = QStringLiteral("help/manual/") + QFileInfo(p).fileName();
        if (!htmlBlocks(readText(p)).isEmpty())
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestDocumentation::examples()
{
    QFETCH(QString, document);
    const QString text = readText(sourceDir() + QLatin1Char('/') + document);
    QVERIFY(!text.isEmpty());
    const QList<Block> blocks = document.endsWith(QLatin1String(".md")) ? markdownBlocks(text) : htmlBlocks(text);
    QVERIFY2(!blocks.isEmpty(), "no marked example");

    // A fresh machine per document: five receivers stand for the device
    // names the documentation uses.
    HeadlessMachine m;
    QStringList links;
    for (int i = 0; i < 5; ++i) {
        links << m.startReceiver();
        QVERIFY2(!links.last().isEmpty(), "a virtual receiver did not start");
    }
    m.deviceMap = {
        {QStringLiteral("/dev/ttyUSB0"), links.at(0)},
        {QStringLiteral("/dev/ttyUSB1"), links.at(1)},
        {QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"), links.at(1)},
        {QStringLiteral("rfc2217://rack1:2000"), links.at(2)},
        {QStringLiteral("rfc2217://rack1:2001"), links.at(3)},
        {QStringLiteral("tcp://rack2:2001"), links.at(4)},
    };
    // The files a document shows are in place before its first command, as
    // a reader would have made them.
    for (const Block &b : blocks) {
        if (b.kind == Block::File) {
            QString contents = b.text + QLatin1Char('\n');
            for (auto it = m.deviceMap.cbegin(); it != m.deviceMap.cend(); ++it)
                contents.replace(it.key(), it.value());
            QVERIFY2(!b.fileName.isEmpty(), qPrintable(QStringLiteral("line %1: example-file without a name").arg(b.line)));
            QVERIFY(m.writeFile(b.fileName, contents.toUtf8()));
        }
    }
    int run = 0;
    for (const Block &b : blocks) {
        if (b.kind == Block::File)
            continue;
        for (const QString &command : commandsOf(b.text)) {
            const ShellRun r = m.run(command);
            ++run;
            QVERIFY2(r.finished && r.exitCode == b.exitCode,
                     qPrintable(QStringLiteral("%1 line %2: \"%3\" exited %4, the text expects %5\n%6%7")
                                    .arg(document).arg(b.line).arg(command).arg(r.exitCode).arg(b.exitCode)
                                    .arg(r.out.left(2000), r.err.left(2000))));
        }
    }
    QVERIFY2(run > 0, "the marked examples hold no command");
}

QTEST_GUILESS_MAIN(TestDocumentation)
#include "tst_documentation.moc"
