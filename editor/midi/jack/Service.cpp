#include "editor/midi/jack/Service.h"

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/midiport.h>
#include <jack/uuid.h>

#include <QSet>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

uint64_t steadyNowNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

// JACK reports a missing server on stderr by default; to the editor that is
// an ordinary off-line state.
void quietJack()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    });
}

// Orders "client:Port2" before "client:Port10".
bool naturalLess(const QString& a, const QString& b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            int si = i;
            int sj = j;
            while (si < a.size() && a[si] == u'0')
                ++si;
            while (sj < b.size() && b[sj] == u'0')
                ++sj;
            int ei = si;
            int ej = sj;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

QString prettyName(jack_uuid_t subject)
{
    char* value = nullptr;
    char* type = nullptr;
    QString result;
    if (jack_get_property(subject, JACK_METADATA_PRETTY_NAME, &value, &type) == 0 && value)
        result = QString::fromUtf8(value);
    if (value)
        jack_free(value);
    if (type)
        jack_free(type);
    return result;
}

} // namespace

void JackMIDIService::PieceRing::copyIn(size_t at, const void* src, size_t count)
{
    const size_t offset = at & (kBytes - 1);
    const size_t first = std::min(count, kBytes - offset);
    std::memcpy(m_data.get() + offset, src, first);
    std::memcpy(m_data.get(), static_cast<const unsigned char*>(src) + first, count - first);
}

void JackMIDIService::PieceRing::copyOut(size_t at, void* dst, size_t count) const
{
    const size_t offset = at & (kBytes - 1);
    const size_t first = std::min(count, kBytes - offset);
    std::memcpy(dst, m_data.get() + offset, first);
    std::memcpy(static_cast<unsigned char*>(dst) + first, m_data.get(), count - first);
}

size_t JackMIDIService::PieceRing::space() const
{
    return kBytes - (m_head.load(std::memory_order_relaxed) - m_tail.load(std::memory_order_acquire));
}

bool JackMIDIService::PieceRing::push(const unsigned char* bytes, uint32_t length)
{
    if (space() < sizeof length + length)
        return false;
    const size_t head = m_head.load(std::memory_order_relaxed);
    copyIn(head, &length, sizeof length);
    copyIn(head + sizeof length, bytes, length);
    m_head.store(head + sizeof length + length, std::memory_order_release);
    return true;
}

uint32_t JackMIDIService::PieceRing::peekLength() const
{
    const size_t tail = m_tail.load(std::memory_order_relaxed);
    if (m_head.load(std::memory_order_acquire) == tail)
        return 0;
    uint32_t length = 0;
    copyOut(tail, &length, sizeof length);
    return length;
}

void JackMIDIService::PieceRing::pop(unsigned char* out, uint32_t length)
{
    const size_t tail = m_tail.load(std::memory_order_relaxed);
    copyOut(tail + sizeof length, out, length);
    m_tail.store(tail + sizeof length + length, std::memory_order_release);
}

std::shared_ptr<JackMIDIService> JackMIDIService::open(const char* clientName)
{
    quietJack();
    jack_status_t status {};
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
    if (!client)
        return nullptr;
    std::shared_ptr<JackMIDIService> service(new JackMIDIService);
    service->m_client = client;
    service->m_name = QString::fromUtf8(jack_get_client_name(client));
    JackMIDIService* self = service.get();
    jack_set_process_callback(client, &JackMIDIService::process, self);
    jack_on_shutdown(client, &JackMIDIService::shutdown, self);
    jack_set_port_registration_callback(
        client, [](jack_port_id_t id, int registered, void* arg) {
            static_cast<JackMIDIService*>(arg)->onPortRegistered(id, registered != 0);
        },
        self);
    jack_set_client_registration_callback(
        client, [](const char* name, int registered, void* arg) {
            static_cast<JackMIDIService*>(arg)->onClientRegistered(name, registered != 0);
        },
        self);
    jack_set_property_change_callback(
        client, [](jack_uuid_t subject, const char* key, jack_property_change_t change, void* arg) {
            static_cast<JackMIDIService*>(arg)->onPropertyChanged(subject, key, change == PropertyDeleted);
        },
        self);
    // Whatever the store holds for our client's identity belongs to an
    // earlier owner of it: other programs must not see this editor under a
    // keyboard's name.
    if (char* uuidText = jack_get_uuid_for_client_name(client, jack_get_client_name(client))) {
        jack_uuid_t uuid {};
        if (jack_uuid_parse(uuidText, &uuid) == 0)
            service->clearOwnNames(uuid);
        jack_free(uuidText);
    }
    service->takeNamesSnapshot();
    if (jack_activate(client) != 0)
        return nullptr; // the destructor closes the client
    service->m_alive = true;
    return service;
}

