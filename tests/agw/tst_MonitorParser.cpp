#include "AgwTestFrames.h"
#include "FileBytes.h"
#include "FrameStream.h"
#include "MonitorParser.h"
#include "TestPaths.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>

#include <string>

using namespace quintaro::agw;
using agwtest::bytes;
using agwtest::makeFrame;
using agwtest::qbytes;

namespace {

QByteArrayList toList(const MonitorLines &lines)
{
    QByteArrayList list;
    for (std::size_t i = 0; i < lines.count; ++i)
        list << qbytes(lines.lines[i]);
    return list;
}

// The status window filled the slow way: every byte in order, a carriage
// return moving a non-empty line buffer into a box of at most two lines.
QByteArrayList statusWindowByWalk(const QByteArray &data)
{
    QByteArrayList box;
    QByteArray buffer;
    for (const char c : data) {
        if (c != '\r') {
            buffer.append(c);
        } else if (!buffer.isEmpty()) {
            if (box.size() > 1)
                box.removeFirst();
            box.append(buffer);
            buffer.clear();
        }
    }
    return box;
}

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

struct Packet
{
    QByteArray source;
    QByteArray destinationAndPath;
    QByteArray info;
};

// TNC2 text SRC>DEST[,PATH]:INFO; calls and path hold no colon.
bool splitPacket(const QByteArray &packet, Packet &out)
{
    const qsizetype gt = packet.indexOf('>');
    const qsizetype colon = packet.indexOf(':');
    if (gt <= 0 || colon <= gt)
        return false;
    out.source = packet.left(gt);
    out.destinationAndPath = packet.mid(gt + 1, colon - gt - 1);
    out.info = packet.mid(colon + 1);
    return true;
}

// The monitor text the engine sends for a heard packet: a header line, then
// the information field, each ended by a carriage return.
std::string monitorFrame(const Packet &p)
{
    const QByteArray text = " 1:Fm " + p.source + " To " + p.destinationAndPath +
                            " <UI pid=F0 Len=" + QByteArray::number(p.info.size()) +
                            " >[12:34:56]\r" + p.info + "\r";
    return makeFrame('U', view(p.source), view(text));
}

struct CorpusResult
{
    int packets = 0;
    int weather = 0;
    QStringList problems;
};

// Sends every packet of a corpus file through the stream and the parser as
// one run of frames, and checks what comes out against the packet itself.
CorpusResult runCorpus(const QList<QByteArray> &lines, const QHash<QByteArray, bool> *expected)
{
    CorpusResult result;
    std::string wire;
    std::vector<Packet> packets;
    for (const QByteArray &line : lines) {
        const QByteArray packet = line.left(line.indexOf('\t'));
        Packet p;
        if (!splitPacket(packet, p)) {
            result.problems << QStringLiteral("unreadable line: ") + QString::fromLatin1(line);
            continue;
        }
        packets.push_back(p);
        wire += monitorFrame(p);
    }

    FrameStream stream;
    std::size_t index = 0;
    for (std::size_t pos = 0; pos < wire.size(); pos += 1460) {
        agwtest::feed(stream, bytes(wire) + pos, std::min<std::size_t>(1460, wire.size() - pos));
        stream.cut([&](const std::uint8_t *block, std::size_t headerPos, std::uint32_t length) {
            const Packet &p = packets.at(index++);
            const ParsedFrame frame = parseFrame(block, headerPos, length);
            const QString what = QString::fromLatin1(p.source + ":" + p.info);
            if (frame.kind != FrameKind::Monitored || lastTwoLines(frame.text).count != 2 ||
                qbytes(frame.infoField) != p.info || qbytes(frame.call) != p.source.left(10))
                result.problems << QStringLiteral("frame not read back: ") + what;
            if (frame.weather != isWeatherReport(view(p.info)))
                result.problems << QStringLiteral("frame and field disagree: ") + what;
            if (expected) {
                const QByteArray packet = p.source + '>' + p.destinationAndPath + ':' + p.info;
                if (!expected->contains(packet))
                    result.problems << QStringLiteral("no reference row: ") + what;
                else if (expected->value(packet) != frame.weather)
                    result.problems << QStringLiteral("weather %1, reference %2: ")
                                               .arg(frame.weather)
                                               .arg(expected->value(packet)) +
                                           what;
            }
            ++result.packets;
            result.weather += frame.weather ? 1 : 0;
        });
    }
    if (index != packets.size())
        result.problems << QStringLiteral("frames cut: %1 of %2").arg(index).arg(packets.size());
    return result;
}

} // namespace

