#include "editor/midi/virtual/Service.h"


#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

uint64_t steadyNowNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

int shortMessageLength(unsigned char status)
{
    if (status < 0xF0)
        return ((status >> 4) == 0xC || (status >> 4) == 0xD) ? 2 : 3;
    if (status == 0xF2)
        return 3;
    if (status == 0xF3)
        return 2;
    return 1;
}

} // namespace

struct VirtualMIDIService::Impl {
    struct Endpoint {
        uint64_t handle = 0;
        QString name;
        // destination side
        QByteArray written;
        QList<QByteArray> pieces;
        WriteHandler handler;
        bool fails = false;
        // source side: data bytes still owed to a short message when the
        // previous batch ended, so cuts stay outside short messages
        int owed = 0;
    };
    struct Device {
        int id = 0;
        QString name;
        std::vector<Endpoint> endpoints[2]; // 0 sources, 1 destinations
    };
    struct Connection {
        uint64_t id = 0;
        uint64_t source = 0;
        Receiver* receiver = nullptr;
    };
    struct Injection {
        uint64_t source = 0;
        QByteArray bytes;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::recursive_mutex delivery; // held while receivers are called
    std::vector<Device> devices;
    std::vector<Connection> connections;
    std::deque<Injection> queue;
    bool delivering = false;
    bool quit = false;
    int nextDevice = 1;
    uint64_t nextHandle = 1;
    uint64_t nextConnection = 1;
    Packetizing shaping;
    size_t sizeCursor = 0;
    uint64_t delivered = 0;
    std::thread thread;

    Endpoint* find(int device, int io, int index)
    {
        for (Device& d : devices) {
            if (d.id == device) {
                if (index < 0 || size_t(index) >= d.endpoints[io].size())
                    return nullptr;
                return &d.endpoints[io][size_t(index)];
            }
        }
        return nullptr;
    }
    const Endpoint* find(int device, int io, int index) const
    {
        return const_cast<Impl*>(this)->find(device, io, index);
    }
    Endpoint* byHandle(int io, uint64_t handle)
    {
        for (Device& d : devices)
            for (Endpoint& e : d.endpoints[io])
                if (e.handle == handle)
                    return &e;
        return nullptr;
    }
    // Global 0-based index of the io endpoint at position index of device.
    int globalIndex(int device, int io, int index) const
    {
        int base = 0;
        for (const Device& d : devices) {
            if (d.id == device)
                return (index >= 0 && size_t(index) < d.endpoints[io].size()) ? base + index : -1;
            base += int(d.endpoints[io].size());
        }
        return -1;
    }
    const Endpoint* at(int io, int index, const Device** owner) const
    {
        if (index < 0)
            return nullptr;
        for (const Device& d : devices) {
            if (size_t(index) < d.endpoints[io].size()) {
                if (owner)
                    *owner = &d;
                return &d.endpoints[io][size_t(index)];
            }
            index -= int(d.endpoints[io].size());
        }
        return nullptr;
    }

    // Packet lengths for one batch of a source's stream.
    std::vector<int> cut(const QByteArray& stream, int& owed)
    {
        const int n = int(stream.size());
        std::vector<bool> allowed(size_t(n) + 1, true);
        for (int i = 0; i < n; ++i) {
            allowed[size_t(i)] = owed == 0;
            const auto b = static_cast<unsigned char>(stream[i]);
            if (b >= 0xF8)
                continue;
            if (b >= 0x80)
                owed = (b == 0xF0 || b == 0xF7) ? 0 : shortMessageLength(b) - 1;
            else if (owed > 0)
                --owed;
        }
        std::vector<int> packets;
        int pos = 0;
        while (pos < n) {
            int size = n - pos;
            if (!shaping.packetSizes.empty())
                size = std::max(1, shaping.packetSizes[sizeCursor++ % shaping.packetSizes.size()]);
            int end = std::min(pos + size, n);
            while (end < n && !allowed[size_t(end)])
                ++end;
            packets.push_back(end - pos);
            pos = end;
        }
        return packets;
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return quit || !queue.empty(); });
            if (quit)
                return;
            Injection job = std::move(queue.front());
            queue.pop_front();
            if (shaping.mergeInjections) {
                while (!queue.empty() && queue.front().source == job.source) {
                    job.bytes.append(queue.front().bytes);
                    queue.pop_front();
                }
            }
            delivering = true;
            std::vector<int> packets;
            if (Endpoint* source = byHandle(0, job.source))
                packets = cut(job.bytes, source->owed);
            lock.unlock();