void JackMIDIService::takeNamesSnapshot()
{
    jack_description_t* all = nullptr;
    int count = 0;
    {
        std::lock_guard metadata(m_metadataMutex);
        count = jack_get_all_properties(&all);
    }
    std::lock_guard names(m_namesMutex);
    for (int i = 0; i < count && all; ++i) {
        for (uint32_t k = 0; k < all[i].property_cnt; ++k) {
            const jack_property_t& property = all[i].properties[k];
            if (property.key && property.data && std::strcmp(property.key, JACK_METADATA_PRETTY_NAME) == 0)
                m_names.emplace(all[i].subject, Announced {QString::fromUtf8(property.data), 0});
        }
        jack_free_description(&all[i], 0);
    }
    if (all)
        jack_free(all);
}

void JackMIDIService::onPortRegistered(uint32_t portId, bool registered)
{
    // Local lookups only: no server call may run on this thread.
    jack_port_t* port = m_client ? jack_port_by_id(m_client, portId) : nullptr;
    if (!port)
        return;
    const jack_uuid_t uuid = jack_port_uuid(port);
    std::lock_guard names(m_namesMutex);
    ++m_notifications;
    m_names.erase(uuid);
    (void)registered; // a new port starts unnamed; a gone one has no name
}

void JackMIDIService::onClientRegistered(const char* name, bool registered)
{
    if (!name)
        return;
    std::lock_guard names(m_namesMutex);
    const uint64_t now = ++m_notifications;
    if (registered)
        m_clientsSince.insert(QString::fromUtf8(name), now);
    else
        m_clientsSince.insert(QString::fromUtf8(name), UINT64_MAX); // gone: no name counts
}

void JackMIDIService::onPropertyChanged(uint64_t subject, const char* key, bool deleted)
{
    // A deletion without a key removes every property of the subject.
    const bool prettyKey = !key || !*key || std::strcmp(key, JACK_METADATA_PRETTY_NAME) == 0;
    if (!prettyKey)
        return;
    // The new value is read where it is used: a metadata read here would race
    // with the caller thread's own metadata calls inside libjack.
    std::lock_guard names(m_namesMutex);
    const uint64_t now = ++m_notifications;
    if (deleted)
        m_names.erase(subject);
    else
        m_names[subject] = Announced {QString(), now, true};
}

QString JackMIDIService::announcedName(uint64_t subject, uint64_t notBefore) const
{
    uint64_t seen = 0;
    {
        std::lock_guard names(m_namesMutex);
        auto it = m_names.find(subject);
        if (it == m_names.end() || (notBefore > 0 && it->second.seen <= notBefore))
            return {};
        if (!it->second.lookUp)
            return it->second.name;
        seen = it->second.seen;
    }
    QString value;
    {
        std::lock_guard metadata(m_metadataMutex);
        value = prettyName(subject);
    }
    std::lock_guard names(m_namesMutex);
    auto it = m_names.find(subject);
    if (it != m_names.end() && it->second.seen == seen) {
        if (value.isEmpty())
            m_names.erase(it);
        else
            it->second = Announced {value, seen, false};
    }
    return value;
}

void JackMIDIService::clearOwnNames(uint64_t subject)
{
    if (m_client) {
        std::lock_guard metadata(m_metadataMutex);
        jack_remove_properties(m_client, subject);
    }
    std::lock_guard names(m_namesMutex);
    m_names.erase(subject);
}

bool JackMIDIService::serverAnswers()
{
    quietJack();
    jack_status_t status {};
    jack_client_t* client = jack_client_open("Zeno probe", JackNoStartServer, &status);
    if (!client)
        return false;
    jack_client_close(client);
    return true;
}

JackMIDIService::~JackMIDIService()
{
    if (m_client) {
        if (m_alive)
            jack_deactivate(m_client);
        jack_client_close(m_client);
    }
    for (auto* table : {m_inputs, m_outputs}) {
        for (int i = 0; i < kMaxSlots; ++i) {
            Slot* slot = table[i].exchange(nullptr);
            delete slot;
        }
    }
}

void JackMIDIService::releaseIfDead()
{
    std::lock_guard lock(m_mutex);
    if (m_alive || !m_client)
        return;
    jack_client_close(m_client);
    m_client = nullptr;
}