class TestMonitorParser : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void linesMatchByteWalk();
    void path_data();
    void path();
    void numeric_data();
    void numeric();
    void weather_data();
    void weather();
    void frames_data();
    void frames();
    void corpus();
    void corpusNonAscii();
};

void TestMonitorParser::lines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("header and field")
        << QByteArray(" 1:Fm A To B\r_123\r") << QByteArrayList{" 1:Fm A To B", "_123"};
    QTest::newRow("A B C") << QByteArray("A\rB\rC\r") << QByteArrayList{"B", "C"};
    QTest::newRow("one line") << QByteArray("only\r") << QByteArrayList{"only"};
    QTest::newRow("consecutive CRs") << QByteArray("\r\rA\r\r\rB\r\r") << QByteArrayList{"A", "B"};
    QTest::newRow("empty line between")
        << QByteArray("A\r\rB\r\rC\r\r\r") << QByteArrayList{"B", "C"};
    QTest::newRow("no final CR") << QByteArray("A\rB\rC") << QByteArrayList{"A", "B"};
    QTest::newRow("no final CR, one line") << QByteArray("\r\rA\rtail") << QByteArrayList{"A"};
    QTest::newRow("no CR at all") << QByteArray("no line end here") << QByteArrayList{};
    QTest::newRow("only CRs") << QByteArray("\r\r\r") << QByteArrayList{};
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("NUL and LF inside")
        << QByteArray("x\0y\r\nz\0\r\n", 9)
        << QByteArrayList{QByteArray("x\0y", 3), QByteArray("\nz\0", 3)};
    QTest::newRow("CR LF line ends") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "\nb"};
    QTest::newRow("high bytes") << QByteArray("\xE4\xF6\r\x80\xFF\r")
                                << QByteArrayList{"\xE4\xF6", "\x80\xFF"};
}

void TestMonitorParser::lines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, expected);
    QCOMPARE(toList(lastTwoLines(view(text))), expected);
}

void TestMonitorParser::linesMatchByteWalk()
{
    // Texts made of few distinct bytes, so that runs of CRs, empty lines and
    // missing line ends all occur often.
    static const char alphabet[] = {'\r', '\r', 'a', 'b', '\n', '\0', '\xFF'};
    QRandomGenerator generator(1313);
    for (int round = 0; round < 5000; ++round) {
        QByteArray text;
        const int size = generator.bounded(0, 24);
        for (int i = 0; i < size; ++i)
            text.append(alphabet[generator.bounded(int(sizeof alphabet))]);
        QCOMPARE(toList(lastTwoLines(view(text))), statusWindowByWalk(text));
    }
}

void TestMonitorParser::path_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("two digipeaters")
        << QByteArray(
               " 1:Fm IK1WXA To APRS Via WIDE1-1,WIDE2-1 <UI pid=F0 Len=4 >[12:00:00]\r_123\r")
        << QByteArray("WIDE1-1,WIDE2-1");
    QTest::newRow("used ones marked")
        << QByteArray(" 1:Fm A To B Via IR1DG*,WIDE2-1 <UI pid=F0 Len=4 >\r_123\r")
        << QByteArray("IR1DG*,WIDE2-1");
    QTest::newRow("heard directly")
        << QByteArray(" 1:Fm A To APRS <UI pid=F0 Len=4 >[12:00:00]\r_123\r") << QByteArray();
    QTest::newRow("\" Via \" in the information field only")
        << QByteArray(" 1:Fm A To B <UI >\rsent Via WIDE <ok\r") << QByteArray();
    QTest::newRow("a header cut short")
        << QByteArray(" 1:Fm A To B Via WIDE1-1") << QByteArray("WIDE1-1");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestMonitorParser::path()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, path);
    QCOMPARE(qbytes(monitorPath(view(text))), path);
}

