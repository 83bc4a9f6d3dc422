// SPDX-License-Identifier: GPL-3.0-or-later
// The shared message catalogue: every text, title, icon and button set, and
// what happens after the box closes.
#include "base/Messages.h"
#include "support/TestEnv.h"

#include <QtTest>

using B = Prompter::Buttons;
using I = Prompter::Icon;

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void fatalErrors_data();
    void fatalErrors();
    void operationErrors_data();
    void operationErrors();
    void unknownSelectorsHaveNoText();
    void prompts();
};

void TestMessages::fatalErrors_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "Error #101:  Missing NX-4400C Digital Weather Receiver Parameter File";
    QTest::newRow("2") << 2 << "Error #102:  Missing or Corrupted NX-4400C FIP Codes";
    QTest::newRow("7") << 7 << "Error #107:  Missing or Corrupted NX-4400C Transmitter Location Parameter";
    QTest::newRow("8") << 8 << "Error #108:  Missing or Corrupted NX-4400C Frequency Limit Parameter";
    QTest::newRow("13") << 13 << "Error #113:  Missing or Corrupted NX-4400C Station Identification Parameter";
    QTest::newRow("99") << 99 << "Error #199:  Missing or Corrupted NX-4400C Data File, Please Consult Factory";
}

void TestMessages::fatalErrors()
{
    QFETCH(int, selector);
    QFETCH(QString, text);
    TestEnv env;
    Messages::ShowFatalError(env.ctx->prompter(), env.ctx->endProgram, selector);
    QCOMPARE(env.prompter.boxes.size(), 1);
    const auto &box = env.prompter.boxes.first();
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, QStringLiteral("NX-4400 Digital Weather Receiver"));
    QCOMPARE(box.icon, I::Exclamation);
    QCOMPARE(box.buttons, B::Ok);
    // The program ends as soon as the box closes.
    QCOMPARE(env.endRequests, 1);
}

void TestMessages::operationErrors_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "Error #201:  Selected Serial Port will not open";
    QTest::newRow("2") << 2
                       << "Error #202:  Serial Connection Not Established\r\nNote: Insure receiver monitor switch is DOWN. ";
    QTest::newRow("3") << 3 << " Error, No Transmitter Location Selected. ";
    QTest::newRow("4") << 4 << " Error, No FIP Counties have been Selected. ";
    QTest::newRow("5") << 5 << " Error, More than 24 FIP codes selected. ";
    QTest::newRow("10") << 10 << "Error #301:  No History Data to Print. ";
    QTest::newRow("11") << 11 << "Error #302:  Print Spooling Error. ";
    QTest::newRow("12") << 12 << "Error #303:  No History Data to Save. ";
    QTest::newRow("50") << 50 << "Error #500:  Could not load your Web Browser. ";
}

void TestMessages::operationErrors()
{
    QFETCH(int, selector);
    QFETCH(QString, text);
    TestEnv env;
    Messages::ShowError(env.ctx->prompter(), selector);
    QCOMPARE(env.prompter.boxes.size(), 1);
    const auto &box = env.prompter.boxes.first();
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, QStringLiteral("NX-4400C Digital Weather Receiver"));
    QCOMPARE(box.icon, I::Exclamation);
    QCOMPARE(box.buttons, B::Ok);
    QCOMPARE(env.endRequests, 0);
}

void TestMessages::unknownSelectorsHaveNoText()
{
    QVERIFY(Messages::errorText(0).isEmpty());
    QVERIFY(Messages::errorText(6).isEmpty());
    QVERIFY(Messages::fatalErrorText(14).isEmpty());
    QVERIFY(Messages::fatalErrorText(-1).isEmpty());
}

void TestMessages::prompts()
{
    TestEnv env;
    env.prompter.answers << Prompter::Button::No << Prompter::Button::Cancel << Prompter::Button::Yes;
    QCOMPARE(Messages::ConfirmNoCounties(env.ctx->prompter(), 1), Prompter::Button::No);
    QCOMPARE(Messages::ConfirmSaveChanges(env.ctx->prompter(), 1), Prompter::Button::Cancel);
    QCOMPARE(Messages::ConfirmSaveChanges(env.ctx->prompter(), 2), Prompter::Button::Yes);
    const auto &boxes = env.prompter.boxes;
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[0].text,
             QStringLiteral(" Error, No FIP Counties have been Selected\r\n Do you still want to Exit?"));
    QCOMPARE(boxes[0].icon, I::Exclamation);
    QCOMPARE(boxes[0].buttons, B::YesNo);
    QCOMPARE(boxes[1].text, QStringLiteral(" Do you want to save any changes? "));
    QCOMPARE(boxes[1].icon, I::Question);
    QCOMPARE(boxes[1].buttons, B::YesNoCancel);
    QCOMPARE(boxes[2].buttons, B::YesNo);
    for (const auto &b : boxes)
        QCOMPARE(b.title, QStringLiteral("NX-4400C Digital Weather Receiver"));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
