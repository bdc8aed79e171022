#pragma once

#include "AgwFrame.h"

#include <cstddef>
#include <cstdint>
#include <memory>

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
// The frames handed out stay where they are until the next prepare() or
// reset(): a reader may keep views into them until then, and act
// on them once the walk is over.
//
// Reading into the block without a copy:
//     std::uint8_t *dest = stream.prepare(n);
//     stream.commit(readFromSocket(dest, n));
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

    // Calls onFrame(const std::uint8_t *block, std::size_t headerPos,
    // std::uint32_t dataLength) for every whole frame with dataLength > 0;
    // frames without data are passed over. The frame's header starts at
    // block + headerPos, its data at block + headerPos + kHeaderSize. The
    // handler must not call back into the stream.
    template <typename OnFrame> CutResult cut(OnFrame &&onFrame);

    // Forgets everything: for a new connection.
    void reset();

    // Bytes received but not yet handed out (the incomplete tail after a cut).
    std::size_t bufferedBytes() const { return m_size - m_start; }

private:
    void reserve(std::size_t total);
    void markBroken();
    void dropHandedOut();

    std::unique_ptr<std::uint8_t[]> m_block;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    // Where the bytes not yet handed out begin; those before stay in place
    // until the next prepare() or reset().
    std::size_t m_start = 0;
    std::size_t m_prepared = 0;
    bool m_broken = false;
};

template <typename OnFrame> FrameStream::CutResult FrameStream::cut(OnFrame &&onFrame)
{
    CutResult result;
    while (!m_broken && m_size - m_start >= kHeaderSize) {
        const std::uint8_t *header = m_block.get() + m_start;
        if (!isValidHeader(header)) {
            markBroken();
            break;
        }
        const std::uint32_t length = dataLength(header);
        if (m_size - m_start - kHeaderSize < length)
            break;
        const std::size_t headerPos = m_start;
        m_start += kHeaderSize + length;
        if (length == 0)
            continue;
        ++result.frames;
        onFrame(static_cast<const std::uint8_t *>(m_block.get()), headerPos, length);
    }
    result.broken = m_broken;
    return result;
}

} // namespace quintaro::agw
