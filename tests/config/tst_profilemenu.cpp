// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's profile commands: the dialogs start in the folder used
// last, recent profiles are listed newest first and survive a restart, and a
// profile that cannot be opened changes nothing and leaves the list.
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "config/gui/ProfileMenu.h"
#include "support/GuiDriver.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class tst_ProfileMenu : public QObject
{
    Q_OBJECT
private slots:
    void saveThenOpenThroughTheMenu();
    void recentListNewestFirstAndBounded();
    void badProfileChangesNothingAndLeavesTheList();
    void cancelledDialogsDoNothing();
    void picture();

private:
    static std::unique_ptr<ProfileMenu> make(TestEnv &env, QMenu &menu)
    {
        AppContext &ctx = *env.ctx;
        return std::make_unique<ProfileMenu>(&menu, ctx.config, ctx.FipEntries, ctx.EventSelection, env.prompter,
                                             [&ctx] { return ctx.openSettings(); });
    }
};

void tst_ProfileMenu::saveThenOpenThroughTheMenu()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    LoadDefaultCoverage(*env.ctx);
    env.ctx->config.UserStationID = QStringLiteral("WXR9");
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("sites"))));
    QMenu file;
    auto menu = make(env, file);
    QVERIFY(!menu->recentMenu()->isEnabled());

    env.prompter.saveAnswers.enqueue(env.path(QStringLiteral("sites/north")));
    menu->saveAction()->trigger();
    QCOMPARE(env.prompter.saveRequests.size(), 1);
    QVERIFY(env.prompter.saveRequests.first().confirmOverwrite);
    const QString saved = env.path(QStringLiteral("sites/north.nxprofile"));
    QVERIFY(QFileInfo(saved).isFile());
    QVERIFY(env.prompter.boxes.isEmpty());

    // The setup changes; opening the profile puts the saved one back and
    // says so, so that the county window can refill its list.
    env.ctx->config.UserStationID.clear();
    env.ctx->FipEntries[0].clear();
    env.ctx->EventSelection[0].clear();
    QSignalSpy opened(menu.get(), &ProfileMenu::profileOpened);
    QString askedFolder;
    menu->setOpenFileDialog([&](const Prompter::SaveRequest &r) {
        askedFolder = r.directory;
        return saved;
    });
    menu->openAction()->trigger();
    QCOMPARE(askedFolder, env.path(QStringLiteral("sites")));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(env.ctx->config.UserStationID, QStringLiteral("WXR9"));
    QCOMPARE(env.ctx->FipEntries[0], QStringLiteral("X 012011  Broward                Florida"));
    QCOMPARE(env.ctx->EventSelection[0], QStringLiteral("CFA"));

    // A new run of the editor finds the folder and the list again.
    QMenu file2;
    auto again = make(env, file2);
    QCOMPARE(again->lastFolder(), env.path(QStringLiteral("sites")));
    QCOMPARE(again->recentProfiles(), QStringList{saved});
    QCOMPARE(again->recentMenu()->actions().size(), 1);
    QVERIFY(again->recentMenu()->isEnabled());
}

void tst_ProfileMenu::recentListNewestFirstAndBounded()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    LoadDefaultCoverage(*env.ctx);
    QMenu file;
    auto menu = make(env, file);
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        paths << env.path(QStringLiteral("p%1.nxprofile").arg(i));
        QVERIFY(menu->saveProfile(paths.last()));
    }
    QVERIFY(menu->saveProfile(paths.at(3)));   // again: moves to the top, no duplicate
    QCOMPARE(menu->recentProfiles(), (QStringList{paths.at(3), paths.at(5), paths.at(4), paths.at(2)}));

    // The entries of the submenu open their profile, even the one that is
    // rebuilt away by opening it.
    env.ctx->EventSelection[0].clear();
    QSignalSpy opened(menu.get(), &ProfileMenu::profileOpened);
    menu->recentMenu()->actions().at(2)->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().first().toString(), paths.at(4));
    QCOMPARE(env.ctx->EventSelection[0], QStringLiteral("CFA"));
    QCOMPARE(menu->recentProfiles().first(), paths.at(4));
}

