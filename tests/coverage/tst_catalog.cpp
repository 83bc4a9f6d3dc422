// SPDX-License-Identifier: GPL-3.0-or-later
// The event catalogue, the selection rules, the county entry rules and the
// state tables.
#include "coverage/core/CountyEntries.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/StateDatabase.h"
#include "support/TestEnv.h"

#include <QtTest>

Q_DECLARE_METATYPE(EventClass)

class tst_Catalog : public QObject
{
    Q_OBJECT

private slots:
    void eventNames_data();
    void eventNames();
    void catalogueShape();
    void lookupThroughContext();

    void matchOk_data();
    void matchOk();
    void storeEventCodes();

    void constructOutString_data();
    void constructOutString();
    void fillBoxesRoundTrip();
    void itemsFromFipEntries();
    void storeItems_data();
    void storeItems();
    void storeKeepsSelectionOfLongList();
    void removeQuestion();

    void stateFileNames_data();
    void stateFileNames();
    void stateNames_data();
    void stateNames();
    void frequencyFilter();
    void noteIfNew();
};

void tst_Catalog::eventNames_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<EventClass>("cls");
    QTest::newRow("HMW drawn blue") << "HMW" << "Hazardous Materials Warning" << EventClass::Watch;
    QTest::newRow("CDW") << "CDW" << "Civil Danger Warning" << EventClass::Warning;
    QTest::newRow("EVI name, not caption") << "EVI" << "Evacuation Immediate" << EventClass::Other;
    QTest::newRow("LEW name, not caption") << "LEW" << "Law Enforcement Warning" << EventClass::Warning;
    QTest::newRow("SPW") << "SPW" << "Shelter In Place Warning" << EventClass::Warning;
    QTest::newRow("TOE") << "TOE" << "911 Telephone Outage Emergency" << EventClass::Other;
    QTest::newRow("DMO") << "DMO" << "Practice/Demo Warning" << EventClass::Warning;
    QTest::newRow("AVA") << "AVA" << "Avalanche Watch" << EventClass::Watch;
    QTest::newRow("RWT") << "RWT" << "Required Weekly Test" << EventClass::Other;
    QTest::newRow("TOW not offered") << "TOW" << "Unknown Event Code" << EventClass::Other;
    QTest::newRow("SVW not offered") << "SVW" << "Unknown Event Code" << EventClass::Other;
    QTest::newRow("empty") << "" << "Unknown Event Code" << EventClass::Other;
    QTest::newRow("lower case") << "tor" << "Unknown Event Code" << EventClass::Other;
    QTest::newRow("trailing blank") << "TOR " << "Unknown Event Code" << EventClass::Other;
    QTest::newRow("leading blank") << " TOR" << "Unknown Event Code" << EventClass::Other;
}

void tst_Catalog::eventNames()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(EventClass, cls);
    EventCatalog catalog;
    QString gotName = QStringLiteral("stale");
    EventClass gotClass = EventClass::Warning;
    GetEventName(catalog, code, &gotName, &gotClass);
    QCOMPARE(gotName, name);
    QCOMPARE(gotClass, cls);
}

void tst_Catalog::catalogueShape()
{
    EventCatalog catalog;
    InitEventCatalog(catalog);   // refilling must not duplicate rows
    QCOMPARE(catalog.rows.size(), 47);
    QSet<QString> codes;
    for (const EventCatalogEntry &row : catalog.rows) {
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]{3}$")).match(row.EventCode).hasMatch(),
                 qPrintable(row.EventCode));
        codes.insert(row.EventCode);
    }
    QCOMPARE(codes.size(), 47);
    // Page 1: 22 codes alternating watch, warning from AVA; page 2: the rest.
    for (int i = 0; i < 22; ++i) {
        const EventCatalogEntry &row = catalog.rows.at(i);
        QCOMPARE(row.page, 1);
        QCOMPARE(row.cls, i % 2 ? EventClass::Warning : EventClass::Watch);
        QCOMPARE(row.caption, i % 2 ? QStringLiteral("Warning") : QStringLiteral("Watch"));
    }
    QCOMPARE(catalog.rows.at(0).EventCode, QStringLiteral("AVA"));
    for (int i = 22; i < 47; ++i)
        QCOMPARE(catalog.rows.at(i).page, 2);
    // Captions that differ from the names.
    QCOMPARE(catalog.find(QStringLiteral("CDW"))->caption, QStringLiteral("Cival Danger Warning"));
    QCOMPARE(catalog.find(QStringLiteral("LEW"))->caption, QStringLiteral("Law Inforcement Warning"));
    QCOMPARE(catalog.find(QStringLiteral("SPW"))->caption, QStringLiteral("Shelter in Place Warning"));
    QCOMPARE(catalog.find(QStringLiteral("EVI"))->caption, QStringLiteral("Evacuate Immediate"));
    QCOMPARE(catalog.rows.last().EventCode, QStringLiteral("RWT"));
}