void TestMonitorParser::numeric_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("three digits") << QByteArray("180") << true;
    QTest::newRow("single digit") << QByteArray("5") << true;
    QTest::newRow("leading zero") << QByteArray("007") << true;
    QTest::newRow("blank before") << QByteArray(" 12") << true;
    QTest::newRow("blank after") << QByteArray("12 ") << true;
    QTest::newRow("blanks around") << QByteArray(" 1 ") << true;
    QTest::newRow("minus") << QByteArray("-12") << true;
    QTest::newRow("plus") << QByteArray("+12") << true;
    QTest::newRow("blank, sign") << QByteArray(" -1") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("three blanks") << QByteArray("   ") << false;
    QTest::newRow("three full stops") << QByteArray("...") << false;
    QTest::newRow("digits and slash") << QByteArray("12/") << false;
    QTest::newRow("digit slash digit") << QByteArray("1/2") << false;
    QTest::newRow("letters") << QByteArray("abc") << false;
    QTest::newRow("sign alone") << QByteArray("-") << false;
    QTest::newRow("sign and blanks") << QByteArray(" + ") << false;
    QTest::newRow("sign after") << QByteArray("12-") << false;
    QTest::newRow("blank between sign and digit") << QByteArray("- 1") << false;
    QTest::newRow("blank between digits") << QByteArray("1 2") << false;
    QTest::newRow("decimal point") << QByteArray("1.5") << false;
    QTest::newRow("trailing point") << QByteArray("12.") << false;
    QTest::newRow("decimal comma") << QByteArray("1,5") << false;
    QTest::newRow("exponent") << QByteArray("1e2") << false;
    QTest::newRow("hex prefix") << QByteArray("&H1") << false;
    QTest::newRow("C hex prefix") << QByteArray("0x1") << false;
    QTest::newRow("currency") << QByteArray("$12") << false;
    QTest::newRow("tab") << QByteArray("\t12") << false;
    QTest::newRow("NUL") << QByteArray("12\0", 3) << false;
    QTest::newRow("high byte") << QByteArray("\xB9"
                                             "12")
                               << false;
}

void TestMonitorParser::numeric()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, expected);
    QCOMPARE(isNumericText(view(text)), expected);
}

