#include "PlainText.h"
#include "RtfReader.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

using namespace quintaro::rtf;

namespace {

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString hexColour(const Colour &c)
{
    return QStringLiteral("#%1%2%3")
        .arg(c.red, 2, 16, QLatin1Char('0'))
        .arg(c.green, 2, 16, QLatin1Char('0'))
        .arg(c.blue, 2, 16, QLatin1Char('0'));
}

// A compact picture of a document: paragraphs separated by "|", in front of
// a paragraph its indents and spacing in twips when not 0, as [li.. ri..
// fi.. sb.. sa..], and "<C>", "<R>" or "<J>" when it is not left-aligned;
// every run as {attributes}text, the attributes being the ones that differ
// from the defaults (b, i, u, sN half points, c#rrggbb colour, fName font);
// "(none)" for a document without paragraphs.
QString dump(const Document &document)
{
    QStringList paragraphs;
    for (const Paragraph &paragraph : document.paragraphs) {
        QString out;
        const ParagraphFormat &format = paragraph.format;
        QStringList layout;
        if (format.leftIndent)
            layout << QStringLiteral("li%1").arg(format.leftIndent);
        if (format.rightIndent)
            layout << QStringLiteral("ri%1").arg(format.rightIndent);
        if (format.firstLineIndent)
            layout << QStringLiteral("fi%1").arg(format.firstLineIndent);
        if (format.spaceBefore)
            layout << QStringLiteral("sb%1").arg(format.spaceBefore);
        if (format.spaceAfter)
            layout << QStringLiteral("sa%1").arg(format.spaceAfter);
        if (!layout.isEmpty())
            out += QLatin1Char('[') + layout.join(QLatin1Char(' ')) + QLatin1Char(']');
        switch (format.alignment) {
        case Alignment::Center:
            out += QStringLiteral("<C>");
            break;
        case Alignment::Right:
            out += QStringLiteral("<R>");
            break;
        case Alignment::Justify:
            out += QStringLiteral("<J>");
            break;
        case Alignment::Left:
            break;
        }
        for (const Run &run : paragraph.runs) {
            QStringList attributes;
            if (run.format.bold)
                attributes << QStringLiteral("b");
            if (run.format.italic)
                attributes << QStringLiteral("i");
            if (run.format.underline)
                attributes << QStringLiteral("u");
            if (run.format.halfPoints != 24)
                attributes << QStringLiteral("s%1").arg(run.format.halfPoints);
            if (run.format.colour)
                attributes << QStringLiteral("c") + hexColour(*run.format.colour);
            if (!run.format.fontName.empty())
                attributes << QStringLiteral("f") + QString::fromStdString(run.format.fontName);
            out += QLatin1Char('{') + attributes.join(QLatin1Char(' ')) + QLatin1Char('}') +
                   QString::fromStdString(run.text);
        }
        paragraphs << out;
    }
    if (paragraphs.isEmpty())
        return QStringLiteral("(none)");
    return paragraphs.join(QLatin1Char('|'));
}

bool isValidUtf8(const std::string &text)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(QByteArrayView(text.data(), qsizetype(text.size())));
    return !decoder.hasError();
}

std::size_t textBytes(const Document &document)
{
    std::size_t total = 0;
    for (const Paragraph &paragraph : document.paragraphs)
        for (const Run &run : paragraph.runs)
            total += run.text.size();
    return total;
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void plainText_data();
    void plainText();
    void defaultTab_data();
    void defaultTab();
    void deepNesting_data();
    void deepNesting();
    void outputStaysLinear_data();
    void outputStaysLinear();
    void limits_data();
    void limits();
    void hostileFilesStopEarly_data();
    void hostileFilesStopEarly();
    void randomInputNeverBreaks();
};