void tst_Catalog::lookupThroughContext()
{
    TestEnv env;
    QString name;
    EventClass cls = EventClass::Other;
    GetEventName(env.ctx->catalog, QStringLiteral("TOR"), &name, &cls);
    QCOMPARE(name, QStringLiteral("Tornado Warning"));
    QCOMPARE(cls, EventClass::Warning);
    GetEventName(env.ctx->catalog, QStringLiteral("SVA"), nullptr, &cls);   // null name is allowed
    QCOMPARE(cls, EventClass::Watch);
}

void tst_Catalog::matchOk_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("match");
    QTest::newRow("slot 0") << 0 << "TOR" << "TOR" << true;
    QTest::newRow("slot 47") << 47 << "TOR" << "TOR" << true;
    QTest::newRow("slot 48 not looked at") << 48 << "TOR" << "TOR" << false;
    QTest::newRow("lower case stored") << 3 << "tor" << "TOR" << false;
    QTest::newRow("blank after") << 3 << "TOR " << "TOR" << false;
}

void tst_Catalog::matchOk()
{
    QFETCH(int, slot);
    QFETCH(QString, stored);
    QFETCH(QString, code);
    QFETCH(bool, match);
    QStringList selection(49, QString());
    selection[slot] = stored;
    QCOMPARE(EventSelectionRules::MatchOk(selection, code), match);
}

void tst_Catalog::storeEventCodes()
{
    QStringList selection(49, QStringLiteral("XXX"));
    QVERIFY(EventSelectionRules::StoreEventCodes(selection, {QStringLiteral("AVA"), QStringLiteral("BZW")}));
    QCOMPARE(selection.size(), 49);
    QCOMPARE(selection.at(0), QStringLiteral("AVA"));
    QCOMPARE(selection.at(1), QStringLiteral("BZW"));
    for (int i = 2; i < 48; ++i)
        QVERIFY(selection.at(i).isEmpty());
    QCOMPARE(selection.at(48), QStringLiteral("XXX"));   // slot 48 untouched

    QStringList tooMany;
    for (int i = 0; i < 49; ++i)
        tooMany << QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
    const QStringList before = selection;
    QVERIFY(!EventSelectionRules::StoreEventCodes(selection, tooMany));
    QCOMPARE(selection, before);
    QVERIFY(EventSelectionRules::StoreEventCodes(selection, tooMany.mid(0, 48)));
    QCOMPARE(selection.at(47), QStringLiteral("C47"));
}

void tst_Catalog::constructOutString_data()
{
    QTest::addColumn<QString>("fip");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("entry");
    QTest::newRow("Martin") << "012085" << "Martin" << "Florida"
                            << "012085  Martin                 Florida";
    QTest::newRow("trimmed boxes") << " 012085 " << "  Martin " << " Florida "
                                   << "012085  Martin                 Florida";
    QTest::newRow("22-char county gets one blank")
        << "051570" << "Colonial Heights Cty22" << "Virginia" << "051570  Colonial Heights Cty22 Virginia";
    QTest::newRow("23 chars: no blank added")
        << "051570" << "Colonial Heights City23" << "Virginia" << "051570  Colonial Heights City23Virginia";
    QTest::newRow("empty state") << "012011" << "Broward" << "" << "012011  Broward                ";
}

void tst_Catalog::constructOutString()
{
    QFETCH(QString, fip);
    QFETCH(QString, county);
    QFETCH(QString, state);
    QFETCH(QString, entry);
    QCOMPARE(CountyEntries::ConstructOutString(fip, county, state), entry);
}

