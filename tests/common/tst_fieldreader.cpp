// The free-format reader that the settings file and the station list files
// share.

#include "FieldReader.h"

#include <QTest>

using namespace quintaro;

namespace {

// Every value the reader gives, as "text" or "[quoted]", then "!" for an
// unclosed quote.
QStringList readAll(const QByteArray &input)
{
    FieldReader reader(std::string_view(input.constData(), static_cast<size_t>(input.size())));
    QStringList out;
    Field field;
    for (int guard = 0; guard < 1000; ++guard) {
        const auto result = reader.next(field);
        if (result == FieldReader::Result::End)
            return out;
        if (result == FieldReader::Result::UnclosedQuote) {
            out << QStringLiteral("!");
            return out;
        }
        const QString text = QString::fromLatin1(field.text.data(), qsizetype(field.text.size()));
        out << (field.quoted ? QLatin1Char('[') + text + QLatin1Char(']') : text);
    }
    return out << QStringLiteral("runaway");
}

} // namespace

class TestFieldReader : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
};

void TestFieldReader::values_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("empty input") << QByteArray() << QStringList();
    QTest::newRow("one line, CR LF") << QByteArray("ABC\r\n") << QStringList{"ABC"};
    QTest::newRow("last line without CR LF")
        << QByteArray("ABC\r\nDEF") << QStringList{"ABC", "DEF"};
    QTest::newRow("lone LF ends a line") << QByteArray("ABC\nDEF\n") << QStringList{"ABC", "DEF"};
    QTest::newRow("lone CR ends a line") << QByteArray("ABC\rDEF\r") << QStringList{"ABC", "DEF"};
    QTest::newRow("commas") << QByteArray("A,B,C") << QStringList{"A", "B", "C"};
    QTest::newRow("blank line is an empty value")
        << QByteArray("ABC\r\n\r\nDEF\r\n") << QStringList{"ABC", "", "DEF"};
    QTest::newRow("trailing blank line") << QByteArray("ABC\r\n\r\n") << QStringList{"ABC", ""};
    QTest::newRow("nothing between commas") << QByteArray("A,,B") << QStringList{"A", "", "B"};
    QTest::newRow("blanks and tabs around a value")
        << QByteArray("  \tABC \t,DEF") << QStringList{"ABC", "DEF"};
    QTest::newRow("quoted value") << QByteArray("\"ABC\"\r\n") << QStringList{"[ABC]"};
    QTest::newRow("comma inside quotes") << QByteArray("\"A,B\",C") << QStringList{"[A,B]", "C"};
    QTest::newRow("line end inside quotes")
        << QByteArray("\"A\r\nB\",C") << QStringList{"[A\r\nB]", "C"};
    QTest::newRow("blanks kept inside quotes") << QByteArray("\" A \"") << QStringList{"[ A ]"};
    QTest::newRow("text after a closing quote is ignored")
        << QByteArray("\"AB\"CD,EF") << QStringList{"[AB]", "EF"};
    QTest::newRow("quote inside an unquoted value")
        << QByteArray("AB\"CD\",EF") << QStringList{"AB\"CD\"", "EF"};
    QTest::newRow("unclosed quote") << QByteArray("A,\"BC\r\n") << QStringList{"A", "!"};
    QTest::newRow("NUL and high bytes are characters")
        << QByteArray("A\0B\xE9,C", 6) << QStringList{QString::fromLatin1("A\0B\xE9", 4), "C"};
    QTest::newRow("only blanks") << QByteArray("   ") << QStringList{""};
    QTest::newRow("comma then line end") << QByteArray("A,\r\nB") << QStringList{"A", "", "B"};
}

void TestFieldReader::values()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, values);
    QCOMPARE(readAll(input), values);
}

QTEST_APPLESS_MAIN(TestFieldReader)
#include "tst_fieldreader.moc"