void TestRtfReader::reads_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const char *input, const QString &expected) {
        QTest::newRow(name) << QByteArray(input) << expected;
    };

    // Text, paragraphs and breaks.
    row("text", R"({\rtf1 Hello world})", u"{}Hello world"_qs);
    row("par", R"({\rtf1 One\par Two\par})", u"{}One|{}Two"_qs);
    row("empty paragraph between", R"({\rtf1 A\par\par B})", u"{}A||{}B"_qs);
    row("nothing after the last par", R"({\rtf1 A\par})", u"{}A"_qs);
    row("lone par", R"({\rtf1\par})", QString());
    row("line", R"({\rtf1 A\line B})", u"{}A\nB"_qs);
    row("tab", R"({\rtf1 A\tab B})", u"{}A\tB"_qs);
    row("raw tab byte", "{\\rtf1 A\tB}", u"{}A\tB"_qs);
    row("source line ends ignored", "{\\rtf1 A\r\nB\nC\rD}", u"{}ABCD"_qs);
    row("backslash line end is par", "{\\rtf1 A\\\nB}", u"{}A|{}B"_qs);
    row("sect and page end paragraphs", R"({\rtf1 A\sect B\page C})", u"{}A|{}B|{}C"_qs);
    row("space after a group is text", R"({\rtf1{\b A} B})", u"{b}A{} B"_qs);

    // Character formatting and groups.
    row("bold on and off", R"({\rtf1 a\b b\b0 c})", u"{}a{b}b{}c"_qs);
    row("group restores bold", R"({\rtf1 a{\b b}c})", u"{}a{b}b{}c"_qs);
    row("italic", R"({\rtf1\i x\i0 y})", u"{i}x{}y"_qs);
    row("underline and ul0", R"({\rtf1\ul x\ul0 y})", u"{u}x{}y"_qs);
    row("underline and ulnone", R"({\rtf1\ul x\ulnone y})", u"{u}x{}y"_qs);
    row("double underline", R"({\rtf1\uldb x})", u"{u}x"_qs);
    row("nested groups", R"({\rtf1{\b a{\i b{\ul c}d}e}f})", u"{b}a{b i}b{b i u}c{b i}d{b}e{}f"_qs);
    row("font size", R"({\rtf1\fs32 Big\fs Normal})", u"{s32}Big{}Normal"_qs);
    row("font size zero is default", R"({\rtf1\fs0 A})", u"{}A"_qs);
    row("negative font size is default", R"({\rtf1\fs-5 A})", u"{}A"_qs);
    row("absurd font size clamps", R"({\rtf1\fs123456789012345 A})", u"{s3276}A"_qs);
    row("plain resets", R"({\rtf1\b\i\ul\fs40 A\plain B})", u"{b i u s40}A{}B"_qs);
    row("same format merges runs", R"({\rtf1\b A\b0\b B})", u"{b}AB"_qs);

    // Colours.
    row("colour table",
        R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green128\blue255;}\cf1 R\cf2 B\cf0 N\cf9 X})",
        u"{c#ff0000}R{c#0080ff}B{}NX"_qs);
    row("colour components clamp", R"({\rtf1{\colortbl;\red300\green-4\blue7;}\cf1 A})",
        u"{c#ff0007}A"_qs);
    row("auto colour entry", R"({\rtf1{\colortbl;;\red1\green2\blue3;}\cf1 A\cf2 B})",
        u"{}A{c#010203}B"_qs);
    row("no colour table", R"({\rtf1\cf1 A})", u"{}A"_qs);

    // Fonts.
    row("font table",
        R"({\rtf1{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern Courier New;}}\f1 Mono\f0 Sans})",
        u"{fCourier New}Mono{fArial}Sans"_qs);
    row("default font", R"({\rtf1\deff1{\fonttbl{\f0 Arial;}{\f1 Times;}}Text})",
        u"{fTimes}Text"_qs);
    row("plain returns to the default font",
        R"({\rtf1\deff0{\fonttbl{\f0 Arial;}{\f1 Times;}}\f1 A\plain B})",
        u"{fTimes}A{fArial}B"_qs);
    row("panose and alternative name skipped",
        R"({\rtf1{\fonttbl{\f0\froman{\*\panose 02020603050405020304}Times New Roman{\*\falt Tms};}}\f0 A})",
        u"{fTimes New Roman}A"_qs);
    row("flat font table", R"({\rtf1{\fonttbl\f0 Arial;\f1 Courier;}\f1 A})", u"{fCourier}A"_qs);
    row("font entry without semicolon", R"({\rtf1{\fonttbl{\f3 Verdana}}\f3 A})",
        u"{fVerdana}A"_qs);
    row("unknown font number", R"({\rtf1{\fonttbl{\f0 Arial;}}\f7 A})", u"{}A"_qs);
    row("control characters left out of a font name",
        "{\\rtf1{\\fonttbl{\\f0 Ar\x7fi\x01\tal;}}\\f0 A}", u"{fArial}A"_qs);
    row("escaped control characters left out of a font name",
        R"({\rtf1{\fonttbl{\f0 Ar\'7fi\'01al;}}\f0 A})", u"{fArial}A"_qs);
    row("huge font number", R"({\rtf1{\fonttbl{\f99999999999 Big;}}\f2147483647 A})",
        u"{fBig}A"_qs);

    // Alignment.
    row("alignments", R"({\rtf1\qc C\par\qr R\par\qj J\par\ql L})", u"<C>{}C|<R>{}R|<J>{}J|{}L"_qs);
    row("pard resets alignment", R"({\rtf1\qc C\par\pard L})", u"<C>{}C|{}L"_qs);
    row("alignment at the paragraph mark", R"({\rtf1 A\qr\par B})", u"<R>{}A|<R>{}B"_qs);
    row("centred last paragraph without par", R"({\rtf1\qc End})", u"<C>{}End"_qs);
    row("indents and spacing", R"({\rtf1\li720\ri360\fi-360\sb120\sa240 A\par})",
        u"[li720 ri360 fi-360 sb120 sa240]{}A"_qs);
    row("pard resets indents", R"({\rtf1\li720\qc A\par\pard B})", u"[li720]<C>{}A|{}B"_qs);
    row("indents belong to their group", R"({\rtf1{\li720 A\par}B})", u"[li720]{}A|{}B"_qs);
    row("absurd lengths clamp", R"({\rtf1\li99999999999\fi-99999\sa-5 A})",
        u"[li31680 fi-31680]{}A"_qs);

    // Code pages.
    row("hex in 1252 by default", R"({\rtf1 caf\'e9 \'80 \'93x\'94})", u"{}café € “x”"_qs);
    row("ansi is 1252", R"({\rtf1\ansi caf\'E9})", u"{}café"_qs);
    row("ansicpg1252", R"({\rtf1\ansi\ansicpg1252 \'e8\'f2})", u"{}èò"_qs);
    row("ansicpg1250", R"({\rtf1\ansi\ansicpg1250 \'9a\'e8})", u"{}šč"_qs);
    row("ansicpg1251", R"({\rtf1\ansi\ansicpg1251 \'c0})", u"{}А"_qs);
    row("ansicpg28591", R"({\rtf1\ansi\ansicpg28591 \'e9})", u"{}é"_qs);
    row("ansicpg28592", R"({\rtf1\ansi\ansicpg28592 \'b9})", u"{}š"_qs);
    row("unknown code page reads as 1252", R"({\rtf1\ansi\ansicpg932 \'e9})", u"{}é"_qs);
    row("raw high byte in the code page", "{\\rtf1\\ansicpg1250 \x9a}", u"{}š"_qs);
    row("undefined byte", R"({\rtf1 \'81})", u"{}\uFFFD"_qs);
    row("C1 control byte", R"({\rtf1\ansicpg28592 \'85})", u"{}\uFFFD"_qs);
    row("Latin-1 quotes read as 1252", R"({\rtf1\ansicpg28591 \'93x\'94})", u"{}“x”"_qs);
    row("mac is Mac Roman", R"({\rtf1\mac caf\'8e})", u"{}café"_qs);
    row("pc is 437", R"({\rtf1\pc \'82\'e1})", u"{}éß"_qs);
    row("pca is 850", R"({\rtf1\pca \'9b})", u"{}ø"_qs);
    row("font charset changes the code page",
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset238 Arial CE;}}\f1\'e8\f0\'e8})",
        u"{fArial CE}č{fArial}è"_qs);
    row("symbol bullet", R"({\rtf1{\fonttbl{\f2\fcharset2 Symbol;}}{\f2\'b7}})", u"{fSymbol}•"_qs);
    row("broken hex escape", R"({\rtf1 A\'zzB})", u"{}AzzB"_qs);
    row("hex control byte dropped", R"({\rtf1 A\'0dB})", u"{}AB"_qs);

    // Unicode.
    row("unicode with fallback", R"({\rtf1 \u8364?uro})", u"{}€uro"_qs);
    row("negative unicode", R"({\rtf1 \u-16215?})", u"{}\uC0A9"_qs);
    row("uc2 skips two", R"({\rtf1\uc2\u233 xxY})", u"{}éY"_qs);
    row("uc0 skips none", R"({\rtf1\uc0\u233 Y})", u"{}éY"_qs);
    row("hex fallback counts as one", R"({\rtf1\u233\'e9Y})", u"{}éY"_qs);
    row("control word fallback counts as one", R"({\rtf1\uc2\u233\'e9\par Y})", u"{}éY"_qs);
    row("group ends the fallback", R"({\rtf1\uc3\u233{Y}})", u"{}éY"_qs);
    row("uc belongs to its group", R"({\rtf1{\uc3 }\u233 xY})", u"{}éY"_qs);
    row("surrogate pair", R"({\rtf1\u-10179?\u-8694?})", u"{}\U0001F60A"_qs);
    row("lone high surrogate", R"({\rtf1\u-10179?A})", u"{}\uFFFDA"_qs);
    row("lone low surrogate", R"({\rtf1\u-8694?A})", u"{}\uFFFDA"_qs);
    row("out of range unicode", R"({\rtf1\u70000?A})", u"{}\uFFFDA"_qs);
    row("unicode control character dropped", R"({\rtf1 A\u7?B})", u"{}AB"_qs);

    // Control symbols and named characters.
    row("escaped symbols", R"({\rtf1 \{a\}\\})", u"{}{a}\\"_qs);
    row("non-breaking space", R"({\rtf1 a\~b})", u"{}a\u00A0b"_qs);
    row("optional hyphen", R"({\rtf1 a\-b})", u"{}ab"_qs);
    row("non-breaking hyphen", R"({\rtf1 a\_b})", u"{}a\u2011b"_qs);
    row("named characters", R"({\rtf1\emdash\endash\lquote\rquote\ldblquote\rdblquote\bullet})",
        u"{}—–‘’“”•"_qs);

    // Destinations that are not shown.
    row("optional destination", R"({\rtf1{\*\generator Writer 1.0;}{\*\unknown hidden}Shown})",
        u"{}Shown"_qs);
    row("stylesheet and info",
        R"({\rtf1{\stylesheet{\s0\b Normal;}}{\info{\title T}{\author A}}Shown})", u"{}Shown"_qs);
    row("picture", R"({\rtf1{\pict\pngblip\picw10 89504e470d0a}Shown})", u"{}Shown"_qs);
    row("header and footer", R"({\rtf1{\header H}{\footer F}{\headerl L}Shown})", u"{}Shown"_qs);
    row("object", R"({\rtf1{\object\objemb{\*\objdata 0105}{\result R}}Shown})", u"{}Shown"_qs);
    row("field keeps its result",
        R"({\rtf1{\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt Link}} end})", u"{}Link end"_qs);
    row("field instruction without star", R"({\rtf1{\field{\fldinst PAGE}{\fldrslt 3}}})",
        u"{}3"_qs);
    row("list text shown, list definition skipped",
        R"({\rtf1{\pntext\bullet\tab}{\*\pn\pnlvlblt{\pntxtb\bullet}}Item})", u"{}•\tItem"_qs);
    row("binary data with braces", "{\\rtf1{\\pict\\bin3 }{}}Shown}", u"{}Shown"_qs);
    row("binary length past the end", R"({\rtf1 A{\pict\bin999999 xyz)", u"{}A"_qs);
    row("par inside a skipped destination", R"({\rtf1 A{\info\par}B})", u"{}AB"_qs);

    // Unknown and malformed control words.
    row("unknown control words", R"({\rtf1 x\unknownword y\zz99 z\q-7 w})", u"{}xyzw"_qs);
    row("overlong control word",
        "{\\rtf1 \\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa X}", u"{}X"_qs);
    row("dash without digits is text", R"({\rtf1\b- A})", u"{b}- A"_qs);
    row("lone backslash at the end", "{\\rtf1 A\\", u"{}A"_qs);

    // Braces.
    row("extra closing braces ignored", R"({\rtf1 A}}B})", u"{}AB"_qs);
    row("missing closing braces", R"({\rtf1{\b A)", u"{b}A"_qs);
    row("empty document", R"({\rtf1})", u"(none)"_qs);
    row("header only", R"({\rtf)", u"(none)"_qs);
    QTest::newRow("NUL and control bytes dropped") << QByteArrayLiteral("{\\rtf1 A\0B\x01"
                                                                        "C\x7f}")
                                                   << u"{}ABC"_qs;
}

