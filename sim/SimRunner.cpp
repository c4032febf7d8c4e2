#include "sim/SimRunner.h"

#include <algorithm>

namespace sim {

SimRunner::SimRunner(KeyboardSim& keyboard, SimWire& wire, int activeSensingMs)
    : m_keyboard(keyboard), m_wire(wire), m_activeSensing(std::max(activeSensingMs, 1))
{
}

SimRunner::~SimRunner()
{
    stop();
}

void SimRunner::start()
{
    std::lock_guard guard(m_lock);
    if (m_running) return;
    m_running = true;
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
}

void SimRunner::stop()
{
    {
        std::lock_guard guard(m_lock);
        if (!m_running) return;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    std::lock_guard guard(m_lock);
    m_running = false;
    m_queue.clear();
    m_idle.notify_all();
}

void SimRunner::deliver(int port, const std::uint8_t* bytes, std::size_t length)
{
    if (port < 1 || port > kPortCount || bytes == nullptr || length == 0) return;
    m_bytesIn += static_cast<long long>(length);
    std::vector<SimOutput> answers;
    Clock::time_point arrived{};
    {
        // One port's bytes are reassembled and handled in arrival order.
        std::lock_guard guard(m_inputLock);
        if (m_wireRate > 0) {
            // The editor's side of the cable: these bytes have only all
            // arrived once the cable has carried them after the ones before.
            m_inFree = std::max(Clock::now(), m_inFree) + wireTime(length);
            arrived = m_inFree;
        }
        Bytes& buffer = m_partial[port];
        buffer.insert(buffer.end(), bytes, bytes + length);
        std::size_t complete = 0;
        for (std::size_t i = buffer.size(); i > 0; --i) {
            if (buffer[i - 1] == kSysExEnd) {
                complete = i;
                break;
            }
        }
        // Without an F7, bytes that are not the start of a message (active
        // sensing, clocks, stray data) are complete as they are.
        if (complete == 0 && buffer.front() != kSysExStart) {
            const auto start = std::find(buffer.begin(), buffer.end(), kSysExStart);
            complete = std::size_t(start - buffer.begin());
        }
        if (complete > 0) {
            answers = m_keyboard.receive(port, buffer.data(), complete);
            buffer.erase(buffer.begin(), buffer.begin() + std::ptrdiff_t(complete));
        }
        if (buffer.size() > kMaxMessageBytes) {
            m_keyboard.receive(port, buffer.data(), buffer.size()); // logged as a message without F7
            buffer.clear();
        }
    }
    queue(std::move(answers), arrived);
}

void SimRunner::post(std::vector<SimOutput> outputs)
{
    queue(std::move(outputs));
}

SimRunner::Clock::duration SimRunner::wireTime(std::size_t bytes) const
{
    if (m_wireRate <= 0) return Clock::duration::zero();
    // Ten bits per byte: start bit, eight data bits, stop bit.
    const auto ns = std::chrono::nanoseconds(static_cast<long long>(bytes) * 10 * 1000000000LL / m_wireRate);
    return std::chrono::duration_cast<Clock::duration>(ns);
}

bool SimRunner::transmit(const SimOutput& output)
{
    if (m_wireRate > 0) {
        // The message reaches the other end when its last byte has crossed.
        m_outFree = std::max(Clock::now(), m_outFree) + wireTime(output.bytes.size());
        std::this_thread::sleep_until(m_outFree);
    }
    const bool sent = m_wire.send(output.port, output.bytes);
    if (sent) m_bytesOut += static_cast<long long>(output.bytes.size());
    if (sent && m_wireLog && !output.bytes.empty() && output.bytes.front() == kSysExStart) {
        m_wireLog("out " + hexBytes(output.bytes.data(), output.bytes.size()));
    }
    return sent;
}

void SimRunner::queue(std::vector<SimOutput> outputs, Clock::time_point earliest)
{
    if (outputs.empty()) return;
    const auto due = std::max(Clock::now(), earliest) + std::chrono::milliseconds(m_keyboard.faults().replyDelayMs);
    {
        std::lock_guard guard(m_lock);
        if (!m_running || m_stopping) return;
        for (auto& out : outputs) {
            m_queue.push_back(Pending{due, std::move(out)});
        }
    }
    m_wake.notify_all();
}

bool SimRunner::waitUntilIdle(int timeoutMs)
{
    std::unique_lock guard(m_lock);
    return m_idle.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [this] { return (m_queue.empty() && !m_sending) || !m_running; });
}

void SimRunner::run()
{
    auto nextSensing = Clock::now();
    std::unique_lock guard(m_lock);
    while (!m_stopping) {
        const auto now = Clock::now();
        if (now >= nextSensing) {
            nextSensing = now + m_activeSensing;
            guard.unlock();
            for (const auto& out : m_keyboard.activeSensing()) {
                if (!transmit(out)) ++m_sendFailures;
            }
            guard.lock();
            continue;
        }
        if (!m_queue.empty() && m_queue.front().due <= now) {
            Pending next = std::move(m_queue.front());
            m_queue.pop_front();
            m_sending = true;
            guard.unlock();
            if (transmit(next.output)) ++m_sent;
            else ++m_sendFailures;
            guard.lock();
            m_sending = false;
            if (m_queue.empty()) m_idle.notify_all();
            continue;
        }
        auto wakeAt = nextSensing;
        if (!m_queue.empty()) wakeAt = std::min(wakeAt, m_queue.front().due);
        m_wake.wait_until(guard, wakeAt);
    }
}

} // namespace sim
