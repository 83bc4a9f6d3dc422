// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliCommand.h"

#include <algorithm>

namespace {

// Function-local statics: registration runs during static initialisation of
// the other source files, whose order is not defined.
QList<CliCommand> &registry()
{
    static QList<CliCommand> all;
    return all;
}
QList<CliTopic> &fileTopics()
{
    static QList<CliTopic> all;
    return all;
}
QList<CliTopic> &environmentTopics()
{
    static QList<CliTopic> all;
    return all;
}

bool isOption(const CliOption &o)
{
    return o.name.startsWith(QLatin1Char('-'));
}

} // namespace

namespace Cli {

bool add(CliCommand command)
{
    registry().append(std::move(command));
    return true;
}

bool addFile(CliTopic file)
{
    fileTopics().append(std::move(file));
    return true;
}

bool addEnvironment(CliTopic variable)
{
    environmentTopics().append(std::move(variable));
    return true;
}

QList<CliTopic> exitStatusRule()
{
    return {
        {QStringLiteral("0"), QStringLiteral("The command did what it was asked.")},
        {QStringLiteral("1"), QStringLiteral("It could not: a receiver did not answer, a file is missing, unreadable or "
                                             "could not be written, the audit found a gap.")},
        {QStringLiteral("2"), QStringLiteral("An argument was refused, and nothing was done: an unknown command or "
                                             "option, a missing argument, or a value the command does not take (a "
                                             "port that does not exist, a device name that could not be a device, a "
                                             "setting's value its window would not offer).")},
    };
}

QList<CliCommand> commands()
{
    QList<CliCommand> all = registry();
    std::stable_sort(all.begin(), all.end(), [](const CliCommand &a, const CliCommand &b) {
        return a.order != b.order ? a.order < b.order : a.name < b.name;
    });
    return all;
}

QList<CliTopic> files()
{
    return fileTopics();
}

QList<CliTopic> environment()
{
    return environmentTopics();
}

const CliCommand *find(const QStringList &args, int *consumed)
{
    const CliCommand *best = nullptr;
    int bestWords = 0;
    for (const CliCommand &c : registry()) {
        const QStringList words = c.name.split(QLatin1Char(' '));
        if (words.size() > args.size() || words.size() <= bestWords)
            continue;
        if (std::equal(words.begin(), words.end(), args.begin())) {
            best = &c;
            bestWords = int(words.size());
        }
    }
    if (consumed)
        *consumed = bestWords;
    return best;
}

QString usageOf(const CliCommand &c)
{
    QString s = QStringLiteral("usage: nx4400c-cli %1%2%3\n")
                    .arg(c.name, c.synopsis.isEmpty() ? QString() : QStringLiteral(" "), c.synopsis);
    if (!c.summary.isEmpty())
        s += QLatin1Char('\n') + c.summary + QLatin1Char('\n');
    if (!c.description.isEmpty())
        s += QLatin1Char('\n') + c.description + QLatin1Char('\n');
    if (!c.options.isEmpty()) {
        s += QStringLiteral("\nOptions and arguments:\n");
        for (const CliOption &o : c.options) {
            QString head = o.name;
            if (!o.value.isEmpty())
                head += QLatin1Char(' ') + o.value;
            if (o.repeatable)
                head += QStringLiteral(" (repeatable)");
            s += QStringLiteral("  %1\n      %2\n").arg(head, o.help);
        }
        s += QStringLiteral("  --help\n      Prints this text and exits 0.\n");
    }
    if (!c.exitStatus.isEmpty()) {
        s += QStringLiteral("\nExit status:\n");
        for (const QString &e : c.exitStatus)
            s += QStringLiteral("  ") + QString(e).replace(QLatin1Char('\t'), QLatin1String("  ")) + QLatin1Char('\n');
    }
    if (!c.examples.isEmpty()) {
        s += QStringLiteral("\nExamples:\n");
        for (const QString &e : c.examples)
            s += QStringLiteral("  ") + e + QLatin1Char('\n');
    }
    return s;
}

QString usage()
{
    QString s;
    bool first = true;
    for (const CliCommand &c : commands()) {
        s += QStringLiteral("%1 nx4400c-cli %2%3%4\n")
                 .arg(first ? QStringLiteral("usage:") : QStringLiteral("      "), c.name,
                      c.synopsis.isEmpty() ? QString() : QStringLiteral(" "), c.synopsis);
        first = false;
    }
    s += QStringLiteral("       nx4400c-cli COMMAND --help | --help | --version\n");
    return s;
}

QString checkOptions(const CliCommand &c, const QStringList &args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-"))
            continue;
        // A negative number is a value ("config set TimeZoneOffset -7").
        if (a.size() > 1 && a.at(1).isDigit())
            continue;
        const QString name = a.section(QLatin1Char('='), 0, 0);
        const auto it = std::find_if(c.options.begin(), c.options.end(),
                                     [&](const CliOption &o) { return isOption(o) && o.name == name; });
        if (it == c.options.end())
            return QStringLiteral("unknown option \"%1\"").arg(a);
        if (it->value.isEmpty()) {
            if (name != a)
                return QStringLiteral("%1 takes no value").arg(name);
        } else if (name == a && it->value.startsWith(QLatin1Char('['))) {
            // A value in brackets ("[INDEX]") may be left out: the next
            // argument is it only when it is no option.
            if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-')))
                ++i;
        } else if (name == a) {
            if (i + 1 >= args.size())
                return QStringLiteral("%1 needs %2").arg(name, it->value);
            ++i;   // the value may itself look like an option
        }
    }
    return QString();
}

} // namespace Cli
