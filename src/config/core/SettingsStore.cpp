// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/SettingsStore.h"

#include "base/PathCheck.h"
#include "base/SafeWrite.h"
#include "base/Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QSet>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <cmath>

namespace {

// A decimal number as the store may hold it: optional sign, digits, a
// fraction and an exponent; blanks around it are allowed. No group
// separators, no infinities.
std::optional<double> parseNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double roundHalfToEven(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff < 0.5)
        return f;
    if (diff > 0.5)
        return f + 1.0;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

QString keyPath(const ConfigKey &key)
{
    return QLatin1String(key.section) + QLatin1Char('/') + QLatin1String(key.key);
}

// The raw text a stored value holds. The INI reader turns a value with
// unquoted commas into a list; it is joined back the way it was written.
// A value that is no text at all (a typed @Variant) has none.
std::optional<QString> storedText(const QVariant &v)
{
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.canConvert<QString>())
        return v.toString();
    return std::nullopt;
}

} // namespace

QString formatStoreBoolean(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> parseStoreBoolean(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto n = parseNumber(t))
        return *n != 0.0;
    return std::nullopt;
}

std::optional<int16_t> parseStoreInteger(const QString &text)
{
    const auto n = parseNumber(text);
    if (!n)
        return std::nullopt;
    const double r = roundHalfToEven(*n);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<int16_t>(r);
}

QString configValueText(const ConfigKey &key, const ReceiverConfig &config)
{
    switch (key.type) {
    case ConfigKey::Type::Boolean:
        return formatStoreBoolean(*key.boolIn(config));
    case ConfigKey::Type::Integer:
        return QString::number(config.*key.intField);
    case ConfigKey::Type::String:
        return config.*key.stringField;
    }
    return {};
}

bool setConfigValueFromText(const ConfigKey &key, ReceiverConfig &config, const QString &text)
{
    switch (key.type) {
    case ConfigKey::Type::Boolean:
        if (const auto b = parseStoreBoolean(text)) {
            *key.boolIn(config) = *b;
            return true;
        }
        return false;
    case ConfigKey::Type::Integer:
        if (const auto i = parseStoreInteger(text)) {
            config.*key.intField = *i;
            return true;
        }
        return false;
    case ConfigKey::Type::String:
        config.*key.stringField = text;
        return true;
    }
    return false;
}

QString configDefaultText(const ConfigKey &key)
{
    if (qstrcmp(key.section, "EDITOR") == 0 && qstrcmp(key.key, "WorkingDirectory") == 0)
        return QDir::toNativeSeparators(QDir::currentPath());
    return QString::fromLatin1(key.defaultText);
}

QStringList loadConfigurationFrom(QSettings &store, ReceiverConfig &config)
{
    QStringList replaced;
    std::vector<ConfigKey> keys = configKeys();
    keys.insert(keys.end(), optionalConfigKeys().begin(), optionalConfigKeys().end());
    for (const ConfigKey &key : keys) {
        const QString path = keyPath(key);
        const QString def = configDefaultText(key);
        bool converted = false;
        if (store.contains(path)) {
            if (const auto text = storedText(store.value(path)))
                converted = setConfigValueFromText(key, config, *text);
            if (!converted)
                replaced << path;
        }
        // A missing key, and one whose value does not convert, take the
        // default. Loading goes on with the next key either way, so one
        // damaged value never disturbs the others (the next save would
        // otherwise write the damage over every later setting).
        if (!converted)
            setConfigValueFromText(key, config, def);
    }
    return replaced;
}

bool storeFileHoldsEveryKey(const QByteArray &ini)
{
    // The INI writer puts each key at the start of a line, under its
    // "[SECTION]" line; a file cut off anywhere before its last line end
    // lacks a line end at the end or some key.
    if (!ini.endsWith('\n'))
        return false;
    QSet<QByteArray> present;
    QByteArray section;
    for (QByteArray line : ini.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2);
        } else if (const qsizetype eq = line.indexOf('='); eq > 0) {
            present.insert(section + '/' + line.left(eq).trimmed());
        }
    }
    for (const ConfigKey &key : configKeys()) {
        if (!present.contains(QByteArray(key.section) + '/' + key.key))
            return false;
    }
    return true;
}

