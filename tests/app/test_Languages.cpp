#include "app/Languages.h"

#include <QSet>
#include <QtTest>

#include <algorithm>
#include <stdexcept>

namespace {

// The common languages at the top of the list, in the order they show.
const QList<int> CommonLanguages{75,  108, 117, 125, 139, 193, 200, 203, 230,
                                 316, 346, 357, 359, 396, 407, 419, 471};

}  // namespace

class TLanguages : public QObject {
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void everyRowHasACodeAndAName();
    void displayOrderPutsTheCommonLanguagesFirst();
    void displayPositionIsTheInverseOfTheOrder();
    void japaneseShowsEighth();
    void displayPositionOutsideTheTable();
    void indexOfCode_data();
    void indexOfCode();
    void entryText_data();
    void entryText();
    void indexOutsideTheTableThrows();
};

void TLanguages::rows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("first") << 0 << "aar"
                           << "Afar";
    QTest::newRow("ach") << 3 << "ach"
                         << "Acoli";
    QTest::newRow("bibliographic code") << 12 << "alb"
                                        << "Albanian";
    QTest::newRow("ang kept name") << 17 << "ang"
                                   << "Englisc English, Old (ca.450-1100)";
    QTest::newRow("ces") << 75 << "ces"
                         << "Czech";
    QTest::newRow("deu") << 108 << "deu"
                         << "German";
    QTest::newRow("nld out of order") << 117 << "nld"
                                      << "Dutch; Flemish";
    QTest::newRow("default eng") << 125 << "eng"
                                 << "English";
    QTest::newRow("fra") << 139 << "fra"
                         << "French";
    QTest::newRow("jpn") << 203 << "jpn"
                         << "Japanese";
    QTest::newRow("retired mol") << 288 << "mol"
                                 << "Moldavian";
    QTest::newRow("non-ASCII name") << 313 << "nob"
                                    << "Bokmål, Norwegian; Norwegian Bokmål";
    QTest::newRow("spa") << 396 << "spa"
                         << "Spanish; Castilian";
    QTest::newRow("zho") << 471 << "zho"
                         << "Chinese";
    QTest::newRow("last") << 474 << "zun"
                          << "Zuni";
}

void TLanguages::rows()
{
    QFETCH(int, index);
    QFETCH(QString, code);
    QFETCH(QString, name);

    const SLanguage& language = LanguageAt(index);
    QCOMPARE(QLatin1StringView(language.code), code);
    QCOMPARE(QString::fromUtf8(language.name), name);
}

// A table shorter than the count would leave null rows at the end; a
// pasted row twice would make a code find the wrong row.
void TLanguages::everyRowHasACodeAndAName()
{
    QCOMPARE(LanguageCount, 475);
    QSet<QString> codes;
    for (int index = 0; index < LanguageCount; ++index) {
        const SLanguage& language = LanguageAt(index);
        QVERIFY2(language.code && language.name, qPrintable(QString::number(index)));
        const QString code = QLatin1StringView(language.code);
        QVERIFY2(code.size() == 3 && std::all_of(code.begin(), code.end(),
                                                 [](QChar c) { return c >= 'a' && c <= 'z'; }),
                 qPrintable(code));
        QVERIFY2(!QString::fromUtf8(language.name).trimmed().isEmpty(), qPrintable(code));
        QVERIFY2(!codes.contains(code), qPrintable(code));
        codes.insert(code);
        QCOMPARE(LanguageIndexOfCode(code), index);
    }
}

void TLanguages::displayOrderPutsTheCommonLanguagesFirst()
{
    const auto& order = LanguageDisplayOrder();
    const QList<int> shown(order.begin(), order.end());

    QCOMPARE(shown.mid(0, CommonLanguages.size()), CommonLanguages);

    QList<int> rest = shown.mid(CommonLanguages.size());
    QVERIFY(std::is_sorted(rest.begin(), rest.end()));

    QList<int> sorted = shown;
    std::sort(sorted.begin(), sorted.end());
    for (int index = 0; index < LanguageCount; ++index)
        QCOMPARE(sorted[index], index);
}

void TLanguages::displayPositionIsTheInverseOfTheOrder()
{
    const auto& order = LanguageDisplayOrder();
    for (int position = 0; position < LanguageCount; ++position)
        QCOMPARE(LanguageDisplayPosition(order[static_cast<std::size_t>(position)]), position);
    for (int index = 0; index < LanguageCount; ++index)
        QCOMPARE(order[static_cast<std::size_t>(LanguageDisplayPosition(index))], index);
}

void TLanguages::japaneseShowsEighth()
{
    QCOMPARE(LanguageIndexOfCode(QStringLiteral("jpn")), 203);
    QCOMPARE(LanguageDisplayPosition(203), 7);
    // The first row the common block passes over shows right after it.
    QCOMPARE(LanguageDisplayPosition(0), 17);
    QCOMPARE(LanguageDisplayPosition(474), 474);
}

void TLanguages::displayPositionOutsideTheTable()
{
    QCOMPARE(LanguageDisplayPosition(-1), -1);
    QCOMPARE(LanguageDisplayPosition(LanguageCount), -1);
}

void TLanguages::indexOfCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("index");

    QTest::newRow("eng") << "eng" << 125;
    QTest::newRow("first") << "aar" << 0;
    QTest::newRow("last") << "zun" << 474;
    QTest::newRow("upper case") << "ENG" << -1;
    QTest::newRow("mixed case") << "Eng" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("two letters") << "en" << -1;
    QTest::newRow("prefix of a code") << "engl" << -1;
    QTest::newRow("leading space") << " eng" << -1;
    QTest::newRow("unknown") << "xyz" << -1;
    // The table holds "ces" and "deu", not their other codes.
    QTest::newRow("cze not in the table") << "cze" << -1;
    QTest::newRow("ger not in the table") << "ger" << -1;
}

void TLanguages::indexOfCode()
{
    QFETCH(QString, code);
    QFETCH(int, index);

    QCOMPARE(LanguageIndexOfCode(code), index);
}

void TLanguages::entryText_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    QTest::newRow("eng") << 125 << "eng (English)";
    QTest::newRow("name with a semicolon") << 117 << "nld (Dutch; Flemish)";
    QTest::newRow("name with brackets") << 17 << "ang (Englisc English, Old (ca.450-1100))";
    QTest::newRow("non-ASCII name") << 325 << "oci (Occitan (post 1500); Provençal)";
}

void TLanguages::entryText()
{
    QFETCH(int, index);
    QFETCH(QString, text);

    QCOMPARE(LanguageEntryText(index), text);
}

void TLanguages::indexOutsideTheTableThrows()
{
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, LanguageAt(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, LanguageAt(LanguageCount));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, LanguageEntryText(LanguageCount));
}

QTEST_MAIN(TLanguages)
#include "test_Languages.moc"
