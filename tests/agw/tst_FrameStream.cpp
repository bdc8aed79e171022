#include "AgwTestFrames.h"
#include "FrameStream.h"
#include "MonitorParser.h"

#include <QRandomGenerator>
#include <QTest>

#include <cstring>
#include <string>
#include <vector>

using namespace quintaro::agw;
using agwtest::bytes;
using agwtest::makeFrame;

namespace {

struct Seen
{
    char kind;
    std::string call;
    std::string data;
    bool operator==(const Seen &) const = default;
};

// Copies out what the stream hands over, with the positions in the block.
struct Collector
{
    std::vector<Seen> frames;
    std::vector<std::pair<std::size_t, std::uint32_t>> positions;

    void operator()(const std::uint8_t *block, std::size_t headerPos, std::uint32_t length)
    {
        const std::uint8_t *header = block + headerPos;
        frames.push_back({char(dataKind(header)), std::string(callFrom(header)),
                          std::string(reinterpret_cast<const char *>(header) + 36, length)});
        positions.emplace_back(headerPos, length);
    }
};

FrameStream::CutResult cutInto(FrameStream &stream, Collector &collector)
{
    return stream.cut(
        [&](const std::uint8_t *b, std::size_t p, std::uint32_t l) { collector(b, p, l); });
}

void appendString(FrameStream &stream, const std::string &s)
{
    agwtest::feed(stream, bytes(s), s.size());
}

std::string filler(std::size_t size, char seed)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = char(seed + i * 7);
    return s;
}

// A stream with every kind of frame boundary: data and no data, a frame
// beyond the old 16-bit positions, the largest frame, NUL and CR in data.
struct Sample
{
    std::string wire;
    std::vector<Seen> expected;

    void add(char kind, const std::string &call, const std::string &data)
    {
        wire += makeFrame(kind, call, data);
        if (!data.empty())
            expected.push_back({kind, call.substr(0, 10), data});
    }
};

Sample sampleStream()
{
    Sample s;
    s.add('R', "", std::string("\xD0\x07\0\0\x4E\0\0\0", 8));
    s.add('X', "", "");
    s.add('U', "IW2OHX-13", " 1:Fm IW2OHX-13 To APRS <UI pid=F0>\r_10090556c220s004g005t077\r");
    s.add('T', "N0CALL", "x");
    s.add('U', "BIGFRAME", filler(40000, 'a'));
    s.add('K', "ZERO", "");
    s.add('U', "ABCDEFGHIJKL", std::string("a\0b\rc\r\r\0", 8));
    s.add('K', "MAX", filler(65535, '0'));
    s.add('u', "LAST", "end");
    return s;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)

class TestFrameStream : public QObject
{
    Q_OBJECT

private slots:
    void splits_data();
    void splits();
    void positionsInOneBlock();
    void tailKeptAtBlockStart();
    void zeroLengthPassedOver();
    void beyond16BitPositions();
    void brokenStream_data();
    void brokenStream();
    void memoryBoundedByOneFrame();
    void resetForgetsTail();
    void commitTakesNoMoreThanPrepared();
    void framesStayUntilNextRead_data();
    void framesStayUntilNextRead();
};

void TestFrameStream::splits_data()
{
    QTest::addColumn<std::vector<int>>("chunks"); // read sizes, repeated; 0 = all at once

    QTest::newRow("one read") << std::vector<int>{0};
    QTest::newRow("byte by byte") << std::vector<int>{1};
    QTest::newRow("reads of 35") << std::vector<int>{35};
    QTest::newRow("reads of 36") << std::vector<int>{36};
    QTest::newRow("reads of 37") << std::vector<int>{37};
    QTest::newRow("header split after 20") << std::vector<int>{20};
    QTest::newRow("mixed") << std::vector<int>{7, 300, 1, 36, 5000, 2};
    QTest::newRow("reads of 64 KiB") << std::vector<int>{65536};
    std::vector<int> random;
    QRandomGenerator generator(20240607);
    for (int i = 0; i < 500; ++i)
        random.push_back(generator.bounded(1, 3000));
    QTest::newRow("random sizes") << random;
}

