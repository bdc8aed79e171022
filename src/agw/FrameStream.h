#pragma once

#include "AgwFrame.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace quintaro::agw {

// Cuts the byte stream of one AGWPE connection into frames.
//
// Received bytes are added at the end of one growing block; cut() hands out
// every whole frame that carries data, in stream order, as a position in
// that block, and keeps an incomplete tail until later bytes complete it:
// TCP may split a frame anywhere, and a frame split across two reads must
// not be lost. A header that cannot be an AGWPE header (see isValidHeader)
// marks the stream broken; from then on every byte is discarded until
// reset(). So the block never keeps more than one incomplete frame.
//
// Reading into the block without a copy:
//     std::uint8_t *dest = stream.prepare(n);
//     stream.commit(readFromSocket(dest, n));
//
// Re-entrancy: a frame handler may run the event loop (a modal message box),
// during which more bytes may arrive or the connection may be reset. Bytes
// added then are cut by the walk already running (a nested cut() hands out
// nothing); after a reset the walk goes on with the new connection's bytes.
// The block given to the handler stays valid and unchanged until the
// handler returns, whatever happens meanwhile.
class FrameStream
{
public:
    struct CutResult
    {
        std::size_t frames = 0; // frames handed to the handler by this call
        bool broken = false;    // the stream is broken; nothing more will come until reset()
    };

    FrameStream() = default;
    FrameStream(const FrameStream &) = delete;
    FrameStream &operator=(const FrameStream &) = delete;

    // Room for n more bytes at the end of the block; valid until the next
    // call of any other member. commit() then adds the count actually
    // written (at most n).
    std::uint8_t *prepare(std::size_t n);
    void commit(std::size_t n);
    void append(const std::uint8_t *bytes, std::size_t n);

    // Calls onFrame(const std::uint8_t *block, std::size_t headerPos,
    // std::uint32_t dataLength) for every whole frame with dataLength > 0;
    // frames without data are passed over. The frame's header starts at
    // block + headerPos, its data at block + headerPos + kHeaderSize.
    // A handler that takes a fourth argument, bool lastInBlock, learns
    // whether another whole frame with data follows in the bytes received
    // so far: a window that shows only the latest frame can skip the work
    // of showing the others.
    template <typename OnFrame> CutResult cut(OnFrame &&onFrame);

    // Forgets everything: for a new connection.
    void reset();

    bool isBroken() const { return m_broken; }
    // Bytes received but not yet handed out (the incomplete tail after a cut).
    std::size_t bufferedBytes() const { return m_size; }

private:
    class Walk;

    void reserve(std::size_t total);
    bool wholeFrameWithDataAt(std::size_t pos) const;
    void markBroken();
    void dropConsumed();

    std::unique_ptr<std::uint8_t[]> m_block;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::size_t m_prepared = 0;
    // The block a running handler still looks at, when it had to be replaced
    // while that handler ran.
    std::unique_ptr<std::uint8_t[]> m_retired;
    std::size_t m_walkPos = 0;
    bool m_walking = false;
    bool m_broken = false;
};

class FrameStream::Walk
{
public:
    explicit Walk(FrameStream &stream) : m_stream(stream)
    {
        m_stream.m_walking = true;
        m_stream.m_walkPos = 0;
    }
    ~Walk()
    {
        m_stream.m_walking = false;
        m_stream.m_retired.reset();
        m_stream.dropConsumed();
    }
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

private:
    FrameStream &m_stream;
};

template <typename OnFrame> FrameStream::CutResult FrameStream::cut(OnFrame &&onFrame)
{
    CutResult result;
    if (m_walking || m_broken) {
        result.broken = m_broken;
        return result;
    }
    Walk walk(*this);
    for (;;) {
        // Members are read afresh on every round: the handler may have added
        // bytes or reset the stream.
        const std::size_t available = m_size - m_walkPos;
        if (available < kHeaderSize)
            break;
        const std::uint8_t *header = m_block.get() + m_walkPos;
        if (!isValidHeader(header)) {
            markBroken();
            break;
        }
        const std::uint32_t length = dataLength(header);
        if (available - kHeaderSize < length)
            break;
        const std::size_t headerPos = m_walkPos;
        m_walkPos += kHeaderSize + length;
        if (length == 0)
            continue;
        ++result.frames;
        const std::uint8_t *block = m_block.get();
        if constexpr (std::is_invocable_v<OnFrame, const std::uint8_t *, std::size_t, std::uint32_t,
                                          bool>)
            onFrame(block, headerPos, length, !wholeFrameWithDataAt(m_walkPos));
        else
            onFrame(block, headerPos, length);
        m_retired.reset();
    }
    result.broken = m_broken;
    return result;
}

} // namespace quintaro::agw
