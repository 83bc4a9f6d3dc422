// SPDX-License-Identifier: GPL-3.0-or-later
// The history grid of the real main window: texts, numbering and colours of
// both groups, and the "no history" checks that read the grid.
#include "HistoryFixture.h"
#include "support/TestEnv.h"

#include "history/gui/HistoryCommands.h"
#include "app/gui/NX4400C.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

namespace {

QLabel *cell(QWidget &w, const char *column, int i)
{
    return w.findChild<QLabel *>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(i));
}

// Counts the pixels of a label's rendering that are clearly of one colour.
struct Ink {
    int red = 0, blue = 0, dark = 0;
};

Ink inkOf(QLabel *l)
{
    const QImage img = l->grab().toImage();
    Ink ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                ++ink.red;
            else if (c.blue() > 150 && c.red() < 100 && c.green() < 100)
                ++ink.blue;
            else if (c.red() < 90 && c.green() < 90 && c.blue() < 90)
                ++ink.dark;
        }
    return ink;
}

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }
    void init();
    void cleanup();

    void colours_data();
    void colours();
    void secondGroupIsNumberedAndBlank();
    void fullHistoryBothGroups();
    void noHistoryWhenTheShownGroupIsEmpty();

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<NX4400C> m_window;
};

void TestGrid::init()
{
    m_env = std::make_unique<TestEnv>();
    m_env->clock.set(QDateTime(QDate(2026, 6, 1), QTime(12, 0)));
    m_env->ctx->config.TimeZoneOffset = -5;
    m_window = std::make_unique<NX4400C>(*m_env->ctx);
    m_window->resize(900, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestGrid::cleanup()
{
    m_window.reset();
    m_env.reset();
}

void TestGrid::colours_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("colour");
    QTest::newRow("warning red") << QByteArray("TOR") << "red";
    QTest::newRow("watch blue") << QByteArray("TOA") << "blue";
    QTest::newRow("HMW blue") << QByteArray("HMW") << "blue";
    QTest::newRow("other black") << QByteArray("RWT") << "black";
    QTest::newRow("unknown black") << QByteArray("SVW") << "black";
}

void TestGrid::colours()
{
    QFETCH(QByteArray, code);
    QFETCH(QString, colour);
    AppContext &ctx = *m_env->ctx;
    // A warning in the row first, so a stale red would show.
    putSlot(ctx, 6, "065 14:30 WXR TOR 0100");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    HistoryCommands::ShowHistoryGroup(ctx.HistoryRows, m_window.get(), 0);
    const QByteArray slot = "065 14:30 WXR " + code + " 0100";
    putSlot(ctx, 6, slot.constData());
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    HistoryCommands::ShowHistoryGroup(ctx.HistoryRows, m_window.get(), 0);

    const Ink ink = inkOf(cell(*m_window, "lblEvent", 6));
    if (colour == QLatin1String("red"))
        QVERIFY(ink.red > 10 && ink.blue == 0 && ink.dark == 0);
    else if (colour == QLatin1String("blue"))
        QVERIFY(ink.blue > 10 && ink.red == 0 && ink.dark == 0);
    else
        QVERIFY(ink.dark > 10 && ink.red == 0 && ink.blue == 0);
}

void TestGrid::secondGroupIsNumberedAndBlank()
{
    AppContext &ctx = *m_env->ctx;
    for (int k = 0; k < 5; ++k)
        putSlot(ctx, k, "065 14:30 WXR TOR 0100");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    HistoryCommands::ShowHistoryGroup(ctx.HistoryRows, m_window.get(), 0);
    QCOMPARE(m_window->firstRowDate(), QStringLiteral("6-March"));
    QCOMPARE(cell(*m_window, "lblTime", 0)->text(), QStringLiteral("09:30"));
    for (int i = 0; i < 20; ++i)
        QVERIFY(cell(*m_window, "lblEvent", i)->text().isEmpty() == (i >= 5));
    HistoryCommands::ShowHistoryGroup(ctx.HistoryRows, m_window.get(), 1);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(cell(*m_window, "lblNum", i)->text(), QString::number(21 + i));
        for (const char *c : {"lblDate", "lblTime", "lblOrg", "lblEvent", "lblLength"})
            QVERIFY(cell(*m_window, c, i)->text().isEmpty());
    }
    const Ink ink = inkOf(cell(*m_window, "lblEvent", 0));
    QCOMPARE(ink.red, 0);
}

void TestGrid::fullHistoryBothGroups()
{
    AppContext &ctx = *m_env->ctx;
    const char *codes[] = {"TOR", "TOA", "RWT", "SVR", "FFA", "CEM", "HMW", "XYZ"};
    for (int k = 0; k < 40; ++k) {
        const QByteArray slot = QStringLiteral("%1 %2:%3 WXR %4 0%5")
                                    .arg(150 - k, 3, 10, QLatin1Char('0'))
                                    .arg(k % 24, 2, 10, QLatin1Char('0'))
                                    .arg((k * 7) % 60, 2, 10, QLatin1Char('0'))
                                    .arg(QLatin1String(codes[k % 8]))
                                    .arg(100 + k)
                                    .toLatin1();
        putSlot(ctx, k, slot.constData());
    }
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    for (int group = 0; group < 2; ++group) {
        HistoryCommands::ShowHistoryGroup(ctx.HistoryRows, m_window.get(), group);
        for (int i = 0; i < 20; ++i) {
            const HistoryRecord &r = ctx.HistoryRows[20 * group + i];
            QCOMPARE(cell(*m_window, "lblNum", i)->text(), QString::number(20 * group + i + 1));
            QCOMPARE(cell(*m_window, "lblDate", i)->text(), r.Date);
            QCOMPARE(cell(*m_window, "lblTime", i)->text(), r.Time);
            QCOMPARE(cell(*m_window, "lblOrg", i)->text(), r.Org);
            QCOMPARE(cell(*m_window, "lblEvent", i)->text(), r.Event);
            QCOMPARE(cell(*m_window, "lblLength", i)->text(), r.Length);
            QVERIFY(!r.Date.isEmpty());
        }
        const QString png = QDir::temp().filePath(QStringLiteral("nx-history-grid-%1.png").arg(group));
        m_window->grab().save(png);
    }
}

void TestGrid::noHistoryWhenTheShownGroupIsEmpty()
{
    AppContext &ctx = *m_env->ctx;
    for (int k = 0; k < 10; ++k)
        putSlot(ctx, k, "065 14:30 WXR TOR 0100");
    DecodeHistory(ctx.historySource(), ctx.HistoryRows);
    m_window->showHistoryGroup(1);
    m_window->runToolbarCommand(QStringLiteral("Print History"));
    QAction *save = nullptr;
    for (QAction *a : m_window->findChildren<QAction *>())
        if (a->text() == QLatin1String("Save History File As..."))
            save = a;
    QVERIFY(save);
    save->setEnabled(true);
    save->trigger();
    QCOMPARE(m_env->prompter.texts(),
             QStringList({QStringLiteral("Error #301:  No History Data to Print. "),
                          QStringLiteral("Error #303:  No History Data to Save. ")}));
    QVERIFY(m_env->prompter.saveRequests.isEmpty());
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