void TestFrameStream::splits()
{
    QFETCH(std::vector<int>, chunks);
    const Sample sample = sampleStream();
    FrameStream stream;
    Collector seen;
    std::size_t pos = 0;
    std::size_t round = 0;
    while (pos < sample.wire.size()) {
        const int want = chunks[round % chunks.size()];
        const std::size_t n = want == 0 ? sample.wire.size() - pos
                                        : std::min<std::size_t>(want, sample.wire.size() - pos);
        if (round % 2 == 0) {
            agwtest::feed(stream, bytes(sample.wire) + pos, n);
        } else {
            // The socket may deliver fewer bytes than room was made for.
            std::uint8_t *dest = stream.prepare(n + 100);
            std::memcpy(dest, sample.wire.data() + pos, n);
            stream.commit(n);
        }
        pos += n;
        ++round;
        const FrameStream::CutResult result = cutInto(stream, seen);
        QVERIFY(!result.broken);
        QVERIFY(stream.bufferedBytes() <= kMaxFrameSize);
    }
    QCOMPARE(seen.frames.size(), sample.expected.size());
    for (std::size_t i = 0; i < seen.frames.size(); ++i)
        QVERIFY2(seen.frames[i] == sample.expected[i], qPrintable(QString::number(i)));
    QCOMPARE(stream.bufferedBytes(), std::size_t(0));
}

void TestFrameStream::positionsInOneBlock()
{
    const std::string block = makeFrame('R', "", std::string("\xD0\x07\0\0\x4E\0\0\0", 8)) +
                              makeFrame('U', "IW2OHX", filler(120, 'x'));
    QCOMPARE(block.size(), std::size_t(200));
    FrameStream stream;
    Collector seen;
    appendString(stream, block);
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(2));
    const std::vector<std::pair<std::size_t, std::uint32_t>> expected{{0, 8}, {44, 120}};
    QCOMPARE(seen.positions, expected);
    QCOMPARE(stream.bufferedBytes(), std::size_t(0));
}

void TestFrameStream::tailKeptAtBlockStart()
{
    const std::string block = makeFrame('R', "", std::string(8, '\1')) +
                              makeFrame('U', "IW2OHX", "ab\r") + makeFrame('U', "N0CALL", "cd\r");
    FrameStream stream;
    Collector seen;
    agwtest::feed(stream, bytes(block), 35);
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(0));
    QCOMPARE(stream.bufferedBytes(), std::size_t(35));

    // The next read completes the first frame and ends inside the third.
    agwtest::feed(stream, bytes(block) + 35, 80);
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(2));
    QCOMPARE(seen.positions[0], std::make_pair(std::size_t(0), std::uint32_t(8)));
    QCOMPARE(seen.positions[1], std::make_pair(std::size_t(44), std::uint32_t(3)));
    QCOMPARE(stream.bufferedBytes(), std::size_t(115 - 83));

    agwtest::feed(stream, bytes(block) + 115, block.size() - 115);
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(1));
    QCOMPARE(seen.positions[2], std::make_pair(std::size_t(0), std::uint32_t(3)));
    QCOMPARE(seen.frames[2].call, std::string("N0CALL"));
}

void TestFrameStream::zeroLengthPassedOver()
{
    FrameStream stream;
    Collector seen;
    appendString(stream, makeFrame('U', "EMPTY", "") + makeFrame('U', "FULL", "x\r"));
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(1));
    QCOMPARE(seen.positions[0], std::make_pair(std::size_t(36), std::uint32_t(2)));
    QCOMPARE(seen.frames[0].call, std::string("FULL"));
}

