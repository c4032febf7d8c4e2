#include "editor/midi/MIDITransport.h"

#include "editor/midi/MIDIEventPushThread.h"
#include "editor/midi/Utilities.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

uint64_t steadyNowNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

} // namespace

TMIDITransport::TMIDITransport(QObject* parent)
    : QObject(parent)
{
}

TMIDITransport::~TMIDITransport()
{
    stopPusherThread();
    releaseCurrent();
}

uint64_t TMIDITransport::droppedEvents() const { return m_droppedEvents.load(); }
uint64_t TMIDITransport::droppedSysEx() const { return m_droppedSysEx.load(); }

bool TMIDITransport::startPusherThread()
{
    stopPusherThread();
    m_pusher = new TMIDIEventPushThread(this);
    m_pusher->start();
    return true;
}

void TMIDITransport::stopPusherThread()
{
    if (!m_pusher)
        return;
    m_pusher->requestTermination();
    m_pusher->wait();
    delete m_pusher;
    m_pusher = nullptr;
}

void TMIDITransport::doEvent(tagMPEVENT* event, bool raw)
{
    if (isSysExKind(event->kind) && !raw)
        event->data = event->buffer ? event->buffer + 1 : nullptr;
    if (m_reader)
        m_reader->midiIn(event);
    std::free(event->buffer);
    event->buffer = nullptr;
}

void TMIDITransport::releaseCurrent()
{
    std::free(m_sysex);
    m_sysex = nullptr;
    m_sysexLength = 0;
    m_sysexCapacity = 0;
    m_sysexOverflow = false;
    m_current = tagMPEVENT();
}

void TMIDITransport::appendSysEx(const unsigned char* bytes, int count)
{
    if (count <= 0 || m_sysexOverflow)
        return;
    if (m_sysexLength + count > kMaxSysExBytes) {
        // No F7 in sight within any message this layer could use: give the
        // whole message up and skip the rest of it.
        std::free(m_sysex);
        m_sysex = nullptr;
        m_sysexLength = 0;
        m_sysexCapacity = 0;
        m_sysexOverflow = true;
        return;
    }
    if (m_sysexLength + count > m_sysexCapacity) {
        int capacity = std::max(256, m_sysexCapacity * 2);
        while (capacity < m_sysexLength + count)
            capacity *= 2;
        capacity = std::min(capacity, kMaxSysExBytes);
        auto* grown = static_cast<unsigned char*>(std::realloc(m_sysex, size_t(capacity)));
        if (!grown) {
            std::free(m_sysex);
            m_sysex = nullptr;
            m_sysexLength = 0;
            m_sysexCapacity = 0;
            m_sysexOverflow = true;
            return;
        }
        m_sysex = grown;
        m_sysexCapacity = capacity;
    }
    std::memcpy(m_sysex + m_sysexLength, bytes, size_t(count));
    m_sysexLength += count;
}

void TMIDITransport::pushEvent()
{
    if (isSysExKind(m_current.kind)) {
        if (m_sysexOverflow) {
            m_droppedSysEx.fetch_add(1);
            releaseCurrent();
            return;
        }
        m_current.buffer = m_sysex;
        m_current.length = m_sysexLength - 1;
        m_current.data = nullptr;
        m_sysex = nullptr;
        m_sysexLength = 0;
        m_sysexCapacity = 0;
    }
    m_current.receivedNs = m_packetNs ? m_packetNs : steadyNowNs();
    TMIDIEventPushThread* pusher = m_pusher;
    if (!pusher || !pusher->push(m_current)) {
        m_droppedEvents.fetch_add(1);
        std::free(m_current.buffer);
    }
    m_current = tagMPEVENT();
}

void TMIDITransport::closeOpenSysEx()
{
    static const unsigned char f7 = 0xF7;
    appendSysEx(&f7, 1);
    pushEvent();
}