void TestRtfReader::reads()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QVERIFY(looksLikeRtf(view(input)));
    const ReadResult result = read(view(input));
    QCOMPARE(result.kind, ReadResult::Kind::Rtf);
    QCOMPARE(dump(result.document), expected);
    QVERIFY(isValidUtf8(testsupport::plainText(result.document)));
}

void TestRtfReader::plainText_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty file") << QByteArray() << u"(none)"_qs;
    QTest::newRow("utf-8 lines") << QByteArray("Ciao\nmondo \xc3\xa8") << u"{}Ciao|{}mondo è"_qs;
    QTest::newRow("latin-1 falls back to 1252")
        << QByteArray("caf\xe9\r\n\x80 bar") << u"{}café|{}€ bar"_qs;
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb") << u"{}a|{}b"_qs;
    QTest::newRow("empty lines kept, last line end dropped")
        << QByteArray("a\n\nb\n") << u"{}a||{}b"_qs;
    QTest::newRow("byte order mark dropped") << QByteArray("\xef\xbb\xbfText") << u"{}Text"_qs;
    QTest::newRow("tabs kept, controls dropped") << QByteArray("a\tb\x01\x02"
                                                               "c")
                                                 << u"{}a\tbc"_qs;
    QTest::newRow("almost rtf") << QByteArray("{\\rt x}") << u"{}{\\rt x}"_qs;
    QTest::newRow("rtf not at the start") << QByteArray(" {\\rtf1 x}") << u"{} {\\rtf1 x}"_qs;
    QTest::newRow("overlong utf-8 is not utf-8") << QByteArray("\xc0\xaf") << u"{}À¯"_qs;
}

