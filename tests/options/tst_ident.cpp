// SPDX-License-Identifier: GPL-3.0-or-later
// The station identification page: the call letters box admits "0"-"9" and
// "A"-"Z" only, at most 15, by every way text can get in (keys, paste,
// context menu, drop, input method); OK refuses an empty identification and
// otherwise writes NV8007 and UserStationID, which the parameter block
// carries in bytes 7 and 16 to 31.

#include "options/PageDriver.h"
#include "options/gui/frmIdent.h"
#include "options/gui/OptionCommands.h"
#include "support/TestEnv.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>

#include <memory>

namespace {

IdentEdit *callLetters(QWidget *page)
{
    return page->findChild<IdentEdit *>(QStringLiteral("txtIdent"));
}

// Types each character as one key press, as a keyboard does.
void type(QWidget *w, const QString &text)
{
    for (QChar ch : text) {
        int key = ch.toUpper().unicode();
        if (ch == QLatin1Char('\b'))
            key = Qt::Key_Backspace;
        else if (ch == QLatin1Char('\r'))
            key = Qt::Key_Return;
        else if (ch == QLatin1Char('\n'))
            key = Qt::Key_Enter;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

QByteArray idBytes(AppContext &ctx)
{
    return parameterBlock(ctx).mid(16, 16);
}

} // namespace

class tst_Ident : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    AppContext &ctx() { return *env->ctx; }
    int beeps() const { return env->prompter.beeps; }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        QVERIFY2(env->prompter.boxes.isEmpty(), qPrintable(env->prompter.texts().join(QLatin1Char('|'))));
        env.reset();
    }

