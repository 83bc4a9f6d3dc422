// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/HistoryReport.h"
#include "base/SafeWrite.h"

#include "history/core/HistoryDecoder.h"

#include <QFileInfo>
#include <QLocale>

namespace {
const QLatin1String CrLf("\r\n");
const QLatin1Char Tab('\t');
} // namespace

QString FormatHistoryLine(const HistoryRowTable &rows, int row)
{
    const int number = row + 1;
    QString line = number < 10 ? QStringLiteral(" ") : QString();
    line += QString::number(number) + QLatin1String(":   ");
    if (row < 0 || row >= int(rows.size()))
        return line + QString(3, Tab);
    const HistoryRecord &r = rows[size_t(row)];
    return line + r.Date + Tab + r.Time + Tab + r.Length + Tab + r.Event;
}

QByteArray HistoryFileText(const HistoryRowTable &rows, const QDate &today)
{
    QString text;
    text += CrLf;
    text += QLatin1String("NX-4400C Weather Receiver with SAME") + CrLf;
    text += QLatin1String("File Save Date: ") + QLocale().toString(today, QLocale::ShortFormat) + CrLf;
    text += CrLf;
    text += CrLf;
    text += QLatin1String("Num   Date\tTime\tLength\tEvent") + CrLf;
    text += CrLf;
    for (int r = 0; r < History::SlotCount; ++r)
        text += FormatHistoryLine(rows, r) + CrLf;
    return text.toUtf8();
}

bool CheckTxtExtension(const QString &fileName)
{
    // The extension must be exactly ".TXT"; "x.txt" does not pass, nor does
    // a name that is nothing but the extension.
    return fileName.endsWith(QLatin1String(".TXT"), Qt::CaseSensitive)
        && QFileInfo(fileName).fileName().size() > 4;
}

bool SaveHistoryFile(const HistoryRowTable &rows, const QDate &today, const QString &fileName,
                     QString *error)
{
    return writeFileAtomically(fileName, HistoryFileText(rows, today), error);
}

ReportLine ReportHeadingLine()
{
    ReportLine l;
    l.text = QStringLiteral("\tNum\tEvent Date\tTime\tLength\tORG\tEvent Code Received");
    l.bold = true;
    return l;
}

QList<ReportLine> HistoryReportLines(const HistorySource &in)
{
    QList<ReportLine> lines;
    auto blank = [&lines](int n) {
        for (int i = 0; i < n; ++i)
            lines.append(ReportLine{});
    };
    blank(5);
    lines.append(ReportLine{QStringLiteral("\t\t") + ReportTitle});
    blank(2);
    lines.append(ReportLine{QStringLiteral("\tPrint date: ")
                            + QLocale().toString(in.today, QLocale::LongFormat)});
    blank(2);
    lines.append(ReportHeadingLine());
    blank(2);
    const QLocale locale;
    for (int k = 0; k < History::SlotCount; ++k) {
        const HistorySlot slot = DecodeHistorySlot(in, k);
        ReportLine l;
        l.dataRow = true;
        l.text = Tab + QString::number(k + 1) + Tab;
        // Only a readable day gives a full line; an empty slot, "000" or a
        // corrupted day prints as a blank line with its number.
        if (!slot.empty && slot.dayValid) {
            l.text += locale.toString(slot.date, QStringLiteral("d-MMM")) + Tab + Tab + slot.printTime
                + Tab + slot.row.Length + Tab + slot.rawOrg + Tab + slot.row.Event;
        } else {
            l.text += QLatin1Char(' ');
        }
        lines.append(l);
    }
    return lines;
}

QString HistoryReportText(const HistorySource &in)
{
    QStringList out;
    for (const ReportLine &l : HistoryReportLines(in))
        out << l.text;
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
