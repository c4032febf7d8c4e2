#pragma once
// An in-process MIDI service with the same contract as the platform ones,
// for tests, benchmarks and emulation. Code plugs and unplugs named devices
// with sources (inputs of the editor) and destinations (its outputs) at run
// time, injects bytes into sources and reads what was written to
// destinations.
//
// Port order: sources and destinations are numbered over all plugged
// devices, oldest device first, then in the device's endpoint order; a port
// number (1-based) is that position. Unplugging moves later ports down.
//
// Delivery: injected bytes are handed to the connected transports on the
// service's own delivery thread, as the platform services do. The packet
// shaping can cut the byte stream into packets of given sizes and merge
// consecutive injections, so that messages (System Exclusive ones in
// particular) arrive over several packets or several to a packet. Cuts never
// fall inside a short channel message, as on real services.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class VirtualMIDIService {
public:
    static VirtualMIDIService& instance();

    // --- devices -----------------------------------------------------------
    // Endpoints named "Port1".."PortN". Returns the device's id (> 0).
    int plugDevice(const QString& name, int sources, int destinations);
    // Explicit endpoint names (an empty name is a port without a name).
    int plugDevice(const QString& name, const QStringList& sourceNames,
                   const QStringList& destinationNames);
    // False for an unknown id. Open transports on its ports stop receiving
    // and their sends fail.
    bool unplugDevice(int device);
    void unplugAll();

    int sourceCount() const;
    int destinationCount() const;
    // Present 1-based port number of a device's endpoint (0-based index in
    // the device), 0 when there is none.
    int sourcePortNumber(int device, int source) const;
    int destinationPortNumber(int device, int destination) const;

    // --- input side (device -> editor) --------------------------------------
    // Queues bytes on a device's source; the delivery thread hands them to
    // every transport connected to it. False for an unknown endpoint.
    bool inject(int device, int source, const QByteArray& bytes);
    // Waits until everything injected so far has been delivered.
    bool waitUntilDelivered(int timeoutMs = 5000);

    struct Packetizing {
        // Packet sizes used in turn on each source's stream; empty: one
        // packet per injection.
        std::vector<int> packetSizes;
        // Join the injections queued on a source before cutting them.
        bool mergeInjections = false;
    };
    void setPacketizing(const Packetizing& shaping);
    Packetizing packetizing() const;
    // Packets delivered so far (all sources).
    uint64_t deliveredPackets() const;

    // --- output side (editor -> device) -------------------------------------
    // Every byte written to a destination, and the pieces as sent (one per
    // send call of a transport).
    QByteArray written(int device, int destination) const;
    QList<QByteArray> writtenPieces(int device, int destination) const;
    // Returns and forgets what was written.
    QByteArray takeWritten(int device, int destination);
    // Waits until at least `bytes` bytes were written to the destination.
    bool waitForWritten(int device, int destination, int bytes, int timeoutMs = 5000) const;
    // Called on the sending thread for each piece written to the destination,
    // after it is recorded. It may inject (delivery is asynchronous).
    using WriteHandler = std::function<void(const QByteArray& piece)>;
    void setWriteHandler(int device, int destination, WriteHandler handler);
    // Makes sends to the destination fail (as a broken platform send would).
    void setDestinationFails(int device, int destination, bool fail);

    // --- used by the backend -------------------------------------------------
    class Receiver {
    public:
        virtual ~Receiver() = default;
        // On the delivery thread; ns = steady-clock time of the delivery.
        virtual void receive(const unsigned char* bytes, int length, uint64_t ns) = 0;
    };
    // Endpoint names of the source/destination at 0-based index; false when
    // there is none.
    bool endpointAt(int io, int index, QString* deviceName, QString* endpointName) const;
    // A lasting handle of the endpoint now at index (0 = none).
    uint64_t endpointHandle(int io, int index) const;
    // Connects a receiver to a source; returns a connection id (0 = failed).
    uint64_t connect(uint64_t sourceHandle, Receiver* receiver);
    // After this returns the receiver is not called any more.
    void disconnect(uint64_t connection);
    // One piece to a destination; false when it is gone or set to fail.
    bool send(uint64_t destinationHandle, const unsigned char* bytes, int length);

    VirtualMIDIService(const VirtualMIDIService&) = delete;
    VirtualMIDIService& operator=(const VirtualMIDIService&) = delete;
    ~VirtualMIDIService();

private:
    VirtualMIDIService();
    struct Impl;
    std::unique_ptr<Impl> d;
};