void TestRtfReader::plainText()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    const ReadResult result = read(view(input));
    QCOMPARE(result.kind, ReadResult::Kind::PlainText);
    QCOMPARE(dump(result.document), expected);
}

void TestRtfReader::defaultTab_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("twips");
    QTest::newRow("none given") << QByteArray("{\\rtf1 x}") << 720;
    QTest::newRow("given") << QByteArray("{\\rtf1\\deftab360 x}") << 360;
    QTest::newRow("zero") << QByteArray("{\\rtf1\\deftab0 x}") << 720;
    QTest::newRow("negative") << QByteArray("{\\rtf1\\deftab-5 x}") << 720;
    QTest::newRow("absurd") << QByteArray("{\\rtf1\\deftab99999999999 x}") << 31680;
}

void TestRtfReader::defaultTab()
{
    QFETCH(QByteArray, input);
    QFETCH(int, twips);
    QCOMPARE(readRtf(view(input)).defaultTab, twips);
}

void TestRtfReader::deepNesting_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("100000 open braces")
        << QByteArray("{\\rtf1 A") + QByteArray(100000, '{') + QByteArray("B") << u"{}A"_qs;
    QTest::newRow("100000 open and close braces")
        << QByteArray("{\\rtf1 A") + QByteArray(100000, '{') + QByteArray("B") +
               QByteArray(100000, '}') + QByteArray("C}")
        << u"{}AC"_qs;
    QTest::newRow("300 levels are skipped whole")
        << QByteArray("{\\rtf1 ") + QByteArray(300, '{') + QByteArray("deep") +
               QByteArray(300, '}') + QByteArray("after}")
        << u"{}after"_qs;
    QTest::newRow("200 levels are read")
        << QByteArray("{\\rtf1 ") + QByteArray(200, '{') + QByteArray("\\b deep") +
               QByteArray(200, '}') + QByteArray("after}")
        << u"{b}deep{}after"_qs;
    QTest::newRow("escaped braces inside a skipped level")
        << QByteArray("{\\rtf1 ") + QByteArray(300, '{') + QByteArray("\\{\\}\\bin2 }}") +
               QByteArray(300, '}') + QByteArray("after}")
        << u"{}after"_qs;
    QTest::newRow("100000 closing braces")
        << QByteArray("{\\rtf1 A") + QByteArray(100000, '}') + QByteArray("B") << u"{}AB"_qs;
}

