// SPDX-License-Identifier: GPL-3.0-or-later
// The manual's list of menus (help/manual/main-window.html) against the
// editor's menu bar: every menu, and in each every item and submenu item,
// in the order the menu shows them. An item added to a menu without a word
// in the manual, or one the manual keeps after it went, fails here.
#include "app/gui/NX4400C.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QtTest>

namespace {

// A caption as a reader sees it: no mnemonic marks, blanks simplified.
QString shown(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption.simplified();
}

// The menu's items, a submenu's own items right after its title. Entries
// made at run time (the recent profiles) carry no object name and are not
// listed.
QStringList itemsOf(const QMenu *menu)
{
    QStringList items;
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            continue;
        if (a->menu()) {
            items << shown(a->text()) << itemsOf(a->menu());
            continue;
        }
        if (!a->objectName().isEmpty())
            items << shown(a->text());
    }
    return items;
}

// "<li><b>File</b>: "Open Profile...", ... </li>" -> {"File": [...]}, in
// the order of the page.
QList<QPair<QString, QStringList>> manualMenus(const QString &html)
{
    QList<QPair<QString, QStringList>> menus;
    const qsizetype start = html.indexOf(QStringLiteral("<ul class=\"menus\">"));
    const qsizetype end = html.indexOf(QStringLiteral("</ul>"), start);
    if (start < 0 || end < 0)
        return menus;
    const QString list = html.mid(start, end - start);
    static const QRegularExpression item(QStringLiteral("<li><b>([^<]+)</b>:(.*?)</li>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]+)\""));
    for (auto it = item.globalMatch(list); it.hasNext();) {
        const auto m = it.next();
        QStringList captions;
        // Attributes of links are not captions.
        QString text = m.captured(2);
        text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        for (auto q = quoted.globalMatch(text); q.hasNext();)
            captions << q.next().captured(1).simplified();
        menus.append({m.captured(1).simplified(), captions});
    }
    return menus;
}

} // namespace

class TestManualMenus : public QObject
{
    Q_OBJECT

private slots:
    void menusMatchManual()
    {
        TestEnv env;
        NX4400C w(*env.ctx);
        QFile f(sourceDir() + QStringLiteral("/help/manual/main-window.html"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QPair<QString, QStringList>> manual = manualMenus(QString::fromUtf8(f.readAll()));
        QVERIFY2(!manual.isEmpty(), "main-window.html has no <ul class=\"menus\"> list");

        QList<QPair<QString, QStringList>> editor;
        for (const QAction *a : w.menuBar()->actions()) {
            if (a->menu())
                editor.append({shown(a->text()), itemsOf(a->menu())});
        }
        QStringList manualNames, editorNames;
        for (const auto &m : manual)
            manualNames << m.first;
        for (const auto &m : editor)
            editorNames << m.first;
        QCOMPARE(manualNames, editorNames);
        for (qsizetype i = 0; i < editor.size(); ++i) {
            const QStringList &want = editor.at(i).second;
            const QStringList &have = manual.at(i).second;
            QVERIFY2(have == want, qPrintable(QStringLiteral("menu %1\n  the editor: %2\n  the manual: %3")
                                                  .arg(editor.at(i).first, want.join(QStringLiteral(" | ")),
                                                       have.join(QStringLiteral(" | ")))));
        }
    }
};

QTEST_MAIN(TestManualMenus)
#include "tst_manualmenus.moc"
