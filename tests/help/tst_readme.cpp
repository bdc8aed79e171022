#include "FileBytes.h"
#include "PlainText.h"
#include "RtfReader.h"
#include "TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace quintaro::rtf;
using testsupport::readFile;

namespace {

QString readmePath()
{
    return testsupport::sourceDir() + QStringLiteral("/Leggimi_Quintaro.rtf");
}

Document readReadme()
{
    const QByteArray bytes = readFile(readmePath(), QByteArray());
    return readRtf(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString ourPlainText()
{
    return QString::fromStdString(testsupport::plainText(readReadme()));
}

bool isCodePageLetter(QChar c)
{
    return c.unicode() >= 0xC0 && c.unicode() <= 0xFF;
}

// ASCII and the accented letters of the read-me's code page: text that the
// independent reader gets right.
bool isReliable(const QString &word)
{
    for (const QChar c : word)
        if (c.unicode() >= 0x80 && !isCodePageLetter(c))
            return false;
    return true;
}

bool hasCodePageLetter(const QString &word)
{
    return std::any_of(word.begin(), word.end(), isCodePageLetter);
}

QStringList words(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

// The independent reader is trusted only for ASCII and code-page letters: it
// drops or replaces typographic quotes, dashes, bullets and \uN characters,
// which leaves one word of its own, or none, where ours holds a word with
// such a character. So our words of ASCII and accented letters must match
// its words one for one, in order; each of our other words stands for at
// most one of its words, and never for one with an accented letter, which
// it reads reliably.
bool sameWords(const QStringList &ours, const QStringList &theirs, QString *firstMismatch)
{
    const qsizetype n = ours.size();
    const qsizetype m = theirs.size();
    // reach[i][j]: our first i words account for their first j words.
    std::vector<std::vector<char>> reach(n + 1, std::vector<char>(m + 1, 0));
    reach[0][0] = 1;
    qsizetype furthest = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const bool wildcard = !isReliable(ours[i]);
        for (qsizetype j = 0; j <= m; ++j) {
            if (!reach[i][j])
                continue;
            if (wildcard) {
                reach[i + 1][j] = 1;
                if (j < m && !hasCodePageLetter(theirs[j]))
                    reach[i + 1][j + 1] = 1;
            } else if (j < m && ours[i] == theirs[j]) {
                reach[i + 1][j + 1] = 1;
            }
        }
        if (std::find(reach[i + 1].begin(), reach[i + 1].end(), 1) != reach[i + 1].end())
            furthest = i + 1;
    }
    if (reach[n][m])
        return true;
    if (firstMismatch) {
        *firstMismatch = furthest < n
                             ? QStringLiteral("the words stop matching near our word %1 \"%2\"")
                                   .arg(furthest)
                                   .arg(ours[furthest])
                             : QStringLiteral("their text goes on after ours ends");
    }
    return false;
}

// Runs `unrtf --text` on the file; an empty result when it fails.
QString unrtfText(const QString &program, const QString &path)
{
    QProcess process;
    process.start(program, {QStringLiteral("--text"), path});
    if (!process.waitForStarted(5000))
        return QString();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    // Its text output is in the document's single-byte code page; any byte
    // above ASCII only has to stay outside ASCII for the comparison.
    const QString output = QString::fromLatin1(process.readAllStandardOutput());
    // A header of "###" comment lines and document properties ends at a
    // line of dashes.
    static const QRegularExpression headerEnd(QStringLiteral("^-{5,}\\s*$"),
                                              QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = headerEnd.match(output);
    if (!match.hasMatch())
        return QString();
    return output.mid(match.capturedEnd());
}

} // namespace

class TestReadme : public QObject
{
    Q_OBJECT

private slots:
    void isRealRtf_data();
    void isRealRtf();
    void usesTheReaderFeatures();
    void tellsWhatTheProgramDoes_data();
    void tellsWhatTheProgramDoes();
    void liesBesideTheProgram();
    void wordComparison_data();
    void wordComparison();
    void matchesAnIndependentReader();
};

void TestReadme::isRealRtf_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::newRow("rtf header") << QByteArray("{\\rtf1\\ansi\\ansicpg1252");
    QTest::newRow("font table") << QByteArray("{\\fonttbl");
    QTest::newRow("colour table") << QByteArray("{\\colortbl");
    QTest::newRow("code-page letter") << QByteArray("\\'e8");
    QTest::newRow("unicode character") << QByteArray("\\u8217?");
    QTest::newRow("list text") << QByteArray("{\\pntext");
    QTest::newRow("typographic quote") << QByteArray("\\ldblquote");
}

void TestReadme::isRealRtf()
{
    QFETCH(QByteArray, marker);
    const QByteArray bytes = readFile(readmePath(), QByteArray());
    QVERIFY2(!bytes.isEmpty(), qPrintable(readmePath()));
    QVERIFY(bytes.contains(marker));
}

void TestReadme::usesTheReaderFeatures()
{
    const Document document = readReadme();
    QVERIFY(document.paragraphs.size() > 30);

    int headings = 0;
    int bullets = 0;
    bool centred = false;
    bool underlined = false;
    bool monospace = false;
    for (const Paragraph &paragraph : document.paragraphs) {
        QVERIFY(!paragraph.runs.empty());
        const Run &first = paragraph.runs.front();
        if (first.format.bold && first.format.halfPoints > 24 && first.format.colour)
            ++headings;
        if (testsupport::plainText(paragraph).rfind("\u2022\t", 0) == 0)
            ++bullets;
        centred = centred || paragraph.format.alignment == Alignment::Center;
        for (const Run &run : paragraph.runs) {
            QCOMPARE(run.format.fontName.empty(), false);
            underlined = underlined || run.format.underline;
            monospace = monospace || run.format.fontName == "Courier New";
        }
    }
    QVERIFY(headings >= 6);
    QVERIFY(bullets >= 10);
    QVERIFY(centred);
    QVERIFY(underlined);
    QVERIFY(monospace);
}

void TestReadme::tellsWhatTheProgramDoes_data()
{
    QTest::addColumn<QString>("phrase");
    const char *phrases[] = {
        "AGWPE su Windows, Direwolf su Linux",
        "porta 8000",
        "percorso call indirizzo",
        "AGW IP Address:",
        "Connect on Startup",
        "Disconnect",
        "Open Brezomat for new wx station",
        "Open all Brezomats loading wx list",
        "Setup Brezomat Path...",
        "Orbetti.exe",
        "Load Wx Station List...",
        "Save Wx Station List as...",
        "WxList.txt",
        "da 3 a 9 caratteri",
        "Generate Batch File...",
        "WxLoad.bat",
        "lettere, cifre e “-”",
        "Quintaro.ini",
        "sette valori",
        "può",         // a code-page letter
        "l’indirizzo", // an apostrophe written as \uN
    };
    for (const char *phrase : phrases)
        QTest::newRow(phrase) << QString::fromUtf8(phrase);
}

void TestReadme::tellsWhatTheProgramDoes()
{
    QFETCH(QString, phrase);
    const QString text = ourPlainText();
    QVERIFY2(text.contains(phrase), qPrintable(phrase));
}

void TestReadme::liesBesideTheProgram()
{
    const QString beside = testsupport::binaryDir() + QStringLiteral("/Leggimi_Quintaro.rtf");
    QVERIFY2(QFile::exists(beside), qPrintable(beside));
    QCOMPARE(readFile(beside, QByteArray()), readFile(readmePath(), QByteArray()));
}

void TestReadme::wordComparison_data()
{
    QTest::addColumn<QString>("ours");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<bool>("same");

    QTest::newRow("identical") << u"uno due tre"_qs << u"uno  due\ntre"_qs << true;
    QTest::newRow("quote dropped by them")
        << u"il “Connect” ora"_qs << u"il Connect ora"_qs << true;
    QTest::newRow("dash dropped by them") << u"A – B"_qs << u"A B"_qs << true;
    QTest::newRow("accent in both") << u"perché no"_qs << u"perch\u00e9 no"_qs << true;
    QTest::newRow("unicode replaced by them") << u"l’altro sì"_qs << u"l?altro s\u00ec"_qs << true;
    QTest::newRow("word missing in ours") << u"uno tre"_qs << u"uno due tre"_qs << false;
    QTest::newRow("word missing in theirs") << u"uno due tre"_qs << u"uno tre"_qs << false;
    QTest::newRow("word changed") << u"uno due tre"_qs << u"uno dve tre"_qs << false;
    QTest::newRow("words swapped") << u"uno due tre"_qs << u"uno tre due"_qs << false;
    QTest::newRow("two words for one special word") << u"a “b” c"_qs << u"a b x c"_qs << false;
    QTest::newRow("their accent against our ASCII") << u"perche"_qs << u"perch\u00e9"_qs << false;
    QTest::newRow("another accent") << u"può"_qs << u"pu\u00f3"_qs << false;
    QTest::newRow("letter of another code page") << u"puň"_qs << u"pu\u00f2"_qs << false;
}

void TestReadme::wordComparison()
{
    QFETCH(QString, ours);
    QFETCH(QString, theirs);
    QFETCH(bool, same);
    QCOMPARE(sameWords(words(ours), words(theirs), nullptr), same);
}

void TestReadme::matchesAnIndependentReader()
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        QSKIP("unrtf is not installed");
    const QString theirs = unrtfText(unrtf, readmePath());
    QVERIFY2(!theirs.trimmed().isEmpty(), "unrtf gave no text");

    const QStringList ourWords = words(ourPlainText());
    const QStringList theirWords = words(theirs);
    QString mismatch;
    QVERIFY2(sameWords(ourWords, theirWords, &mismatch), qPrintable(mismatch));

    // The same comparison notices a word our reader would lose or garble.
    qsizetype middle = ourWords.size() / 2;
    while (middle < ourWords.size() && !isReliable(ourWords[middle]))
        ++middle;
    QVERIFY(middle < ourWords.size());
    QStringList dropped = ourWords;
    dropped.removeAt(middle);
    QVERIFY(!sameWords(dropped, theirWords, nullptr));
    QStringList garbled = ourWords;
    garbled[middle] += QLatin1Char('x');
    QVERIFY(!sameWords(garbled, theirWords, nullptr));
}

QTEST_APPLESS_MAIN(TestReadme)

#include "tst_readme.moc"
