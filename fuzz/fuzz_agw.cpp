// The AGWPE stream cutter and the frame parser, fed the way the engine link
// feeds them: the stream split into reads of any size, each through
// prepare()/commit() with room to spare or exactly, a cut after each, and now
// and then a new connection (reset).
//
// Input layout: byte 0 is the count K of read bytes, bytes 1..K describe one
// read each, the rest is the byte stream. A read byte is pxxxxxxx: p set
// prepares more room than the read fills, clear exactly its size; x < 112 reads
// x + 1 bytes (every split of a header and of a short frame), 112..126 reads
// 128 << (x - 112) bytes, 127 resets the stream instead of reading. What the
// reads leave of the stream comes in one last read.
//
// The frames handed out are checked against a plain model of the stream,
// walked frame by frame; views into them must still hold the same bytes
// after the cut has returned, until the next read; and every frame's parse
// is checked against naive readings of the same bytes.

#include "FuzzCheck.h"

#include "AgwFrame.h"
#include "FrameStream.h"
#include "MonitorParser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quintaro::agw;

constexpr unsigned kReset = 127;

std::size_t readSize(unsigned x)
{
    return x < 112 ? x + 1 : std::size_t(128) << (x - 112);
}

// The stream since the last reset as one string, walked frame by frame with
// no cleverness: the reference for what the cutter must hand out.
struct Model
{
    struct Frame
    {
        std::size_t pos;
        std::uint32_t length;
    };

    std::string bytes;
    std::size_t pos = 0;
    bool broken = false;

    void append(const std::uint8_t *p, std::size_t n)
    {
        if (!broken)
            bytes.append(reinterpret_cast<const char *>(p), n);
    }
    void reset()
    {
        bytes.clear();
        pos = 0;
        broken = false;
    }
    std::optional<Frame> next()
    {
        while (!broken && bytes.size() - pos >= kHeaderSize) {
            const auto *h = reinterpret_cast<const std::uint8_t *>(bytes.data()) + pos;
            if (h[30] != 0 || h[31] != 0) {
                broken = true;
                bytes.clear();
                pos = 0;
                return std::nullopt;
            }
            const std::uint32_t length = h[28] + 256u * h[29];
            if (bytes.size() - pos - kHeaderSize < length)
                return std::nullopt;
            const std::size_t at = pos;
            pos += kHeaderSize + length;
            if (length > 0)
                return Frame{at, length};
        }
        return std::nullopt;
    }
    std::size_t buffered() const { return bytes.size() - pos; }
    void compact()
    {
        bytes.erase(0, pos);
        pos = 0;
    }
};

bool naiveNumber(std::string_view t)
{
    std::size_t i = 0;
    while (i < t.size() && t[i] == ' ')
        ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        ++i;
        ++digits;
    }
    while (i < t.size() && t[i] == ' ')
        ++i;
    return digits > 0 && i == t.size();
}

bool naiveWeather(std::string_view info)
{
    if (info.empty())
        return false;
    if (info[0] == '_')
        return true;
    if (std::string_view("!=/@;").find(info[0]) == std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < info.size(); ++i) {
        if (info[i] == '_')
            return naiveNumber(info.substr(i + 1, 3));
    }
    return false;
}

bool sameView(std::string_view a, std::string_view b)
{
    return a.data() == b.data() && a.size() == b.size();
}

void checkParse(const ParsedFrame &parsed, const std::uint8_t *header, std::uint32_t length)
{
    const char *data = reinterpret_cast<const char *>(header) + kHeaderSize;

    std::size_t callSize = 0;
    while (callSize < kCallFieldSize && header[kCallFromOffset + callSize] != 0)
        ++callSize;
    FUZZ_CHECK(parsed.call.data() == reinterpret_cast<const char *>(header) + kCallFromOffset);
    FUZZ_CHECK(parsed.call.size() == callSize);

    switch (header[4]) {
    case 'U':
    case 'T': {
        FUZZ_CHECK(parsed.kind == FrameKind::Monitored);
        FUZZ_CHECK(sameView(parsed.text, {data, length}));
        // Every non-empty line ended by a carriage return, byte by byte.
        std::vector<std::string_view> lines;
        std::size_t start = 0;
        for (std::size_t i = 0; i < length; ++i) {
            if (data[i] == '\r') {
                if (i > start)
                    lines.emplace_back(data + start, i - start);
                start = i + 1;
            }
        }
        if (lines.empty()) {
            FUZZ_CHECK(!parsed.infoField.data());
            FUZZ_CHECK(!parsed.weather);
        } else {
            FUZZ_CHECK(sameView(parsed.infoField, lines.back()));
            FUZZ_CHECK(parsed.weather == naiveWeather(lines.back()));
        }
        const MonitorLines shown = lastTwoLines(parsed.text);
        const std::size_t count = std::min<std::size_t>(lines.size(), 2);
        FUZZ_CHECK(shown.count == count);
        for (std::size_t k = 0; k < count; ++k)
            FUZZ_CHECK(sameView(shown.lines[k], lines[lines.size() - count + k]));
        break;
    }
    case 'R': {
        FUZZ_CHECK(parsed.kind == FrameKind::Version);
        const auto at = [&](std::size_t i) -> unsigned {
            return i < length ? static_cast<unsigned char>(data[i]) : 0u;
        };
        FUZZ_CHECK(parsed.version.majorVersion == at(0) + 256u * at(1));
        FUZZ_CHECK(parsed.version.minorVersion == at(4) + 256u * at(5));
        FUZZ_CHECK(!parsed.text.data() && !parsed.infoField.data() && !parsed.weather);
        break;
    }
    default:
        FUZZ_CHECK(parsed.kind == FrameKind::Other);
        FUZZ_CHECK(!parsed.text.data() && !parsed.infoField.data() && !parsed.weather);
        break;
    }
}

