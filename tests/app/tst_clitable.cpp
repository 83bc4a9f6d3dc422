// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli as its command table describes it: every command (the list
// comes from the program, so new commands are covered at once) answers
// --help with its usage and refuses an unknown option; every --json output
// fits its schema in docs/json/; the generated bash and fish completions
// offer what the table says.
#include "support/GeneratedAlertLog.h"
#include "support/JsonSchema.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The --json outputs and their schemas. One row per command line; in the
// arguments, {log} stands for an alert log of 400 generated alerts (with a
// missed weekly and monthly test), {dir} for an empty folder and {wav} for
// the whole weekly test message that `sounds` writes. Every --json option
// of the command table must have a row (jsonCoversEveryOutput).
struct JsonRow {
    const char *name;
    QStringList args;
    const char *schema;      // under docs/json/
    QList<int> exitCodes;    // what the command may end with
    bool lines = false;      // one JSON document a line
};
const QList<JsonRow> &jsonRows()
{
    static const QList<JsonRow> rows{
        {"commands", {QStringLiteral("--commands"), QStringLiteral("--json")}, "commands.schema.json", {0}},
        {"log show", {QStringLiteral("log"), QStringLiteral("show"), QStringLiteral("--json"), QStringLiteral("--csv"), QStringLiteral("{log}")},
         "log-show.schema.json", {0}},
        {"log audit", {QStringLiteral("log"), QStringLiteral("audit"), QStringLiteral("--json"), QStringLiteral("--from"), QStringLiteral("2024-01-01"),
                       QStringLiteral("--to"), QStringLiteral("2024-03-31"), QStringLiteral("--csv"), QStringLiteral("{log}")},
         "log-audit.schema.json", {1}},
        {"ports", {QStringLiteral("ports"), QStringLiteral("--json")}, "ports.schema.json", {0}},
        {"coverage show", {QStringLiteral("coverage"), QStringLiteral("show"), QStringLiteral("--json"), QStringLiteral("--state"), QStringLiteral("OH")},
         "coverage-show.schema.json", {0}},
        {"coverage show, all", {QStringLiteral("coverage"), QStringLiteral("show"), QStringLiteral("--json")}, "coverage-show.schema.json", {0}},
        // A receiver that is not there: the failed outcome, with nothing read.
        {"transfer", {QStringLiteral("transfer"), QStringLiteral("--device"), QStringLiteral("{dir}/no-such-device"), QStringLiteral("--json")},
         "transfer.schema.json", {1}},
        // The default setup passes its check (init leaves out the codes the
        // catalogue lacks); a setup with findings is checked in the e2e tests.
        {"check", {QStringLiteral("check"), QStringLiteral("--json")}, "check.schema.json", {0}},
        {"log crosscheck", {QStringLiteral("log"), QStringLiteral("crosscheck"), QStringLiteral("--json"), QStringLiteral("--csv"),
                            QStringLiteral("{log}")},
         "log-crosscheck.schema.json", {0, 1}},
        {"monitor", {QStringLiteral("monitor"), QStringLiteral("--wav"), QStringLiteral("{wav}"), QStringLiteral("--json"), QStringLiteral("--csv"),
                     QStringLiteral("{dir}/monitor.csv")},
         "monitor.schema.json", {0}, true},
    };
    return rows;
}

struct Result {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class CliTable : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_log;
    QString m_wav;

