// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/AppContext.h"

#include "config/core/SettingsStore.h"
#include "shell/core/MainView.h"

#include <QCoreApplication>
#include <QSettings>

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

NullView g_nullView;
SilentPrompter g_silentPrompter;
SystemClock g_systemClock;

} // namespace

AppContext::AppContext()
    : ReceiveBuffer(ReceiveBufferSize, '\0')
    , m_prompter(&g_silentPrompter)
    , m_clock(&g_systemClock)
{
    for (int i = 0; i < FipEntryCount; ++i)
        FipEntries << QString();
    for (int i = 0; i < EventSlotCount; ++i)
        EventSelection << QString();
    endProgram = [](int code) {
        QCoreApplication::exit(code);
        std::exit(code);
    };
}

AppContext::~AppContext() = default;

MainView &AppContext::view() const
{
    return m_view ? *m_view : g_nullView;
}

std::unique_ptr<QSettings> AppContext::openSettings() const
{
    // QSettings reads its file as it is made: a pipe there would hold it up
    // for good, a device would be read without end, and a later write would
    // put a plain file in its place. Such a store is not opened; an object
    // with no file behind it reads nothing and refuses every write.
    if (!SettingsStoreProblem(*this).isEmpty())
        return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
    if (!settingsPath.isEmpty())
        return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("NX4400C"), QStringLiteral("NX4400C"));
}