int JackMIDIService::process(uint32_t frames, void* arg)
{
    auto* self = static_cast<JackMIDIService*>(arg);
    self->m_inProcess.store(1);
    const uint64_t now = steadyNowNs();
    for (auto& entry : self->m_inputs) {
        Slot* slot = entry.load();
        if (!slot)
            continue;
        void* buffer = jack_port_get_buffer(slot->port, frames);
        const uint32_t count = jack_midi_get_event_count(buffer);
        for (uint32_t k = 0; k < count; ++k) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, k) == 0 && event.size > 0)
                slot->sink->receive(event.buffer, int(event.size), now);
        }
    }
    for (auto& entry : self->m_outputs) {
        Slot* slot = entry.load();
        if (!slot)
            continue;
        void* buffer = jack_port_get_buffer(slot->port, frames);
        jack_midi_clear_buffer(buffer);
        // Until the server routes the port (or after the destination went),
        // pieces wait in the ring instead of going nowhere.
        if (!jack_port_connected(slot->port))
            continue;
        for (uint32_t length = slot->ring->peekLength(); length > 0; length = slot->ring->peekLength()) {
            jack_midi_data_t* out = jack_midi_event_reserve(buffer, 0, length);
            if (!out)
                break; // this cycle's buffer is full: the rest goes next cycle
            slot->ring->pop(out, length);
        }
    }
    self->m_cycles.fetch_add(1);
    self->m_inProcess.store(0);
    return 0;
}

void JackMIDIService::shutdown(void* arg)
{
    static_cast<JackMIDIService*>(arg)->m_alive = false;
}

QStringList JackMIDIService::ports(int io) const
{
    QStringList list;
    std::lock_guard lock(m_mutex);
    if (!m_alive || !m_client || io < 0 || io > 1)
        return list;
    const char** names = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        io == 0 ? JackPortIsOutput : JackPortIsInput);
    if (!names)
        return list;
    const QString own = m_name + QLatin1Char(':');
    for (const char** p = names; *p; ++p) {
        const QString name = QString::fromUtf8(*p);
        if (!name.startsWith(own))
            list.append(name);
    }
    jack_free(names);
    std::sort(list.begin(), list.end(), naturalLess);
    return list;
}

bool JackMIDIService::portNames(const QString& fullName, QString* device, QString* endpoint) const
{
    std::lock_guard lock(m_mutex);
    if (!m_alive || !m_client)
        return false;
    jack_port_t* port = jack_port_by_name(m_client, fullName.toUtf8().constData());
    if (!port)
        return false;
    const QString client = fullName.section(QLatin1Char(':'), 0, 0);
    QString deviceName = client;
    if (char* uuidText = jack_get_uuid_for_client_name(m_client, client.toUtf8().constData())) {
        jack_uuid_t uuid {};
        if (jack_uuid_parse(uuidText, &uuid) == 0) {
            uint64_t since = 0;
            {
                std::lock_guard names(m_namesMutex);
                since = m_clientsSince.value(client, 0);
            }
            const QString pretty = announcedName(uuid, since);
            if (!pretty.isEmpty())
                deviceName = pretty;
        }
        jack_free(uuidText);
    }
    QString endpointName = announcedName(jack_port_uuid(port), 0);
    if (endpointName.isEmpty())
        endpointName = QString::fromUtf8(jack_port_short_name(port));
    if (device)
        *device = deviceName;
    if (endpoint)
        *endpoint = endpointName;
    return true;
}

int JackMIDIService::registerSlot(std::atomic<Slot*>* table, Slot* slot)
{
    for (int i = 0; i < kMaxSlots; ++i) {
        Slot* expected = nullptr;
        if (table[i].compare_exchange_strong(expected, slot))
            return i;
    }
    return -1;
}

bool JackMIDIService::waitForConnection(jack_port_t* port)
{
    // jack_connect returns when the server has taken the connection; the
    // process cycles route it from the next graph switch on. A server that
    // runs no cycles within the limit is of no use to us anyway.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_alive && !jack_port_connected(port)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return m_alive;
}

bool JackMIDIService::waitCycles(uint64_t count)
{
    const uint64_t target = m_cycles.load() + count;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (m_alive && m_cycles.load() < target) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return m_alive;
}

void JackMIDIService::retire(std::atomic<Slot*>* table, int index)
{
    if (index < 0 || index >= kMaxSlots)
        return;
    if (Slot* open = table[index].load(); open && open->ring) {
        // What was sent goes out first: wait (bounded) until the process
        // cycles have taken every queued piece, then for two more cycles so
        // that a destination running before us in the graph reads the last
        // one too. A destination that went away takes nothing; give up then.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (m_alive && !open->ring->empty() && jack_port_connected(open->port)
               && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (jack_port_connected(open->port))
            waitCycles(2);
    }
    Slot* slot = table[index].exchange(nullptr);
    if (!slot)
        return;
    // The process callback may have picked the slot up before it went; wait
    // for that cycle to end. A server that hangs longer keeps the slot (a
    // small leak is better than a use after free on its thread).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (m_alive && m_inProcess.load() != 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (m_alive && m_client)
        jack_port_unregister(m_client, slot->port);
    delete slot;
}