void TMIDITransport::read(int length, const void* bytes)
{
    if (length <= 0 || !bytes)
        return;
    const auto* p = static_cast<const unsigned char*>(bytes);
    int i = 0;
    while (i < length) {
        const unsigned char b = p[i];
        const bool idle = m_current.kind == MPEV_NONE;
        if (b < 0x80) {
            if (idle) {
                // No running status: data bytes without a status are dropped.
                while (i < length && p[i] < 0x80)
                    ++i;
            } else {
                i += readLong(length - i, p + i);
            }
        } else if (!idle) {
            if (b >= 0xF8) {
                ++i; // real-time bytes never end a System Exclusive message
            } else {
                closeOpenSysEx();
                if (b == 0xF7)
                    ++i;
            }
        } else if (b == 0xF0 || b == 0xF7) {
            i += readLong(length - i, p + i);
        } else if (b >= 0xF1 && b <= 0xF6) {
            ++i;
        } else {
            i += readShort(length - i, p + i);
        }
    }
    m_packetNs = 0;
}

int TMIDITransport::readShort(int available, const unsigned char* bytes)
{
    const unsigned char status = bytes[0];
    const int n = midiMessageLength(status);
    if (available < n)
        return available; // cut off at the end of the packet: lost
    if (status >= 0xF0) {
        if (status == 0xFE) {
            m_current = tagMPEVENT();
            m_current.kind = MPEV_ACTIVESENSING;
            m_current.shortData[0] = 0x00;
            m_current.shortData[1] = 0xFE;
            pushEvent();
        }
        return n;
    }
    m_current = tagMPEVENT();
    m_current.kind = kChannelMessageKinds[(status >> 4) - 8];
    m_current.channel = status & 0x0F;
    m_current.shortData[0] = bytes[1];
    m_current.shortData[1] = n == 3 ? bytes[2] : 0;
    pushEvent();
    return n;
}

int TMIDITransport::readLong(int available, const unsigned char* bytes)
{
    const bool isNew = m_current.kind == MPEV_NONE;
    // A message ends at its first F7. Any other status byte is left to the
    // caller: real-time bytes are skipped, others close the message. So each
    // message becomes its own event and nothing foreign enters its bytes.
    int take = available;
    bool finished = false;
    for (int j = isNew ? 1 : 0; j < available; ++j) {
        if (bytes[j] < 0x80)
            continue;
        if (bytes[j] == 0xF7) {
            take = j + 1;
            finished = true;
        } else {
            take = j;
        }
        break;
    }
    if (isNew) {
        m_current = tagMPEVENT();
        m_current.kind = bytes[0] == 0xF0 ? MPEV_SYSEX : MPEV_SYSEXCONT;
        m_current.channel = 0;
        m_sysexLength = 0;
        m_sysexOverflow = false;
    }
    appendSysEx(bytes, take);
    if (finished)
        pushEvent();
    return take;
}

bool TMIDITransport::sendInPieces(int length, const unsigned char* data, unsigned long status,
                                  const std::function<bool(const unsigned char*, int)>& send)
{
    if (length < 0 || (length > 0 && !data))
        return false;
    const bool withStatus = status != 0;
    const long long total = (long long)length + (withStatus ? 1 : 0);
    if (total <= 0)
        return false;

    unsigned char piece[kMaxOutputPiece];
    int sent = 0; // data bytes sent so far
    int n = int(std::min<long long>(total, kMaxOutputPiece));
    if (withStatus) {
        piece[0] = static_cast<unsigned char>(status);
        if (n > 1)
            std::memcpy(piece + 1, data, size_t(n - 1));
        sent = n - 1;
    } else {
        std::memcpy(piece, data, size_t(n));
        sent = n;
    }
    QElapsedTimer sinceLast;
    sinceLast.start();
    bool ok = send(piece, n);
    while (ok && sent < length) {
        for (qint64 elapsed = sinceLast.elapsed(); elapsed < kPieceIntervalMs; elapsed = sinceLast.elapsed())
            NS_Utilities::milisecondDelay(long(kPieceIntervalMs - elapsed));
        n = std::min(length - sent, kMaxOutputPiece);
        std::memcpy(piece, data + sent, size_t(n));
        sent += n;
        sinceLast.restart();
        ok = send(piece, n);
    }
    return ok;
}
