#include "RtfDocument.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

using namespace quintaro;

namespace {

QTextDocument *filled(const QByteArray &rtf)
{
    auto *document = new QTextDocument;
    const rtf::Document model =
        rtf::readRtf(std::string_view(rtf.constData(), std::size_t(rtf.size())));
    help::fillTextDocument(*document, model);
    return document;
}

// The character format at the first character of `text` in the document.
QTextCharFormat formatAt(QTextDocument &document, const QString &text)
{
    const QTextCursor found = document.find(text);
    if (found.isNull())
        return QTextCharFormat();
    QTextCursor cursor(&document);
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

} // namespace

class TestRtfDocument : public QObject
{
    Q_OBJECT

private slots:
    void characterFormats();
    void paragraphFormats();
    void lineBreakStaysInItsParagraph();
    void replacesThePreviousContent();
    void formatsStopAfterManyRuns();
    void longWordsGetBreakOpportunities_data();
    void longWordsGetBreakOpportunities();
    void loadsFiles_data();
    void loadsFiles();
};

void TestRtfDocument::characterFormats()
{
    std::unique_ptr<QTextDocument> document(filled(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\colortbl;\\red200\\green10\\blue20;}"
        "\\f0 plain {\\b bold} {\\i italic} {\\ul under} {\\fs40 big} {\\cf1 red} {\\f1 mono}"
        " {\\fs99999 huge}}"));
    QCOMPARE(document->toPlainText(), u"plain bold italic under big red mono huge"_qs);

    QCOMPARE(formatAt(*document, u"plain"_qs).fontWeight(), int(QFont::Normal));
    QCOMPARE(formatAt(*document, u"plain"_qs).fontPointSize(), 12.0);
    QCOMPARE(formatAt(*document, u"plain"_qs).fontFamilies().toStringList(),
             QStringList{u"Arial"_qs});
    QVERIFY(!formatAt(*document, u"plain"_qs).hasProperty(QTextFormat::ForegroundBrush));
    QCOMPARE(formatAt(*document, u"bold"_qs).fontWeight(), int(QFont::Bold));
    QVERIFY(formatAt(*document, u"italic"_qs).fontItalic());
    QVERIFY(!formatAt(*document, u"bold"_qs).fontItalic());
    QVERIFY(formatAt(*document, u"under"_qs).fontUnderline());
    QCOMPARE(formatAt(*document, u"big"_qs).fontPointSize(), 20.0);
    QCOMPARE(formatAt(*document, u"red"_qs).foreground().color(), QColor(200, 10, 20));
    QCOMPARE(formatAt(*document, u"mono"_qs).fontFamilies().toStringList(),
             QStringList{u"Courier New"_qs});
    QCOMPARE(formatAt(*document, u"huge"_qs).fontPointSize(), help::kMaxDisplayPoints);
}

void TestRtfDocument::paragraphFormats()
{
    std::unique_ptr<QTextDocument> document(
        filled("{\\rtf1\\deftab360\\qc centre\\par\\pard\\qr right\\par\\pard\\qj justified\\par"
               "\\pard\\li600\\fi-300\\ri150\\sb45\\sa90 list\\par\\pard left}"));
    QCOMPARE(document->blockCount(), 5);
    QCOMPARE(document->defaultTextOption().tabStopDistance(), 24.0);
    QCOMPARE(document->findBlockByNumber(0).blockFormat().alignment(), Qt::AlignHCenter);
    QCOMPARE(document->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignRight);
    QCOMPARE(document->findBlockByNumber(2).blockFormat().alignment(), Qt::AlignJustify);
    const QTextBlockFormat list = document->findBlockByNumber(3).blockFormat();
    QCOMPARE(list.leftMargin(), 40.0);
    QCOMPARE(list.textIndent(), -20.0);
    QCOMPARE(list.rightMargin(), 10.0);
    QCOMPARE(list.topMargin(), 3.0);
    QCOMPARE(list.bottomMargin(), 6.0);
    QCOMPARE(list.tabPositions().size(), 1);
    QCOMPARE(list.tabPositions().front().position, 40.0);
    const QTextBlockFormat left = document->findBlockByNumber(4).blockFormat();
    QCOMPARE(left.alignment(), Qt::AlignLeft);
    QCOMPARE(left.leftMargin(), 0.0);
    QVERIFY(left.tabPositions().isEmpty());
}

