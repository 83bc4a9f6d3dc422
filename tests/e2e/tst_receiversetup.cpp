// SPDX-License-Identifier: GPL-3.0-or-later
// A fleet of three receivers in two states, each with a profile of its own,
// set up, checked, mended, programmed and printed by name from the command
// line. An edit of one receiver (or of the editor's setup in one folder)
// leaves every other receiver's image byte for byte as it was. A listing
// that drops one receiver's transmitter is found by `check --fleet`, which
// names the command that mends that receiver and no other; `transfer
// --fleet` then sends each receiver exactly its own `image --receiver`.
// A monitor then hears a warning for a county only one receiver alerts for;
// `log crosscheck --fleet` names that receiver, and its audit follows.
#include "support/Headless.h"
#include "support/JsonSchema.h"
#include "support/ListingEdits.h"
#include "support/SameSignal.h"
#include "support/VirtualReceiver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

#include <map>
#include <memory>
#include <vector>

namespace {

const QStringList kNames{QStringLiteral("gym"), QStringLiteral("school"), QStringLiteral("office")};

// The image `nx4400c-cli image` prints, as the bytes a receiver records.
QByteArray imageBytes(const QString &printed)
{
    QByteArray bytes;
    for (const QString &line : printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("checksum")))
            break;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < words.size(); ++i)
            bytes.append(char(words.at(i).toInt(nullptr, 16)));
    }
    return bytes;
}

// The six-digit codes a `setup transmitter` listed, in order.
QStringList listedCounties(const QString &out)
{
    QStringList codes;
    static const QRegularExpression line(QStringLiteral("^  (\\d{6})  "), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();)
        codes << it.next().captured(1);
    return codes;
}

} // namespace

class TestReceiverSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachReceiverItsOwnSetup();
    void editsReachOneReceiverOnly_data();
    void editsReachOneReceiverOnly();
    void goneTransmitterFoundAndMendedByName();
    void missedWarningFoundAcrossTheFleet();
    void folderThatDoesNotFitIsNamed();

private:
    ShellRun cli(const QString &line) const { return m->run(QStringLiteral("nx4400c-cli ") + line); }
    // Every receiver's image and the editor's image in both folders.
    std::map<QString, QByteArray> images() const;
    // Chooses `callsign` for `name` and selects the first two of its counties.
    void setUp(const QString &name, const QString &state, const QString &callsign);

    std::unique_ptr<HeadlessMachine> m;
    std::vector<std::unique_ptr<VirtualReceiver>> m_receivers;
};

void TestReceiverSetup::initTestCase()
{
    if (!headlessToolsBuilt())
        QSKIP("nx4400c-cli or nx4400c-virtual-receiver is not built");
    m = std::make_unique<HeadlessMachine>();
    const ShellRun init = cli(QStringLiteral("init"));
    QVERIFY2(init.exitCode == 0, qPrintable(init.err));
    QString fleet = QStringLiteral("# the district's receivers\n");
    for (const QString &name : kNames) {
        m_receivers.push_back(std::make_unique<VirtualReceiver>(m->work(), name));
        QVERIFY(m_receivers.back()->start());
        const ShellRun saved = cli(QStringLiteral("profile save %1.nxprofile").arg(name));
        QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
        fleet += QStringLiteral("%1 %2 %1.nxprofile\n").arg(name, m_receivers.back()->link);
    }
    QVERIFY(m->writeFile(QStringLiteral("site.fleet"), fleet.toUtf8()));
    // A second site folder with the editor's own setup.
    QVERIFY(QDir(m->work()).mkpath(QStringLiteral("annex")));
    QVERIFY2(m->run(QStringLiteral("cd annex && nx4400c-cli init")).exitCode == 0, "init in annex");
}