void TestRtfReader::deepNesting()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    const ReadResult result = read(view(input));
    QCOMPARE(result.kind, ReadResult::Kind::Rtf);
    QCOMPARE(dump(result.document), expected);
}

void TestRtfReader::outputStaysLinear_data()
{
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("paragraph marks")
        << QByteArray("{\\rtf1 ") + QByteArray("\\par").repeated(200000);
    QTest::newRow("format changes")
        << QByteArray("{\\rtf1 ") + QByteArray("\\b a\\b0 b").repeated(100000);
    QTest::newRow("unicode characters")
        << QByteArray("{\\rtf1\\uc0 ") + QByteArray("\\u-10179\\u-8694").repeated(100000);
    QTest::newRow("hex characters")
        << QByteArray("{\\rtf1 ") + QByteArray("\\'80").repeated(200000);
    QTest::newRow("colour entries") << QByteArray("{\\rtf1{\\colortbl") + QByteArray(400000, ';') +
                                           QByteArray("}\\cf399999 A}");
    QTest::newRow("font entries") << QByteArray("{\\rtf1{\\fonttbl") +
                                         QByteArray("{\\f1 x;}").repeated(100000) +
                                         QByteArray("}A}");
}

void TestRtfReader::outputStaysLinear()
{
    QFETCH(QByteArray, input);
    const Document document = readRtf(view(input));
    // Each input byte yields at most one UTF-8 byte of text here (four bytes
    // of "\'80" give three of "€"), and a paragraph needs its "\par".
    QVERIFY(textBytes(document) <= std::size_t(input.size()));
    QVERIFY(document.paragraphs.size() <= std::size_t(input.size()) / 4);
    QVERIFY(!document.paragraphs.empty());
}

