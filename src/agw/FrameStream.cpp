#include "FrameStream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quintaro::agw {

namespace {

// Small enough to cost nothing, large enough that a typical read of a few
// frames needs no second allocation.
constexpr std::size_t kInitialCapacity = 16 * 1024;

} // namespace

void FrameStream::reserve(std::size_t total)
{
    if (total <= m_capacity)
        return;
    const std::size_t capacity = std::max({total, m_capacity * 2, kInitialCapacity});
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    if (m_size > 0)
        std::memcpy(block.get(), m_block.get(), m_size);
    if (m_walking && !m_retired)
        m_retired = std::move(m_block);
    m_block = std::move(block);
    m_capacity = capacity;
}

std::uint8_t *FrameStream::prepare(std::size_t n)
{
    if (n > SIZE_MAX - m_size)
        throw std::length_error("FrameStream::prepare: size overflow");
    reserve(m_size + n);
    m_prepared = n;
    return m_block.get() + m_size;
}

void FrameStream::commit(std::size_t n)
{
    n = std::min(n, m_prepared);
    m_prepared = 0;
    // A broken stream reads on only to drain the socket.
    if (!m_broken)
        m_size += n;
}

void FrameStream::append(const std::uint8_t *bytes, std::size_t n)
{
    if (n == 0)
        return;
    std::memcpy(prepare(n), bytes, n);
    commit(n);
}

void FrameStream::reset()
{
    if (m_walking) {
        // The running handler may still look at the old block, so the new
        // connection starts in a fresh one.
        if (!m_retired)
            m_retired = std::move(m_block);
        m_block.reset();
        m_capacity = 0;
        m_walkPos = 0;
    } else {
        m_block.reset();
        m_capacity = 0;
    }
    m_size = 0;
    m_prepared = 0;
    m_broken = false;
}

bool FrameStream::wholeFrameWithDataAt(std::size_t pos) const
{
    for (;;) {
        if (m_size - pos < kHeaderSize)
            return false;
        const std::uint8_t *header = m_block.get() + pos;
        if (!isValidHeader(header))
            return false;
        const std::uint32_t length = dataLength(header);
        if (m_size - pos - kHeaderSize < length)
            return false;
        if (length != 0)
            return true;
        pos += kHeaderSize;
    }
}

void FrameStream::markBroken()
{
    m_broken = true;
    m_size = 0;
    m_walkPos = 0;
}

void FrameStream::dropConsumed()
{
    if (m_walkPos == 0)
        return;
    const std::size_t tail = m_size - m_walkPos;
    if (tail > 0)
        std::memmove(m_block.get(), m_block.get() + m_walkPos, tail);
    m_size = tail;
    m_walkPos = 0;
}

} // namespace quintaro::agw
