// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/SameHeader.h"

#include <cstdlib>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
// Sender identifications are call signs and office names: letters, digits,
// the slash of "KXYZ/FM" and blanks. Never the dash that ends the field.
bool isSenderChar(char c) { return isUpper(c) || isDigit(c) || c == '/' || c == ' '; }

// A cursor over the bytes that tells apart "ran out" from "does not fit".
struct Reader {
    const QByteArray &b;
    int at = 0;
    bool ranOut = false;

    bool literal(const char *s)
    {
        for (; *s; ++s) {
            if (at >= b.size()) {
                ranOut = true;
                return false;
            }
            if (b.at(at) != *s)
                return false;
            ++at;
        }
        return true;
    }
    template <typename Pred>
    bool run(int n, Pred pred, QByteArray *into = nullptr)
    {
        for (int i = 0; i < n; ++i) {
            if (at >= b.size()) {
                ranOut = true;
                return false;
            }
            if (!pred(b.at(at)))
                return false;
            if (into)
                into->append(b.at(at));
            ++at;
        }
        return true;
    }
    bool peek(char *c)
    {
        if (at >= b.size()) {
            ranOut = true;
            return false;
        }
        *c = b.at(at);
        return true;
    }
    int number(int from, int n) const { return b.mid(from, n).toInt(); }
};

} // namespace

QString SameHeader::purgeText() const
{
    return QStringLiteral("%1:%2").arg(purgeMinutes / 60, 2, 10, QLatin1Char('0')).arg(purgeMinutes % 60, 2, 10, QLatin1Char('0'));
}

QDateTime SameHeader::issueTime(const QDateTime &heard) const
{
    if (!note.isEmpty() || !heard.isValid())
        return QDateTime();
    const QDateTime at = heard.toUTC();
    QDateTime best;
    for (int year = at.date().year() - 1; year <= at.date().year() + 1; ++year) {
        const QDate d = QDate(year, 1, 1).addDays(issueDay - 1);
        if (d.year() != year)
            continue;   // day 366 of a year that is not a leap year
        const QDateTime t(d, QTime(issueHour, issueMinute), Qt::UTC);
        if (!best.isValid() || std::llabs(t.secsTo(at)) < std::llabs(best.secsTo(at)))
            best = t;
    }
    return best;
}

QDateTime SameHeader::endTime(const QDateTime &heard) const
{
    const QDateTime t = issueTime(heard);
    return t.isValid() ? t.addSecs(qint64(purgeMinutes) * 60) : QDateTime();
}

SameParse parseSameHeader(const QByteArray &bytes, int *length, SameHeader *out)
{
    Reader r{bytes};
    SameHeader h;
    auto fail = [&]() { return r.ranOut ? SameParse::Incomplete : SameParse::Invalid; };

    if (!r.literal("ZCZC-"))
        return fail();
    QByteArray org;
    if (!r.run(3, isUpper, &org))
        return fail();
    if (org != "EAS" && org != "CIV" && org != "WXR" && org != "PEP")
        return SameParse::Invalid;
    QByteArray event;
    if (!r.literal("-") || !r.run(3, isUpper, &event) || !r.literal("-"))
        return fail();

    for (;;) {
        QByteArray loc;
        if (!r.run(6, isDigit, &loc))
            return fail();
        h.locations.append(QString::fromLatin1(loc));
        char c = 0;
        if (!r.peek(&c))
            return fail();
        ++r.at;
        if (c == '+')
            break;
        if (c != '-' || h.locations.size() >= 31)
            return SameParse::Invalid;
    }

    QByteArray purge;
    if (!r.run(4, isDigit, &purge) || !r.literal("-"))
        return fail();
    const int purgeHours = purge.left(2).toInt();
    const int purgeMinutes = purge.mid(2).toInt();
    if (purgeMinutes % 15 != 0 || purgeMinutes > 45)
        return SameParse::Invalid;
    h.purgeMinutes = purgeHours * 60 + purgeMinutes;

    QByteArray day;
    if (!r.run(3, isDigit, &day))
        return fail();
    h.issueDay = day.toInt();
    QStringList outOfRange;
    if (h.issueDay < 1 || h.issueDay > 366)
        outOfRange << QStringLiteral("issue day %1 is not 001 to 366").arg(QString::fromLatin1(day));
    char c = 0;
    if (!r.peek(&c))
        return fail();
    const bool testPacketForm = c == '-';
    if (testPacketForm)
        ++r.at;
    QByteArray hhmm;
    if (!r.run(4, isDigit, &hhmm))
        return fail();
    h.issueHour = hhmm.left(2).toInt();
    h.issueMinute = hhmm.mid(2).toInt();
    if (h.issueHour > 23)
        outOfRange << QStringLiteral("issue hour %1 is not 00 to 23").arg(QString::fromLatin1(hhmm.left(2)));
    if (h.issueMinute > 59)
        outOfRange << QStringLiteral("issue minute %1 is not 00 to 59").arg(QString::fromLatin1(hhmm.mid(2)));
    h.note = outOfRange.join(QStringLiteral("; "));
    if (!testPacketForm) {
        QByteArray sender;
        if (!r.literal("-") || !r.run(8, isSenderChar, &sender) || !r.literal("-"))
            return fail();
        h.sender = QString::fromLatin1(sender);
    }

    h.text = bytes.left(r.at);
    h.originator = QString::fromLatin1(org);
    h.event = QString::fromLatin1(event);
    if (length)
        *length = r.at;
    if (out)
        *out = h;
    return SameParse::Complete;
}
