// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/TransferLog.h"

#include "history/core/AlertLog.h"
#include "history/core/LockedLogFile.h"
#include "base/PathCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool fail(QString *why, const QString &file, const QString &text)
{
    if (why)
        *why = QStringLiteral("%1: %2").arg(shown(file), text);
    return false;
}

const QLatin1String Ok("ok");
const QLatin1String Failed("failed");

// Calls `row` with every complete line after the header; a last line
// without its line end is a torn row and left out.
template<typename Row>
void forEachRow(const QByteArray &data, Row row)
{
    qsizetype pos = data.indexOf('\n');
    if (pos < 0)
        return;
    ++pos;
    while (pos < data.size()) {
        const qsizetype end = data.indexOf('\n', pos);
        if (end < 0)
            break;
        QByteArray line = data.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        row(line, pos, end);
        pos = end + 1;
    }
}

bool hasHeader(const QByteArray &data)
{
    QByteArray first = data.left(data.indexOf('\n'));
    if (first.endsWith('\r'))
        first.chop(1);
    return first == TransferLogHeader.toUtf8();
}

} // namespace

QString TransferLogPathFor(const QString &alertLogPath)
{
    if (alertLogPath.isEmpty())
        return QString();
    const QFileInfo fi(alertLogPath);
    const QString suffix = fi.suffix();
    const QString base = suffix.isEmpty() ? fi.fileName() : fi.completeBaseName();
    return QDir(fi.path()).filePath(base + QStringLiteral("-transfers.") + (suffix.isEmpty() ? QStringLiteral("csv") : suffix));
}

QByteArray TransferLogRow(const TransferRecord &r)
{
    const QString time = r.when.toUTC().toString(Qt::ISODate);
    QString reason = r.reason;
    reason.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return QStringList{time, CsvField(r.receiver), r.ok ? QString(Ok) : QString(Failed), CsvField(reason),
                       CsvField(r.romVersion)}
        .join(QLatin1Char(','))
        .toUtf8();
}

bool ParseTransferLogRow(const QByteArray &line, TransferRecord *r)
{
    const QStringList f = SplitCsvLine(QString::fromUtf8(line));
    if (f.size() != 5)
        return false;
    r->when = QDateTime::fromString(f.at(0), Qt::ISODate);
    if (!r->when.isValid() || f.at(1).isEmpty() || (f.at(2) != Ok && f.at(2) != Failed))
        return false;
    r->receiver = f.at(1);
    r->ok = f.at(2) == Ok;
    r->reason = f.at(3);
    r->romVersion = f.at(4);
    return true;
}

bool AppendTransferLog(const QString &fileName, const QList<TransferRecord> &records, QString *why, int lockTimeoutMs)
{
    LockedLogFile file;
    QString reason;
    if (!file.open(fileName, /*create*/ true, lockTimeoutMs, &reason))
        return fail(why, fileName, reason);
    QByteArray data;
    if (!file.readAll(&data, &reason))
        return fail(why, fileName, reason);
    QByteArray add;
    if (data.isEmpty())
        add = TransferLogHeader.toUtf8() + '\n';
    else if (!hasHeader(data))
        return fail(why, fileName, QStringLiteral("is not a transfer log (its first line is not \"%1\"); nothing was written").arg(TransferLogHeader));
    else if (!data.endsWith('\n'))
        add = "\n";   // the torn row stays on a line of its own
    for (const TransferRecord &r : records)
        add += TransferLogRow(r) + '\n';
    if (!file.append(add, &reason))
        return fail(why, fileName, reason);
    return true;
}

