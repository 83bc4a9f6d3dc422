// SPDX-License-Identifier: GPL-3.0-or-later
// The manual's command reference page, written from the command table at
// build time (help/CMakeLists.txt runs `nx4400c-cli --reference-html`), so
// the page lists exactly the commands and options the program has.
#include "app/cli/CliManual.h"

#include "app/cli/CliCommand.h"

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString mono(const QString &text)
{
    return QStringLiteral("<span class=\"mono\">") + esc(text) + QStringLiteral("</span>");
}

// "log show" -> "log-show": the anchor other pages link to.
QString anchorOf(const CliCommand &c)
{
    return QStringLiteral("cmd-") + QString(c.name).replace(QLatin1Char(' '), QLatin1Char('-'));
}

QString usageLine(const CliCommand &c)
{
    return (QStringLiteral("nx4400c-cli ") + c.name + QLatin1Char(' ') + c.synopsis).trimmed();
}

QString paragraphsHtml(const QString &text)
{
    QString out;
    for (const QString &p : Cli::paragraphs(text))
        out += QStringLiteral("<p>") + esc(p) + QStringLiteral("</p>\n");
    return out;
}

// A table of "code<TAB>meaning" or topic lines.
QString twoColumns(const QString &left, const QString &right, const QList<QPair<QString, QString>> &rows, bool monoLeft)
{
    QString out = QStringLiteral("<table>\n<tr><th>%1</th><th>%2</th></tr>\n").arg(esc(left), esc(right));
    for (const auto &row : rows)
        out += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n").arg(monoLeft ? mono(row.first) : esc(row.first), esc(row.second));
    return out + QStringLiteral("</table>\n");
}

QString commandSection(const CliCommand &c)
{
    QString out = QStringLiteral("<h3 id=\"%1\">%2</h3>\n").arg(anchorOf(c), esc(c.name));
    out += QStringLiteral("<pre class=\"synopsis\">%1</pre>\n").arg(esc(usageLine(c)));
    out += QStringLiteral("<p>") + esc(c.summary) + QStringLiteral("</p>\n");
    out += paragraphsHtml(c.description);
    if (!c.options.isEmpty()) {
        out += QStringLiteral("<dl>\n");
        for (const CliOption &o : c.options) {
            QString term = mono(o.name);
            if (!o.value.isEmpty())
                term += QStringLiteral(" <i>") + esc(o.value) + QStringLiteral("</i>");
            QString help = o.help;
            if (o.repeatable)
                help += QStringLiteral(" May be given more than once.");
            out += QStringLiteral("<dt>%1</dt><dd>%2</dd>\n").arg(term, esc(help.simplified()));
        }
        out += QStringLiteral("</dl>\n");
    }
    if (!c.exitStatus.isEmpty()) {
        QList<QPair<QString, QString>> rows;
        for (const QString &e : c.exitStatus)
            rows.append({e.section(QLatin1Char('\t'), 0, 0), e.section(QLatin1Char('\t'), 1)});
        out += twoColumns(QStringLiteral("Exit status"), QStringLiteral("Meaning"), rows, false);
    }
    if (!c.examples.isEmpty()) {
        QStringList lines;
        for (const QString &e : c.examples)
            lines << esc(e);
        out += QStringLiteral("<pre class=\"commands\">%1</pre>\n").arg(lines.join(QLatin1Char('\n')));
    }
    return out;
}

QList<QPair<QString, QString>> pairsOf(const QList<CliTopic> &topics)
{
    QList<QPair<QString, QString>> rows;
    for (const CliTopic &t : topics)
        rows.append({t.name, t.help.simplified()});
    return rows;
}

} // namespace

namespace Cli {

QString referencePage(const QString &version)
{
    const QList<CliCommand> all = commands();
    QString out = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>The command line: nx4400c-cli</title>\n"
        "<link rel=\"stylesheet\" href=\"style.css\"></head><body>\n"
        "<!-- Made by nx4400c-cli --reference-html from the program's command table. -->\n"
        "<h1>The command line: nx4400c-cli</h1>\n");
    out += QStringLiteral(
               "<p>%1 does what the editor does, without windows: for scripts, timers and computers without a "
               "desktop. It shares the editor's settings store, parameter file and alert log, so a setup made in the "
               "editor is the one the command sends. %2 lists the commands, %3 prints one command's usage; this page "
               "is made from the same table (version %4). <a href=\"getting-started.html#command-line\">Getting "
               "started</a> shows a first session.</p>\n")
               .arg(mono(QStringLiteral("nx4400c-cli")), mono(QStringLiteral("nx4400c-cli --help")),
                    mono(QStringLiteral("nx4400c-cli COMMAND --help")), esc(version));

    out += QStringLiteral("<h2 id=\"commands\">Commands</h2>\n<table>\n<tr><th>Command</th><th>What it does</th></tr>\n");
    for (const CliCommand &c : all) {
        out += QStringLiteral("<tr><td><a href=\"#%1\">%2</a></td><td>%3</td></tr>\n")
                   .arg(anchorOf(c), mono(c.name), esc(c.summary));
    }
    out += QStringLiteral("</table>\n");
    for (const CliCommand &c : all)
        out += commandSection(c);

    out += QStringLiteral("<h2 id=\"exit-status\">Exit status</h2>\n<p>Every command follows one rule; each command's "
                          "own meanings are listed with it.</p>\n");
    out += twoColumns(QStringLiteral("Exit status"), QStringLiteral("Meaning"), pairsOf(exitStatusRule()), false);
    out += QStringLiteral(
               "<p>Messages and the transfer's status texts go to standard error, results to standard output. "
               "%1 prints the command's whole usage and exits 0.</p>\n")
               .arg(mono(QStringLiteral("nx4400c-cli COMMAND --help")));

    out += QStringLiteral(
               "<h2 id=\"unattended\">Nobody at the keyboard</h2>\n"
               "<p>Where the editor would ask a question, %1 writes the question to standard error and takes the most "
               "cautious answer (No, Cancel), so it never creates or overwrites a file on its own. The files you name "
               "on the command line are written as asked and replaced in one step, so a failure leaves the old one "
               "whole; only %2 keeps an existing %3 unless told %4. Run it hourly with the "
               "<a href=\"alert-log.html#timer\">example systemd units</a>.</p>\n")
               .arg(mono(QStringLiteral("nx4400c-cli")), mono(QStringLiteral("init")), mono(QStringLiteral("NX_4400C.DAT")),
                    mono(QStringLiteral("--force")));

    if (!files().isEmpty()) {
        out += QStringLiteral("<h2 id=\"files\">Files</h2>\n");
        out += twoColumns(QStringLiteral("File"), QStringLiteral("What it is"), pairsOf(files()), true);
    }
    if (!environment().isEmpty()) {
        out += QStringLiteral("<h2 id=\"environment\">Environment</h2>\n");
        out += twoColumns(QStringLiteral("Variable"), QStringLiteral("What it does"), pairsOf(environment()), true);
    }
    return out + QStringLiteral("</body></html>\n");
}

} // namespace Cli
