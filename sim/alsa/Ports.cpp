#include "sim/alsa/Ports.h"

#include <poll.h>

#include <vector>

namespace sim {

namespace {
constexpr std::size_t kCodecBytes = 64 * 1024; // room for the largest SysEx we take whole

// The library's own complaint when the sequencer is missing would come
// before our clearer message.
void quiet(const char*, int, const char*, int, const char*, ...) {}
} // namespace

AlsaKeyboardPorts::~AlsaKeyboardPorts()
{
    close();
}

bool AlsaKeyboardPorts::open(const std::string& name, SimRunner& runner, std::string& error)
{
    if (m_seq) {
        error = "the keyboard's ports are already open";
        return false;
    }
    snd_lib_error_set_handler(quiet);
    const int opened = snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, 0);
    snd_lib_error_set_handler(nullptr);
    if (opened < 0) {
        m_seq = nullptr;
        error = "the ALSA sequencer is not available (is the snd-seq module loaded, /dev/snd/seq readable?)";
        return false;
    }
    snd_seq_set_client_name(m_seq, name.c_str());
    m_client = snd_seq_client_id(m_seq);
    for (int i = 0; i < kPortCount; ++i) {
        const std::string port = "Port" + std::to_string(i + 1);
        m_ports[i] = snd_seq_create_simple_port(
            m_seq, port.c_str(),
            SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_APPLICATION);
        if (m_ports[i] < 0) {
            error = "the ALSA sequencer refused the keyboard's port " + port;
            close();
            return false;
        }
    }
    if (snd_midi_event_new(kCodecBytes, &m_decoder) < 0 || snd_midi_event_new(kCodecBytes, &m_encoder) < 0) {
        error = "out of memory for the MIDI event codec";
        close();
        return false;
    }
    snd_midi_event_no_status(m_decoder, 1); // every message with its own status byte
    m_name = name;
    m_runner = &runner;
    m_stop = false;
    m_reader = std::thread([this] { readEvents(); });
    return true;
}

void AlsaKeyboardPorts::close()
{
    m_stop = true;
    if (m_reader.joinable()) m_reader.join();
    m_runner = nullptr;
    if (m_decoder) snd_midi_event_free(m_decoder);
    if (m_encoder) snd_midi_event_free(m_encoder);
    m_decoder = m_encoder = nullptr;
    if (m_seq) {
        for (int& port : m_ports) {
            if (port >= 0) snd_seq_delete_simple_port(m_seq, port);
            port = -1;
        }
        snd_seq_close(m_seq);
    }
    m_seq = nullptr;
}

std::string AlsaKeyboardPorts::where() const
{
    return "ALSA sequencer client " + std::to_string(m_client) + " \"" + m_name + "\", ports Port1..Port5";
}

bool AlsaKeyboardPorts::send(int port, const Bytes& bytes)
{
    if (!m_seq || port < 1 || port > kPortCount || bytes.empty()) return false;
    std::lock_guard guard(m_sendLock);
    snd_midi_event_reset_encode(m_encoder);
    std::size_t at = 0;
    while (at < bytes.size()) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        const long used = snd_midi_event_encode(m_encoder, bytes.data() + at, long(bytes.size() - at), &event);
        if (used <= 0) return false;
        at += std::size_t(used);
        if (event.type == SND_SEQ_EVENT_NONE) continue; // the message is not complete yet
        snd_seq_ev_set_source(&event, m_ports[port - 1]);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        if (snd_seq_event_output_direct(m_seq, &event) < 0) return false;
    }
    return true;
}

void AlsaKeyboardPorts::readEvents()
{
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(std::size_t(count > 0 ? count : 1));
    snd_seq_poll_descriptors(m_seq, fds.data(), unsigned(fds.size()), POLLIN);
    std::vector<unsigned char> buffer(kCodecBytes);
    while (!m_stop.load()) {
        if (::poll(fds.data(), nfds_t(fds.size()), 100) <= 0) continue;
        snd_seq_event_t* event = nullptr;
        while (snd_seq_event_input(m_seq, &event) >= 0 && event) {
            int port = -1;
            for (int i = 0; i < kPortCount; ++i) {
                if (m_ports[i] == event->dest.port) port = i + 1;
            }
            if (port < 0) continue;
            if (event->type == SND_SEQ_EVENT_SYSEX) {
                // Chunks of one message arrive as separate events; the runner
                // puts them back together.
                const auto* data = static_cast<const std::uint8_t*>(event->data.ext.ptr);
                m_runner->deliver(port, data, event->data.ext.len);
                continue;
            }
            snd_midi_event_reset_decode(m_decoder);
            const long n = snd_midi_event_decode(m_decoder, buffer.data(), long(buffer.size()), event);
            if (n > 0) m_runner->deliver(port, buffer.data(), std::size_t(n));
            if (snd_seq_event_input_pending(m_seq, 0) <= 0) break;
        }
    }
}

std::unique_ptr<KeyboardPorts> makeAlsaKeyboardPorts()
{
    return std::make_unique<AlsaKeyboardPorts>();
}

} // namespace sim
