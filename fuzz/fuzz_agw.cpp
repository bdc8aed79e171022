// The AGWPE stream cutter and the frame parser, fed the way a socket feeds
// them: bytes in chunks of any size, through append() or prepare()/commit(),
// a cut after each read, connections reset, and frame handlers that add
// bytes, reset or cut again while they run (as a modal box does).
//
// Input layout: byte 0 is the count K of control bytes, bytes 1..K are the
// controls, the rest is the byte stream. Each control byte is one step:
//   00aaaaaa  append a chunk of size(a), then cut
//   01aaaaaa  prepare()/commit() a chunk of size(a), then cut
//   10aaaaaa  append a chunk of size(a) without cutting; a = 63: reset
//   11xxyyyy  the next frame handler does xx with y: 0 append a chunk of
//             nestedSize(y), 1 prepare()/commit() it, 2 reset, 3 cut
// When the controls run out the rest of the stream is appended and cut.
//
// Every frame handed out, and whether it is the last whole one received so
// far, is checked against a plain model of the stream, walked byte by byte;
// the frame's parse, with two lines and with the last only, is checked
// against naive readings of the same bytes.

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
#include <utility>
#include <vector>

namespace {

using namespace quintaro::agw;

std::size_t chunkSize(unsigned a)
{
    if (a < 48)
        return a + 1; // every split of a header and of a short frame
    if (a < 62)
        return std::size_t(64) << (a - 48);
    return SIZE_MAX; // the rest of the stream
}

std::size_t nestedSize(unsigned y)
{
    static constexpr std::size_t kSizes[16] = {1, 2,  3,  4,   5,    6,     7,     8,
                                               9, 10, 36, 100, 4096, 16384, 65536, SIZE_MAX};
    return kSizes[y & 0xF];
}

// The stream as one string since the last reset, walked frame by frame with
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
    // Whether a whole frame with data follows pos, before any header that
    // breaks the stream.
    bool dataFrameAhead() const
    {
        std::size_t at = pos;
        while (bytes.size() - at >= kHeaderSize) {
            const auto *h = reinterpret_cast<const std::uint8_t *>(bytes.data()) + at;
            if (h[30] != 0 || h[31] != 0)
                return false;
            const std::uint32_t length = h[28] + 256u * h[29];
            if (bytes.size() - at - kHeaderSize < length)
                return false;
            if (length > 0)
                return true;
            at += kHeaderSize;
        }
        return false;
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

void checkParse(const std::uint8_t *block, std::size_t headerPos, std::uint32_t length,
                LineDetail detail)
{
    const ParsedFrame parsed = parseFrame(block, headerPos, length, detail);
    const std::uint8_t *header = block + headerPos;
    const char *data = reinterpret_cast<const char *>(header) + kHeaderSize;

    std::size_t callSize = 0;
    while (callSize < kCallFieldSize && header[kCallFromOffset + callSize] != 0)
        ++callSize;
    FUZZ_CHECK(parsed.dataKind == header[4]);
    FUZZ_CHECK(parsed.call.data() == reinterpret_cast<const char *>(header) + kCallFromOffset);
    FUZZ_CHECK(parsed.call.size() == callSize);

    switch (header[4]) {
    case 'U':
    case 'T': {
        FUZZ_CHECK(parsed.kind == FrameKind::Monitored);
        FUZZ_CHECK(parsed.text.data() == data && parsed.text.size() == length);
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
        const std::size_t count =
            std::min<std::size_t>(lines.size(), detail == LineDetail::TwoLines ? 2 : 1);
        FUZZ_CHECK(parsed.lines.count == count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::string_view got = parsed.lines.lines[k];
            const std::string_view want = lines[lines.size() - count + k];
            FUZZ_CHECK(got.data() >= data && got.data() + got.size() <= data + length);
            FUZZ_CHECK(got.data() == want.data() && got.size() == want.size());
        }
        FUZZ_CHECK(parsed.weather == (count > 0 && naiveWeather(lines.back())));
        break;
    }
    case 'R': {
        FUZZ_CHECK(parsed.kind == FrameKind::Version);
        const auto at = [&](std::size_t i) -> unsigned {
            return i < length ? static_cast<unsigned char>(data[i]) : 0u;
        };
        FUZZ_CHECK(parsed.version.majorVersion == at(0) + 256u * at(1));
        FUZZ_CHECK(parsed.version.minorVersion == at(4) + 256u * at(5));
        break;
    }
    default:
        FUZZ_CHECK(parsed.kind == FrameKind::Other);
        break;
    }
}

class Driver
{
public:
    Driver(const std::uint8_t *data, std::size_t size)
    {
        const std::size_t k = size > 0 ? std::min<std::size_t>(data[0], size - 1) : 0;
        m_controls = {data + (size > 0 ? 1 : 0), k};
        m_data = data + (size > 0 ? 1 + k : 0);
        m_dataLeft = size > 0 ? size - 1 - k : 0;
    }

    void run()
    {
        for (const std::uint8_t c : m_controls) {
            const unsigned a = c & 0x3F;
            switch (c >> 6) {
            case 0:
                feed(chunkSize(a), false);
                cutAndCheck();
                break;
            case 1:
                feed(chunkSize(a), true);
                cutAndCheck();
                break;
            case 2:
                if (a == 0x3F) {
                    m_stream.reset();
                    m_model.reset();
                    FUZZ_CHECK(m_stream.bufferedBytes() == 0 && !m_stream.isBroken());
                } else {
                    feed(chunkSize(a), false);
                }
                break;
            default:
                m_armed = int(a);
                break;
            }
        }
        feed(SIZE_MAX, false);
        cutAndCheck();
    }

private:
    void feed(std::size_t n, bool viaPrepare)
    {
        n = std::min(n, m_dataLeft);
        const std::uint8_t *bytes = m_data;
        m_data += n;
        m_dataLeft -= n;
        if (viaPrepare) {
            // Room for more than arrives, as a socket read gives; a commit
            // of more than was prepared must be cut to it.
            const std::size_t slack = n % 3 == 0 ? 0 : 8;
            std::uint8_t *dest = m_stream.prepare(n + slack);
            if (n > 0)
                std::memcpy(dest, bytes, n);
            m_stream.commit(slack == 0 ? n + 3 : n);
        } else {
            m_stream.append(bytes, n);
        }
        m_model.append(bytes, n);
    }

    void cutAndCheck()
    {
        m_delivered = 0;
        const FrameStream::CutResult result = m_stream.cut(
            [this](const std::uint8_t *block, std::size_t headerPos, std::uint32_t length,
                   bool lastInBlock) { onFrame(block, headerPos, length, lastInBlock); });
        FUZZ_CHECK(result.frames == m_delivered);
        FUZZ_CHECK(!m_model.next()); // every whole frame was handed out
        FUZZ_CHECK(result.broken == m_model.broken);
        FUZZ_CHECK(m_stream.isBroken() == m_model.broken);
        FUZZ_CHECK(m_stream.bufferedBytes() == m_model.buffered());
        FUZZ_CHECK(m_stream.bufferedBytes() < kMaxFrameSize);
        m_model.compact();
    }

    void onFrame(const std::uint8_t *block, std::size_t headerPos, std::uint32_t length,
                 bool lastInBlock)
    {
        ++m_delivered;
        FUZZ_CHECK(length > 0 && length <= kMaxDataLength);
        const std::optional<Model::Frame> expected = m_model.next();
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(expected->length == length);
        const std::uint8_t *frame = block + headerPos;
        const std::size_t frameSize = kHeaderSize + length;
        FUZZ_CHECK(std::memcmp(frame, m_model.bytes.data() + expected->pos, frameSize) == 0);
        FUZZ_CHECK(lastInBlock == !m_model.dataFrameAhead());
        checkParse(block, headerPos, length, LineDetail::TwoLines);
        checkParse(block, headerPos, length, LineDetail::LastLineOnly);

        if (m_armed < 0)
            return;
        const unsigned action = unsigned(m_armed);
        m_armed = -1;
        const std::string before(reinterpret_cast<const char *>(frame), frameSize);
        switch ((action >> 4) & 3) {
        case 0:
            feed(nestedSize(action), false);
            break;
        case 1:
            feed(nestedSize(action), true);
            break;
        case 2:
            m_stream.reset();
            m_model.reset();
            break;
        default: {
            const std::size_t delivered = m_delivered;
            const FrameStream::CutResult nested =
                m_stream.cut([](const std::uint8_t *, std::size_t, std::uint32_t) {
                    FUZZ_CHECK(!"a nested cut hands out no frame");
                });
            FUZZ_CHECK(nested.frames == 0 && m_delivered == delivered);
            FUZZ_CHECK(nested.broken == m_stream.isBroken());
            break;
        }
        }
        // The handler's block stays valid and unchanged whatever it did.
        FUZZ_CHECK(std::memcmp(frame, before.data(), frameSize) == 0);
    }

    FrameStream m_stream;
    Model m_model;
    std::span<const std::uint8_t> m_controls;
    const std::uint8_t *m_data = nullptr;
    std::size_t m_dataLeft = 0;
    int m_armed = -1;
    std::size_t m_delivered = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Driver(data, size).run();
    return 0;
}