void tst_Catalog::fillBoxesRoundTrip()
{
    const QString entry = QStringLiteral("012011  Broward                Florida");
    const CountyEntries::Boxes b = CountyEntries::FillBoxes(entry);
    QCOMPARE(b.fip, QStringLiteral("012011"));
    QCOMPARE(b.county, QStringLiteral("Broward"));
    QCOMPARE(b.state, QStringLiteral("Florida"));
    QCOMPARE(CountyEntries::ConstructOutString(b.fip, b.county, b.state), entry);
    // A code written with a blank keeps it, so its length is judged as typed.
    QCOMPARE(CountyEntries::FillBoxes(QStringLiteral("12011   X")).fip, QStringLiteral("12011 "));
    // A short entry gives empty boxes, not garbage.
    const CountyEntries::Boxes s = CountyEntries::FillBoxes(QStringLiteral("0120"));
    QCOMPARE(s.county, QString());
    QCOMPARE(s.state, QString());
}

void tst_Catalog::itemsFromFipEntries()
{
    QStringList lines(99, QString());
    lines[0] = QStringLiteral("X 012011  Broward                Florida");
    lines[2] = QStringLiteral("012085  Martin                 Florida");   // reader dropped the blanks
    lines[5] = QStringLiteral("  012099  Palm Beach             Florida");
    lines[98] = QStringLiteral("X ") + QString(60, QLatin1Char('a'));
    const QVector<CountyEntries::Item> items = CountyEntries::itemsFromFipEntries(lines);
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0), (CountyEntries::Item{QStringLiteral("012011  Broward                Florida"), true}));
    QCOMPARE(items.at(1), (CountyEntries::Item{QStringLiteral("012085  Martin                 Florida"), false}));
    QCOMPARE(items.at(2), (CountyEntries::Item{QStringLiteral("012099  Palm Beach             Florida"), false}));
    QCOMPARE(items.at(3).text.size(), 51);   // characters 3 to 53
    QVERIFY(items.at(3).checked);
}

void tst_Catalog::storeItems_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("checked");
    QTest::addColumn<bool>("stored");
    QTest::newRow("none") << 3 << 0 << true;
    QTest::newRow("24 of 30") << 30 << 24 << true;
    QTest::newRow("25 of 30 refused") << 30 << 25 << false;
    QTest::newRow("99 entries") << 99 << 10 << true;
}

void tst_Catalog::storeItems()
{
    QFETCH(int, entries);
    QFETCH(int, checked);
    QFETCH(bool, stored);
    QVector<CountyEntries::Item> items;
    for (int i = 0; i < entries; ++i)
        items.append({QStringLiteral("0120%1  County").arg(i, 2, 10, QLatin1Char('0')), i < checked});
    QStringList fip(99, QStringLiteral("X 012011  Broward                Florida"));
    const QStringList before = fip;
    const auto result = CountyEntries::storeItems(items, fip, 99);
    QCOMPARE(result == CountyEntries::StoreResult::Stored, stored);
    QCOMPARE(fip.size(), 99);
    if (!stored) {
        QCOMPARE(fip, before);   // a refusal loses nothing stored
        return;
    }
    for (int i = 0; i < 99; ++i) {
        if (i >= entries)
            QVERIFY(fip.at(i).isEmpty());
        else
            QCOMPARE(fip.at(i), (i < checked ? QStringLiteral("X ") : QStringLiteral("  ")) + items.at(i).text);
    }
}

void tst_Catalog::storeKeepsSelectionOfLongList()
{
    // 120 entries, the checked ones at the end: all of them survive.
    QVector<CountyEntries::Item> items;
    for (int i = 0; i < 120; ++i)
        items.append({QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), i >= 110});
    QStringList fip;
    QCOMPARE(CountyEntries::storeItems(items, fip, 99), CountyEntries::StoreResult::Stored);
    QCOMPARE(fip.size(), 99);
    QCOMPARE(fip.filter(QRegularExpression(QStringLiteral("^X "))).size(), 10);
    QCOMPARE(fip.at(0), QStringLiteral("  000000"));
    QCOMPARE(fip.at(88), QStringLiteral("  000088"));
    QCOMPARE(fip.at(89), QStringLiteral("X 000110"));
    QCOMPARE(fip.at(98), QStringLiteral("X 000119"));
}

