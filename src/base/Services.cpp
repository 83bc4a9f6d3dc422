// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Services.h"

#include "base/PathCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cstdlib>

namespace {

// Answers No/Cancel to everything; used only until the application installs
// its real prompter.
class SilentPrompter : public Prompter
{
public:
    Button ask(const QString &, const QString &, Icon, Buttons b) override
    {
        return b == Buttons::Ok ? Button::Ok : Button::No;
    }
    void beep() override {}
    QString saveFileName(const SaveRequest &) override { return {}; }
};

const QString StoreName = QStringLiteral("NX4400C");

// What is wrong with one file the store reads, or nothing.
QString storeFileProblem(const QString &path)
{
    if (ClassifyPath(path).kind == PathKind::Missing)
        return QString();
    QString why;
    if (CheckReadableFile(path, &why, Services::SettingsStoreMaxBytes))
        return QString();
    return QStringLiteral("The settings store %1; the settings were not read from it and will not be "
                          "saved to it")
        .arg(why);
}

// The per-user store also reads the organisation-wide file beside it and the
// system-wide ones; unreadable ones are skipped, but a pipe or a device among
// them would hold up the store's constructor as well.
QString fallbackFileProblem(const QString &path)
{
    const PathStatus st = ClassifyPath(path);
    switch (st.kind) {
    case PathKind::Fifo:
    case PathKind::CharDevice:
    case PathKind::BlockDevice:
    case PathKind::Socket:
    case PathKind::Other:
        return storeFileProblem(path);
    case PathKind::Regular:
        return st.size > Services::SettingsStoreMaxBytes ? storeFileProblem(path) : QString();
    default:
        return QString();
    }
}


NullView g_nullView;
SilentPrompter g_silentPrompter;
SystemClock g_systemClock;

} // namespace

Services::Services()
    : m_prompter(&g_silentPrompter)
    , m_clock(&g_systemClock)
    , m_view(&g_nullView)
{
    endProgram = [](int code) {
        QCoreApplication::exit(code);
        std::exit(code);
    };
}

Services::~Services() = default;

void Services::setPrompter(Prompter *p)
{
    m_prompter = p ? p : &g_silentPrompter;
}

void Services::setClock(Clock *c)
{
    m_clock = c ? c : &g_systemClock;
}

void Services::setView(MainView *v)
{
    m_view = v ? v : &g_nullView;
}

QString Services::settingsFile() const
{
    if (!settingsPath.isEmpty())
        return settingsPath;
    // The place QSettings picks for the user scope on this system.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::cleanPath(QFileInfo(folder + QLatin1Char('/') + StoreName + QLatin1Char('/') + StoreName
                                     + QStringLiteral(".ini"))
                               .absoluteFilePath());
}

QString Services::settingsProblem() const
{
#ifndef Q_OS_WIN
    // Windows finds the user's folders without HOME.
    if (settingsPath.isEmpty() && qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")
        && qEnvironmentVariableIsEmpty("HOME")) {
        // QSettings would fall back to "/.config" under the root folder.
        return QStringLiteral("HOME is not set (nor XDG_CONFIG_HOME), so the settings store has no place; "
                              "the settings were not read and will not be saved");
    }
#endif
    const QString path = settingsFile();
    if (const QString p = storeFileProblem(path); !p.isEmpty())
        return p;
    if (!settingsPath.isEmpty())
        return QString();
    QStringList fallbacks{QFileInfo(path).absolutePath() + QStringLiteral(".ini")};
    const QString system = QLibraryInfo::path(QLibraryInfo::SettingsPath);
    if (!system.isEmpty()) {
        fallbacks << system + QLatin1Char('/') + StoreName + QLatin1Char('/') + StoreName + QStringLiteral(".ini")
                  << system + QLatin1Char('/') + StoreName + QStringLiteral(".ini");
    }
    for (const QString &f : fallbacks) {
        if (const QString p = fallbackFileProblem(f); !p.isEmpty())
            return p;
    }
    return QString();
}

std::unique_ptr<QSettings> Services::openSettings() const
{
    // QSettings reads its file as it is made: a pipe there would hold it up
    // for good, a device would be read without end, and a later write would
    // put a plain file in its place. Such a store is not opened; an object
    // with no file behind it reads nothing and refuses every write.
    if (!settingsProblem().isEmpty())
        return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
    if (!settingsPath.isEmpty())
        return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("NX4400C"), QStringLiteral("NX4400C"));
}