    void firstRun()
    {
        loadFirstRun(ctx());
        runPage(&OptionCommands::openIdent, ctx(), [](QDialog *p) {
            for (int i = 0; i < 4; ++i)
                QVERIFY(!isChecked(p, QStringLiteral("chkID_%1").arg(i)));
            QVERIFY(callLetters(p)->text().isEmpty());
            QVERIFY(isEnabled(p, QStringLiteral("chkID_0")));
            for (const char *name : {"fraIdent", "chkID_1", "chkID_2", "chkID_3", "txtIdent", "cmdErase",
                                     "lblText_0", "lblText_1"})
                QVERIFY2(!isEnabled(p, QLatin1String(name)), name);
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(int(imageByte(ctx(), 7)), 0);
        QCOMPARE(idBytes(ctx()), QByteArray(16, '\0'));
    }

    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("refused");
        QTest::newRow("w1x-y") << "w1x-y" << "W1XY" << 1;
        QTest::newRow("range ends") << "az09AZ" << "AZ09AZ" << 0;
        // The characters just outside each range, blank, and beyond "z".
        QTest::newRow("neighbours") << "/:@[`{ ~" << "" << 8;
        QTest::newRow("accented") << QStringLiteral("k\u00e9q") << "KQ" << 1;
        QTest::newRow("control keys") << QStringLiteral("a\r\nb") << "AB" << 2;
        QTest::newRow("sixteenth") << "abcdefghijklmnopq" << "ABCDEFGHIJKLMNO" << 2;
        QTest::newRow("backspace") << QStringLiteral("ab\bc") << "AC" << 0;
    }

    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(int, refused);
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("OLD");
        runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            IdentEdit *t = callLetters(p);
            QVERIFY(t);
            t->setFocus();
            t->clear();
            type(t, keys);
            QCOMPARE(t->text(), text);
            QCOMPARE(beeps(), refused);
            QVERIFY(p->isVisible());   // Enter did not confirm the page
            if (!text.isEmpty())
                QVERIFY(click(p, QStringLiteral("cmdOK")));
            else
                QVERIFY(click(p, QStringLiteral("cmdCancel")));
        });
        QCOMPARE(ctx().config.UserStationID, text.isEmpty() ? QStringLiteral("OLD") : text);
    }

    void enterInCallLettersIsRefused()
    {
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("KQ7");
        const PageRun run = runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            callLetters(p)->setFocus();
            QTest::keyClick(callLetters(p), Qt::Key_Return);
            QCOMPARE(beeps(), 1);
            QVERIFY(p->isVisible());
            // Elsewhere Enter confirms.
            control<QWidget>(p, QStringLiteral("chkID_1"))->setFocus();
            QTest::keyClick(control<QWidget>(p, QStringLiteral("chkID_1")), Qt::Key_Return);
        });
        QVERIFY(!run.leftOpen);
        QCOMPARE(run.result, int(QDialog::Accepted));
    }

    // Pasted and dropped text passes the same filter as typed text and is cut
    // to the room left; one beep tells that something was refused.
    void pasting_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("refused");
        QTest::newRow("ctrl+v mixed") << "keys" << "" << false << "kq-7 fm" << "KQ7FM" << 1;
        QTest::newRow("ctrl+v clean") << "keys" << "" << false << "W1XY" << "W1XY" << 0;
        QTest::newRow("ctrl+v too long") << "keys" << "ABCDEFGHIJKLM" << false << "NOPQ" << "ABCDEFGHIJKLMNO" << 1;
        QTest::newRow("ctrl+v over selection") << "keys" << "ABCDEF" << true << "xyz" << "XYZ" << 0;
        QTest::newRow("ctrl+v nothing usable") << "keys" << "AB" << false << "--- \n" << "AB" << 1;
        QTest::newRow("ctrl+v 20 chars") << "keys" << "" << false << "abcdefghijklmnopqrst" << "ABCDEFGHIJKLMNO" << 1;
        QTest::newRow("context menu") << "menu" << "" << false << "ab c" << "ABC" << 1;
        QTest::newRow("drop") << "drop" << "" << false << "wx/9" << "WX9" << 1;
        QTest::newRow("drop clean") << "drop" << "K" << false << "Q7" << "KQ7" << 0;
        // The line edit's own paste, as a platform menu would call it.
        QTest::newRow("paste slot") << "slot" << "W" << false << "kq-7 fm" << "WKQ7FM" << 1;
        QTest::newRow("input method") << "im" << "" << false << QStringLiteral("\u00e91b") << "1B" << 1;
    }

    void pasting()
    {
        QFETCH(QString, how);
        QFETCH(QString, before);
        QFETCH(bool, selectAll);
        QFETCH(QString, incoming);
        QFETCH(QString, text);
        QFETCH(int, refused);
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = before;
        runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            IdentEdit *t = callLetters(p);
            t->setFocus();
            t->end(false);
            if (selectAll)
                t->selectAll();
            if (how == QLatin1String("keys")) {
                QGuiApplication::clipboard()->setText(incoming);
                QTest::keySequence(t, QKeySequence::Paste);
            } else if (how == QLatin1String("slot")) {
                QGuiApplication::clipboard()->setText(incoming);
                t->paste();
            } else if (how == QLatin1String("menu")) {
                QGuiApplication::clipboard()->setText(incoming);
                QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, t->rect().center(),
                                            t->mapToGlobal(t->rect().center()));
                QApplication::sendEvent(t, &menuEvent);
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                QAction *paste = IdentEdit::pasteAction(menu);
                QVERIFY(paste);
                paste->trigger();
                menu->close();
            } else if (how == QLatin1String("drop")) {
                QMimeData mime;
                mime.setText(incoming);
                const QPoint at(t->width() - 2, t->height() / 2);
                QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(t, &enter);
                QVERIFY(enter.isAccepted());
                QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(t, &drop);
            } else {
                QInputMethodEvent im;
                im.setCommitString(incoming);
                QApplication::sendEvent(t, &im);
            }
            QCOMPARE(t->text(), text);
            QCOMPARE(beeps(), refused);
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(ctx().config.UserStationID, text);
        QCOMPARE(int(imageByte(ctx(), 16)), text.size());
    }

    // A hand-edited store may hold what the box could never take; the page
    // shows and saves only what the receiver can speak.
    void storedIdentificationOutsideTheRules()
    {
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("wx-1 abcdefghijklmnop");
        runPage(&OptionCommands::openIdent, ctx(), [](QDialog *p) {
            QCOMPARE(callLetters(p)->text(), QStringLiteral("WX1ABCDEFGHIJKL"));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QCOMPARE(ctx().config.UserStationID, QStringLiteral("WX1ABCDEFGHIJKL"));
        QCOMPARE(int(imageByte(ctx(), 16)), 15);
        QCOMPARE(beeps(), 0);
    }

    void emptyIdentificationRefused()
    {
        loadFirstRun(ctx());
        const QByteArray before = parameterBlock(ctx());
        const PageRun run = runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("chkID_0")));
            QVERIFY(click(p, QStringLiteral("chkID_2")));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
            QVERIFY(p->isVisible());
            QCOMPARE(env->prompter.boxes.size(), 1);
            const ScriptedPrompter::Box box = env->prompter.boxes.first();
            QCOMPARE(box.title, QStringLiteral("NX-4400 Digital Weather Receiver"));
            QCOMPARE(box.text, QStringLiteral("Error..No Identification Entered"));
            QCOMPARE(box.icon, Prompter::Icon::Exclamation);
            QCOMPARE(box.buttons, Prompter::Buttons::Ok);
            QCOMPARE(parameterBlock(ctx()), before);
            // The edits are still on the page: typing call letters now saves.
            QVERIFY(isChecked(p, QStringLiteral("chkID_2")));
            type(callLetters(p), QStringLiteral("kq7"));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        env->prompter.boxes.clear();
        QCOMPARE(run.result, int(QDialog::Accepted));
        QCOMPARE(int(imageByte(ctx(), 7)), 0x05);
        QByteArray id(16, '\0');
        id[0] = 3;
        id[1] = 20;
        id[2] = 26;
        id[3] = 7;
        QCOMPARE(idBytes(ctx()), id);
    }

    void switchedOffKeepsCallLetters()
    {
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("KQ7");
        runPage(&OptionCommands::openIdent, ctx(), [](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("cmdErase")));
            QVERIFY(callLetters(p)->text().isEmpty());
            QCOMPARE(p->focusWidget(), callLetters(p));
            QVERIFY(click(p, QStringLiteral("chkID_0")));
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QVERIFY(!ctx().config.GiveStationID);
        QCOMPARE(ctx().config.UserStationID, QStringLiteral("KQ7"));
        QCOMPARE(int(imageByte(ctx(), 7)), 0);
        QCOMPARE(beeps(), 0);
    }

    void clearOnEmptyBeeps()
    {
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("A");
        runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("cmdErase")));
            QCOMPARE(beeps(), 0);
            QVERIFY(click(p, QStringLiteral("cmdErase")));
            QCOMPARE(beeps(), 1);
            QVERIFY(callLetters(p)->text().isEmpty());
            QVERIFY(click(p, QStringLiteral("cmdCancel")));
        });
        QCOMPARE(ctx().config.UserStationID, QStringLiteral("A"));
    }

    void greyedVoiceWordsStillSaved()
    {
        ReceiverConfig &c = ctx().config;
        c.AppendThisIs = true;
        c.AppendTransmitter = true;
        c.Spare8007_3 = true;   // no page changes the spares
        runPage(&OptionCommands::openIdent, ctx(), [](QDialog *p) {
            QVERIFY(!isEnabled(p, QStringLiteral("chkID_1")));
            QVERIFY(isChecked(p, QStringLiteral("chkID_1")));
            QVERIFY(click(p, QStringLiteral("chkID_2")));   // greyed: refused
            QVERIFY(click(p, QStringLiteral("cmdOK")));
        });
        QVERIFY(c.AppendThisIs && !c.AppendRepeater && c.AppendTransmitter);
        QCOMPARE(int(imageByte(ctx(), 7)), 0x4A);
    }

    void enablingFollowsFirstBox()
    {
        runPage(&OptionCommands::openIdent, ctx(), [](QDialog *p) {
            QVERIFY(click(p, QStringLiteral("chkID_0")));
            for (const char *name : {"fraIdent", "chkID_3", "txtIdent", "cmdErase", "lblText_1"})
                QVERIFY2(isEnabled(p, QLatin1String(name)), name);
            QVERIFY(click(p, QStringLiteral("chkID_0")));
            QVERIFY(!isEnabled(p, QStringLiteral("txtIdent")));
            closeBox(p);
        });
    }

    void leavingDiscards_data()
    {
        QTest::addColumn<QString>("leave");
        QTest::newRow("Cancel") << "cmdCancel";
        QTest::newRow("close box") << "close";
        QTest::newRow("Escape") << "escape";
    }

    void leavingDiscards()
    {
        QFETCH(QString, leave);
        ctx().config.GiveStationID = true;
        ctx().config.UserStationID = QStringLiteral("KQ7");
        const QByteArray before = parameterBlock(ctx());
        const PageRun run = runPage(&OptionCommands::openIdent, ctx(), [&](QDialog *p) {
            type(callLetters(p), QStringLiteral("XYZ"));
            QVERIFY(click(p, QStringLiteral("chkID_1")));
            if (leave == QLatin1String("close"))
                closeBox(p);
            else if (leave == QLatin1String("escape"))
                QTest::keyClick(callLetters(p), Qt::Key_Escape);
            else
                QVERIFY(click(p, leave));
        });
        QCOMPARE(run.result, int(QDialog::Rejected));
        QCOMPARE(ctx().config.UserStationID, QStringLiteral("KQ7"));
        QCOMPARE(parameterBlock(ctx()), before);
        QCOMPARE(beeps(), 0);
    }
};

QTEST_MAIN(tst_Ident)
#include "tst_ident.moc"