void TestReceiverSetup::setUp(const QString &name, const QString &state, const QString &callsign)
{
    ShellRun r = cli(QStringLiteral("setup transmitter --receiver %1 --fleet site.fleet --state %2 %3").arg(name, state, callsign));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
    // The first line says whose setup changed.
    QVERIFY2(r.out.startsWith(QStringLiteral("receiver %1: profile ").arg(name)), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("setup counties add --receiver %1 CODE").arg(name)), qPrintable(r.out));
    const QStringList codes = listedCounties(r.out).mid(0, 2);
    QCOMPARE(codes.size(), 2);
    r = cli(QStringLiteral("setup counties --receiver=%1 --fleet site.fleet add %2").arg(name, codes.join(QLatin1Char(' '))));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QLatin1String("2 of 24 counties selected")), qPrintable(r.out));
}

std::map<QString, QByteArray> TestReceiverSetup::images() const
{
    std::map<QString, QByteArray> all;
    for (const QString &name : kNames)
        all[name] = imageBytes(cli(QStringLiteral("image --receiver %1 --fleet site.fleet").arg(name)).out);
    all[QStringLiteral("editor here")] = imageBytes(cli(QStringLiteral("image")).out);
    all[QStringLiteral("editor in annex")] = imageBytes(m->run(QStringLiteral("cd annex && nx4400c-cli image")).out);
    return all;
}

