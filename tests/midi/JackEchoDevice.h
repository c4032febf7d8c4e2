#pragma once
// A JACK client that plays a five-port keyboard: whatever arrives on its
// input port n goes straight out of its output port n. Its client and ports
// carry metadata pretty names, as a bridged hardware device's would.

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/midiport.h>
#include <jack/uuid.h>

#include <QString>

#include <array>
#include <atomic>

class JackEchoDevice {
public:
    static constexpr int kPorts = 5;

    // namesFirst: name the client and ports before activating, as a device
    // bridge that sets everything up first does.
    bool open(const char* clientName, const QString& prettyDevice, bool namesFirst = false)
    {
        jack_status_t status {};
        m_client = jack_client_open(clientName, JackNoStartServer, &status);
        if (!m_client)
            return false;
        for (int i = 0; i < kPorts; ++i) {
            const QByteArray in = QString("playback_%1").arg(i + 1).toUtf8();
            const QByteArray out = QString("capture_%1").arg(i + 1).toUtf8();
            m_in[i] = jack_port_register(m_client, in.constData(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
            m_out[i] = jack_port_register(m_client, out.constData(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
            if (!m_in[i] || !m_out[i])
                return false;
        }
        // The server derives port identities from port slots and keeps their
        // metadata after the port is gone: clear what an earlier port in the
        // same slot may have left.
        clearProperties();
        jack_set_process_callback(m_client, &JackEchoDevice::process, this);
        jack_on_shutdown(m_client, [](void* arg) { static_cast<JackEchoDevice*>(arg)->m_alive = false; }, this);
        if (namesFirst && !prettyDevice.isEmpty())
            m_pretty = setPrettyNames(prettyDevice);
        if (jack_activate(m_client) != 0)
            return false;
        if (!namesFirst && !prettyDevice.isEmpty())
            m_pretty = setPrettyNames(prettyDevice);
        return true;
    }

    bool prettyNamesSet() const { return m_pretty; }

    ~JackEchoDevice()
    {
        if (!m_client)
            return;
        if (m_alive) {
            clearProperties();
            jack_deactivate(m_client);
        }
        jack_client_close(m_client);
    }

private:
    void clearProperties()
    {
        for (int i = 0; i < kPorts; ++i) {
            if (m_in[i])
                jack_remove_properties(m_client, jack_port_uuid(m_in[i]));
            if (m_out[i])
                jack_remove_properties(m_client, jack_port_uuid(m_out[i]));
        }
        if (char* text = jack_get_uuid_for_client_name(m_client, jack_get_client_name(m_client))) {
            jack_uuid_t uuid {};
            if (jack_uuid_parse(text, &uuid) == 0)
                jack_remove_properties(m_client, uuid);
            jack_free(text);
        }
    }

    bool setPrettyNames(const QString& device)
    {
        const char* type = "text/plain";
        bool ok = true;
        jack_uuid_t clientUuid {};
        if (char* text = jack_get_uuid_for_client_name(m_client, jack_get_client_name(m_client))) {
            ok = jack_uuid_parse(text, &clientUuid) == 0
                && jack_set_property(m_client, clientUuid, JACK_METADATA_PRETTY_NAME, device.toUtf8().constData(), type) == 0;
            jack_free(text);
        } else {
            ok = false;
        }
        for (int i = 0; i < kPorts && ok; ++i) {
            const QByteArray name = QString("Port%1").arg(i + 1).toUtf8();
            ok = jack_set_property(m_client, jack_port_uuid(m_in[i]), JACK_METADATA_PRETTY_NAME, name.constData(), type) == 0
                && jack_set_property(m_client, jack_port_uuid(m_out[i]), JACK_METADATA_PRETTY_NAME, name.constData(), type) == 0;
        }
        return ok;
    }

    static int process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<JackEchoDevice*>(arg);
        for (int i = 0; i < kPorts; ++i) {
            void* in = jack_port_get_buffer(self->m_in[i], frames);
            void* out = jack_port_get_buffer(self->m_out[i], frames);
            jack_midi_clear_buffer(out);
            const uint32_t count = jack_midi_get_event_count(in);
            for (uint32_t k = 0; k < count; ++k) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, in, k) == 0)
                    jack_midi_event_write(out, event.time, event.buffer, event.size);
            }
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    std::array<jack_port_t*, kPorts> m_in {};
    std::array<jack_port_t*, kPorts> m_out {};
    bool m_pretty = false;
    std::atomic<bool> m_alive{true};
};
