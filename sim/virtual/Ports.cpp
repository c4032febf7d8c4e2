#include "sim/virtual/Ports.h"

#include "editor/midi/virtual/Service.h"

#include <QByteArray>
#include <QString>

namespace sim {

VirtualKeyboardPorts::~VirtualKeyboardPorts()
{
    close();
}

bool VirtualKeyboardPorts::open(const std::string& name, SimRunner& runner, std::string& error)
{
    if (m_device.load() != 0) {
        error = "the keyboard's ports are already open";
        return false;
    }
    auto& service = VirtualMIDIService::instance();
    const int device = service.plugDevice(QString::fromStdString(name), kPortCount, kPortCount);
    if (device <= 0) {
        error = "the virtual MIDI service refused the device \"" + name + "\"";
        return false;
    }
    for (int port = 1; port <= kPortCount; ++port) {
        service.setWriteHandler(device, port - 1, [&runner, port](const QByteArray& piece) {
            runner.deliver(port, reinterpret_cast<const std::uint8_t*>(piece.constData()), std::size_t(piece.size()));
        });
    }
    m_name = name;
    m_device = device;
    return true;
}

void VirtualKeyboardPorts::close()
{
    const int device = m_device.exchange(0);
    if (device == 0) return;
    auto& service = VirtualMIDIService::instance();
    for (int port = 1; port <= kPortCount; ++port) {
        service.setWriteHandler(device, port - 1, {});
    }
    service.unplugDevice(device);
}

std::string VirtualKeyboardPorts::where() const
{
    return "virtual MIDI device \"" + m_name + "\"";
}

bool VirtualKeyboardPorts::send(int port, const Bytes& bytes)
{
    const int device = m_device.load();
    if (device == 0 || port < 1 || port > kPortCount) return false;
    return VirtualMIDIService::instance().inject(
        device, port - 1, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

std::unique_ptr<KeyboardPorts> makeVirtualKeyboardPorts()
{
    return std::make_unique<VirtualKeyboardPorts>();
}

} // namespace sim
