// SPDX-License-Identifier: GPL-3.0-or-later
// Two link sessions in one process at the same time, each in a thread of its
// own, against two virtual receivers: each receiver gets exactly its own
// setup, each session gets exactly its own receiver's reply, and the two
// transfers overlap instead of taking turns.
#include "support/VirtualReceiver.h"

#include "base/Clock.h"
#include "base/Services.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/HistoryRecord.h"
#include "link/core/LinkSession.h"
#include "link/core/Transfer.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

struct Side {
    QString device;
    QString settingsPath;
    ReceiverSetup setup;
    bool ok = false;
    QString left;
    QString romVersion;
    QByteArray reply;
    HistoryRowTable rows{};
    qint64 startMs = 0;
    qint64 endMs = 0;
    Qt::HANDLE thread = nullptr;
};

class LeftPanel : public NullView
{
public:
    void setStatusText(const QString &key, const QString &text) override
    {
        if (key == QLatin1String("Left"))
            left = text;
    }
    QString statusText(const QString &key) const override
    {
        return key == QLatin1String("Left") ? left : QString();
    }
    QString left;
};

// One whole transfer in the calling thread, everything that waits made here.
void transfer(Side &side, const EventCatalog &catalog, const QElapsedTimer &since)
{
    side.thread = QThread::currentThreadId();
    SystemClock clock;
    LeftPanel view;
    Services services;
    services.setClock(&clock);
    services.setView(&view);
    services.settingsPath = side.settingsPath;
    services.timings.negotiateMs = 3000;
    services.timings.transferMs = 5000;
    LinkSession session(services, {side.device, QString(), QString(), QString()});
    side.setup.config.SerialPort = 1;
    side.startMs = since.elapsed();
    side.ok = EstConnect(session, side.setup, catalog, side.rows);
    side.endMs = since.elapsed();
    side.left = view.left;
    side.romVersion = side.setup.config.ReceiverVersion;
    side.reply = session.ReceiveBuffer.left(TransferFrame::DownloadBytes);
}

QByteArray expectedImage(const ReceiverSetup &setup)
{
    ParameterImageBytes image{};
    PackParameterBlock(setup.config, image);
    PackCoverageLists(setup, image);
    return QByteArray(reinterpret_cast<const char *>(image.data()), ParameterImage::ImageLength);
}

} // namespace

class TestSessions : public QObject
{
    Q_OBJECT

private slots:
    void twoTransfersAtOnce();
};

void TestSessions::twoTransfersAtOnce()
{
    QTemporaryDir dir;
    VirtualReceiver a(dir.path(), QStringLiteral("a"));
    VirtualReceiver b(dir.path(), QStringLiteral("b"));
    // Different ROM versions tell the replies apart.
    QVERIFY(a.start({QStringLiteral("--rom"), QStringLiteral("2.05")}));
    QVERIFY(b.start({QStringLiteral("--rom"), QStringLiteral("3.17")}));

    EventCatalog catalog;
    InitEventCatalog(catalog);

    Side sa, sb;
    sa.device = a.link;
    sb.device = b.link;
    sa.settingsPath = sb.settingsPath = dir.filePath(QStringLiteral("none.ini"));
    // Different coverage tells the images apart.
    sa.setup.FipEntries[0] = QStringLiteral("X 012011  Broward                Florida");
    sa.setup.EventSelection[0] = QStringLiteral("TOR");
    sb.setup.FipEntries[0] = QStringLiteral("X 012086  Miami-Dade             Florida");
    sb.setup.FipEntries[1] = QStringLiteral("X 012099  Palm Beach             Florida");
    sb.setup.EventSelection[0] = QStringLiteral("SVR");
    sb.setup.EventSelection[1] = QStringLiteral("FFW");
    const QByteArray imageA = expectedImage(sa.setup);
    const QByteArray imageB = expectedImage(sb.setup);
    QVERIFY(imageA != imageB);

    QElapsedTimer since;
    since.start();
    std::unique_ptr<QThread> ta(QThread::create([&] { transfer(sa, catalog, since); }));
    std::unique_ptr<QThread> tb(QThread::create([&] { transfer(sb, catalog, since); }));
    ta->start();
    tb->start();
    QVERIFY(ta->wait(QDeadlineTimer(60000)));
    QVERIFY(tb->wait(QDeadlineTimer(60000)));

    QVERIFY(sa.thread != sb.thread);
    QVERIFY2(sa.ok, qPrintable(sa.left));
    QVERIFY2(sb.ok, qPrintable(sb.left));
    QCOMPARE(sa.left, QStringLiteral("Upload / Download Successful"));
    QCOMPARE(sb.left, QStringLiteral("Upload / Download Successful"));

    // Each receiver got its own setup, byte for byte, after one "Z".
    QCOMPARE(a.uploadedImage(), imageA);
    QCOMPARE(b.uploadedImage(), imageB);
    QCOMPARE(a.recorded().left(1 + imageA.size()), QByteArray("Z") + imageA);
    QCOMPARE(b.recorded().left(1 + imageB.size()), QByteArray("Z") + imageB);
    QCOMPARE(a.recorded().size(), 1 + 512);
    QCOMPARE(b.recorded().size(), 1 + 512);

    // Each session got its own receiver's reply.
    QCOMPARE(sa.romVersion, QStringLiteral("2.05"));
    QCOMPARE(sb.romVersion, QStringLiteral("3.17"));
    QCOMPARE(sa.reply.mid(TransferFrame::VersionIndex, 4), QByteArray("205\x06"));
    QCOMPARE(sb.reply.mid(TransferFrame::VersionIndex, 4), QByteArray("317\x06"));
    QCOMPARE(sa.reply.left(TransferFrame::HistoryBytes), sb.reply.left(TransferFrame::HistoryBytes));
    QCOMPARE(sa.rows[0].Event, QStringLiteral("Tornado Warning"));
    QCOMPARE(sb.rows[0].Event, QStringLiteral("Tornado Warning"));

    // Side by side: each started before the other ended.
    QVERIFY2(sa.startMs < sb.endMs && sb.startMs < sa.endMs,
             qPrintable(QStringLiteral("a %1..%2 ms, b %3..%4 ms")
                            .arg(sa.startMs).arg(sa.endMs).arg(sb.startMs).arg(sb.endMs)));
}

QTEST_GUILESS_MAIN(TestSessions)
#include "tst_sessions.moc"