void TestMonitorParser::weather_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<bool>("expected");

    QTest::newRow("positionless report")
        << QByteArray("_10090556c220s004g005t077r000p000P000") << true;
    QTest::newRow("underscore alone") << QByteArray("_") << true;
    QTest::newRow("! wind 180") << QByteArray("!4903.50N/07201.75W_180/010g015t068") << true;
    QTest::newRow("= wind 090") << QByteArray("=4903.50N/07201.75W_090/000g000t050") << true;
    QTest::newRow("/ timestamped")
        << QByteArray("/092345z4903.50N/07201.75W_220/004g005t077") << true;
    QTest::newRow("@ timestamped")
        << QByteArray("@092345z4903.50N/07201.75W_220/004g005t-07") << true;
    QTest::newRow("; object") << QByteArray(";WXSTN    *092345z4903.50N/07201.75W_220/004g005")
                              << true;
    QTest::newRow("! without underscore") << QByteArray("!4903.50N/07201.75W-Test") << false;
    QTest::newRow("= followed by ...")
        << QByteArray("=4903.50N/07201.75W_.../...g...t068") << false;
    QTest::newRow("underscore last") << QByteArray("!4903.50N/07201.75W_") << false;
    QTest::newRow("two characters left") << QByteArray("!4903.50N/07201.75W_12") << true;
    QTest::newRow("one digit left") << QByteArray("!4903.50N/07201.75W_5") << true;
    QTest::newRow("blank and two digits") << QByteArray("!x_ 12") << true;
    QTest::newRow("not a number") << QByteArray("!x_1.5") << false;
    QTest::newRow("underscore in comment")
        << QByteArray("!4903.50N/07201.75W-QTH_123 home") << true;
    QTest::newRow("first underscore decides")
        << QByteArray(";WX_STN   *092345z4903.50N/07201.75W_220/004") << false;
    QTest::newRow("message") << QByteArray(":WX       :_180 test") << false;
    QTest::newRow("message looking like weather") << QByteArray(":_10090556c220s004") << false;
    QTest::newRow("status") << QByteArray(">_180 status") << false;
    QTest::newRow("item") << QByteArray(")AIDV#2!4903.50N/07201.75W_180/000") << false;
    QTest::newRow("Mic-E") << QByteArray("`c51!f?>/_180") << false;
    QTest::newRow("leading blank") << QByteArray(" _123") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestMonitorParser::weather()
{
    QFETCH(QByteArray, info);
    QFETCH(bool, expected);
    QCOMPARE(isWeatherReport(view(info)), expected);
}

void TestMonitorParser::frames_data()
{
    QTest::addColumn<char>("kind");
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("frameKind");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<bool>("weather");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");

    const int monitored = int(FrameKind::Monitored);
    const int version = int(FrameKind::Version);
    const int other = int(FrameKind::Other);
    const QByteArray header = " 1:Fm IW2OHX-13 To APRS <UI pid=F0 Len=24 >[10:00:00]";
    const QByteArray wx = header + "\r_10090556c220s004g005t077\r";
    const QByteArrayList wxLines{header, "_10090556c220s004g005t077"};
    const QByteArray versionData("\xD0\x07\0\0\x4E\0\0\0", 8);

    QTest::newRow("U weather") << 'U' << QByteArray("IW2OHX-13") << wx << monitored << wxLines
                               << true << 0 << 0;
    QTest::newRow("T weather") << 'T' << QByteArray("IW2OHX-13") << wx << monitored << wxLines
                               << true << 0 << 0;
    QTest::newRow("u lower case") << 'u' << QByteArray("IW2OHX-13") << wx << other
                                  << QByteArrayList{} << false << 0 << 0;
    QTest::newRow("I") << 'I' << QByteArray("IW2OHX-13") << wx << other << QByteArrayList{} << false
                       << 0 << 0;
    QTest::newRow("S") << 'S' << QByteArray("IW2OHX-13") << wx << other << QByteArrayList{} << false
                       << 0 << 0;
    QTest::newRow("version reply")
        << 'R' << QByteArray() << versionData << version << QByteArrayList{} << false << 2000 << 78;
    QTest::newRow("three lines") << 'U' << QByteArray("ABCDEFGHIJ") << QByteArray("A\rB\rC\r")
                                 << monitored << QByteArrayList{"B", "C"} << false << 0 << 0;
    QTest::newRow("no CR") << 'U' << QByteArray("N0CALL") << QByteArray("_123") << monitored
                           << QByteArrayList{} << false << 0 << 0;
    QTest::newRow("weather after the last CR is not tested")
        << 'U' << QByteArray("N0CALL") << QByteArray("hdr\r:msg\r_123") << monitored
        << QByteArrayList{"hdr", ":msg"} << false << 0 << 0;
    QTest::newRow("last ended line tested")
        << 'U' << QByteArray("N0CALL") << QByteArray("hdr\r!x_180\r:tail") << monitored
        << QByteArrayList{"hdr", "!x_180"} << true << 0 << 0;
    QTest::newRow("weather line not the last")
        << 'U' << QByteArray("N0CALL") << QByteArray("_123\r>status\r") << monitored
        << QByteArrayList{"_123", ">status"} << false << 0 << 0;
}