void TestFrameStream::beyond16BitPositions()
{
    FrameStream stream;
    Collector seen;
    appendString(stream, makeFrame('U', "A", filler(40000, 'q')) +
                             makeFrame('U', "B", filler(65535, 'r')) + makeFrame('T', "C", "c\r"));
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(3));
    QCOMPARE(seen.positions[1], std::make_pair(std::size_t(40036), std::uint32_t(65535)));
    QCOMPARE(seen.positions[2], std::make_pair(std::size_t(40036 + 36 + 65535), std::uint32_t(2)));
    QCOMPARE(seen.frames[1].data, filler(65535, 'r'));
}

void TestFrameStream::brokenStream_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("framesBefore");

    const std::string good = makeFrame('U', "GOOD", "ok\r");
    std::string byte30 = makeFrame('U', "BAD", "");
    byte30[30] = 1;
    std::string byte31 = makeFrame('U', "BAD", "");
    byte31[31] = 1;
    QTest::newRow("byte 30 set") << agwtest::qbytes(good + byte30) << 1;
    QTest::newRow("byte 31 set, frames before") << agwtest::qbytes(good + good + byte31) << 2;
    QTest::newRow("web server on the port")
        << QByteArray("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n") << 0;
    QTest::newRow("line-based server on the port")
        << QByteArray("SSH-2.0-Server_1.0 hello there, this is not AGWPE at all\r\n") << 0;
}

void TestFrameStream::brokenStream()
{
    QFETCH(QByteArray, wire);
    QFETCH(int, framesBefore);
    FrameStream stream;
    Collector seen;
    agwtest::feed(stream, reinterpret_cast<const std::uint8_t *>(wire.constData()), wire.size());
    FrameStream::CutResult result = cutInto(stream, seen);
    QVERIFY(result.broken);
    QCOMPARE(result.frames, std::size_t(framesBefore));
    QCOMPARE(stream.bufferedBytes(), std::size_t(0));

    // Whatever follows is discarded, valid frames included, until a reset.
    const std::string good = makeFrame('U', "AFTER", "x\r");
    appendString(stream, good);
    std::memcpy(stream.prepare(good.size()), good.data(), good.size());
    stream.commit(good.size());
    result = cutInto(stream, seen);
    QVERIFY(result.broken);
    QCOMPARE(result.frames, std::size_t(0));
    QCOMPARE(stream.bufferedBytes(), std::size_t(0));

    stream.reset();
    appendString(stream, good);
    result = cutInto(stream, seen);
    QVERIFY(!result.broken);
    QCOMPARE(result.frames, std::size_t(1));
    QCOMPARE(seen.frames.back().call, std::string("AFTER"));
}

void TestFrameStream::memoryBoundedByOneFrame()
{
    // A peer that announces the largest frame and then sends it slowly keeps
    // one frame; a peer sending anything else is cut off at once.
    FrameStream stream;
    Collector seen;
    const std::string big = makeFrame('U', "SLOW", filler(65535, 's'));
    for (std::size_t pos = 0; pos < big.size(); pos += 1000) {
        agwtest::feed(stream, bytes(big) + pos, std::min<std::size_t>(1000, big.size() - pos));
        cutInto(stream, seen);
        QVERIFY(stream.bufferedBytes() <= kMaxFrameSize);
    }
    QCOMPARE(seen.frames.size(), std::size_t(1));

    const std::string junk = filler(4096, 'j');
    for (int i = 0; i < 256; ++i) {
        appendString(stream, junk);
        QVERIFY(cutInto(stream, seen).broken);
        QCOMPARE(stream.bufferedBytes(), std::size_t(0));
    }
}

void TestFrameStream::resetForgetsTail()
{
    FrameStream stream;
    Collector seen;
    const std::string old = makeFrame('U', "OLD", "old\r");
    agwtest::feed(stream, bytes(old), old.size() - 1);
    cutInto(stream, seen);
    stream.reset();
    QCOMPARE(stream.bufferedBytes(), std::size_t(0));
    appendString(stream, makeFrame('U', "NEW", "new\r"));
    QCOMPARE(cutInto(stream, seen).frames, std::size_t(1));
    QCOMPARE(seen.frames[0].call, std::string("NEW"));
}