namespace {

void writeKeys(QSettings &store, const ReceiverConfig &config)
{
    // Values go in as text, so the store holds the words and digits a user
    // reads in the file and nothing typed. Other sections of the same store
    // (the serial device of each port) are left as they are.
    for (const ConfigKey &key : configKeys())
        store.setValue(keyPath(key), configValueText(key, config));
    for (const ConfigKey &key : optionalConfigKeys()) {
        const QString value = configValueText(key, config);
        if (!value.isEmpty() || store.contains(keyPath(key)))
            store.setValue(keyPath(key), value);
    }
    store.sync();
}

} // namespace

bool saveConfigurationTo(QSettings &store, const ReceiverConfig &config)
{
    const QString path = store.fileName();
    if (store.format() != QSettings::IniFormat || path.isEmpty()) {
        writeKeys(store, config);
        return store.status() != QSettings::AccessError;
    }

    // QSettings rewrites its file in place and reports success even when the
    // disk fills up while it writes, leaving a store cut short. So the new
    // store is made in a side file first (starting from the current one, to
    // keep the other sections), checked to hold every key, and only then put
    // in place of the old file in one step. Whatever fails, the store the
    // user had stays whole.
    QByteArray previous;
    if (QFileInfo(path).isFile()) {
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return false;
        previous = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());   // first run: no folder yet
    // QTemporaryFile::close() keeps the file open (to reopen it), and
    // Windows refuses to replace a file that is open, which is what QSettings
    // does when it writes. So the side file is named here, let go, and
    // removed by name when this returns, whatever happens.
    QString sideName;
    {
        QTemporaryFile side(path + QStringLiteral(".XXXXXX"));
        side.setAutoRemove(false);
        if (!side.open())
            return false;
        sideName = side.fileName();
        if (side.write(previous) != previous.size() || !side.flush()) {
            side.remove();
            return false;
        }
    }
    struct RemoveSide {
        QString name;
        ~RemoveSide() { QFile::remove(name); }
    } removeSide{sideName};
    QByteArray made;
    {
        QSettings sideStore(sideName, QSettings::IniFormat);
        writeKeys(sideStore, config);
        if (sideStore.status() == QSettings::AccessError)
            return false;
    }
    // QSettings put a new file in the side file's place: read it by name.
    QFile sideFile(sideName);
    if (!sideFile.open(QIODevice::ReadOnly))
        return false;
    made = sideFile.readAll();
    if (!storeFileHoldsEveryKey(made))
        return false;
    if (!writeFileAtomically(path, made, nullptr, LinkAtName::Follow))
        return false;
    // The caller's store object must see the new file, not its old cache.
    store.sync();
    return true;
}

QString SettingsStoreFile(const Services &services)
{
    return services.settingsFile();
}

QString SettingsStoreProblem(const Services &services)
{
    return services.settingsProblem();
}

bool LoadConfiguration(const Services &services, ReceiverConfig &config, QString *problem)
{
    // With a store that cannot be used, openSettings gives an empty one and
    // every key takes its default; the user is told why.
    const QString why = services.settingsProblem();
    auto store = services.openSettings();
    loadConfigurationFrom(*store, config);
    if (problem)
        *problem = why;
    if (!why.isEmpty())
        services.view().setStatusText(QStringLiteral("Left"), why);
    return why.isEmpty();
}

bool SaveConfiguration(const Services &services, const ReceiverConfig &config, QString *why)
{
    // Saving over a store that could not be read would put the defaults in
    // place of the user's settings; over a device or a pipe, it would
    // destroy it or hang.
    if (const QString problem = services.settingsProblem(); !problem.isEmpty()) {
        if (why)
            *why = problem;
        return false;
    }
    auto store = services.openSettings();
    if (!store->isWritable() || !saveConfigurationTo(*store, config)) {
        if (why) {
            // Say why where the system tells: a read-only file or folder.
            QString reason;
            if (CheckAppendableFile(services.settingsFile(), &reason))
                reason = QStringLiteral("%1 could not be written").arg(QDir::toNativeSeparators(services.settingsFile()));
            *why = QStringLiteral("The settings store %1").arg(reason);
        }
        return false;
    }
    return true;
}
