#pragma once
// The editor's route manager: opens and closes MIDI ports by number, keeps
// one input route per open input port and one output route per open output
// port, and sends each outgoing event whole on its port (one lock per port,
// so that callers on different threads never interleave two messages).

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "editor/midi/MIDIEvent.h"

class MessageProcessor;
class SysExParamChangeAddressTransTable;
class TAppMIDIIn;
class TAppMIDIOut;
class TMIDIPortAccessor;

class ComuController : public QObject {
    Q_OBJECT
public:
    using HRESULT = int32_t;
    using DWORD = uint32_t;
    enum MPASYNC_MODE { MPASYNC_SYNC = 1 };
    static constexpr HRESULT kSuccess = 0;
    static constexpr HRESULT kFailure = static_cast<HRESULT>(0x80000008u);

    ComuController();
    explicit ComuController(SysExParamChangeAddressTransTable* table);
    ~ComuController() override;

    TMIDIPortAccessor* portAccessor() const { return m_portAccessor.get(); }
    SysExParamChangeAddressTransTable* sysExAddressTable() const { return m_sysExTable; }

public slots:
    // Sends one event on the port named by its portId. Virtual so that a
    // test can watch the traffic without a MIDI service.
    virtual HRESULT midiOutDispatch(MPEVENT rEvent, int eMode);
    bool requestPort(int io, DWORD dwPortId, int FType, MessageProcessor* p1);
    void releasePort(int io, DWORD dwPortId);
    bool isPortActive(int io, DWORD dwPortId);
    bool setMessageProcessorAndOpenPort(MessageProcessor* p1);
    QStringList getInputPortList();
    QStringList getOutputPortList();
    void CloseAllOpendPortAndDeleteAllTransporters();

private:
    void Init_ComuController();

    std::unique_ptr<TMIDIPortAccessor> m_portAccessor;
    // Input routes are opened and closed on the user interface thread only.
    std::map<DWORD, std::unique_ptr<TAppMIDIIn>> m_midiInTransporters;
    std::map<DWORD, std::unique_ptr<TAppMIDIOut>> m_midiOutTransporters;
    // One per output port ever opened; kept while the port is closed. Shared
    // so that a send that looked its mutex up keeps it alive even if every
    // port is closed meanwhile.
    std::map<DWORD, std::shared_ptr<std::recursive_mutex>> m_midiOutMutexes;
    // Guards the two output maps. Order: a port's mutex before this lock.
    std::recursive_mutex m_mapLock;
    MessageProcessor* m_lastConsumer = nullptr;
    SysExParamChangeAddressTransTable* m_sysExTable = nullptr;
};
