#include "sim/jack/Ports.h"

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/uuid.h>

#include <chrono>
#include <cstring>

namespace sim {

namespace {

// Incoming record: port (1 byte), length (4 bytes), bytes.
constexpr std::size_t kInRingBytes = 1 << 18;
// Outgoing record per port: length (4 bytes), bytes.
constexpr std::size_t kOutRingBytes = 1 << 16;
constexpr std::uint32_t kMaxEvent = 4096;
constexpr const char* kClientName = "zeno-keyboard-sim";
constexpr const char* kTextType = "text/plain";

bool setPrettyName(jack_client_t* client, jack_uuid_t subject, const std::string& name)
{
    return jack_set_property(client, subject, JACK_METADATA_PRETTY_NAME, name.c_str(), kTextType) == 0;
}

} // namespace

JackKeyboardPorts::JackKeyboardPorts()
{
    sem_init(&m_wake, 0, 0);
}

JackKeyboardPorts::~JackKeyboardPorts()
{
    close();
    sem_destroy(&m_wake);
}

bool JackKeyboardPorts::open(const std::string& name, SimRunner& runner, std::string& error)
{
    if (m_client) {
        error = "the keyboard's ports are already open";
        return false;
    }
    jack_status_t status{};
    // The client takes a plain name (JACK renames it when several simulators
    // run) and carries the keyboard's name as its pretty name, which is what
    // the editor shows as the device.
    jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (!client) {
        if (status & JackServerFailed) {
            error = "no JACK server is running (start one, e.g. jackd -d dummy)";
        } else {
            error = "the JACK server refused the client \"" + std::string(kClientName) + "\"";
        }
        return false;
    }
    m_client = client;
    m_inRing = jack_ringbuffer_create(kInRingBytes);
    for (int i = 0; i < kPortCount; ++i) {
        m_outRing[i] = jack_ringbuffer_create(kOutRingBytes);
        const std::string pretty = "Port" + std::to_string(i + 1);
        m_out[i] = jack_port_register(client, (pretty + " out").c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        m_in[i] = jack_port_register(client, (pretty + " in").c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!m_out[i] || !m_in[i] || !m_outRing[i] || !m_inRing) {
            error = "the JACK server refused the keyboard's MIDI ports";
            close();
            return false;
        }
        if (!setPrettyName(client, jack_port_uuid(m_out[i]), pretty) ||
            !setPrettyName(client, jack_port_uuid(m_in[i]), pretty)) {
            error = "the JACK server keeps no port names (metadata); the editor could not recognise the keyboard";
            close();
            return false;
        }
    }
    bool named = false;
    if (char* text = jack_get_uuid_for_client_name(client, jack_get_client_name(client))) {
        named = jack_uuid_parse(text, &m_clientUuid) == 0 && setPrettyName(client, m_clientUuid, name);
        jack_free(text);
    }
    if (!named) {
        error = "the JACK server would not take the keyboard's name \"" + name + "\"";
        close();
        return false;
    }
    m_runner = &runner;
    m_stop = false;
    m_worker = std::thread([this] { drainInput(); });
    jack_set_process_callback(client, &JackKeyboardPorts::process, this);
    jack_on_shutdown(client, &JackKeyboardPorts::shutdown, this);
    if (jack_activate(client) != 0) {
        error = "the JACK server would not run the client \"" + name + "\"";
        close();
        return false;
    }
    m_alive = true;
    m_name = name;
    m_clientName = jack_get_client_name(client);
    m_namesStop = false;
    m_namesKeeper = std::thread([this] { keepNames(); });
    return true;
}

bool JackKeyboardPorts::namesIntact() const
{
    auto has = [](jack_uuid_t subject, const std::string& expected) {
        char* value = nullptr;
        char* type = nullptr;
        const bool same = jack_get_property(subject, JACK_METADATA_PRETTY_NAME, &value, &type) == 0 && value &&
                          expected == value;
        if (value) jack_free(value);
        if (type) jack_free(type);
        return same;
    };
    if (!has(m_clientUuid, m_name)) return false;
    for (int i = 0; i < kPortCount; ++i) {
        const std::string pretty = "Port" + std::to_string(i + 1);
        if (!has(jack_port_uuid(m_out[i]), pretty) || !has(jack_port_uuid(m_in[i]), pretty)) return false;
    }
    return true;
}

// JACK keeps names in one store shared by every server of the user, keyed by
// identifiers that each server counts from the same start; a client of
// another server can therefore remove our names without ever seeing us. A
// keyboard's name does not change, so put it back whenever it went.
void JackKeyboardPorts::keepNames()
{
    std::unique_lock guard(m_namesLock);
    while (!m_namesStop) {
        m_namesWake.wait_for(guard, std::chrono::milliseconds(250));
        if (m_namesStop || !m_alive.load()) break;
        if (namesIntact()) continue;
        setPrettyName(m_client, m_clientUuid, m_name);
        for (int i = 0; i < kPortCount; ++i) {
            const std::string pretty = "Port" + std::to_string(i + 1);
            setPrettyName(m_client, jack_port_uuid(m_out[i]), pretty);
            setPrettyName(m_client, jack_port_uuid(m_in[i]), pretty);
        }
    }
}

void JackKeyboardPorts::close()
{
    if (!m_client) return;
    m_alive = false;
    {
        std::lock_guard guard(m_namesLock);
        m_namesStop = true;
    }
    m_namesWake.notify_all();
    if (m_namesKeeper.joinable()) m_namesKeeper.join();
    jack_deactivate(m_client);
    if (!jack_uuid_empty(m_clientUuid)) jack_remove_property(m_client, m_clientUuid, JACK_METADATA_PRETTY_NAME);
    jack_uuid_clear(&m_clientUuid);
    for (int i = 0; i < kPortCount; ++i) {
        if (m_out[i]) jack_remove_property(m_client, jack_port_uuid(m_out[i]), JACK_METADATA_PRETTY_NAME);
        if (m_in[i]) jack_remove_property(m_client, jack_port_uuid(m_in[i]), JACK_METADATA_PRETTY_NAME);
    }
    jack_client_close(m_client);
    m_client = nullptr;
    m_stop = true;
    sem_post(&m_wake);
    if (m_worker.joinable()) m_worker.join();
    m_runner = nullptr;
    for (int i = 0; i < kPortCount; ++i) {
        m_in[i] = m_out[i] = nullptr;
        if (m_outRing[i]) jack_ringbuffer_free(m_outRing[i]);
        m_outRing[i] = nullptr;
    }
    if (m_inRing) jack_ringbuffer_free(m_inRing);
    m_inRing = nullptr;
}

std::string JackKeyboardPorts::where() const
{
    return "JACK client \"" + m_clientName + "\" shown as \"" + m_name + "\", ports Port1..Port5 each way";
}

bool JackKeyboardPorts::send(int port, const Bytes& bytes)
{
    if (!m_alive.load() || port < 1 || port > kPortCount || bytes.empty() || bytes.size() > kMaxEvent) return false;
    std::lock_guard guard(m_sendLock[port - 1]);
    jack_ringbuffer_t* ring = m_outRing[port - 1];
    const std::uint32_t length = std::uint32_t(bytes.size());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (jack_ringbuffer_write_space(ring) < sizeof length + length) {
        if (!m_alive.load() || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&length), sizeof length);
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(bytes.data()), length);
    return true;
}

int JackKeyboardPorts::process(std::uint32_t frames, void* arg)
{
    auto* self = static_cast<JackKeyboardPorts*>(arg);
    bool received = false;
    for (int i = 0; i < kPortCount; ++i) {
        void* inBuffer = jack_port_get_buffer(self->m_in[i], frames);
        const std::uint32_t count = jack_midi_get_event_count(inBuffer);
        for (std::uint32_t e = 0; e < count; ++e) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, inBuffer, e) != 0 || event.size == 0) continue;
            const std::uint32_t length = std::uint32_t(event.size);
            const std::uint8_t port = std::uint8_t(i + 1);
            if (jack_ringbuffer_write_space(self->m_inRing) < 1 + sizeof length + length) {
                ++self->m_droppedIn;
                continue;
            }
            jack_ringbuffer_write(self->m_inRing, reinterpret_cast<const char*>(&port), 1);
            jack_ringbuffer_write(self->m_inRing, reinterpret_cast<const char*>(&length), sizeof length);
            jack_ringbuffer_write(self->m_inRing, reinterpret_cast<const char*>(event.buffer), length);
            received = true;
        }

        void* outBuffer = jack_port_get_buffer(self->m_out[i], frames);
        jack_midi_clear_buffer(outBuffer);
        jack_ringbuffer_t* ring = self->m_outRing[i];
        while (jack_ringbuffer_read_space(ring) >= sizeof(std::uint32_t)) {
            std::uint32_t length = 0;
            jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&length), sizeof length);
            if (jack_ringbuffer_read_space(ring) < sizeof length + length) break;
            jack_midi_data_t* slot = jack_midi_event_reserve(outBuffer, 0, length);
            if (!slot) break; // the cycle's buffer is full: the rest goes next cycle
            jack_ringbuffer_read_advance(ring, sizeof length);
            jack_ringbuffer_read(ring, reinterpret_cast<char*>(slot), length);
        }
    }
    if (received) sem_post(&self->m_wake);
    return 0;
}

void JackKeyboardPorts::shutdown(void* arg)
{
    auto* self = static_cast<JackKeyboardPorts*>(arg);
    self->m_alive = false;
    sem_post(&self->m_wake);
}

void JackKeyboardPorts::drainInput()
{
    Bytes message;
    while (!m_stop.load()) {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += 100 * 1000 * 1000;
        if (until.tv_nsec >= 1000000000) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000;
        }
        sem_timedwait(&m_wake, &until);
        while (m_inRing && jack_ringbuffer_read_space(m_inRing) >= 1 + sizeof(std::uint32_t)) {
            std::uint8_t port = 0;
            std::uint32_t length = 0;
            jack_ringbuffer_read(m_inRing, reinterpret_cast<char*>(&port), 1);
            jack_ringbuffer_read(m_inRing, reinterpret_cast<char*>(&length), sizeof length);
            message.resize(length);
            jack_ringbuffer_read(m_inRing, reinterpret_cast<char*>(message.data()), length);
            if (m_runner) m_runner->deliver(port, message.data(), message.size());
        }
    }
}

std::unique_ptr<KeyboardPorts> makeJackKeyboardPorts()
{
    return std::make_unique<JackKeyboardPorts>();
}

} // namespace sim