bool ReadTransferSummaries(const QString &fileName, const QStringList &only, QList<TransferSummary> *summaries,
                           int *skipped, QString *why)
{
    if (skipped)
        *skipped = 0;
    if (!QFileInfo::exists(fileName))
        return true;
    // A rename puts its new file in place in one step, so a plain read sees
    // the old log or the new one, whole: reading needs no lock, and no write
    // permission (a monitoring user may only read). Row by row, so a log of
    // years costs no more memory than a new one.
    QString reason;
    if (!CheckReadableFile(fileName, &reason, -1))
        return fail(why, fileName, reason);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(why, fileName, file.errorString());
    QByteArray first = file.readLine();
    if (first.endsWith('\n'))
        first.chop(1);
    if (first.endsWith('\r'))
        first.chop(1);
    if (!first.isEmpty() && first != TransferLogHeader.toUtf8())
        return fail(why, fileName, QStringLiteral("is not a transfer log (its first line is not \"%1\")").arg(TransferLogHeader));
    QMap<QString, TransferSummary> byName;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break;   // a torn last row
        line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        TransferRecord r;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (!ParseTransferLogRow(line, &r)) {
            if (skipped)
                ++*skipped;
            continue;
        }
        if (!only.isEmpty() && !only.contains(r.receiver))
            continue;
        TransferSummary &s = byName[r.receiver];
        s.receiver = r.receiver;
        ++s.transfers;
        if (!r.ok)
            ++s.failures;
        // Rows are appended as transfers end, but two programs may append
        // out of order by a moment: the latest time wins.
        if (!s.lastTime.isValid() || r.when >= s.lastTime) {
            s.lastTime = r.when;
            s.lastOk = r.ok;
            s.lastReason = r.reason;
            if (r.ok)
                s.romVersion = r.romVersion;
        }
    }
    if (file.error() != QFileDevice::NoError)
        return fail(why, fileName, file.errorString());
    summaries->append(byName.values());
    return true;
}

QByteArray ReceiverMetricLabel(const QString &receiver)
{
    QString e = receiver;
    e.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    e.replace(QLatin1Char('"'), QLatin1String("\\\""));
    e.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("{receiver=\"%1\"}").arg(e).toUtf8();
}

QByteArray TransferOpenMetrics(const QList<TransferSummary> &summaries)
{
    QByteArray out;
    auto family = [&](const char *name, const char *type, const char *help, auto value) {
        out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
        for (const TransferSummary &s : summaries)
            out += QByteArray(name) + ReceiverMetricLabel(s.receiver) + ' ' + value(s) + '\n';
    };
    family("nx4400c_last_transfer_timestamp_seconds", "gauge",
           "Time the last transfer with the receiver ended, worked or not (unix seconds).",
           [](const TransferSummary &s) { return QByteArray::number(s.lastTime.toSecsSinceEpoch()); });
    family("nx4400c_last_transfer_success", "gauge", "1 when the last transfer with the receiver worked, 0 when it failed.",
           [](const TransferSummary &s) { return QByteArray(s.lastOk ? "1" : "0"); });
    family("nx4400c_transfer_failures_total", "counter", "Transfers with the receiver that failed, as the transfer log holds them.",
           [](const TransferSummary &s) { return QByteArray::number(s.failures); });
    return out;
}

bool RenameInTransferLog(const QString &fileName, const QString &oldName, const QString &newName, int *rows,
                         QString *why, int lockTimeoutMs)
{
    *rows = 0;
    if (!QFileInfo::exists(fileName))
        return true;
    LockedLogFile file;
    QString reason;
    QByteArray data;
    if (!file.open(fileName, /*create*/ false, lockTimeoutMs, &reason) || !file.readAll(&data, &reason))
        return fail(why, fileName, reason);
    if (data.isEmpty())
        return true;
    if (!hasHeader(data))
        return fail(why, fileName, QStringLiteral("is not a transfer log; nothing was changed"));
    QByteArray out;
    out.reserve(data.size() + 64);
    qsizetype copied = 0;
    forEachRow(data, [&](const QByteArray &line, qsizetype start, qsizetype end) {
        TransferRecord r;
        if (!ParseTransferLogRow(line, &r) || r.receiver != oldName)
            return;
        r.receiver = newName;
        out += data.mid(copied, start - copied) + TransferLogRow(r);
        copied = end;
        ++*rows;
    });
    if (*rows == 0)
        return true;
    out += data.mid(copied);
    if (!file.replace(out, &reason))
        return fail(why, fileName, reason + QStringLiteral("; nothing was changed"));
    return true;
}
