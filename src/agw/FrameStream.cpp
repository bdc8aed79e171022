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
    m_block = std::move(block);
    m_capacity = capacity;
}

void FrameStream::dropHandedOut()
{
    if (m_start == 0)
        return;
    const std::size_t tail = m_size - m_start;
    if (tail > 0)
        std::memmove(m_block.get(), m_block.get() + m_start, tail);
    m_size = tail;
    m_start = 0;
}

std::uint8_t *FrameStream::prepare(std::size_t n)
{
    dropHandedOut();
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

void FrameStream::reset()
{
    m_block.reset();
    m_capacity = 0;
    m_size = 0;
    m_start = 0;
    m_prepared = 0;
    m_broken = false;
}

void FrameStream::markBroken()
{
    m_broken = true;
    m_size = 0;
    m_start = 0;
}

} // namespace quintaro::agw
