#include "editor/midi/CircularBuffer.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>

CircularBuffer::CircularBuffer(int size, bool recursiveMutex)
    : m_storage(new unsigned char[size > 0 ? size : 1])
    , m_size(size > 0 ? size : 0)
{
    if (recursiveMutex)
        m_recursive = std::make_unique<std::recursive_mutex>();
    else
        m_mutex = std::make_unique<std::mutex>();
}

CircularBuffer::~CircularBuffer() = default;

void CircularBuffer::lock()
{
    if (m_mutex)
        m_mutex->lock();
    else
        m_recursive->lock();
}

void CircularBuffer::unlock()
{
    if (m_mutex)
        m_mutex->unlock();
    else
        m_recursive->unlock();
}

int CircularBuffer::write(const unsigned char* src, int count)
{
    if (count <= 0)
        return 0;
    const int room = space();
    if (count > room) {
        qDebug("CircularBuffer - buffer overflow? <tell zup>");
        count = room;
    }
    const int first = std::min(count, m_size - m_write);
    std::memcpy(m_storage.get() + m_write, src, size_t(first));
    if (count > first)
        std::memcpy(m_storage.get(), src + first, size_t(count - first));
    m_write = (m_write + count) % (m_size ? m_size : 1);
    m_fill.fetch_add(count, std::memory_order_seq_cst);
    return count;
}

int CircularBuffer::read(unsigned char* out, int count)
{
    if (count <= 0)
        return 0;
    const int filled = avail();
    if (count > filled) {
        qDebug("CircularBuffer - Client is asking for too much data!!! count:%d, avail:%d <tell zup>",
               count, filled);
        count = filled;
    }
    if (count == 0)
        return 0;
    const int first = std::min(count, m_size - m_read);
    if (out) {
        std::memcpy(out, m_storage.get() + m_read, size_t(first));
        if (count > first)
            std::memcpy(out + first, m_storage.get(), size_t(count - first));
    }
    m_read = (m_read + count) % m_size;
    m_fill.fetch_sub(count, std::memory_order_seq_cst);
    return count;
}
