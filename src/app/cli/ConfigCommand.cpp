// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli config list | get KEY | set KEY VALUE: the settings store's
// keys without the setting windows. A value is checked as the window that
// owns the key would check it (config/core/ConfigRules.h); a refused value
// changes nothing and the refusal names what the key takes.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "config/core/ConfigRules.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/SetupChoice.h"
#include "app/AppContext.h"
#include "base/PathCheck.h"

#include <QDir>
#include <QSettings>
#include <QTextStream>

namespace {

// The store's values as a window would see them. A value that does not
// convert takes its default; *replaced names those keys.
void load(AppContext &ctx, QStringList *replaced)
{
    auto store = ctx.openSettings();
    *replaced = loadConfigurationFrom(*store, ctx.config);
}

// The keys a shell completes, joined by "|": the bare key where it is
// unique, else SECTION/Key; `config set` only offers the ones it may set.
QString keyChoices(bool settableOnly)
{
    QStringList names;
    for (const ConfigKey &k : configKeys()) {
        if (settableOnly && !ConfigRules::isSettable(k))
            continue;
        const QString bare = QString::fromLatin1(k.key);
        names << (ConfigRules::findKey(bare) == &k ? bare : ConfigRules::fullName(k));
    }
    return names.join(QLatin1Char('|'));
}

int listKeys(QTextStream &out, QTextStream &err, bool withAllowed)
{
    AppContext ctx;
    const QString problem = SettingsStoreProblem(ctx);
    if (!problem.isEmpty())
        err << "config: " << problem << "; the defaults are listed\n";
    QStringList replaced;
    load(ctx, &replaced);
    for (const QString &k : replaced)
        err << "config: " << k << " holds a value that does not convert; its default is listed\n";
    for (const ConfigKey *k : ConfigRules::everyKey()) {
        out << ConfigRules::fullName(*k) << '=' << configValueText(*k, ctx.config);
        if (withAllowed)
            out << "\t(" << ConfigRules::allowedValues(*k) << ')';
        out << '\n';
    }
    return problem.isEmpty() ? 0 : 1;
}

int getKey(const QString &name, QTextStream &out, QTextStream &err)
{
    QString why;
    const ConfigKey *key = ConfigRules::findKey(name, &why);
    if (!key) {
        err << "config get: " << why << '\n';
        return 2;
    }
    AppContext ctx;
    const QString problem = SettingsStoreProblem(ctx);
    if (!problem.isEmpty())
        err << "config get: " << problem << "; the default is shown\n";
    QStringList replaced;
    load(ctx, &replaced);
    if (replaced.contains(ConfigRules::fullName(*key)))
        err << "config get: " << ConfigRules::fullName(*key) << " holds a value that does not convert; its default is shown\n";
    out << configValueText(*key, ctx.config) << '\n';
    return problem.isEmpty() ? 0 : 1;
}

int setKey(const QString &name, const QString &value, QTextStream &out, QTextStream &err)
{
    QString why;
    const ConfigKey *key = ConfigRules::findKey(name, &why);
    if (!key) {
        err << "config set: " << why << "; nothing was changed\n";
        return 2;
    }
    AppContext ctx;
    // Saving over a store that could not be read would put defaults in
    // place of every other setting.
    if (const QString problem = SettingsStoreProblem(ctx); !problem.isEmpty()) {
        err << "config set: " << problem << "; nothing was changed\n";
        return 1;
    }
    const bool newStore = ClassifyPath(SettingsStoreFile(ctx)).kind == PathKind::Missing;
    QStringList replaced;
    load(ctx, &replaced);
    if (newStore)
        ctx.config.EditorVersion = QStringLiteral("3.00");
    QStringList cleared;
    // The state is also taken by its name or postal code, as the state list
    // of the transmitter window shows it.
    QString given = value;
    if (ConfigRules::fullName(*key) == QLatin1String("EDITOR/StateID")) {
        const int id = SetupChoice::stateIdNamed(value);
        if (id < 0) {
            err << "config set: \"" << value << "\" is no state of the list: give its name (Ohio), its two-letter "
                   "code (OH) or its number (0 to 53); nothing was changed\n";
            return 2;
        }
        given = QString::number(id);
    }
    if (!ConfigRules::assign(*key, ctx.config, given, &why, &cleared)) {
        err << "config set: " << why << "; nothing was changed\n";
        return 2;
    }
    // The whole store is written, as the editor writes it; a damaged value
    // elsewhere is saved as its default, which the user is told.
    for (const QString &k : replaced)
        err << "config set: " << k << " held a value that did not convert; it is saved as its default\n";
    if (!SaveConfiguration(ctx, ctx.config, &why)) {
        err << "config set: " << why << "; nothing was changed\n";
        return 1;
    }
    out << ConfigRules::fullName(*key) << '=' << configValueText(*key, ctx.config) << '\n';
    for (const QString &k : cleared) {
        const ConfigKey *other = ConfigRules::findKey(k);
        out << k << '=' << (other ? configValueText(*other, ctx.config) : QString()) << '\n';
    }
    if (newStore)
        err << "config set: made the settings store " << QDir::toNativeSeparators(SettingsStoreFile(ctx)) << '\n';
    return 0;
}

} // namespace

int runConfigCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString sub = args.value(0);
    if (sub == QLatin1String("list")) {
        const QStringList rest = args.mid(1);
        if (!rest.isEmpty() && rest != QStringList{QStringLiteral("--allowed")}) {
            err << "config list: unexpected argument \"" << rest.first() << "\"\n";
            return 2;
        }
        return listKeys(out, err, !rest.isEmpty());
    }
    if (sub == QLatin1String("get") && args.size() == 2)
        return getKey(args.at(1), out, err);
    if (sub == QLatin1String("set") && args.size() == 3)
        return setKey(args.at(1), args.at(2), out, err);
    err << "usage: nx4400c-cli config list [--allowed] | get KEY | set KEY VALUE\n";
    return 2;
}

namespace {
const QString kKeyHelp = QStringLiteral(
    "A key of the settings store, as SECTION/Key (EDITOR/TimeZoneOffset) or, where it is unique, the key alone "
    "(TimeZoneOffset). Letter case does not matter.");

const bool listed = Cli::add({
    QStringLiteral("config list"),
    QStringLiteral("[--allowed]"),
    QStringLiteral("Lists every setting of the settings store as SECTION/Key=value."),
    QStringLiteral("The 88 settings the editor keeps (sections EDITOR, NV8007 to NV800F and TIMERS). A key the "
                   "store does not hold yet shows its default. The port map is listed by nx4400c-cli ports."),
    {{QStringLiteral("--allowed"), QString(), QStringLiteral("Adds the values each setting takes."), false, QString()}},
    {QStringLiteral("0\tlisted"), QStringLiteral("1\tthe settings store cannot be read (the defaults are listed)"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli config list --allowed")},
    [](const QStringList &args) { return runConfigCommand(QStringList{QStringLiteral("list")} + args); },
    25,
});
const bool got = Cli::add({
    QStringLiteral("config get"),
    QStringLiteral("KEY"),
    QStringLiteral("Prints one setting's value."),
    QString(),
    {{QStringLiteral("KEY"), QString(), kKeyHelp, false, keyChoices(false)}},
    {QStringLiteral("0\tprinted"), QStringLiteral("1\tthe settings store cannot be read (the default is printed)"),
     QStringLiteral("2\tno such setting, or a usage error")},
    {QStringLiteral("nx4400c-cli config get TimeZoneOffset")},
    [](const QStringList &args) { return runConfigCommand(QStringList{QStringLiteral("get")} + args); },
    26,
});
const bool set = Cli::add({
    QStringLiteral("config set"),
    QStringLiteral("KEY VALUE"),
    QStringLiteral("Changes one setting, with the checks of the window that owns it."),
    QStringLiteral("VALUE must be one the setting's window offers: TimeZoneOffset -4 to -11, SerialPort 1 to 4, the "
                   "timers their codes, flags True or False, UserStationID up to 15 letters and digits, StateID a state's number (0 to 53), name (Ohio) or two-letter code (OH). Setting a "
                   "flag of an option group to True clears the group's other flags, as the window's option "
                   "buttons do. TimeZoneName takes an IANA zone (America/Denver) whose standard time is one "
                   "TimeZoneOffset holds, and sets TimeZoneOffset to it; the history's daylight time then follows "
                   "that zone at each alert's date instead of the computer's zone today; an empty value goes back "
                   "to the computer's. A refused value changes nothing, and the message names the values the setting "
                   "takes (config list --allowed lists them all). The versions and the spare flags that no window "
                   "shows cannot be set."),
    {{QStringLiteral("KEY"), QString(), kKeyHelp, false, keyChoices(true)},
     {QStringLiteral("VALUE"), QString(), QStringLiteral("The new value."), false, QStringLiteral("none")}},
    {QStringLiteral("0\tstored"), QStringLiteral("1\tthe settings store could not be read or written; nothing was changed"),
     QStringLiteral("2\tno such setting, a value the setting does not take, or a usage error; nothing was changed")},
    {QStringLiteral("nx4400c-cli config set TimeZoneOffset -7"),
     QStringLiteral("nx4400c-cli config set TimeZoneName America/Denver")},
    [](const QStringList &args) { return runConfigCommand(QStringList{QStringLiteral("set")} + args); },
    27,
});
} // namespace
