// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Services.h"

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

std::unique_ptr<QSettings> Services::openSettings() const
{
    if (!settingsPath.isEmpty())
        return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("NX4400C"), QStringLiteral("NX4400C"));
}
