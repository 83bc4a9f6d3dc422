// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/gui/ProfileMenu.h"

#include "config/core/ReceiverProfile.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

const QString Title = QStringLiteral("NX-4400C Receiver Profile");
const QString Filter = QStringLiteral("Receiver profiles (*.nxprofile);;All files (*)");
const QString Suffix = QStringLiteral(".nxprofile");
const QString FolderKey = QStringLiteral("Profiles/LastFolder");
const QString RecentKey = QStringLiteral("Profiles/Recent%1");

} // namespace

ProfileMenu::ProfileMenu(QMenu *menu, ReceiverConfig &config, QStringList &fipEntries, QStringList &eventSelection,
                         Prompter &prompter, StoreOpener openStore, QWidget *dialogParent)
    : QObject(menu)
    , m_config(config)
    , m_fips(fipEntries)
    , m_events(eventSelection)
    , m_prompter(prompter)
    , m_openStore(std::move(openStore))
    , m_dialogParent(dialogParent)
{
    m_openDialog = [this](const Prompter::SaveRequest &r) {
        return QFileDialog::getOpenFileName(m_dialogParent, r.title, r.directory, r.filter);
    };
    m_open = menu->addAction(QStringLiteral("&Open Profile..."));
    m_open->setObjectName(QStringLiteral("mnuOpenProfile"));
    connect(m_open, &QAction::triggered, this, [this] { openProfileDialog(); });
    m_save = menu->addAction(QStringLiteral("Save &Profile As..."));
    m_save->setObjectName(QStringLiteral("mnuSaveProfileAs"));
    connect(m_save, &QAction::triggered, this, [this] { saveProfileAsDialog(); });
    m_recent = menu->addMenu(QStringLiteral("&Recent Profiles"));
    m_recent->setObjectName(QStringLiteral("mnuRecentProfiles"));
    rebuildRecentMenu();
}

QStringList ProfileMenu::recentProfiles() const
{
    QStringList list;
    const auto store = m_openStore();
    for (int i = 1; i <= MaxRecent; ++i) {
        const QString path = store->value(RecentKey.arg(i)).toString();
        if (!path.isEmpty() && !list.contains(path))
            list << path;
    }
    return list;
}

QString ProfileMenu::lastFolder() const
{
    const QString folder = m_openStore()->value(FolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

bool ProfileMenu::openProfileDialog()
{
    Prompter::SaveRequest request;
    request.title = QStringLiteral("Open Profile");
    request.directory = lastFolder();
    request.filter = Filter;
    request.confirmOverwrite = false;
    const QString path = m_openDialog(request);
    return !path.isEmpty() && openProfile(path);
}

bool ProfileMenu::saveProfileAsDialog()
{
    Prompter::SaveRequest request;
    request.title = QStringLiteral("Save Profile As");
    request.directory = lastFolder();
    request.filter = Filter;
    request.confirmOverwrite = true;
    QString path = m_prompter.saveFileName(request);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += Suffix;
    return saveProfile(path);
}

bool ProfileMenu::openProfile(const QString &path)
{
    QString error;
    if (!LoadProfile(path, m_config, m_fips, m_events, &error)) {
        // A recent entry whose file is gone or broken leaves the list.
        forget(path);
        refuse(QStringLiteral("The profile was not opened; nothing has changed.\r\n\r\n") + error);
        return false;
    }
    remember(path);
    emit profileOpened(path);
    return true;
}

bool ProfileMenu::saveProfile(const QString &path)
{
    QString error;
    if (!SaveProfile(path, m_config, m_fips, m_events, &error)) {
        refuse(error);
        return false;
    }
    remember(path);
    return true;
}

void ProfileMenu::remember(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = recentProfiles();
    list.removeAll(absolute);
    list.prepend(absolute);
    const auto store = m_openStore();
    store->setValue(FolderKey, QFileInfo(absolute).absolutePath());
    for (int i = 1; i <= MaxRecent; ++i)
        store->setValue(RecentKey.arg(i), list.value(i - 1));
    store->sync();
    rebuildRecentMenu();
}

void ProfileMenu::forget(const QString &path)
{
    QStringList list = recentProfiles();
    if (list.removeAll(QFileInfo(path).absoluteFilePath()) == 0)
        return;
    const auto store = m_openStore();
    for (int i = 1; i <= MaxRecent; ++i)
        store->setValue(RecentKey.arg(i), list.value(i - 1));
    store->sync();
    rebuildRecentMenu();
}

void ProfileMenu::rebuildRecentMenu()
{
    // Not clear(): this may run from one of these actions' own signal.
    for (QAction *old : m_recent->actions()) {
        m_recent->removeAction(old);
        old->deleteLater();
    }
    const QStringList list = recentProfiles();
    for (int i = 0; i < list.size(); ++i) {
        const QString path = list.at(i);
        QAction *a = m_recent->addAction(QStringLiteral("&%1  %2").arg(i + 1).arg(QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QLatin1String("&&"))));
        connect(a, &QAction::triggered, this, [this, path] { openProfile(path); });
    }
    m_recent->setEnabled(!list.isEmpty());
}

void ProfileMenu::refuse(const QString &text)
{
    m_prompter.beep();
    m_prompter.ask(Title, text, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}