    QString cliPath() const
    {
#ifdef Q_OS_WIN
        return buildBinDir() + QStringLiteral("/nx4400c-cli.exe");
#else
        return buildBinDir() + QStringLiteral("/nx4400c-cli");
#endif
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        // The completions ask the program itself for state names and codes.
        env.insert(QStringLiteral("PATH"), buildBinDir() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        return env;
    }

    Result run(const QString &program, const QStringList &args, const QString &folder = QString()) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(folder.isEmpty() ? m_home.path() : folder);
        p.start(program, args);
        Result r;
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    QStringList commandNames() const
    {
        const Result r = run(cliPath(), {QStringLiteral("--commands")});
        return QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
        // The list the help rows are made from: every command of this tree.
        const QStringList names = commandNames();
        QVERIFY2(names.size() >= 9 && names.contains(QStringLiteral("transfer")) && names.contains(QStringLiteral("log audit")),
                 qPrintable(names.join(QLatin1Char(','))));
        m_log = m_home.filePath(QStringLiteral("alerts.csv"));
        const AlertLogMerge merge = AppendAlertLog(
            m_log, generatedAlerts(400, {QDate(2024, 1, 14)}, {QDate(2024, 2, 1)}));
        QVERIFY2(merge.ok, qPrintable(merge.error));
        // A parameter file for the transfer, and a recorded test message.
        QCOMPARE(run(cliPath(), {QStringLiteral("init")}).code, 0);
        QCOMPARE(run(cliPath(), {QStringLiteral("sounds"), m_home.filePath(QStringLiteral("sounds"))}).code, 0);
        m_wav = m_home.filePath(QStringLiteral("sounds/RWT.wav"));
    }

    // Every command that offers --json has a row above: a new output cannot
    // go unchecked.
    void jsonCoversEveryOutput()
    {
        QStringList covered;
        for (const JsonRow &row : jsonRows())
            covered << QString::fromLatin1(row.name).section(QLatin1Char(','), 0, 0);
        const Result r = run(cliPath(), {QStringLiteral("--commands"), QStringLiteral("--json")});
        const QJsonArray commands = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("commands")).toArray();
        QVERIFY(!commands.isEmpty());
        for (const QJsonValue &c : commands) {
            const QJsonObject o = c.toObject();
            bool json = false;
            for (const QJsonValue &opt : o.value(QStringLiteral("options")).toArray())
                json = json || opt.toObject().value(QStringLiteral("name")).toString() == QLatin1String("--json");
            const QString name = o.value(QStringLiteral("name")).toString();
            if (json)
                QVERIFY2(covered.contains(name), qPrintable(name + QStringLiteral(" --json has no row in jsonRows()")));
        }
    }

    // One rule for every command: an argument the command refuses ends with
    // 2 and a message on standard error, and changes nothing.
    void refusedArgument_data()
    {
        QTest::addColumn<QStringList>("args");
        const struct {
            const char *name;
            QStringList args;
        } rows[] = {
            {"ports set: no such port", {"ports", "set", "5", "/dev/ttyUSB0"}},
            {"ports set: not a device name", {"ports", "set", "1", "rfc2217://host-without-port"}},
            {"config set: value no window offers", {"config", "set", "TimeZoneOffset", "-3"}},
            {"config get: no such setting", {"config", "get", "NoSuchSetting"}},
            {"sounds: no such recording", {"sounds", "--play", "170"}},
            {"coverage show: no such state", {"coverage", "show", "--state", "ZZ"}},
            {"transfer: no such port", {"transfer", "--port", "9"}},
            {"monitor: rate without raw", {"monitor", "--wav", "x.wav", "--rate", "8000"}},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << row.args;
    }
    void refusedArgument()
    {
        QFETCH(QStringList, args);
        QFile store(m_home.filePath(QStringLiteral("config/NX4400C/NX4400C.ini")));
        const QByteArray before = store.open(QIODevice::ReadOnly) ? store.readAll() : QByteArray();
        store.close();
        const Result r = run(cliPath(), args);
        QVERIFY2(r.code == 2, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(QString::fromUtf8(r.err))));
        QVERIFY(!r.err.isEmpty());
        QVERIFY(store.open(QIODevice::ReadOnly) || before.isEmpty());
        QCOMPARE(store.readAll(), before);
    }

