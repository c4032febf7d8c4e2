#pragma once
// Which platform MIDI service the layer uses. The backends compiled in are
// chosen by the build; at run time the choice is, in order: the last
// selectBackend() call, the environment variable ZENO_MIDI_BACKEND (alsa |
// jack | virtual | none), or automatic: the ALSA sequencer when its device
// opens, else JACK when a server answers, else none (every open fails and the
// editor stays off-line).

#include <QList>
#include <QString>

namespace ZenoMIDI {

enum class Backend { None, Alsa, Jack, Virtual };

QString backendName(Backend backend);             // "none", "alsa", "jack", "virtual"
bool backendFromName(const QString& name, Backend* out);
QList<Backend> compiledBackends();
bool isCompiled(Backend backend);

// Explicit choice; false (choice unchanged) when that backend is not compiled
// in. Objects made before keep working with the backend they were made for.
bool selectBackend(Backend backend);
// Back to the environment variable / automatic choice (probed again).
void selectAutomaticBackend();
// The backend new transports and accessors are made for (resolving the
// automatic choice on first use; an unknown environment value means none).
Backend activeBackend();

} // namespace ZenoMIDI