void TestRtfDocument::lineBreakStaysInItsParagraph()
{
    std::unique_ptr<QTextDocument> document(filled("{\\rtf1 one\\line two\\par three}"));
    QCOMPARE(document->blockCount(), 2);
    QCOMPARE(document->firstBlock().text(), u"one\u2028two"_qs);
}

void TestRtfDocument::replacesThePreviousContent()
{
    std::unique_ptr<QTextDocument> document(filled("{\\rtf1\\qc old\\par old}"));
    const rtf::Document model = rtf::readRtf("{\\rtf1 new}");
    help::fillTextDocument(*document, model);
    QCOMPARE(document->toPlainText(), u"new"_qs);
    QCOMPARE(document->blockCount(), 1);
    QCOMPARE(document->firstBlock().blockFormat().alignment(), Qt::AlignLeft);
    QVERIFY(!document->isUndoAvailable());
}

void TestRtfDocument::formatsStopAfterManyRuns()
{
    // Alternating bold and plain words: one run each.
    const int runs = help::kMaxRunsPerParagraph + 500;
    QByteArray rtf("{\\rtf1 ");
    for (int i = 0; i < runs; ++i)
        rtf += (i % 2 == 0) ? "{\\b B}" : "p ";
    std::unique_ptr<QTextDocument> document(filled(rtf + "}"));

    QString expected;
    for (int i = 0; i < runs; ++i)
        expected += (i % 2 == 0) ? QStringLiteral("B") : QStringLiteral("p ");
    QCOMPARE(document->toPlainText(), expected);

    // Run i starts at 3 * (i / 2) + i % 2: "B" then "p ".
    QTextCursor cursor(document.get());
    const auto boldRun = [&](int run) {
        cursor.setPosition(3 * (run / 2) + run % 2 + 1);
        return cursor.charFormat().fontWeight() == QFont::Bold;
    };
    const int last = help::kMaxRunsPerParagraph - 1; // the last run with its own format
    QVERIFY(boldRun(last - 1));
    for (int run = last + 1; run < runs; ++run)
        QVERIFY(!boldRun(run));
}

void TestRtfDocument::longWordsGetBreakOpportunities_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("breaks");
    const int limit = help::kMaxUnbrokenCharacters;
    QTest::newRow("word at the limit") << QByteArray(limit, 'x') << 0;
    QTest::newRow("word one past the limit") << QByteArray(limit + 1, 'x') << 1;
    QTest::newRow("word of three limits") << QByteArray(3 * limit, 'x') << 2;
    QTest::newRow("blanks reset the count")
        << QByteArray(limit, 'x') + " " + QByteArray(limit, 'x') << 0;
    QTest::newRow("line breaks reset the count")
        << QByteArray(limit, 'x') + "\\line " + QByteArray(limit, 'x') << 0;
    QTest::newRow("the count goes on across runs")
        << QByteArray(limit, 'x') + "{\\b " + QByteArray(limit, 'x') + "}" << 1;
    QTest::newRow("a new paragraph starts again")
        << QByteArray(limit, 'x') + "\\par " + QByteArray(limit, 'x') << 0;
}

void TestRtfDocument::longWordsGetBreakOpportunities()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, breaks);
    std::unique_ptr<QTextDocument> document(filled("{\\rtf1 " + rtf + "}"));
    const QString text = document->toPlainText();
    QCOMPARE(text.count(QChar(0x200B)), breaks);
    QCOMPARE(text.count(QLatin1Char('x')), rtf.count('x'));
    QVERIFY(!text.startsWith(QChar(0x200B)));
}

void TestRtfDocument::loadsFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("text");
    QTest::newRow("rtf") << QByteArray("{\\rtf1 Ciao\\par mondo}") << true << u"Ciao\nmondo"_qs;
    QTest::newRow("plain text") << QByteArray("Ciao\nmondo") << true << u"Ciao\nmondo"_qs;
    QTest::newRow("empty") << QByteArray() << true << QString();
    QTest::newRow("missing") << QByteArray() << false << QString();
}

void TestRtfDocument::loadsFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"leggimi.rtf"_qs);
    if (readable) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTextEdit view;
    view.setPlainText(u"previous content"_qs);
    QString error;
    QCOMPARE(help::loadFileInto(view, path, &error), readable);
    QCOMPARE(view.toPlainText(), text);
    QCOMPARE(error.isEmpty(), readable);
}

QTEST_MAIN(TestRtfDocument)

#include "tst_rtfdocument.moc"