class Driver
{
public:
    Driver(const std::uint8_t *data, std::size_t size)
    {
        const std::size_t k = size > 0 ? std::min<std::size_t>(data[0], size - 1) : 0;
        m_reads = {data + (size > 0 ? 1 : 0), k};
        m_data = data + (size > 0 ? 1 + k : 0);
        m_dataLeft = size > 0 ? size - 1 - k : 0;
    }

    void run()
    {
        for (const std::uint8_t r : m_reads) {
            const unsigned x = r & 0x7F;
            if (x == kReset) {
                m_stream.reset();
                m_model.reset();
                m_kept.clear();
                FUZZ_CHECK(m_stream.bufferedBytes() == 0 && !m_stream.isBroken());
                continue;
            }
            read(readSize(x), (r & 0x80) != 0);
            cutAndCheck();
        }
        read(m_dataLeft, false);
        cutAndCheck();
    }

private:
    // What a reader kept of a frame handed out: a view, the bytes it held
    // then, and the parse made during the walk.
    struct Kept
    {
        std::string_view frame;
        std::string copy;
        ParsedFrame parsed;
    };

    void read(std::size_t n, bool viaPrepare)
    {
        n = std::min(n, m_dataLeft);
        const std::uint8_t *bytes = m_data;
        m_data += n;
        m_dataLeft -= n;
        // The next read may move what was handed out: nothing kept counts.
        m_kept.clear();
        if (viaPrepare) {
            // Room for more than arrives, as a socket read gives; a commit
            // of more than was prepared must be cut to it.
            const std::size_t slack = n % 3 == 0 ? 0 : 8;
            std::uint8_t *dest = m_stream.prepare(n + slack);
            if (n > 0)
                std::memcpy(dest, bytes, n);
            m_stream.commit(slack == 0 ? n + 3 : n);
        } else {
            if (n > 0)
                std::memcpy(m_stream.prepare(n), bytes, n);
            m_stream.commit(n);
        }
        m_model.append(bytes, n);
    }

    void cutAndCheck()
    {
        std::size_t delivered = 0;
        const FrameStream::CutResult result = m_stream.cut(
            [&](const std::uint8_t *block, std::size_t headerPos, std::uint32_t length) {
                ++delivered;
                onFrame(block, headerPos, length);
            });
        FUZZ_CHECK(result.frames == delivered);
        FUZZ_CHECK(!m_model.next()); // every whole frame was handed out
        FUZZ_CHECK(result.broken == m_model.broken);
        FUZZ_CHECK(m_stream.isBroken() == m_model.broken);
        FUZZ_CHECK(m_stream.bufferedBytes() == m_model.buffered());
        FUZZ_CHECK(m_stream.bufferedBytes() < kMaxFrameSize);
        m_model.compact();

        // A second cut with nothing new hands out nothing and moves nothing.
        const FrameStream::CutResult again =
            m_stream.cut([](const std::uint8_t *, std::size_t, std::uint32_t) {
                FUZZ_CHECK(!"a cut without new bytes hands out no frame");
            });
        FUZZ_CHECK(again.frames == 0 && again.broken == result.broken);

        // The frames stay where they were handed out until the next read.
        for (const Kept &k : m_kept) {
            FUZZ_CHECK(std::memcmp(k.frame.data(), k.copy.data(), k.copy.size()) == 0);
            const auto *header = reinterpret_cast<const std::uint8_t *>(k.frame.data());
            const auto length = std::uint32_t(k.frame.size() - kHeaderSize);
            const ParsedFrame now = parseFrame(header, 0, length);
            FUZZ_CHECK(now.kind == k.parsed.kind && now.weather == k.parsed.weather);
            FUZZ_CHECK(sameView(now.call, k.parsed.call) && sameView(now.text, k.parsed.text) &&
                       sameView(now.infoField, k.parsed.infoField));
        }
    }

    void onFrame(const std::uint8_t *block, std::size_t headerPos, std::uint32_t length)
    {
        FUZZ_CHECK(length > 0 && length <= kMaxDataLength);
        const std::optional<Model::Frame> expected = m_model.next();
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(expected->length == length);
        const std::uint8_t *header = block + headerPos;
        const std::size_t frameSize = kHeaderSize + length;
        FUZZ_CHECK(std::memcmp(header, m_model.bytes.data() + expected->pos, frameSize) == 0);

        const ParsedFrame parsed = parseFrame(block, headerPos, length);
        checkParse(parsed, header, length);
        const std::string_view frame(reinterpret_cast<const char *>(header), frameSize);
        m_kept.push_back({frame, std::string(frame), parsed});
    }

    FrameStream m_stream;
    Model m_model;
    std::vector<Kept> m_kept;
    std::span<const std::uint8_t> m_reads;
    const std::uint8_t *m_data = nullptr;
    std::size_t m_dataLeft = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Driver(data, size).run();
    return 0;
}
