// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliManual.h"

#include "app/cli/CliCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

namespace {

bool isOption(const CliOption &o)
{
    return o.name.startsWith(QLatin1Char('-'));
}

// Lines of roff: every text line is escaped; requests are added as they are.
class Roff
{
public:
    void request(const QString &r) { m_text += r + QLatin1Char('\n'); }
    void text(const QString &t, bool code = false)
    {
        for (const QString &line : t.split(QLatin1Char('\n')))
            m_text += Cli::roffEscape(line.trimmed(), code) + QLatin1Char('\n');
    }
    void paragraphs(const QString &t)
    {
        for (const QString &p : Cli::paragraphs(t)) {
            request(QStringLiteral(".PP"));
            text(p);
        }
    }
    // A tagged paragraph: the tag in bold (code), an optional value in
    // italics, then the text.
    void tagged(const QString &tag, const QString &value, const QString &body)
    {
        request(QStringLiteral(".TP"));
        QString head = QStringLiteral("\\fB") + Cli::roffEscape(tag, true) + QStringLiteral("\\fR");
        if (!value.isEmpty())
            head += QStringLiteral(" \\fI") + Cli::roffEscape(value, true) + QStringLiteral("\\fR");
        m_text += head + QLatin1Char('\n');
        text(body.simplified());
    }
    QString result() const { return m_text; }

private:
    QString m_text;
};

// What a command's arguments complete to, for the three shells.
struct Completable {
    QString name;
    QStringList options;                 // every option name, --help included
    QList<QPair<QString, QString>> valued;  // option -> completion kind
    QStringList positional;              // completion kinds, in order
    QMap<QString, QString> help;         // option -> one line
};

QString kindOf(const CliOption &o)
{
    QString k = o.completion.trimmed();
    if (k.isEmpty())
        k = (o.value.isEmpty() && isOption(o)) ? QString() : QStringLiteral("file");
    // A kind is one word or choices joined by "|"; nothing a shell could
    // read as syntax.
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_.+/-]+(\\|[A-Za-z0-9_.+/-]+)*$"));
    return safe.match(k).hasMatch() ? k : QStringLiteral("none");
}

QList<Completable> completables()
{
    QList<Completable> all;
    for (const CliCommand &c : Cli::commands()) {
        Completable x;
        x.name = c.name;
        for (const CliOption &o : c.options) {
            if (isOption(o)) {
                x.options << o.name;
                x.help.insert(o.name, o.help.section(QLatin1Char('.'), 0, 0).simplified());
                if (!o.value.isEmpty())
                    x.valued.append({o.name, kindOf(o)});
            } else {
                // A repeatable argument completes as often as the receiver
                // takes values (48 event codes at most).
                for (int i = 0; i < (o.repeatable ? 48 : 1); ++i)
                    x.positional << kindOf(o);
            }
        }
        x.options << QStringLiteral("--help");
        x.help.insert(QStringLiteral("--help"), QStringLiteral("Prints the command's usage"));
        all << x;
    }
    // Longest names first: "ports set" must win over "ports".
    std::stable_sort(all.begin(), all.end(), [](const Completable &a, const Completable &b) {
        return a.name.count(QLatin1Char(' ')) > b.name.count(QLatin1Char(' '));
    });
    return all;
}

// Words that may follow the words typed so far ("" -> first words,
// "log" -> "show audit", "ports" -> "set").
QMap<QString, QStringList> nextWords()
{
    QMap<QString, QStringList> next;
    for (const CliCommand &c : Cli::commands()) {
        const QStringList words = c.name.split(QLatin1Char(' '));
        for (qsizetype j = 0; j < words.size(); ++j) {
            const QString prefix = QStringList(words.mid(0, j)).join(QLatin1Char(' '));
            if (!next[prefix].contains(words.at(j)))
                next[prefix] << words.at(j);
        }
    }
    return next;
}

