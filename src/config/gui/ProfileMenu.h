// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/core/ReceiverConfig.h"
#include "base/Prompter.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSettings;
class QWidget;

// The profile commands of a File menu: "Open Profile...", "Save Profile
// As..." and a "Recent Profiles" submenu. The dialogs start in the folder
// used last; both that folder and the recent list are kept in the settings
// store, section [Profiles]. Opening replaces the setup in memory only (the
// editor writes it at exit with save, like any other change) and then
// emits profileOpened, so that windows holding a working copy of the county
// list can refill it.
class ProfileMenu : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRecent = 4;
    // Asks for a file to open; the request's fields as for saving. Empty
    // when cancelled.
    using OpenFileDialog = std::function<QString(const Prompter::SaveRequest &)>;
    using StoreOpener = std::function<std::unique_ptr<QSettings>()>;

    ProfileMenu(QMenu *menu, ReceiverConfig &config, QStringList &fipEntries, QStringList &eventSelection,
                Prompter &prompter, StoreOpener openStore, QWidget *dialogParent = nullptr);

    // Tests answer the open dialog themselves; the default is the system's.
    void setOpenFileDialog(OpenFileDialog dialog) { m_openDialog = std::move(dialog); }

    QAction *openAction() const { return m_open; }
    QAction *saveAction() const { return m_save; }
    QMenu *recentMenu() const { return m_recent; }

    QStringList recentProfiles() const;
    QString lastFolder() const;

    // The menu commands. Each shows what went wrong in a box and returns
    // whether a profile was opened or saved.
    bool openProfileDialog();
    bool saveProfileAsDialog();
    bool openProfile(const QString &path);
    bool saveProfile(const QString &path);

signals:
    void profileOpened(const QString &path);

private:
    void remember(const QString &path);
    void forget(const QString &path);
    void rebuildRecentMenu();
    void refuse(const QString &text);

    ReceiverConfig &m_config;
    QStringList &m_fips;
    QStringList &m_events;
    Prompter &m_prompter;
    StoreOpener m_openStore;
    QWidget *m_dialogParent;
    OpenFileDialog m_openDialog;
    QAction *m_open = nullptr;
    QAction *m_save = nullptr;
    QMenu *m_recent = nullptr;
};
