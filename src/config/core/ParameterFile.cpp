// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ParameterFile.h"

#include "base/Messages.h"
#include "base/PathCheck.h"
#include "base/SafeWrite.h"
#include "base/Services.h"
#include "config/core/ReceiverSetup.h"

#include <QStringDecoder>

namespace ParameterFile {

namespace {

void ensureSize(QStringList &list, int size)
{
    while (list.size() < size)
        list.append(QString());
}

QString decode(QByteArray data)
{
    // A byte-order mark left by a text editor is not part of the header.
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    // Files written by older editors are in the Windows code page; Latin-1
    // reads their printable characters the same and never fails.
    return QString::fromLatin1(data);
}

// An entry must stay on its own line, or every later line of the file
// would move down by one.
QString oneLine(QString entry)
{
    entry.replace(QLatin1Char('\r'), QLatin1Char(' '));
    entry.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return entry;
}

} // namespace

QString itemOfLine(const QString &line)
{
    qsizetype start = 0;
    while (start < line.size() && line.at(start) == QLatin1Char(' '))
        ++start;
    if (start < line.size() && line.at(start) == QLatin1Char('"')) {
        const qsizetype close = line.indexOf(QLatin1Char('"'), start + 1);
        if (close < 0)
            return line.mid(start + 1);
        return line.mid(start + 1, close - start - 1);
    }
    // One item per line: a comma is part of the entry (a county name may
    // hold one), never the start of a new item.
    return line.mid(start);
}

QStringList itemsOf(const QByteArray &data)
{
    const QString text = decode(data);
    QStringList items;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        items << itemOfLine(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    // The last line may lack its line end; a file that ends with one has no
    // further (empty) line.
    if (start < n)
        items << itemOfLine(text.mid(start));
    return items;
}

bool applyItems(const QStringList &items, QStringList &fipEntries, QStringList &eventSelection)
{
    ensureSize(fipEntries, StoredFipEntries);
    ensureSize(eventSelection, StoredEventSlots);
    qsizetype at = 0;
    auto next = [&](QString &out) {
        if (at >= items.size())
            return false;
        out = items.at(at++);
        return true;
    };
    QString item;
    if (!next(item) || item != Header)
        return false;
    if (!next(item) || item != FipSection)
        return false;
    for (int i = 0; i < StoredFipEntries; ++i) {
        if (!next(fipEntries[i]))
            return false;
    }
    if (!next(item) || item != EventSection)
        return false;
    for (int i = 0; i < StoredEventSlots; ++i) {
        if (!next(eventSelection[i]))
            return false;
    }
    // Whatever follows is ignored.
    return true;
}

QByteArray format(const QStringList &fipEntries, const QStringList &eventSelection)
{
    QString text;
    text.reserve(8192);
    auto line = [&text](const QString &s) {
        text += s;
        text += QLatin1String("\r\n");
    };
    line(Header);
    line(FipSection);
    for (int i = 0; i < StoredFipEntries; ++i)
        line(i < fipEntries.size() ? oneLine(fipEntries.at(i)) : QString());
    line(EventSection);
    // Only the first 24 slots are kept between runs.
    for (int i = 0; i < StoredEventSlots; ++i)
        line(i < eventSelection.size() ? oneLine(eventSelection.at(i)) : QString());
    return text.toUtf8();
}

} // namespace ParameterFile

bool LoadParameterFile(Services &services, ReceiverSetup &setup)
{
    const QString &path = services.parameterFilePath;
    bool complete = false;
    // Only a regular file is read: a folder, a pipe or a device of that name
    // counts as a missing file (a pipe would block the start-up), and so
    // does one far too large to be ours. Why it was not read goes to the
    // status panel.
    QByteArray data;
    QString why;
    if (ReadFileBounded(path, ParameterFile::MaxReadBytes, &data, &why))
        complete = ParameterFile::applyItems(ParameterFile::itemsOf(data), setup.FipEntries, setup.EventSelection);
    else if (ClassifyPath(path).kind != PathKind::Missing)
        services.view().setStatusText(QStringLiteral("Left"), why);
    if (complete)
        return true;

    const auto answer = services.prompter().ask(
        Messages::Title,
        QStringLiteral("Error #199:  Missing or Corrupted NX-4400C Data File.\r\nCreate Default Data File?"),
        Prompter::Icon::Exclamation, Prompter::Buttons::YesNo);
    if (answer != Prompter::Button::Yes)
        return false;
    LoadDefaultCoverage(setup);
    return true;
}

void SaveParameterFile(Services &services, const ReceiverSetup &setup)
{
    const QByteArray data = ParameterFile::format(setup.FipEntries, setup.EventSelection);
    // The new file is written beside the old one and replaces it only once
    // it is complete, so a full disk or a crash never costs the user the
    // coverage saved last time.
    QString why;
    if (!writeFileAtomically(services.parameterFilePath, data, &why, LinkAtName::Follow)) {
        services.view().setStatusText(QStringLiteral("Left"), why);
        Messages::ShowFatalError(services.prompter(), services.endProgram, 8);
    }
}

void LoadDefaultCoverage(ReceiverSetup &setup)
{
    static const char *const counties[] = {
        "X 012011  Broward                Florida",
        "X 012085  Martin                 Florida",
        "X 012099  Palm Beach             Florida",
        "X 012111  St. Lucie              Florida",
    };
    static const char *const events[] = {"CFA", "CFW", "FFA", "FFW", "FLA", "FLW",
                                         "HUA", "HUW", "SVA", "SVW", "TOA", "TOW",
                                         "RMT", "RWT", "DMO", "SVR", "TOR"};
    ParameterFile::ensureSize(setup.FipEntries, ReceiverSetup::FipEntryCount);
    ParameterFile::ensureSize(setup.EventSelection, ReceiverSetup::EventSlotCount);
    int i = 0;
    for (const char *c : counties)
        setup.FipEntries[i++] = QString::fromLatin1(c);
    i = 0;
    for (const char *e : events)
        setup.EventSelection[i++] = QString::fromLatin1(e);
}