void TestRtfReader::limits_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("accepted");

    const qsizetype maxText = qsizetype(kMaxTextBytes);
    const qsizetype maxParagraphs = qsizetype(kMaxParagraphs);
    QTest::newRow("file too large")
        << QByteArray("{\\rtf1 ") + QByteArray(qsizetype(kMaxInputBytes), 'x') << false;
    QTest::newRow("file at the limit, text within")
        << QByteArray("{\\rtf1{\\pict ") + QByteArray(qsizetype(kMaxInputBytes) - 20, '0') +
               QByteArray("}shown}")
        << true;
    QTest::newRow("text at the limit") << QByteArray(maxText, 'a') << true;
    QTest::newRow("text past the limit") << QByteArray(maxText + 1, 'a') << false;
    QTest::newRow("rtf text past the limit")
        << QByteArray("{\\rtf1 ") + QByteArray("\\'e9").repeated(maxText / 2 + 1) << false;
    QTest::newRow("paragraphs at the limit") << QByteArray("x\n").repeated(maxParagraphs) << true;
    QTest::newRow("paragraphs past the limit")
        << QByteArray("x\n").repeated(maxParagraphs + 1) << false;
    QTest::newRow("rtf paragraphs past the limit")
        << QByteArray("{\\rtf1 ") + QByteArray("\\par x").repeated(maxParagraphs + 1) << false;
}

void TestRtfReader::limits()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, accepted);
    const ReadResult result = read(view(input));
    QCOMPARE(result.kind != ReadResult::Kind::Failed, accepted);
    QCOMPARE(result.error.empty(), accepted);
    if (!accepted)
        QVERIFY(result.document.paragraphs.empty());
}