int JackMIDIService::openInput(const QString& source, InputSink* sink)
{
    std::lock_guard lock(m_mutex);
    if (!m_alive || !m_client || !sink)
        return -1;
    const QString name = QStringLiteral("Input port %1").arg(++m_portCounter);
    jack_port_t* port = jack_port_register(m_client, name.toUtf8().constData(), JACK_DEFAULT_MIDI_TYPE,
                                           JackPortIsInput, 0);
    if (!port)
        return -1;
    auto* slot = new Slot;
    slot->port = port;
    slot->sink = sink;
    const int index = registerSlot(m_inputs, slot);
    if (index < 0) {
        jack_port_unregister(m_client, port);
        delete slot;
        return -1;
    }
    clearOwnNames(jack_port_uuid(port));
    if (jack_connect(m_client, source.toUtf8().constData(), jack_port_name(port)) != 0
        || !waitForConnection(port)) {
        retire(m_inputs, index);
        return -1;
    }
    return index;
}

int JackMIDIService::openOutput(const QString& destination)
{
    std::lock_guard lock(m_mutex);
    if (!m_alive || !m_client)
        return -1;
    const QString name = QStringLiteral("Output port %1").arg(++m_portCounter);
    jack_port_t* port = jack_port_register(m_client, name.toUtf8().constData(), JACK_DEFAULT_MIDI_TYPE,
                                           JackPortIsOutput, 0);
    if (!port)
        return -1;
    auto* slot = new Slot;
    slot->port = port;
    slot->ring = std::make_unique<PieceRing>();
    const int index = registerSlot(m_outputs, slot);
    if (index < 0) {
        jack_port_unregister(m_client, port);
        delete slot;
        return -1;
    }
    clearOwnNames(jack_port_uuid(port));
    if (jack_connect(m_client, jack_port_name(port), destination.toUtf8().constData()) != 0
        || !waitForConnection(port)) {
        retire(m_outputs, index);
        return -1;
    }
    return index;
}

void JackMIDIService::closeInput(int slot)
{
    std::lock_guard lock(m_mutex);
    retire(m_inputs, slot);
}

void JackMIDIService::closeOutput(int slot)
{
    std::lock_guard lock(m_mutex);
    retire(m_outputs, slot);
}

bool JackMIDIService::send(int index, const unsigned char* bytes, int length)
{
    if (index < 0 || index >= kMaxSlots || !bytes || length <= 0)
        return false;
    if (size_t(length) + sizeof(uint32_t) > PieceRing::kBytes / 2)
        return false;
    // The slot cannot go away here: the transport closes its output only
    // from the thread that also sends (the route serialises both).
    Slot* slot = m_outputs[index].load();
    if (!slot)
        return false;
    std::lock_guard lock(slot->sendMutex);
    if (!jack_port_connected(slot->port))
        return false; // the destination has gone
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (m_alive) {
        if (slot->ring->push(bytes, uint32_t(length)))
            return true;
        if (std::chrono::steady_clock::now() > deadline || !jack_port_connected(slot->port))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

JackPortNumbers& JackPortNumbers::instance()
{
    static JackPortNumbers numbers;
    return numbers;
}

QStringList JackPortNumbers::update(int io, const QStringList& present)
{
    if (io < 0 || io > 1)
        return {};
    std::lock_guard lock(m_mutex);
    QStringList& names = m_names[io];
    QHash<QString, int>& numbers = m_numbers[io];
    QSet<int> here;
    for (const QString& name : present) {
        auto it = numbers.constFind(name);
        if (it == numbers.cend()) {
            names.append(name);
            it = numbers.insert(name, int(names.size()));
        }
        here.insert(it.value());
    }
    QStringList table;
    table.reserve(names.size());
    for (int number = 1; number <= names.size(); ++number)
        table.append(here.contains(number) ? names.at(number - 1) : QString());
    return table;
}

QString JackPortNumbers::nameOf(int io, int number) const
{
    if (io < 0 || io > 1)
        return {};
    std::lock_guard lock(m_mutex);
    if (number < 1 || number > m_names[io].size())
        return {};
    return m_names[io].at(number - 1);
}