QString shellQuote(const QString &s)
{
    return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

// One `case` over the typed words that finds the command: the same shape in
// bash and zsh. Sets cmd and n (its number of words).
QString matchCase(const QList<Completable> &all, const QString &indent, bool zsh)
{
    QString s = indent + QStringLiteral("case \" $typed \" in\n");
    for (const Completable &c : all) {
        s += indent + (zsh ? QStringLiteral("  (") : QStringLiteral("  ")) + shellQuote(QLatin1Char(' ') + c.name + QLatin1Char(' '))
             + QStringLiteral("*) cmd=%1; n=%2 ;;\n").arg(shellQuote(c.name)).arg(c.name.count(QLatin1Char(' ')) + 1);
    }
    s += indent + QStringLiteral("esac\n");
    return s;
}

// The per-command facts as shell variables: options, valued ("--opt kind"
// pairs, space-separated), positional kinds, following words.
QString dataCase(const QList<Completable> &all, const QString &indent, bool zsh)
{
    const QMap<QString, QStringList> next = nextWords();
    QString s = indent + QStringLiteral("case $cmd in\n");
    auto branch = [&](const QString &name, const QString &options, const QString &valued, const QString &positional) {
        s += indent + (zsh ? QStringLiteral("  (") : QStringLiteral("  ")) + shellQuote(name) + QStringLiteral(")\n");
        s += indent + QStringLiteral("    options=%1\n").arg(shellQuote(options));
        s += indent + QStringLiteral("    valued=%1\n").arg(shellQuote(valued));
        s += indent + QStringLiteral("    positional=%1\n").arg(shellQuote(positional));
        s += indent + QStringLiteral("    following=%1\n").arg(shellQuote(next.value(name).join(QLatin1Char(' '))));
        s += indent + QStringLiteral("    ;;\n");
    };
    for (const Completable &c : all) {
        QStringList valued;
        for (const auto &v : c.valued)
            valued << v.first << v.second;
        branch(c.name, c.options.join(QLatin1Char(' ')), valued.join(QLatin1Char(' ')), c.positional.join(QLatin1Char(' ')));
    }
    branch(QString(), QStringLiteral("--help --version"), QString(), QString());
    s += indent + QStringLiteral("esac\n");
    return s;
}

// The group words typed so far ("log") and what may follow them.
QString groupCase(const QString &indent, bool zsh)
{
    const QMap<QString, QStringList> next = nextWords();
    QString s = indent + QStringLiteral("case $typed in\n");
    for (auto it = next.begin(); it != next.end(); ++it) {
        s += indent + (zsh ? QStringLiteral("  (") : QStringLiteral("  ")) + shellQuote(it.key())
             + QStringLiteral(") following=%1 ;;\n").arg(shellQuote(it.value().join(QLatin1Char(' '))));
    }
    s += indent + QStringLiteral("esac\n");
    return s;
}

const char kBash[] = R"(# bash completion for nx4400c-cli                           -*- shell-script -*-
# Made by `nx4400c-cli --completion bash` from the program's command table.

_nx4400c_cli_values()
{
    local kind=$1 cur=$2
    case $kind in
        port) COMPREPLY=($(compgen -W '1 2 3 4' -- "$cur")) ;;
        device|device-or-auto)
            local devices=() d
            for d in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyS*; do
                [ -e "$d" ] && devices+=("$d")
            done
            [ "$kind" = device-or-auto ] && devices+=(auto)
            COMPREPLY=($(compgen -W "${devices[*]}" -- "$cur"))
            ;;
        profile)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -X '!*.nxprofile' -- "$cur") $(compgen -d -- "$cur"))
            ;;
        state|callsign|county|event)
            # From the coverage listing in use and the event catalogue; state
            # names hold blanks, so the words are split at line ends only.
            local IFS=$'\n' choices
            choices=$(nx4400c-cli setup choices "$kind" 2>/dev/null)
            COMPREPLY=($(compgen -W "$choices" -- "$cur"))
            ;;
        file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")) ;;
        dir) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")) ;;
        none) COMPREPLY=() ;;
        *) COMPREPLY=($(compgen -W "${kind//|/ }" -- "$cur")) ;;
    esac
}