            {
                std::lock_guard deliveryLock(delivery);
                std::vector<Receiver*> receivers;
                {
                    std::lock_guard l(mutex);
                    for (const Connection& c : connections)
                        if (c.source == job.source)
                            receivers.push_back(c.receiver);
                }
                const auto* bytes = reinterpret_cast<const unsigned char*>(job.bytes.constData());
                int pos = 0;
                for (int length : packets) {
                    const uint64_t now = steadyNowNs();
                    for (Receiver* r : receivers)
                        r->receive(bytes + pos, length, now);
                    pos += length;
                }
            }

            lock.lock();
            delivered += packets.size();
            delivering = false;
            changed.notify_all();
        }
    }
};

VirtualMIDIService& VirtualMIDIService::instance()
{
    static VirtualMIDIService service;
    return service;
}

VirtualMIDIService::VirtualMIDIService()
    : d(std::make_unique<Impl>())
{
    d->thread = std::thread([this] { d->run(); });
}

VirtualMIDIService::~VirtualMIDIService()
{
    {
        std::lock_guard lock(d->mutex);
        d->quit = true;
    }
    d->changed.notify_all();
    if (d->thread.joinable())
        d->thread.join();
}

int VirtualMIDIService::plugDevice(const QString& name, int sources, int destinations)
{
    QStringList in;
    QStringList out;
    for (int i = 1; i <= sources; ++i)
        in.append(QStringLiteral("Port%1").arg(i));
    for (int i = 1; i <= destinations; ++i)
        out.append(QStringLiteral("Port%1").arg(i));
    return plugDevice(name, in, out);
}

int VirtualMIDIService::plugDevice(const QString& name, const QStringList& sourceNames,
                                   const QStringList& destinationNames)
{
    std::lock_guard lock(d->mutex);
    Impl::Device device;
    device.id = d->nextDevice++;
    device.name = name;
    const QStringList* names[2] = {&sourceNames, &destinationNames};
    for (int io = 0; io < 2; ++io) {
        for (const QString& endpointName : *names[io]) {
            Impl::Endpoint e;
            e.handle = d->nextHandle++;
            e.name = endpointName;
            device.endpoints[io].push_back(std::move(e));
        }
    }
    d->devices.push_back(std::move(device));
    return d->devices.back().id;
}

bool VirtualMIDIService::unplugDevice(int device)
{
    std::lock_guard deliveryLock(d->delivery);
    std::lock_guard lock(d->mutex);
    auto it = std::find_if(d->devices.begin(), d->devices.end(), [&](const Impl::Device& x) { return x.id == device; });
    if (it == d->devices.end())
        return false;
    for (const Impl::Endpoint& e : it->endpoints[0]) {
        std::erase_if(d->connections, [&](const Impl::Connection& c) { return c.source == e.handle; });
        std::erase_if(d->queue, [&](const Impl::Injection& j) { return j.source == e.handle; });
    }
    d->devices.erase(it);
    d->changed.notify_all();
    return true;
}

void VirtualMIDIService::unplugAll()
{
    std::lock_guard deliveryLock(d->delivery);
    std::lock_guard lock(d->mutex);
    d->devices.clear();
    d->connections.clear();
    d->queue.clear();
    d->changed.notify_all();
}

int VirtualMIDIService::sourceCount() const
{
    std::lock_guard lock(d->mutex);
    int n = 0;
    for (const auto& dev : d->devices)
        n += int(dev.endpoints[0].size());
    return n;
}

int VirtualMIDIService::destinationCount() const
{
    std::lock_guard lock(d->mutex);
    int n = 0;
    for (const auto& dev : d->devices)
        n += int(dev.endpoints[1].size());
    return n;
}

int VirtualMIDIService::sourcePortNumber(int device, int source) const
{
    std::lock_guard lock(d->mutex);
    return d->globalIndex(device, 0, source) + 1;
}

int VirtualMIDIService::destinationPortNumber(int device, int destination) const
{
    std::lock_guard lock(d->mutex);
    return d->globalIndex(device, 1, destination) + 1;
}

bool VirtualMIDIService::inject(int device, int source, const QByteArray& bytes)
{
    std::lock_guard lock(d->mutex);
    const Impl::Endpoint* e = d->find(device, 0, source);
    if (!e)
        return false;
    if (!bytes.isEmpty())
        d->queue.push_back({e->handle, bytes});
    d->changed.notify_all();
    return true;
}