void TestReceiverSetup::eachReceiverItsOwnSetup()
{
    setUp(QStringLiteral("gym"), QStringLiteral("Kentucky"), QStringLiteral("KZZ49"));
    // A call sign of another state's list brings its state along, as the
    // fix that check names for a receiver is typed without one.
    ShellRun other = cli(QStringLiteral("setup transmitter --receiver school --fleet site.fleet WXM69"));
    QVERIFY2(other.exitCode == 0, qPrintable(other.err));
    QVERIFY2(other.out.contains(QLatin1String("Transmitter Otway WXM69 162.525 (Ohio)")), qPrintable(other.out));
    other = cli(QStringLiteral("setup transmitter --receiver school --fleet site.fleet NOSUCH"));
    QCOMPARE(other.exitCode, 2);
    setUp(QStringLiteral("school"), QStringLiteral("KY"), QStringLiteral("KIH41"));
    setUp(QStringLiteral("office"), QStringLiteral("Ohio"), QStringLiteral("WXM69"));

    const ShellRun r = cli(QStringLiteral("check --fleet site.fleet"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(lines[i].startsWith(kNames[i] + QStringLiteral("\tok\t")), qPrintable(lines[i]));

    // Three setups, three images; the editor's setup is none of them.
    const auto all = images();
    for (const auto &[name, bytes] : all)
        QVERIFY2(bytes.size() == 511, qPrintable(name));
    QVERIFY(all.at(QStringLiteral("gym")) != all.at(QStringLiteral("school")));
    QVERIFY(all.at(QStringLiteral("school")) != all.at(QStringLiteral("office")));
    QVERIFY(all.at(QStringLiteral("gym")) != all.at(QStringLiteral("editor here")));

    // A county of another state is taken with a word, and unselected again.
    ShellRun far = cli(QStringLiteral("setup counties add --receiver office --fleet site.fleet 006001"));
    QCOMPARE(far.exitCode, 0);
    QVERIFY2(far.err.contains(QLatin1String("006001 Alameda California is not covered by WXM69")), qPrintable(far.err));
    QCOMPARE(cli(QStringLiteral("check --receiver office --fleet site.fleet")).exitCode, 1);
    far = cli(QStringLiteral("setup counties remove --receiver office --fleet site.fleet 006001"));
    QCOMPARE(far.exitCode, 0);
    QCOMPARE(imageBytes(cli(QStringLiteral("image --receiver office --fleet site.fleet")).out), all.at(QStringLiteral("office")));

    // Each profile names its own transmitter.
    QFile gym(m->path(QStringLiteral("gym.nxprofile")));
    QVERIFY(gym.open(QIODevice::ReadOnly));
    QVERIFY(gym.readAll().contains("KZZ49"));
    QFile office(m->path(QStringLiteral("office.nxprofile")));
    QVERIFY(office.open(QIODevice::ReadOnly));
    QVERIFY(office.readAll().contains("WXM69"));
}

void TestReceiverSetup::editsReachOneReceiverOnly_data()
{
    QTest::addColumn<QString>("command");   // run in the work folder
    QTest::addColumn<QString>("changes");   // the one image that may change

    QTest::newRow("transmitter of the editor in annex")
        << "cd annex && nx4400c-cli setup transmitter --state Kentucky KIH42" << "editor in annex";
    QTest::newRow("counties of the editor in annex")
        << "cd annex && nx4400c-cli setup counties add 021037" << "editor in annex";
    QTest::newRow("transmitter of school")
        << "nx4400c-cli setup transmitter --receiver school --fleet site.fleet KIH41" << "school";
    QTest::newRow("counties of gym")
        << "nx4400c-cli setup counties add --receiver gym --fleet site.fleet 021201" << "gym";
    QTest::newRow("events of office")
        << "nx4400c-cli setup events remove --receiver office --fleet site.fleet FFA" << "office";
    QTest::newRow("county not in gym's list")
        << "nx4400c-cli setup counties remove --receiver gym --fleet site.fleet 123456" << "";
}

void TestReceiverSetup::editsReachOneReceiverOnly()
{
    QFETCH(QString, command);
    QFETCH(QString, changes);
    const auto before = images();
    const ShellRun r = m->run(command);
    // Removing a county that is not there is refused and changes nothing.
    QCOMPARE(r.exitCode, command.contains(QLatin1String("123456")) ? 1 : 0);
    if (command.contains(QLatin1String("--receiver")))
        QVERIFY2(r.out.startsWith(QLatin1String("receiver ")) || r.err.startsWith(QLatin1String("receiver ")),
                 qPrintable(r.out + r.err));
    else
        QVERIFY2(r.out.startsWith(QLatin1String("the editor's setup: ")), qPrintable(r.out));
    const auto after = images();
    for (const auto &[name, bytes] : before) {
        if (name != changes)
            QVERIFY2(after.at(name) == bytes, qPrintable(name + QStringLiteral(" changed")));
    }
}

void TestReceiverSetup::goneTransmitterFoundAndMendedByName()
{
    // A new listing without gym's transmitter.
    QVERIFY(m->writeFile(QStringLiteral("CCL.js"), ListingWithoutTransmitter(QStringLiteral("KZZ49"))));
    ShellRun r = cli(QStringLiteral("coverage import CCL.js"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));

    r = cli(QStringLiteral("check --fleet site.fleet"));
    QCOMPARE(r.exitCode, 1);
    QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QLatin1String("gym\tfound\t")) && lines[0].contains(QLatin1String("KZZ49")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QLatin1String("school\tok\t")), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QLatin1String("office\tok\t")), qPrintable(lines[2]));
    // The same as one document; each receiver's check keeps to the check's
    // published schema.
    r = cli(QStringLiteral("check --fleet site.fleet --json"));
    QCOMPARE(r.exitCode, 1);
    QFile schemaFile(sourceDir() + QStringLiteral("/docs/json/check.schema.json"));
    QVERIFY(schemaFile.open(QIODevice::ReadOnly));
    const QJsonObject schema = QJsonDocument::fromJson(schemaFile.readAll()).object();
    const QJsonArray receivers = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QLatin1String("receivers")).toArray();
    QCOMPARE(receivers.size(), 3);
    for (const QJsonValue &v : receivers) {
        const QStringList faults = checkJsonSchema(schema, v.toObject().value(QLatin1String("check")));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
    QVERIFY(receivers.at(0).toObject().value(QLatin1String("fixes")).toArray().at(0).toString().contains(
        QLatin1String("--receiver gym")));

    // A transfer refuses gym alone and names gym's fix; the profile given
    // by path is not sent the editor's fix.
    r = cli(QStringLiteral("transfer --receiver gym --fleet site.fleet --csv district.csv"));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QLatin1String("gym refused")) && r.err.contains(QLatin1String("setup transmitter --receiver gym ")),
             qPrintable(r.err));
    QVERIFY(m_receivers[0]->uploadedImage().isEmpty());
    r = cli(QStringLiteral("transfer --device %1 --profile gym.nxprofile --csv district.csv").arg(m_receivers[0]->link));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QLatin1String("in the profile ")) && !r.err.contains(QLatin1String("(nx4400c-cli setup transmitter)")),
             qPrintable(r.err));

    // The fix names gym and is run as it stands.
    const QRegularExpressionMatch fix
        = QRegularExpression(QStringLiteral("to fix it: (nx4400c-cli setup transmitter --receiver gym [A-Z0-9]+)"))
              .match(lines[0]);
    QVERIFY2(fix.hasMatch(), qPrintable(lines[0]));
    // The editor's own check (and a transfer of the editor's setup) is not gym's.
    QVERIFY(!cli(QStringLiteral("check")).out.contains(QLatin1String("KZZ49")));

    const auto before = images();
    r = m->run(fix.captured(1) + QStringLiteral(" --fleet site.fleet"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
    QStringList codes = QRegularExpression(QStringLiteral("your counties before were: ([0-9 ]+)")).match(r.out).captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (codes.isEmpty())
        codes = listedCounties(r.out).mid(0, 1);
    r = cli(QStringLiteral("setup counties add --receiver gym --fleet site.fleet ") + codes.join(QLatin1Char(' ')));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const auto after = images();
    for (const auto &[name, bytes] : before)
        QVERIFY2((after.at(name) == bytes) == (name != QLatin1String("gym")), qPrintable(name));

    r = cli(QStringLiteral("check --fleet site.fleet"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));

    // Each receiver gets exactly its own image.
    r = cli(QStringLiteral("transfer --fleet site.fleet --csv district.csv"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
    for (int i = 0; i < 3; ++i)
        QVERIFY2(m_receivers[i]->uploadedImage() == after.at(kNames[i]), qPrintable(kNames[i]));

    // One receiver by name: its own device and image.
    m_receivers[1]->stop();
    QVERIFY(m_receivers[1]->start());
    r = cli(QStringLiteral("transfer --receiver school --fleet site.fleet --csv district.csv"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out));
    QVERIFY2(r.out.startsWith(QLatin1String("school\t")), qPrintable(r.out));
    QCOMPARE(m_receivers[1]->uploadedImage(), after.at(QStringLiteral("school")));

    // Each receiver's coverage page.
    const std::map<QString, QString> transmitters{
        {QStringLiteral("school"), QStringLiteral("KIH41")}, {QStringLiteral("office"), QStringLiteral("WXM69")}};
    for (const QString &name : kNames) {
        r = cli(QStringLiteral("coverage print --receiver %1 --fleet site.fleet --pdf %1.pdf").arg(name));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {m->path(name + QStringLiteral(".pdf")), QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        if (transmitters.count(name))
            QVERIFY2(page.contains(transmitters.at(name)), qPrintable(name + QLatin1Char('\n') + page));
        else
            QVERIFY2(!page.contains(QLatin1String("KZZ49")), qPrintable(page));
    }
}

void TestReceiverSetup::missedWarningFoundAcrossTheFleet()
{
    // A county gym alerts for and the other two do not.
    auto selected = [&](const QString &name) {
        const ShellRun r = cli(QStringLiteral("setup counties list --receiver %1 --fleet site.fleet").arg(name));
        QStringList codes;
        static const QRegularExpression line(QStringLiteral("^X (\\d{6})"), QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(r.out); it.hasNext();)
            codes << it.next().captured(1);
        return codes;
    };
    const QStringList gyms = selected(QStringLiteral("gym"));
    const QStringList others = selected(QStringLiteral("school")) + selected(QStringLiteral("office"));
    QString county;
    for (const QString &code : gyms)
        if (!others.contains(code))
            county = code;
    QVERIFY2(!county.isEmpty(), qPrintable(gyms.join(QLatin1Char(' ')) + QStringLiteral(" / ") + others.join(QLatin1Char(' '))));

    // Half an hour ago a Tornado Warning for it went out; the monitor of
    // the district heard it, and logs into the district's record.
    const QDateTime issued = QDateTime::currentDateTimeUtc().addSecs(-1800);
    const QString header = QStringLiteral("ZCZC-WXR-TOR-%1+0100-%2%3-KLMK/NWS-")
                               .arg(county)
                               .arg(issued.date().dayOfYear(), 3, 10, QLatin1Char('0'))
                               .arg(issued.toString(QStringLiteral("HHmm")));
    QVERIFY(m->writeFile(QStringLiteral("warning.wav"), SameSignal::wavFile(SameSignal::messages({header.toLatin1()}), 11025)));
    ShellRun r = cli(QStringLiteral("monitor --wav warning.wav --csv district.csv --zone America/Kentucky/Louisville"));
    QVERIFY2(r.exitCode == 0 && r.out.contains(header), qPrintable(r.out + r.err));

    // One line a receiver: gym missed it, the others were never meant to
    // take it.
    r = cli(QStringLiteral("log crosscheck --fleet site.fleet --csv district.csv"));
    QCOMPARE(r.exitCode, 1);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QLatin1String("gym\tmissed\t1 alert(s) heard for it")), qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("school\tok"));
    QCOMPARE(lines[2], QStringLiteral("office\tok"));
    // gym alone says which alert it was.
    r = cli(QStringLiteral("log crosscheck --receiver nosuch --fleet site.fleet --csv district.csv"));
    QVERIFY2(r.exitCode == 1 && r.err.contains(QLatin1String("names no receiver \"nosuch\"")), qPrintable(r.err));
    r = cli(QStringLiteral("log crosscheck --receiver gym --fleet site.fleet --csv district.csv"));
    QVERIFY2(r.exitCode == 1, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QLatin1String("TOR (Tornado Warning) by monitor:wav")), qPrintable(r.out + r.err));
    // In the monitor's own zone (Louisville keeps UTC-5 in winter, -4 in
    // summer), whatever the computer's is.
    const QDateTime there = issued.toTimeZone(QTimeZone("America/Kentucky/Louisville"));
    QVERIFY2(r.out.contains(there.toString(QStringLiteral("yyyy-MM-ddTHH:mm")) + QStringLiteral(":00")
                            + (there.offsetFromUtc() == -5 * 3600 ? QStringLiteral("-05:00") : QStringLiteral("-04:00"))),
             qPrintable(r.out));

    // The record is the one the transfers and the monitor wrote, whole.
    r = cli(QStringLiteral("log verify --db district.db"));
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    // gym's audit reads the same record by its name.
    r = cli(QStringLiteral("log audit --receiver gym --csv district.csv --from %1")
                .arg(QDate::currentDate().addDays(-7).toString(Qt::ISODate)));
    QVERIFY2(r.exitCode == 0 || r.exitCode == 1, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QLatin1String("gym")), qPrintable(r.out + r.err));
    QVERIFY2(!r.out.contains(QLatin1String("school")) && !r.out.contains(QLatin1String("monitor:")), qPrintable(r.out));
}

void TestReceiverSetup::folderThatDoesNotFitIsNamed()
{
    // annex chose KIH42 for the editor's setup, which every folder shares:
    // the Florida counties of this folder do not fit it.
    const ShellRun r = cli(QStringLiteral("check"));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(QStringLiteral("The counties of %1 do not fit the stored transmitter KIH42")
                                .arg(QDir::toNativeSeparators(m->path(QStringLiteral("NX_4400C.DAT"))))),
             qPrintable(r.out));
    QVERIFY2(r.out.contains(QLatin1String("To fix it: nx4400c-cli setup counties remove ")), qPrintable(r.out));
    QVERIFY(m->run(QStringLiteral("cd annex && nx4400c-cli check")).exitCode == 0);
    // init in a third folder says so at once.
    QVERIFY(QDir(m->work()).mkpath(QStringLiteral("third")));
    const ShellRun init = m->run(QStringLiteral("cd third && nx4400c-cli init"));
    QCOMPARE(init.exitCode, 0);
    QVERIFY2(init.out.contains(QLatin1String("The default counties do not fit the stored transmitter Covington KIH42")),
             qPrintable(init.out));
}

QTEST_GUILESS_MAIN(TestReceiverSetup)
#include "tst_receiversetup.moc"
