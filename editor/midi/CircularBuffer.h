#pragma once
// Byte ring shared by one or more writers and one reader. The copies
// themselves take no lock: users serialise them with mutex(); the fill count
// is atomic so that avail() and space() may be read without the lock.

#include <atomic>
#include <memory>
#include <mutex>

class CircularBuffer {
public:
    CircularBuffer(int size, bool recursiveMutex);
    ~CircularBuffer();
    CircularBuffer(const CircularBuffer&) = delete;
    CircularBuffer& operator=(const CircularBuffer&) = delete;

    int avail() const { return m_fill.load(std::memory_order_seq_cst); }
    int space() const { return m_size - avail(); }
    int size() const { return m_size; }

    // Returns the bytes written (cut down to space()).
    int write(const unsigned char* src, int count);
    // Returns the bytes read (cut down to avail()); a null out skips bytes.
    int read(unsigned char* out, int count);

    void lock();
    void unlock();
    // Non-recursive form only (the pump waits on a condition with it);
    // null when the ring was made with a recursive mutex.
    std::mutex* mutex() { return m_mutex.get(); }

private:
    int m_write = 0;
    int m_read = 0;
    std::atomic<int> m_fill{0};
    std::unique_ptr<unsigned char[]> m_storage;
    int m_size = 0;
    std::unique_ptr<std::mutex> m_mutex;
    std::unique_ptr<std::recursive_mutex> m_recursive;
};
