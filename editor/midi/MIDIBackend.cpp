#include "editor/midi/MIDIBackend.h"

#include "editor/midi/MIDIBackendRegistry.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/MIDITransport.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdlib>
#include <optional>

namespace {

// What the layer gives out when there is no MIDI service: opens fail, no
// ports are listed, and the editor stays off-line.
class TNullMIDI final : public TMIDITransport {
public:
    bool openInput(int, TMIDIReaderRefConInterface*, int) override { return false; }
    void closeInput() override {}
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool outputData(int, unsigned char*, unsigned long) override { return false; }
};

class TNullMIDIPortAccessor final : public TUniMIDIPortAccessor {
public:
    int getNumPorts(int) const override { return 0; }
    QString identifierForIndex(int, int) const override { return {}; }
};

struct Choice {
    QMutex mutex;
    std::optional<ZenoMIDI::Backend> explicitChoice;
    std::optional<ZenoMIDI::Backend> resolved;
};

Choice& choice()
{
    static Choice c;
    return c;
}

const ZenoMIDI::BackendOps* opsFor(ZenoMIDI::Backend backend)
{
    for (const ZenoMIDI::BackendOps& ops : ZenoMIDI::registeredBackends()) {
        if (ops.kind == backend)
            return &ops;
    }
    return nullptr;
}

ZenoMIDI::Backend resolveAutomatic()
{
    using ZenoMIDI::Backend;
    if (const char* env = std::getenv("ZENO_MIDI_BACKEND"); env && *env) {
        Backend named = Backend::None;
        if (ZenoMIDI::backendFromName(QString::fromUtf8(env).trimmed().toLower(), &named)
            && (named == Backend::None || ZenoMIDI::isCompiled(named)))
            return named;
        return Backend::None;
    }
    for (const ZenoMIDI::BackendOps& ops : ZenoMIDI::registeredBackends()) {
        if (ops.probe && ops.probe())
            return ops.kind;
    }
    return Backend::None;
}

} // namespace

namespace ZenoMIDI {

QString backendName(Backend backend)
{
    switch (backend) {
    case Backend::Alsa:
        return QStringLiteral("alsa");
    case Backend::Jack:
        return QStringLiteral("jack");
    case Backend::Virtual:
        return QStringLiteral("virtual");
    case Backend::None:
        break;
    }
    return QStringLiteral("none");
}

bool backendFromName(const QString& name, Backend* out)
{
    for (Backend b : {Backend::None, Backend::Alsa, Backend::Jack, Backend::Virtual}) {
        if (name == backendName(b)) {
            if (out)
                *out = b;
            return true;
        }
    }
    return false;
}

QList<Backend> compiledBackends()
{
    QList<Backend> list;
    for (const BackendOps& ops : registeredBackends())
        list.append(ops.kind);
    return list;
}

bool isCompiled(Backend backend)
{
    return opsFor(backend) != nullptr;
}

bool selectBackend(Backend backend)
{
    if (backend != Backend::None && !isCompiled(backend))
        return false;
    QMutexLocker lock(&choice().mutex);
    choice().explicitChoice = backend;
    return true;
}

void selectAutomaticBackend()
{
    QMutexLocker lock(&choice().mutex);
    choice().explicitChoice.reset();
    choice().resolved.reset();
}

Backend activeBackend()
{
    QMutexLocker lock(&choice().mutex);
    if (choice().explicitChoice)
        return *choice().explicitChoice;
    if (!choice().resolved)
        choice().resolved = resolveAutomatic();
    return *choice().resolved;
}

} // namespace ZenoMIDI

TMIDITransport* MIDITransportInstance()
{
    if (const ZenoMIDI::BackendOps* ops = opsFor(ZenoMIDI::activeBackend()))
        return ops->newTransport();
    return new TNullMIDI;
}

TUniMIDIPortAccessor* MIDIPortAccessor()
{
    TUniMIDIPortAccessor* accessor = nullptr;
    if (const ZenoMIDI::BackendOps* ops = opsFor(ZenoMIDI::activeBackend()))
        accessor = ops->newAccessor();
    else
        accessor = new TNullMIDIPortAccessor;
    accessor->updatePortInfo();
    return accessor;
}