    // Every command, every group word ("log") and the program alone.
    void help_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("members");   // the commands its help must show
        const QStringList names = commandNames();
        QMap<QString, QStringList> groups;
        for (const QString &n : names) {
            QTest::newRow(qPrintable(n)) << n << QStringList{n};
            if (n.contains(QLatin1Char(' ')))
                groups[n.section(QLatin1Char(' '), 0, 0)] << n;
        }
        for (auto it = groups.begin(); it != groups.end(); ++it) {
            if (!names.contains(it.key()))
                QTest::newRow(qPrintable(it.key() + QStringLiteral(" (group)"))) << it.key() << it.value();
        }
        QTest::newRow("(program)") << QString() << names;
    }
    void help()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, members);
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);

        const Result r = run(cliPath(), words + QStringList{QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        const QString out = QString::fromUtf8(r.out);
        QVERIFY2(out.startsWith(QStringLiteral("usage: nx4400c-cli")), qPrintable(out));
        for (const QString &m : members)
            QVERIFY2(out.contains(QStringLiteral("nx4400c-cli ") + m), qPrintable(m + QStringLiteral(" not in:\n") + out));

        // An option no command knows is a usage error, told on standard error.
        const Result bad = run(cliPath(), words + QStringList{QStringLiteral("--no-such-option")});
        QCOMPARE(bad.code, 2);
        QVERIFY2(bad.out.isEmpty(), bad.out.constData());
        QVERIFY2(bad.err.contains("usage: nx4400c-cli"), bad.err.constData());
    }

    // The manual's command reference, as the build wrote it: the program's
    // own page (not a stale one), with a section for every command of
    // --commands holding its usage line and every option, and no other.
    void referencePage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QStringList>("options");
        const Result r = run(cliPath(), {QStringLiteral("--commands"), QStringLiteral("--json")});
        const QJsonArray commands = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("commands")).toArray();
        QVERIFY(!commands.isEmpty());
        for (const QJsonValue &c : commands) {
            const QJsonObject o = c.toObject();
            QStringList options;
            for (const QJsonValue &opt : o.value(QStringLiteral("options")).toArray())
                options << opt.toObject().value(QStringLiteral("name")).toString();
            const QString name = o.value(QStringLiteral("name")).toString();
            QTest::newRow(qPrintable(name))
                << name << (QStringLiteral("nx4400c-cli ") + name + QLatin1Char(' ') + o.value(QStringLiteral("synopsis")).toString()).trimmed()
                << options;
        }
    }
    void referencePage()
    {
        QFETCH(QString, name);
        QFETCH(QString, usage);
        QFETCH(QStringList, options);
        QFile f(QFileInfo(buildBinDir()).absolutePath() + QStringLiteral("/help/manual/command-line.html"));
        if (!f.exists())
            QSKIP("the help is not built here (no qhelpgenerator)");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(f.readAll());
        QCOMPARE(page, QString::fromUtf8(run(cliPath(), {QStringLiteral("--reference-html")}).out));

        const QString id = QStringLiteral("cmd-") + QString(name).replace(QLatin1Char(' '), QLatin1Char('-'));
        const qsizetype start = page.indexOf(QStringLiteral("<h3 id=\"%1\">").arg(id));
        QVERIFY2(start >= 0, qPrintable(name + QStringLiteral(" has no section")));
        QVERIFY2(page.contains(QStringLiteral("<a href=\"#%1\">").arg(id)), qPrintable(name + QStringLiteral(" is not in the list")));
        const qsizetype next = page.indexOf(QStringLiteral("<h"), start + 4);
        const QString section = page.mid(start, next < 0 ? -1 : next - start);
        QVERIFY2(section.contains(QStringLiteral("<pre class=\"synopsis\">") + usage.toHtmlEscaped() + QStringLiteral("</pre>")),
                 qPrintable(section.left(400)));
        for (const QString &o : options)
            QVERIFY2(section.contains(QStringLiteral("<span class=\"mono\">") + o.toHtmlEscaped() + QStringLiteral("</span>")),
                     qPrintable(o + QStringLiteral(" missing in ") + name));
        // Every section belongs to a command of the program.
        static const QRegularExpression anySection(QStringLiteral("<h3 id=\"cmd-([^\"]+)\">"));
        QStringList ids;
        for (const QString &n : commandNames())
            ids << QString(n).replace(QLatin1Char(' '), QLatin1Char('-'));
        for (auto it = anySection.globalMatch(page); it.hasNext();) {
            const QString found = it.next().captured(1);
            QVERIFY2(ids.contains(found), qPrintable(found + QStringLiteral(" is not a command of the program")));
        }
    }

    void json_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QList<int>>("exitCodes");
        QTest::addColumn<bool>("lines");
        for (const JsonRow &row : jsonRows()) {
            QStringList args;
            for (QString a : row.args)
                args << a.replace(QStringLiteral("{log}"), m_log)
                            .replace(QStringLiteral("{wav}"), m_wav)
                            .replace(QStringLiteral("{dir}"), m_home.path());
            QTest::newRow(row.name) << args << QString::fromUtf8(row.schema) << row.exitCodes << row.lines;
        }
    }
    void json()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, schema);
        QFETCH(QList<int>, exitCodes);
        QFETCH(bool, lines);

        QFile f(sourceDir() + QStringLiteral("/docs/json/") + schema);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        QJsonParseError error;
        const QJsonDocument schemaDoc = QJsonDocument::fromJson(f.readAll(), &error);
        QVERIFY2(schemaDoc.isObject(), qPrintable(schema + QStringLiteral(": ") + error.errorString()));

        const Result r = run(cliPath(), args);
        QVERIFY2(exitCodes.contains(r.code), qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(QString::fromUtf8(r.err))));
        const QList<QByteArray> documents = lines ? r.out.split('\n') : QList<QByteArray>{r.out};
        int checked = 0;
        for (const QByteArray &text : documents) {
            if (lines && text.trimmed().isEmpty())
                continue;
            const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
            QVERIFY2(!doc.isNull(), qPrintable(error.errorString() + QStringLiteral(" in:\n") + QString::fromUtf8(text)));
            const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
            const QStringList faults = checkJsonSchema(schemaDoc.object(), value);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
            ++checked;
        }
        QVERIFY(checked > 0);
    }

    // The checker itself: what each keyword must refuse, so that a schema
    // row can never pass because the checker looked away.
    void schemaChecker_data()
    {
        QTest::addColumn<QByteArray>("schema");
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("fault");   // a piece of the first fault; empty: fits
        const QByteArray object = R"({"type":"object","required":["a"],"additionalProperties":false,
            "properties":{"a":{"type":"integer"},"b":{"type":"array","items":{"enum":["x","y"]}},
                          "c":{"const":1},"d":{"type":["string","null"]}}})";
        QTest::newRow("fits") << object << QByteArray(R"({"a":3,"b":["x","y"],"c":1,"d":null})") << QString();
        QTest::newRow("required") << object << QByteArray(R"({"b":[]})") << QStringLiteral("/: \"a\" is missing");
        QTest::newRow("additional") << object << QByteArray(R"({"a":1,"e":2})") << QStringLiteral("/e: no value");
        QTest::newRow("integer") << object << QByteArray(R"({"a":1.5})") << QStringLiteral("/a: number where integer");
        QTest::newRow("items enum") << object << QByteArray(R"({"a":1,"b":["x","z"]})") << QStringLiteral("/b/1: \"z\" is not one");
        QTest::newRow("const") << object << QByteArray(R"({"a":1,"c":2})") << QStringLiteral("/c: 2 where 1");
        QTest::newRow("type list") << object << QByteArray(R"({"a":1,"d":true})") << QStringLiteral("string or null");
        QTest::newRow("root type") << object << QByteArray(R"([1])") << QStringLiteral("/: array where object");
        QTest::newRow("unknown keyword") << QByteArray(R"({"properties":{"s":{"type":"string","oneOf":[]}}})")
                                         << QByteArray(R"({"s":"ab"})") << QStringLiteral("/s: the schema uses \"oneOf\"");
        QTest::newRow("min length") << QByteArray("{\"properties\":{\"s\":{\"type\":\"string\",\"minLength\":3}}}")
                                    << QByteArray("{\"s\":\"ab\"}") << QStringLiteral("/s: \"ab\" is too short");
        QTest::newRow("pattern") << QByteArray("{\"properties\":{\"s\":{\"type\":\"string\",\"pattern\":\"^[0-9]{6}$\"}}}")
                                 << QByteArray("{\"s\":\"03900\"}") << QStringLiteral("/s: \"03900\" does not match");
        QTest::newRow("maximum") << QByteArray("{\"properties\":{\"n\":{\"type\":\"integer\",\"maximum\":4}}}")
                                 << QByteArray("{\"n\":5}") << QStringLiteral("/n: 5 is above the maximum");
        QTest::newRow("reference") << QByteArray("{\"$defs\":{\"p\":{\"type\":\"integer\",\"minimum\":1}},\"items\":{\"$ref\":\"#/$defs/p\"}}")
                                   << QByteArray("[1,0]") << QStringLiteral("/1: 0 is below the minimum");
        // A condition's own faults never show; only the branch it picks is checked.
        const QByteArray conditional = R"({"allOf":[{"if":{"properties":{"type":{"const":"header"}}},
            "then":{"required":["event"]},"else":{"properties":{"event":false}}}]})";
        QTest::newRow("if then") << conditional << QByteArray(R"({"type":"header"})") << QStringLiteral("/: \"event\" is missing");
        QTest::newRow("if then fits") << conditional << QByteArray(R"({"type":"header","event":"TOR"})") << QString();
        QTest::newRow("if else") << conditional << QByteArray(R"({"type":"end","event":"TOR"})") << QStringLiteral("/event: no value");
        QTest::newRow("if else fits") << conditional << QByteArray(R"({"type":"end"})") << QString();
        QTest::newRow("allOf each") << QByteArray(R"({"allOf":[{"required":["a"]},{"required":["b"]}]})")
                                    << QByteArray(R"({"a":1})") << QStringLiteral("/: \"b\" is missing");
        QTest::newRow("additional schema") << QByteArray(R"({"additionalProperties":{"type":"boolean"}})")
                                           << QByteArray(R"({"x":true,"y":0})") << QStringLiteral("/y: number where boolean");
    }
    void schemaChecker()
    {
        QFETCH(QByteArray, schema);
        QFETCH(QByteArray, document);
        QFETCH(QString, fault);
        const QJsonDocument s = QJsonDocument::fromJson(schema);
        const QJsonDocument d = QJsonDocument::fromJson(document);
        QVERIFY(!s.isNull() && !d.isNull());
        const QStringList faults = checkJsonSchema(s.object(), d.isObject() ? QJsonValue(d.object()) : QJsonValue(d.array()));
        if (fault.isEmpty()) {
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        } else {
            QVERIFY2(!faults.isEmpty() && faults.first().contains(fault), qPrintable(faults.join(QLatin1Char('\n'))));
        }
    }

    // What the generated completion offers, in bash, zsh and fish, in a
    // folder with one profile, one other file and one sub-folder.
    void completion_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("notOffered");
        const struct {
            const char *line;
            QStringList offered, notOffered;
        } rows[] = {
            {"", {"transfer", "log", "ports", "--help", "--version"}, {"show", "set"}},
            {"lo", {"log"}, {"transfer"}},
            {"log ", {"show", "audit"}, {"transfer"}},
            {"ports ", {"set"}, {"1"}},
            {"ports set ", {"1", "2", "3", "4"}, {"5", "set"}},
            {"transfer --port ", {"1", "4"}, {"--port"}},
            {"transfer --d", {"--device", "--devices"}, {"--port"}},
            {"transfer --csv alerts.csv --t", {"--trace"}, {}},
            {"log audit --format ", {"text", "csv"}, {"--from"}},
            {"profile load ", {"site.nxprofile", "sub/"}, {"notes.txt"}},
            {"image --profile ", {"site.nxprofile"}, {"notes.txt"}},
            {"sounds --play ", {"RWT", "110"}, {}},
            {"ports set 2 ", {"auto"}, {"1", "set"}},
            {"transfer --device ", {}, {"auto"}},
            {"config set ", {"TimeZoneOffset", "SerialPort", "NV8009/AcceptAllAlerts"}, {"AcceptAllAlerts", "list"}},
            {"config get Time", {"TimeZoneOffset"}, {"SerialPort"}},
            {"config set TimeZoneOffset ", {}, {"TimeZoneOffset"}},
            {"setup transmitter --state ", {"Ohio", "OH", "Puerto Rico"}, {"--state"}},
            {"setup events add ", {"TOR", "SVR"}, {"add"}},
            {"setup counties add 0390", {"039001", "039049"}, {"012011"}},
        };
        for (const char *shell : {"bash", "zsh", "fish"}) {
            for (const auto &row : rows) {
                QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(shell), QLatin1String(row.line))))
                    << QString::fromLatin1(shell) << QString::fromLatin1(row.line) << row.offered << row.notOffered;
            }
        }
    }
    void completion()
    {
        QFETCH(QString, shell);
        QFETCH(QString, line);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        const QString generated = QFileInfo(buildBinDir()).absolutePath() + QStringLiteral("/generated/completions/");
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
        for (const char *name : {"site.nxprofile", "notes.txt"}) {
            QFile f(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // bash and zsh are given the words of the line (an empty last one
        // when it ends in a blank) and call the completion function as
        // their line editors would; zsh's compadd and _files are stood in
        // for, offering what matches the word typed. fish completes a line.
        static const QMap<QString, QString> scripts{
            {QStringLiteral("bash"), QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                                                    "_nx4400c_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")},
            {QStringLiteral("zsh"), QStringLiteral(
                 "compadd() { local -a items; if [[ $1 == -a ]]; then items=(${(P)2}); else [[ $1 == -- ]] && shift; items=(\"$@\"); fi; "
                 "local w; for w in $items; do [[ $w == ${words[CURRENT]}* ]] && print -r -- $w; done; return 0; }; "
                 "_files() { local -a found; case $1 in (-g) found=(${~2}(N) */(N)) ;; (-/) found=(*/(N)) ;; (*) found=(*(N)) ;; esac; "
                 "compadd -a found; }; file=$1; shift; words=(\"$@\"); CURRENT=${#words}; source $file")},
            {QStringLiteral("fish"), QStringLiteral("source $argv[1]; complete -C\"nx4400c-cli $argv[2]\"")}};
        static const QMap<QString, QString> files{{QStringLiteral("bash"), QStringLiteral("nx4400c-cli")},
                                                  {QStringLiteral("zsh"), QStringLiteral("_nx4400c-cli")},
                                                  {QStringLiteral("fish"), QStringLiteral("nx4400c-cli.fish")}};
        QStringList args{shell == QLatin1String("zsh") ? QStringLiteral("-fc") : QStringLiteral("-c"), scripts.value(shell), shell,
                         generated + files.value(shell)};
        if (shell == QLatin1String("fish"))
            args = QStringList{QStringLiteral("-c"), scripts.value(shell), generated + files.value(shell), line};
        else
            args += QStringList{QStringLiteral("nx4400c-cli")} + line.split(QLatin1Char(' '));
        const Result r = run(shell, args, folder.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QStringList got;
        for (const QString &l : QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            got << l.section(QLatin1Char('\t'), 0, 0);
        // bash lists a folder without its slash; the shell adds it.
        if (shell == QLatin1String("bash") && got.contains(QStringLiteral("sub")))
            got << QStringLiteral("sub/");
        for (const QString &o : offered)
            QVERIFY2(got.contains(o), qPrintable(o + QStringLiteral(" not offered: ") + got.join(QLatin1Char(' '))));
        for (const QString &o : notOffered)
            QVERIFY2(!got.contains(o), qPrintable(o + QStringLiteral(" offered: ") + got.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(CliTable)
#include "tst_clitable.moc"
