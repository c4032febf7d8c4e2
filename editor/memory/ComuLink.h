#pragma once
// The seams between the template memory and the keyboard link.
//
// The memory API owns the routes to the keyboard, but the objects that make
// up a route (encoder, decoder, connection watcher, route manager) live in the
// protocol library, which itself builds on the memory API. These small
// interfaces keep the libraries in one direction: the memory library only
// knows what it asks of a route, and the protocol library supplies the real
// objects through a RouteProvider. Tests supply recording fakes.

#include <QString>
#include <QStringList>

class ParamAddress;
class RemoteMemAPI;

// What the memory API asks of the transmit side of an open route
// (implemented by the protocol library's MessageEncoder).
class EncoderLink {
public:
    virtual ~EncoderLink() = default;
    virtual bool enqueueParamChange(const ParamAddress& address, int value) = 0;
    virtual bool enqueueParamChange(const ParamAddress& address, const QString& text) = 0;
    virtual bool sendMessage(bool* wasEmpty) = 0;
    virtual bool sendBulk(int bank, int templateIndex) = 0;
    virtual bool sendParamChangeOfController(int bank, int templateIndex, int knob) = 0;
    virtual bool sendHardWareDataReq(bool withEditBuffers) = 0;
    virtual bool sendEditorAllData(bool editBuffersOnly) = 0;
    virtual bool send1TemplateDataParamChange(int bank, int templateIndex) = 0;
    virtual bool sendStoreMessage() = 0;
    virtual bool enqueueStoreToFlash() = 0;
    virtual void clearTransmitQueue(bool lock) = 0;
};

// What the memory API asks of the receive side: the transfer counters live in
// the decoder (implemented by the protocol library's MessageDecoder).
class DecoderLink {
public:
    virtual ~DecoderLink() = default;
    virtual void incrementTransmitedBulkCounter() = 0;
    virtual void incrementTransmitedBulkReqCounter() = 0;
    virtual void clearTransmitedBulkCounter() = 0;
    virtual void clearTransmitedBulkReqCounter() = 0;
};

// The route manager together with the makers of route objects. The memory API
// owns exactly one for its lifetime; it owns the route objects it makes.
class RouteProvider {
public:
    virtual ~RouteProvider() = default;
    // Makes the decoder for dataInput and the connection watcher for
    // watchInput and opens both ports. On failure nothing is left open or
    // allocated and the result is null.
    virtual DecoderLink* openInput(RemoteMemAPI& api, int watchInput, int dataInput) = 0;
    // Makes the encoder for the output port and opens the port; null when the
    // port cannot be had (the encoder is then already gone).
    virtual EncoderLink* openOutput(RemoteMemAPI& api, int output) = 0;
    // Deletes the encoder, closes every port, then deletes decoder and watcher.
    virtual void closeRoute() = 0;
    virtual QStringList getInputPortList() = 0;
    virtual QStringList getOutputPortList() = 0;
};