void TestRtfReader::hostileFilesStopEarly_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qsizetype>("expectedText"); // -1: not checked

    const qsizetype maxText = qsizetype(kMaxTextBytes);
    const qsizetype maxParagraphs = qsizetype(kMaxParagraphs);
    const qsizetype changes = qsizetype(kMaxRuns);
    QTest::newRow("rtf paragraph marks")
        << QByteArray("{\\rtf1 ") + QByteArray("\\par ").repeated(2 * maxParagraphs)
        << qsizetype(-1);
    QTest::newRow("plain line ends") << QByteArray(2 * maxParagraphs, '\n') << qsizetype(-1);
    QTest::newRow("rtf text") << QByteArray("{\\rtf1 ") + QByteArray(2 * maxText, 'x')
                              << qsizetype(-1);
    QTest::newRow("plain text") << QByteArray(2 * maxText, 'x') << qsizetype(-1);
    // Each run would carry its own copy of the long font name; past the cap
    // the text goes on in the last run, none of it lost.
    QTest::newRow("format changes with a long font name")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 ") + QByteArray(200, 'N') + QByteArray(";}}\\f0 ") +
               QByteArray("\\b a\\b0a").repeated(changes)
        << 2 * changes;
}

void TestRtfReader::hostileFilesStopEarly()
{
    QFETCH(QByteArray, input);
    QFETCH(qsizetype, expectedText);
    const std::string_view bytes = view(input);
    const Document document = looksLikeRtf(bytes) ? readRtf(bytes) : readPlainText(bytes);
    std::size_t runs = 0;
    for (const Paragraph &paragraph : document.paragraphs)
        runs += paragraph.runs.size();
    QVERIFY(document.paragraphs.size() <= kMaxParagraphs + 1);
    // The last character may take up to four UTF-8 bytes.
    QVERIFY(textBytes(document) <= kMaxTextBytes + 4);
    QVERIFY(runs <= kMaxRuns + document.paragraphs.size());
    if (expectedText >= 0)
        QCOMPARE(textBytes(document), std::size_t(expectedText));
}

void TestRtfReader::randomInputNeverBreaks()
{
    // Fragments of real RTF mixed at random: broken groups, cut escapes,
    // tables and destinations in odd places. Every mix must read to a
    // document of valid UTF-8 no bigger than linear in its input.
    const char *fragments[] = {
        "{",
        "}",
        "\\",
        "\\'",
        "\\'e9",
        "\\u",
        "\\u-",
        "\\u233",
        "\\uc2 ",
        "\\uc0",
        "\\bin",
        "\\bin3 ",
        "\\*",
        "\\fonttbl",
        "\\colortbl",
        "\\f1 ",
        "\\fcharset238 ",
        "\\red300",
        ";",
        "\\cf1 ",
        "\\par ",
        "\\line",
        "\\tab",
        "\\b",
        "\\b0",
        "\\fs99999999999",
        "\\qc",
        "\\pard",
        "\\plain",
        "\\pict ",
        "\\field",
        "\\fldrslt ",
        "text ",
        "\xe9",
        "\xff",
        "\r\n",
        "\\\n",
        "\\-",
        "\\~",
        "\\ansicpg1250 ",
        "\\u-10179?",
        "\0",
    };
    const int count = int(sizeof(fragments) / sizeof(fragments[0]));
    QRandomGenerator random(20240611);
    for (int sample = 0; sample < 3000; ++sample) {
        QByteArray input("{\\rtf1 ");
        const int length = random.bounded(1, 60);
        for (int i = 0; i < length; ++i) {
            const int pick = random.bounded(count);
            input += pick == count - 1 ? QByteArray(1, '\0') : QByteArray(fragments[pick]);
        }
        const ReadResult result = read(view(input));
        QCOMPARE(result.kind, ReadResult::Kind::Rtf);
        const std::string text = testsupport::plainText(result.document);
        QVERIFY2(isValidUtf8(text), input.toHex().constData());
        QVERIFY(textBytes(result.document) <= 3 * std::size_t(input.size()));
    }
}

QTEST_APPLESS_MAIN(TestRtfReader)

#include "tst_rtfreader.moc"
