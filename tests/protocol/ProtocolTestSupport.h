#pragma once
// Helpers shared by the link tests: events from bytes, waiting with the
// event loop running, and a route manager that records what it is asked to
// send instead of sending it.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "editor/protocol/ComuController.h"
#include "editor/protocol/SysExMessages.h"

namespace prototest {

using Bytes = SysExMsg::Bytes;

inline const unsigned char kTx[2] = {0x7F, 0x17};
inline const unsigned char kRx[2] = {0x7F, 0x19};

// A SysEx event as the MIDI layer delivers it: data after F0, ending with
// F7. `storage` must outlive the event.
inline tagMPEVENT sysexEvent(Bytes& storage)
{
    if (!storage.empty() && storage.front() == 0xF0)
        storage.erase(storage.begin());
    tagMPEVENT event;
    event.kind = MPEV_SYSEX;
    event.length = static_cast<int32_t>(storage.size());
    event.data = storage.data();
    return event;
}

inline Bytes withF0(const Bytes& m)
{
    Bytes out{0xF0};
    out.insert(out.end(), m.begin(), m.end());
    return out;
}

inline std::string hex(const Bytes& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Records every dispatched event (with its F0 put back) and can be told to
// fail, as a closed port would.
class RecordingController : public ComuController {
public:
    HRESULT midiOutDispatch(MPEVENT event, int mode) override
    {
        Q_UNUSED(mode);
        std::lock_guard lock(m_mutex);
        if (m_failAfter == 0)
            return kFailure;
        if (m_failAfter > 0)
            --m_failAfter;
        Bytes bytes{0xF0};
        bytes.insert(bytes.end(), event.data, event.data + event.length);
        m_sent.push_back(bytes);
        m_ports.push_back(event.portId);
        return kSuccess;
    }
    std::vector<Bytes> sent()
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::vector<int> ports()
    {
        std::lock_guard lock(m_mutex);
        return m_ports;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_sent.clear();
        m_ports.clear();
    }
    // Lets `n` more events through, then fails every one; -1 never fails.
    void failAfter(int n)
    {
        std::lock_guard lock(m_mutex);
        m_failAfter = n;
    }

private:
    std::mutex m_mutex;
    std::vector<Bytes> m_sent;
    std::vector<int> m_ports;
    int m_failAfter = -1;
};

} // namespace prototest