void TestFrameStream::commitTakesNoMoreThanPrepared()
{
    FrameStream stream;
    stream.prepare(10);
    stream.commit(100);
    QCOMPARE(stream.bufferedBytes(), std::size_t(10));
    stream.commit(5); // nothing prepared since the last commit
    QCOMPARE(stream.bufferedBytes(), std::size_t(10));
}

void TestFrameStream::framesStayUntilNextRead_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("firstRead"); // bytes read and cut before the read under test
    QTest::addColumn<int>("frames");    // frames the read under test hands out

    const std::string a = makeFrame('U', "IW2OHX-13", "a\r_10090556c220s004\r");
    const std::string b = makeFrame('R', "", std::string("\xD0\x07\0\0\x4E\0\0\0", 8));
    const std::string big = makeFrame('U', "BIGFRAME", filler(40000, 'b'));
    std::string broken = makeFrame('U', "BAD", "");
    broken[31] = 1;
    QTest::newRow("whole frames") << agwtest::qbytes(a + b + a) << 0 << 3;
    QTest::newRow("an incomplete frame after")
        << agwtest::qbytes(a + b + big.substr(0, 500)) << 0 << 2;
    // The block grows past its first size while it holds a kept tail.
    QTest::newRow("a tail completed, then a large frame")
        << agwtest::qbytes(a + big + b) << 10 << 3;
    QTest::newRow("a broken header after") << agwtest::qbytes(a + b + broken + a) << 0 << 2;
}

void TestFrameStream::framesStayUntilNextRead()
{
    // A reader collects views during the walk and acts on them after it:
    // the frames must stay where they were handed out, through further cuts
    // that bring nothing new, until the next read.
    QFETCH(QByteArray, wire);
    QFETCH(int, firstRead);
    QFETCH(int, frames);
    const auto *in = reinterpret_cast<const std::uint8_t *>(wire.constData());
    const auto none = [](const std::uint8_t *, std::size_t, std::uint32_t) {};
    FrameStream stream;
    agwtest::feed(stream, in, std::size_t(firstRead));
    QCOMPARE(stream.cut(none).frames, std::size_t(0));
    const std::size_t rest = std::size_t(wire.size() - firstRead);
    std::memcpy(stream.prepare(rest), in + firstRead, rest);
    stream.commit(rest);

    struct Kept
    {
        std::string_view frame;
        std::string copy;
        ParsedFrame parsed;
    };
    std::vector<Kept> kept;
    stream.cut([&](const std::uint8_t *block, std::size_t pos, std::uint32_t length) {
        const std::string_view frame(reinterpret_cast<const char *>(block) + pos, 36 + length);
        kept.push_back({frame, std::string(frame), parseFrame(block, pos, length)});
    });
    QCOMPARE(int(kept.size()), frames);
    QCOMPARE(stream.cut(none).frames, std::size_t(0));
    stream.commit(100); // nothing prepared: takes nothing, moves nothing
    for (const Kept &k : kept) {
        QCOMPARE(k.frame, std::string_view(k.copy));
        // What the walk parsed still reads the same bytes.
        const ParsedFrame again = parseFrame(reinterpret_cast<const std::uint8_t *>(k.frame.data()),
                                             0, std::uint32_t(k.frame.size() - 36));
        QCOMPARE(k.parsed.call, again.call);
        QVERIFY(k.parsed.call.data() == again.call.data());
        QVERIFY(k.parsed.text.data() == again.text.data());
        QCOMPARE(k.parsed.infoField, again.infoField);
    }
    QCOMPARE(kept.front().parsed.call, std::string_view("IW2OHX-13"));
    QCOMPARE(kept.front().parsed.infoField, std::string_view("_10090556c220s004"));
}

QTEST_APPLESS_MAIN(TestFrameStream)
#include "tst_FrameStream.moc"