void tst_Catalog::removeQuestion()
{
    QCOMPARE(CountyEntries::removeQuestion(QStringLiteral("012011  Broward                Florida")),
             QStringLiteral("Are you sure you want to remove FIP county:\r\n012011  Broward"));
}

void tst_Catalog::stateFileNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("listEntry");
    QTest::newRow("0") << 0 << "Al_102.st" << "Alabama";
    QTest::newRow("1") << 1 << "Ak_101.st" << "Alaska";
    QTest::newRow("8") << 8 << "Fl_109.st" << "Florida";
    QTest::newRow("14") << 14 << "Ia_112.st" << "Iowa";
    QTest::newRow("19") << 19 << "Md_120.st" << "Maryland";
    QTest::newRow("44") << 44 << "Vt_146.st" << "Vermont";
    QTest::newRow("45") << 45 << "Va_145.st" << "Virginia";
    QTest::newRow("49") << 49 << "Wy_150.st" << "Wyoming";
    QTest::newRow("51") << 51 << "Mr_152.st" << "N Mariana Islands";
    QTest::newRow("53") << 53 << "Vi_154.st" << "US Virgin Islands";
    QTest::newRow("-1") << -1 << "" << "";
    QTest::newRow("54") << 54 << "" << "";
}

void tst_Catalog::stateFileNames()
{
    QFETCH(int, id);
    QFETCH(QString, file);
    QFETCH(QString, listEntry);
    QCOMPARE(StateDatabase::GetStateFileName(id), file);
    QCOMPARE(StateDatabase::stateList().value(id), listEntry);
}

void tst_Catalog::stateNames_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::newRow("01") << "001001  Autauga" << "Alabama";
    QTest::newRow("11") << "011001" << "District Of Columbia";
    QTest::newRow("69") << "069100" << "Mariana Islands";
    QTest::newRow("78") << "078010" << "US Virgin Islands";
    QTest::newRow("14 none") << "014001" << "";
    QTest::newRow("03 none") << "003001" << "";
    QTest::newRow("52 none") << "052001" << "";
    QTest::newRow("short") << "0" << "";
    QTest::newRow("empty") << "" << "";
}

void tst_Catalog::stateNames()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QCOMPARE(StateDatabase::GetStateName(line), name);
}

void tst_Catalog::frequencyFilter()
{
    const QStringList list = StateDatabase::frequencyList();
    QCOMPARE(list.size(), 8);
    QCOMPARE(list.first(), QStringLiteral("All"));
    QCOMPARE(list.last(), QStringLiteral("162.550"));
    QCOMPARE(StateDatabase::frequencyFilter(0), QString());
    QCOMPARE(StateDatabase::frequencyFilter(7), QStringLiteral("162.550"));
    QCOMPARE(StateDatabase::frequencyFilter(8), QString());
    QCOMPARE(StateDatabase::frequencyFilter(-1), QString());
}

void tst_Catalog::noteIfNew()
{
    StateDatabase::SeenList seen;
    QCOMPARE(seen.NoteIfNew(QString()), int16_t(-1));   // empty counts as seen
    QCOMPARE(seen.NoteIfNew(QStringLiteral("a")), int16_t(0));
    QCOMPARE(seen.NoteIfNew(QStringLiteral("a")), int16_t(-1));
    QCOMPARE(seen.NoteIfNew(QStringLiteral("A")), int16_t(0));   // case matters
    QCOMPARE(seen.NoteIfNew(QStringLiteral("a ")), int16_t(0));  // no trimming
    seen.clear();
    for (int i = 0; i < 501; ++i)
        QCOMPARE(seen.NoteIfNew(QString::number(i)), int16_t(0));
    QVERIFY(!seen.overflowed());
    QCOMPARE(seen.NoteIfNew(QStringLiteral("500")), int16_t(-1));
    QVERIFY(!seen.overflowed());
    QCOMPARE(seen.NoteIfNew(QStringLiteral("new")), int16_t(-1));
    QVERIFY(seen.overflowed());
}

QTEST_GUILESS_MAIN(tst_Catalog)
#include "tst_catalog.moc"
