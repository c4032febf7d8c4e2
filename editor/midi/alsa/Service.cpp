#include "editor/midi/alsa/Service.h"

#include <alsa/asoundlib.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {

uint64_t steadyNowNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

// ALSA reports failures on stderr by default; to the editor a missing device
// is an ordinary off-line state.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void quietAlsa()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&silentAlsaError); });
}

constexpr unsigned int kSourceCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned int kDestinationCaps = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr int kShortEncodeBytes = 16;
constexpr int kDecodeBytes = 16;

} // namespace

std::shared_ptr<AlsaMIDIService> AlsaMIDIService::open(const char* clientName)
{
    quietAlsa();
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
        return nullptr;
    std::shared_ptr<AlsaMIDIService> service(new AlsaMIDIService);
    service->m_seq = seq;
    snd_seq_set_client_name(seq, clientName);
    service->m_clientId = snd_seq_client_id(seq);
    if (snd_midi_event_new(kShortEncodeBytes, &service->m_encoder) < 0)
        return nullptr; // the destructor closes the sequencer
    snd_midi_event_no_status(service->m_encoder, 1);
    service->m_thread = std::thread([raw = service.get()] { raw->run(); });
    return service;
}

bool AlsaMIDIService::deviceOpens()
{
    quietAlsa();
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_close(seq);
    return true;
}

AlsaMIDIService::~AlsaMIDIService()
{
    m_quit = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_encoder)
        snd_midi_event_free(m_encoder);
    if (m_seq)
        snd_seq_close(m_seq);
}

void AlsaMIDIService::run()
{
    snd_midi_event_t* decoder = nullptr;
    if (snd_midi_event_new(kDecodeBytes, &decoder) < 0)
        return;
    snd_midi_event_no_status(decoder, 1);
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(size_t(std::max(count, 1)));
    const int filled = snd_seq_poll_descriptors(m_seq, fds.data(), unsigned(fds.size()), POLLIN);

    unsigned char bytes[kDecodeBytes];
    while (!m_quit) {
        // A short timeout lets the destructor end the thread without a wake-up pipe.
        if (::poll(fds.data(), nfds_t(filled), 100) <= 0)
            continue;
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(m_seq, &event);
            if (result == -ENOSPC)
                continue; // input overrun: events were lost, go on with the rest
            if (result < 0 || !event)
                break;
            const uint64_t now = steadyNowNs();
            const unsigned char* data = nullptr;
            long length = 0;
            if (event->type == SND_SEQ_EVENT_SYSEX) {
                data = static_cast<const unsigned char*>(event->data.ext.ptr);
                length = long(event->data.ext.len);
            } else {
                snd_midi_event_reset_decode(decoder);
                length = snd_midi_event_decode(decoder, bytes, sizeof bytes, event);
                data = bytes;
            }
            if (length <= 0)
                continue;
            std::lock_guard lock(m_sinksMutex);
            for (const auto& [port, sink] : m_sinks) {
                if (port == event->dest.port)
                    sink->receive(data, int(length), now);
            }
        }
    }
    snd_midi_event_free(decoder);
}

std::vector<AlsaMIDIService::Address> AlsaMIDIService::ports(int io) const
{
    std::vector<Address> list;
    if (io < 0 || io > 1)
        return list;
    const unsigned int wanted = io == 0 ? kSourceCaps : kDestinationCaps;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == m_clientId)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_seq, port) >= 0) {
            const unsigned int caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                continue;
            list.push_back({id, snd_seq_port_info_get_port(port)});
        }
    }
    return list;
}

void AlsaMIDIService::rememberPorts(int io, const std::vector<Address>& list)
{
    if (io < 0 || io > 1)
        return;
    std::lock_guard lock(m_listMutex);
    m_numbered[io] = list;
    m_remembered[io] = true;
}

std::vector<AlsaMIDIService::Address> AlsaMIDIService::numberedPorts(int io) const
{
    if (io < 0 || io > 1)
        return {};
    {
        std::lock_guard lock(m_listMutex);
        if (m_remembered[io])
            return m_numbered[io];
    }
    return ports(io);
}

bool AlsaMIDIService::portNames(const Address& address, QString* device, QString* endpoint) const
{
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    if (snd_seq_get_any_client_info(m_seq, address.client, client) < 0
        || snd_seq_get_any_port_info(m_seq, address.client, address.port, port) < 0)
        return false;
    if (device)
        *device = QString::fromUtf8(snd_seq_client_info_get_name(client));
    if (endpoint)
        *endpoint = QString::fromUtf8(snd_seq_port_info_get_name(port));
    return true;
}

int AlsaMIDIService::openInput(const Address& source, InputSink* sink)
{
    if (!sink)
        return -1;
    const int port = snd_seq_create_simple_port(m_seq, "Input port", kDestinationCaps,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return -1;
    {
        std::lock_guard lock(m_sinksMutex);
        m_sinks.emplace_back(port, sink);
    }
    if (snd_seq_connect_from(m_seq, port, source.client, source.port) < 0) {
        closeInput(port);
        return -1;
    }
    return port;
}

int AlsaMIDIService::openOutput(const Address& destination)
{
    const int port = snd_seq_create_simple_port(m_seq, "Output port", kSourceCaps,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return -1;
    if (snd_seq_connect_to(m_seq, port, destination.client, destination.port) < 0) {
        snd_seq_delete_simple_port(m_seq, port);
        return -1;
    }
    return port;
}

void AlsaMIDIService::closeInput(int port)
{
    if (port < 0)
        return;
    {
        // Taking the lock waits out a delivery to this sink in progress.
        std::lock_guard lock(m_sinksMutex);
        std::erase_if(m_sinks, [port](const auto& entry) { return entry.first == port; });
    }
    snd_seq_delete_simple_port(m_seq, port);
}

void AlsaMIDIService::closeOutput(int port)
{
    if (port >= 0)
        snd_seq_delete_simple_port(m_seq, port);
}

bool AlsaMIDIService::send(int port, const unsigned char* bytes, int length)
{
    if (port < 0 || !bytes || length <= 0)
        return false;
    std::lock_guard lock(m_sendMutex);
    auto output = [&](snd_seq_event_t* event) {
        snd_seq_ev_set_source(event, port);
        snd_seq_ev_set_subs(event);
        snd_seq_ev_set_direct(event);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (;;) {
            const int result = snd_seq_event_output_direct(m_seq, event);
            if (result >= 0)
                return true;
            if (result != -EAGAIN || std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    // A piece that is (part of) a System Exclusive message goes out as it is;
    // anything else is encoded message by message.
    if (bytes[0] == 0xF0 || bytes[0] == 0xF7 || bytes[0] < 0x80) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_sysex(&event, unsigned(length), const_cast<unsigned char*>(bytes));
        return output(&event);
    }
    snd_midi_event_reset_encode(m_encoder);
    long offset = 0;
    while (offset < length) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        const long used = snd_midi_event_encode(m_encoder, bytes + offset, length - offset, &event);
        if (used <= 0)
            return false;
        offset += used;
        if (event.type != SND_SEQ_EVENT_NONE && !output(&event))
            return false;
    }
    return true;
}