void TestMonitorParser::frames()
{
    QFETCH(char, kind);
    QFETCH(QByteArray, call);
    QFETCH(QByteArray, data);
    QFETCH(int, frameKind);
    QFETCH(QByteArrayList, lines);
    QFETCH(bool, weather);
    QFETCH(int, major);
    QFETCH(int, minor);

    // Another frame in front, so the header position is not 0.
    const std::string block = makeFrame('K', "", "xyz") + makeFrame(kind, view(call), view(data));
    const ParsedFrame frame = parseFrame(bytes(block), 39, std::uint32_t(data.size()));
    QCOMPARE(int(frame.kind), frameKind);
    QCOMPARE(qbytes(frame.call), call);
    QCOMPARE(frame.weather, weather);
    QCOMPARE(int(frame.version.majorVersion), major);
    QCOMPARE(int(frame.version.minorVersion), minor);

    // A monitored frame gives its whole text, to be split into the monitor
    // window's lines later, and its last line, the information field.
    if (frame.kind == FrameKind::Monitored) {
        QCOMPARE(qbytes(frame.text), data);
        QVERIFY(frame.text.data() == reinterpret_cast<const char *>(bytes(block)) + 39 + 36);
        QCOMPARE(toList(lastTwoLines(frame.text)), lines);
    } else {
        QVERIFY(!frame.text.data());
        QVERIFY(lines.isEmpty());
    }
    if (lines.isEmpty()) {
        QVERIFY(!frame.infoField.data());
    } else {
        QCOMPARE(qbytes(frame.infoField), lines.last());
        QVERIFY(frame.infoField.data() >= frame.text.data() &&
                frame.infoField.data() + frame.infoField.size() <=
                    frame.text.data() + frame.text.size());
    }
}

void TestMonitorParser::corpus()
{
    const QList<QByteArray> reference =
        testsupport::readLines(testsupport::testDataFile(QStringLiteral("corpus-fap.tsv")));
    const QList<QByteArray> packets =
        testsupport::readLines(testsupport::testDataFile(QStringLiteral("corpus.tsv")));
    QVERIFY(reference.size() > 1);
    QVERIFY(!packets.isEmpty());

    const QList<QByteArray> columns = reference.first().split('\t');
    const qsizetype ruleColumn = columns.indexOf("rule_weather");
    QVERIFY(ruleColumn > 0);
    QHash<QByteArray, bool> expected;
    int expectedWeather = 0;
    for (qsizetype i = 1; i < reference.size(); ++i) {
        const QList<QByteArray> fields = reference[i].split('\t');
        QVERIFY(fields.size() > ruleColumn);
        expected.insert(fields[0], fields[ruleColumn] == "1");
        expectedWeather += fields[ruleColumn] == "1" ? 1 : 0;
    }

    const CorpusResult result = runCorpus(packets, &expected);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.join(QLatin1Char('\n'))));
    QCOMPARE(result.packets, int(packets.size()));
    QCOMPARE(result.weather, expectedWeather);
    qInfo("%d packets, %d weather stations", result.packets, result.weather);
}

void TestMonitorParser::corpusNonAscii()
{
    const QList<QByteArray> packets =
        testsupport::readLines(testsupport::testDataFile(QStringLiteral("corpus-nonascii.tsv")));
    QVERIFY(!packets.isEmpty());
    int highBytes = 0;
    for (const QByteArray &line : packets)
        for (const char c : line)
            highBytes += (static_cast<unsigned char>(c) > 0x7F) ? 1 : 0;
    QVERIFY(highBytes > 0);

    const CorpusResult result = runCorpus(packets, nullptr);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.join(QLatin1Char('\n'))));
    QCOMPARE(result.packets, int(packets.size()));
    qInfo("%d packets, %d weather stations", result.packets, result.weather);
}

QTEST_APPLESS_MAIN(TestMonitorParser)
#include "tst_MonitorParser.moc"