_nx4400c_cli()
{
    local cur prev words cword
    if declare -F _get_comp_words_by_ref >/dev/null; then
        _get_comp_words_by_ref -n =: cur prev words cword
    else
        words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD
        cur=${words[cword]}; prev=${words[cword-1]}
    fi
    local typed="${words[*]:1:cword-1}"
    local cmd='' n=0 options valued positional following
@MATCH@@DATA@
    if [ -z "$cmd" ]; then
        following=''
@GROUP@        if [ -z "$typed" ]; then
            COMPREPLY=($(compgen -W "$following $options" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$following" -- "$cur"))
        fi
        return
    fi
    # The value of an option.
    local v=($valued) i
    for ((i = 0; i < ${#v[@]}; i += 2)); do
        if [ "$prev" = "${v[i]}" ]; then
            _nx4400c_cli_values "${v[i+1]}" "$cur"
            return
        fi
    done
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # Which positional argument this is: words after the command that are
    # neither options nor their values.
    local count=0 skip=0 w
    for ((i = n + 1; i < cword; i++)); do
        w=${words[i]}
        if [ $skip = 1 ]; then skip=0; continue; fi
        if [[ $w == -* ]]; then
            [[ " $valued " == *" $w "* ]] && skip=1
            continue
        fi
        count=$((count + 1))
    done
    local kinds=($positional)
    COMPREPLY=()
    [ $count -eq 0 ] && [ -n "$following" ] && COMPREPLY=($(compgen -W "$following" -- "$cur"))
    if [ $count -lt ${#kinds[@]} ]; then
        local more=("${COMPREPLY[@]}")
        _nx4400c_cli_values "${kinds[count]}" "$cur"
        COMPREPLY+=("${more[@]}")
    fi
}
complete -F _nx4400c_cli nx4400c-cli
)";

const char kZsh[] = R"(#compdef nx4400c-cli
# zsh completion for nx4400c-cli.
# Made by `nx4400c-cli --completion zsh` from the program's command table.

_nx4400c_cli_values() {
  local kind=$1
  case $kind in
    (port) compadd -- 1 2 3 4 ;;
    (device|device-or-auto)
      local -a devices
      devices=(/dev/serial/by-id/*(N) /dev/ttyUSB*(N) /dev/ttyS*(N))
      [[ $1 == device-or-auto ]] && devices+=(auto)
      compadd -a devices
      ;;
    (profile) _files -g '*.nxprofile' ;;
    (state|callsign|county|event)
      local -a choices
      choices=("${(@f)$(nx4400c-cli setup choices $kind 2>/dev/null)}")
      compadd -a choices
      ;;
    (file) _files ;;
    (dir) _files -/ ;;
    (none) ;;
    (*) compadd -- ${(s:|:)kind} ;;
  esac
}

_nx4400c_cli() {
  local cur=${words[CURRENT]} prev=${words[CURRENT-1]}
  local typed="${(j: :)words[2,CURRENT-1]}"
  local cmd='' n=0 options valued positional following
@MATCH@@DATA@
  if [[ -z $cmd ]]; then
    following=''
@GROUP@    if [[ -z $typed ]]; then
      compadd -- ${=following} ${=options}
    else
      compadd -- ${=following}
    fi
    return
  fi
  local -a v kinds
  v=(${=valued})
  local i
  for ((i = 1; i < ${#v}; i += 2)); do
    if [[ $prev == $v[i] ]]; then
      _nx4400c_cli_values $v[i+1]
      return
    fi
  done
  if [[ $cur == -* ]]; then
    compadd -- ${=options}
    return
  fi
  local count=0 skip=0 w
  for ((i = n + 2; i < CURRENT; i++)); do
    w=$words[i]
    if (( skip )); then skip=0; continue; fi
    if [[ $w == -* ]]; then
      [[ " $valued " == *" $w "* ]] && skip=1
      continue
    fi
    (( count++ ))
  done
  kinds=(${=positional})
  (( count == 0 )) && [[ -n $following ]] && compadd -- ${=following}
  (( count < ${#kinds} )) && _nx4400c_cli_values $kinds[count+1]
  return 0
}

_nx4400c_cli "$@"
)";

const char kFish[] = R"(# fish completion for nx4400c-cli.
# Made by `nx4400c-cli --completion fish` from the program's command table.

function __nx4400c_cli_values -a kind cur
    switch $kind
        case port
            printf '%s\n' 1 2 3 4
        case device device-or-auto
            for d in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyS*
                test -e $d; and echo $d
            end
            test $kind = device-or-auto; and echo auto
        case profile
            for f in (__fish_complete_path $cur)
                string match -q -r -- '(\\.nxprofile|/)\t' $f; and echo $f
            end
        case state callsign county event
            nx4400c-cli setup choices $kind 2>/dev/null
        case file
            __fish_complete_path $cur
        case dir
            __fish_complete_directories $cur
        case none
        case '*'
            string split '|' -- $kind
    end
end

function __nx4400c_cli_complete
    set -l words (commandline -opc)
    set -l cur (commandline -ct)
    set -e words[1]
    set -l typed (string join ' ' -- $words)
    set -l cmd ''
    set -l n 0
    set -l options
    set -l valued
    set -l positional
    set -l following
    for entry in @COMMANDS@
        set -l parts (string split ';' -- $entry)
        if string match -q -- "$parts[1] *" "$typed "
            set cmd $parts[1]
            set n (count (string split -n ' ' -- $cmd))
            set options (string split -n ' ' -- $parts[2])
            set valued (string split -n ' ' -- $parts[3])
            set positional (string split -n ' ' -- $parts[4])
            set following (string split -n ' ' -- $parts[5])
            break
        end
    end
    if test -z "$cmd"
        switch "$typed"
@GROUP@        end
        if test -z "$typed"
            printf '%s\n' $following --help --version
        else
            printf '%s\n' $following
        end
        return
    end
    set -l prev ''
    test (count $words) -gt 0; and set prev $words[-1]
    for i in (seq 1 2 (count $valued))
        if test "$prev" = "$valued[$i]"
            __nx4400c_cli_values $valued[(math $i + 1)] $cur
            return
        end
    end
    if string match -q -- '-*' $cur
        printf '%s\n' $options
        return
    end
    set -l pos 0
    set -l skip 0
    for i in (seq (math $n + 1) (count $words))
        set -l w $words[$i]
        if test $skip = 1
            set skip 0
            continue
        end
        if string match -q -- '-*' $w
            contains -- $w $valued; and set skip 1
            continue
        end
        set pos (math $pos + 1)
    end
    test $pos = 0; and printf '%s\n' $following
    test $pos -lt (count $positional); and __nx4400c_cli_values $positional[(math $pos + 1)] $cur
end

complete -c nx4400c-cli -f -a '(__nx4400c_cli_complete)'
)";

QString fishGroups(const QString &indent)
{
    const QMap<QString, QStringList> next = nextWords();
    QString s;
    for (auto it = next.begin(); it != next.end(); ++it) {
        s += indent + QStringLiteral("case %1\n").arg(shellQuote(it.key()));
        s += indent + QStringLiteral("    set following %1\n").arg(it.value().join(QLatin1Char(' ')));
    }
    return s;
}

} // namespace

namespace Cli {

QStringList paragraphs(const QString &text)
{
    QStringList out;
    for (const QString &p : text.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        const QString joined = p.simplified();
        if (!joined.isEmpty())
            out << joined;
    }
    return out;
}

QString roffEscape(const QString &text, bool code)
{
    QString s = text;
    s.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    if (code) {
        s.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    } else {
        // An option named in prose ("--from", "-h") is typed with minus
        // signs; hyphens inside words stay hyphens.
        static const QRegularExpression option(QStringLiteral("(^|[\\s(\\[|,\"'])(-+)(?=[A-Za-z0-9])"));
        QString out;
        qsizetype last = 0;
        auto it = option.globalMatch(s);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            out += s.mid(last, m.capturedStart(2) - last);
            out += QString(m.capturedLength(2), QLatin1Char('-')).replace(QLatin1Char('-'), QStringLiteral("\\-"));
            last = m.capturedEnd(2);
        }
        out += s.mid(last);
        s = out;
    }
    // A line that starts with a dot or a quote would be read as a request.
    if (s.startsWith(QLatin1Char('.')) || s.startsWith(QLatin1Char('\'')))
        s.prepend(QStringLiteral("\\&"));
    return s;
}

QStringList commandNames()
{
    QStringList names;
    for (const CliCommand &c : commands())
        names << c.name;
    return names;
}

QByteArray commandsJson()
{
    QJsonArray list;
    for (const CliCommand &c : commands()) {
        QJsonArray options;
        for (const CliOption &o : c.options) {
            options.append(QJsonObject{{QStringLiteral("name"), o.name},
                                       {QStringLiteral("value"), o.value},
                                       {QStringLiteral("help"), o.help},
                                       {QStringLiteral("repeatable"), o.repeatable},
                                       {QStringLiteral("positional"), !isOption(o)},
                                       {QStringLiteral("completion"), kindOf(o)}});
        }
        QJsonArray exits;
        for (const QString &e : c.exitStatus) {
            exits.append(QJsonObject{{QStringLiteral("code"), e.section(QLatin1Char('\t'), 0, 0).toInt()},
                                     {QStringLiteral("meaning"), e.section(QLatin1Char('\t'), 1)}});
        }
        list.append(QJsonObject{{QStringLiteral("name"), c.name},
                                {QStringLiteral("synopsis"), c.synopsis},
                                {QStringLiteral("summary"), c.summary},
                                {QStringLiteral("description"), c.description},
                                {QStringLiteral("options"), options},
                                {QStringLiteral("exitStatus"), exits},
                                {QStringLiteral("examples"), QJsonArray::fromStringList(c.examples)}});
    }
    const QJsonObject root{{QStringLiteral("schema"), QStringLiteral("nx4400c-commands")},
                           {QStringLiteral("version"), 2},
                           {QStringLiteral("commands"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString manualPage(const QString &version, const QString &date)
{
    Roff r;
    r.request(QStringLiteral(".TH NX4400C\\-CLI 1 \"%1\" \"nx4400c %2\" \"User Commands\"")
                  .arg(roffEscape(date, true), roffEscape(version, true)));
    // Command lines and paths read better unhyphenated and ragged right.
    r.request(QStringLiteral(".nh"));
    r.request(QStringLiteral(".ad l"));
    r.request(QStringLiteral(".SH NAME"));
    r.request(QStringLiteral("nx4400c\\-cli \\- program NX\\-4400C weather\\-alert receivers from scripts and remote machines"));

    r.request(QStringLiteral(".SH SYNOPSIS"));
    for (const CliCommand &c : commands()) {
        r.request(QStringLiteral("\\fBnx4400c\\-cli %1\\fR %2").arg(roffEscape(c.name, true), roffEscape(c.synopsis, true)).trimmed());
        r.request(QStringLiteral(".br"));
    }
    r.request(QStringLiteral("\\fBnx4400c\\-cli\\fR \\fICOMMAND\\fR \\-\\-help"));
    r.request(QStringLiteral(".br"));
    r.request(QStringLiteral("\\fBnx4400c\\-cli\\fR \\-\\-help | \\-\\-version"));

    r.request(QStringLiteral(".SH DESCRIPTION"));
    r.paragraphs(QStringLiteral(
        "nx4400c-cli is the NX-4400C editor's companion for scripts, systemd units and machines without a "
        "display. It programs one receiver or many over serial lines or device servers with the setup that the "
        "editor keeps, reads back their alert history into the alert log, audits that log for the required "
        "weekly and monthly tests, keeps receiver profiles, and writes or plays the SAME test packets.\n\n"
        "It shares the editor's settings store, parameter file and alert log, so a setup made in the editor is "
        "the one the command sends. Every command prints its own usage with --help."));

    r.request(QStringLiteral(".SH COMMANDS"));
    for (const CliCommand &c : commands()) {
        r.request(QStringLiteral(".SS \"%1\"").arg(roffEscape(c.name, true)));
        r.request(QStringLiteral("\\fBnx4400c\\-cli %1\\fR %2").arg(roffEscape(c.name, true), roffEscape(c.synopsis, true)).trimmed());
        r.request(QStringLiteral(".PP"));
        r.text(c.summary);
        r.paragraphs(c.description);
        for (const CliOption &o : c.options) {
            QString body = o.help;
            if (o.repeatable)
                body += QStringLiteral(" May be given more than once.");
            r.tagged(o.name, o.value, body);
        }
        if (!c.exitStatus.isEmpty()) {
            r.request(QStringLiteral(".PP"));
            r.text(QStringLiteral("Exit status:"));
            // One status a line, without the blank line between.
            r.request(QStringLiteral(".RS"));
            r.request(QStringLiteral(".PD 0"));
            for (const QString &e : c.exitStatus)
                r.tagged(e.section(QLatin1Char('\t'), 0, 0), QString(), e.section(QLatin1Char('\t'), 1));
            r.request(QStringLiteral(".PD"));
            r.request(QStringLiteral(".RE"));
        }
        if (!c.examples.isEmpty()) {
            r.request(QStringLiteral(".PP"));
            r.text(QStringLiteral("Examples:"));
            r.request(QStringLiteral(".RS"));
            r.request(QStringLiteral(".nf"));
            for (const QString &e : c.examples)
                r.text(e, true);
            r.request(QStringLiteral(".fi"));
            r.request(QStringLiteral(".RE"));
        }
    }

    r.request(QStringLiteral(".SH OPTIONS"));
    r.tagged(QStringLiteral("--help"), QString(), QStringLiteral("Before a command: the list of commands. After one: that command's usage and options."));
    r.tagged(QStringLiteral("--version"), QString(), QStringLiteral("Prints the program's version."));

    r.request(QStringLiteral(".SH \"EXIT STATUS\""));
    for (const CliTopic &rule : exitStatusRule())
        r.tagged(rule.name, QString(), rule.help);
    r.request(QStringLiteral(".PP"));
    r.text(QStringLiteral("Each command's own meanings are listed with it under COMMANDS."));

    const QList<CliTopic> fileTopics = files();
    if (!fileTopics.isEmpty()) {
        r.request(QStringLiteral(".SH FILES"));
        for (const CliTopic &t : fileTopics) {
            r.request(QStringLiteral(".TP"));
            r.request(QStringLiteral("\\fI%1\\fR").arg(roffEscape(t.name, true)));
            r.text(t.help.simplified());
        }
    }
    const QList<CliTopic> variables = environment();
    if (!variables.isEmpty()) {
        r.request(QStringLiteral(".SH ENVIRONMENT"));
        for (const CliTopic &t : variables)
            r.tagged(t.name, QString(), t.help);
    }
    r.request(QStringLiteral(".SH \"SEE ALSO\""));
    r.request(QStringLiteral("\\fBnx4400c\\fR(1), \\fBnx4400c\\-virtual\\-receiver\\fR(1), \\fBsystemctl\\fR(1)"));
    return r.result();
}

QString completion(const QString &shell)
{
    const QList<Completable> all = completables();
    if (shell == QLatin1String("bash") || shell == QLatin1String("zsh")) {
        const bool zsh = shell == QLatin1String("zsh");
        QString s = QString::fromUtf8(zsh ? kZsh : kBash);
        const QString indent = zsh ? QStringLiteral("  ") : QStringLiteral("    ");
        s.replace(QStringLiteral("@MATCH@"), matchCase(all, indent, zsh));
        s.replace(QStringLiteral("@DATA@"), dataCase(all, indent, zsh));
        s.replace(QStringLiteral("@GROUP@"), groupCase(indent + indent, zsh));
        return s;
    }
    if (shell == QLatin1String("fish")) {
        const QMap<QString, QStringList> next = nextWords();
        QStringList entries;
        for (const Completable &c : all) {
            QStringList valued;
            for (const auto &v : c.valued)
                valued << v.first << v.second;
            entries << shellQuote(QStringList{c.name, c.options.join(QLatin1Char(' ')), valued.join(QLatin1Char(' ')),
                                              c.positional.join(QLatin1Char(' ')), next.value(c.name).join(QLatin1Char(' '))}
                                      .join(QLatin1Char(';')));
        }
        QString s = QString::fromUtf8(kFish);
        s.replace(QStringLiteral("@COMMANDS@"), entries.join(QLatin1Char(' ')));
        s.replace(QStringLiteral("@GROUP@"), fishGroups(QStringLiteral("            ")));
        return s;
    }
    return QString();
}

} // namespace Cli