void tst_ProfileMenu::badProfileChangesNothingAndLeavesTheList()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    LoadDefaultCoverage(*env.ctx);
    QMenu file;
    auto menu = make(env, file);
    const QString path = env.path(QStringLiteral("site.nxprofile"));
    QVERIFY(menu->saveProfile(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray text = f.readAll();
    text.replace("TIMERS.LineTimeoutTimer=3", "TIMERS.LineTimeoutTimer=9");
    QVERIFY(f.resize(0) && f.write(text) == text.size());
    f.close();
    const int line = text.left(text.indexOf("TIMERS.LineTimeoutTimer=9")).count('\n') + 1;

    env.ctx->config.LineTimeoutTimer = 5;
    env.ctx->FipEntries[7] = QStringLiteral("  keep me");
    QSignalSpy opened(menu.get(), &ProfileMenu::profileOpened);
    QVERIFY(!menu->openProfile(path));
    QCOMPARE(opened.size(), 0);
    QCOMPARE(env.ctx->config.LineTimeoutTimer, int16_t(5));
    QCOMPARE(env.ctx->FipEntries[7], QStringLiteral("  keep me"));
    QCOMPARE(env.prompter.boxes.size(), 1);
    QVERIFY2(env.prompter.boxes.first().text.contains(QStringLiteral("line %1: TIMERS.LineTimeoutTimer is 9").arg(line)),
             qPrintable(env.prompter.boxes.first().text));
    QCOMPARE(env.prompter.beeps, 1);
    QVERIFY(menu->recentProfiles().isEmpty());

    // A save the loader would refuse is not written.
    for (int i = 0; i < 25; ++i)
        env.ctx->FipEntries[i] = QStringLiteral("X %1  County").arg(10000 + i, 6, 10, QLatin1Char('0'));
    QVERIFY(!menu->saveProfile(env.path(QStringLiteral("too-many.nxprofile"))));
    QVERIFY(env.prompter.boxes.last().text.contains(QStringLiteral("25th ticked county")));
    QVERIFY(!QFile::exists(env.path(QStringLiteral("too-many.nxprofile"))));
}

void tst_ProfileMenu::cancelledDialogsDoNothing()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    QMenu file;
    auto menu = make(env, file);
    menu->setOpenFileDialog([](const Prompter::SaveRequest &) { return QString(); });
    env.prompter.saveAnswers.enqueue(QString());
    QVERIFY(!menu->openProfileDialog());
    QVERIFY(!menu->saveProfileAsDialog());
    QVERIFY(env.prompter.boxes.isEmpty());
    QVERIFY(menu->recentProfiles().isEmpty());
    QCOMPARE(menu->lastFolder(), QDir::homePath());
}

void tst_ProfileMenu::picture()
{
    TestEnv env;
    LoadConfiguration(*env.ctx, env.ctx->config);
    LoadDefaultCoverage(*env.ctx);
    QMenu file(QStringLiteral("&File"));
    file.addAction(QStringLiteral("Save History File As..."));
    file.addSeparator();
    auto menu = make(env, file);
    file.addSeparator();
    file.addAction(QStringLiteral("E&xit"));
    QVERIFY(menu->saveProfile(env.path(QStringLiteral("north.nxprofile"))));
    QVERIFY(menu->saveProfile(env.path(QStringLiteral("south.nxprofile"))));
    file.adjustSize();
    menu->recentMenu()->adjustSize();
    QVERIFY(!file.grab().isNull());
    grab(&file, QStringLiteral("profilemenu"));
    grab(menu->recentMenu(), QStringLiteral("profilemenu-recent"));
}

QTEST_MAIN(tst_ProfileMenu)
#include "tst_profilemenu.moc"