bool VirtualMIDIService::waitUntilDelivered(int timeoutMs)
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->queue.empty() && !d->delivering; });
}

void VirtualMIDIService::setPacketizing(const Packetizing& shaping)
{
    std::lock_guard lock(d->mutex);
    d->shaping = shaping;
    d->sizeCursor = 0;
}

VirtualMIDIService::Packetizing VirtualMIDIService::packetizing() const
{
    std::lock_guard lock(d->mutex);
    return d->shaping;
}

uint64_t VirtualMIDIService::deliveredPackets() const
{
    std::lock_guard lock(d->mutex);
    return d->delivered;
}

QByteArray VirtualMIDIService::written(int device, int destination) const
{
    std::lock_guard lock(d->mutex);
    const Impl::Endpoint* e = d->find(device, 1, destination);
    return e ? e->written : QByteArray();
}

QList<QByteArray> VirtualMIDIService::writtenPieces(int device, int destination) const
{
    std::lock_guard lock(d->mutex);
    const Impl::Endpoint* e = d->find(device, 1, destination);
    return e ? e->pieces : QList<QByteArray>();
}

QByteArray VirtualMIDIService::takeWritten(int device, int destination)
{
    std::lock_guard lock(d->mutex);
    Impl::Endpoint* e = d->find(device, 1, destination);
    if (!e)
        return {};
    QByteArray bytes = std::move(e->written);
    e->written.clear();
    e->pieces.clear();
    return bytes;
}

bool VirtualMIDIService::waitForWritten(int device, int destination, int bytes, int timeoutMs) const
{
    std::unique_lock lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        const Impl::Endpoint* e = d->find(device, 1, destination);
        return e && e->written.size() >= bytes;
    });
}

void VirtualMIDIService::setWriteHandler(int device, int destination, WriteHandler handler)
{
    std::lock_guard lock(d->mutex);
    if (Impl::Endpoint* e = d->find(device, 1, destination))
        e->handler = std::move(handler);
}

void VirtualMIDIService::setDestinationFails(int device, int destination, bool fail)
{
    std::lock_guard lock(d->mutex);
    if (Impl::Endpoint* e = d->find(device, 1, destination))
        e->fails = fail;
}

bool VirtualMIDIService::endpointAt(int io, int index, QString* deviceName, QString* endpointName) const
{
    if (io < 0 || io > 1)
        return false;
    std::lock_guard lock(d->mutex);
    const Impl::Device* owner = nullptr;
    const Impl::Endpoint* e = d->at(io, index, &owner);
    if (!e)
        return false;
    if (deviceName)
        *deviceName = owner->name;
    if (endpointName)
        *endpointName = e->name;
    return true;
}

uint64_t VirtualMIDIService::endpointHandle(int io, int index) const
{
    if (io < 0 || io > 1)
        return 0;
    std::lock_guard lock(d->mutex);
    const Impl::Endpoint* e = d->at(io, index, nullptr);
    return e ? e->handle : 0;
}

uint64_t VirtualMIDIService::connect(uint64_t sourceHandle, Receiver* receiver)
{
    if (!receiver)
        return 0;
    std::lock_guard lock(d->mutex);
    if (!d->byHandle(0, sourceHandle))
        return 0;
    const uint64_t id = d->nextConnection++;
    d->connections.push_back({id, sourceHandle, receiver});
    return id;
}

void VirtualMIDIService::disconnect(uint64_t connection)
{
    std::lock_guard deliveryLock(d->delivery);
    std::lock_guard lock(d->mutex);
    std::erase_if(d->connections, [&](const Impl::Connection& c) { return c.id == connection; });
}

bool VirtualMIDIService::send(uint64_t destinationHandle, const unsigned char* bytes, int length)
{
    if (!bytes || length <= 0)
        return false;
    WriteHandler handler;
    const QByteArray piece(reinterpret_cast<const char*>(bytes), length);
    {
        std::lock_guard lock(d->mutex);
        Impl::Endpoint* e = d->byHandle(1, destinationHandle);
        if (!e || e->fails)
            return false;
        e->written.append(piece);
        e->pieces.append(piece);
        handler = e->handler;
    }
    d->changed.notify_all();
    if (handler)
        handler(piece);
    return true;
}
