// The JACK backend end to end against a server with the dummy driver (the
// test command starts one when none runs). Without a server the tests skip.
#include "JackEchoDevice.h"
#include "MidiTestSupport.h"

#include "editor/midi/KeyboardPortSets.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/jack/PortAccessor.h"
#include "editor/midi/jack/Service.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <memory>

namespace {

class JackBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackMIDIService::serverAnswers())
            GTEST_SKIP() << "no JACK server answers (start one with scripts/jack-dummy.sh)";
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Jack));
    }
    void TearDown() override { ZenoMIDI::selectAutomaticBackend(); }
};

class JackKeyboard : public JackBackend, public ::testing::WithParamInterface<bool> {};

TEST_P(JackKeyboard, IsFoundByItsPrettyNamesAndEchoesEverythingIntactAndInOrder)
{
    // Other programs (other test runs, a keyboard simulator) may share the
    // server: this device gets names of its own.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString name = "Velmor ZenoA/ZenoB echo " + pid;
    JackEchoDevice device;
    ASSERT_TRUE(device.open(("zeno-echo-" + pid).toUtf8().constData(), name, GetParam()));
    if (!device.prettyNamesSet())
        GTEST_SKIP() << "this JACK server keeps no metadata";

    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    const KeyboardPortSets sets = findKeyboardPortSets(accessor->getInputPortList(), accessor->getOutputPortList());
    PortInfo keyboard;
    for (const PortInfo& info : sets.ports)
        if (info.name == name)
            keyboard = info;
    ASSERT_EQ(keyboard.name, name) << accessor->getInputPortList().join(", ").toStdString();
    EXPECT_GT(keyboard.watchInput, 0);
    EXPECT_NE(keyboard.watchInput, keyboard.dataInput);

    RecordingReader reader;
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    ASSERT_TRUE(input->openInput(keyboard.dataInput, &reader, 6));
    ASSERT_TRUE(output->openOutput(keyboard.output));

    std::vector<RecordedEvent> expected;
    for (int size : {1, 10, 300, 4000, 4095, 4096, 9000}) {
        std::vector<unsigned char> body;
        for (int i = 0; i < size; ++i)
            body.push_back(static_cast<unsigned char>((size + i) & 0x7F));
        body.push_back(0xF7); // as the routes send it: the bytes after F0, F7 last
        ASSERT_TRUE(output->outputData(int(body.size()), body.data(), 0xF0)) << size;
        expected.push_back(sysexEvent(body));

        unsigned char note[2] = {static_cast<unsigned char>(size & 0x7F), 0x40};
        ASSERT_TRUE(output->outputData(2, note, 0x91));
        expected.push_back(shortEvent(MPEV_NOTEON, 1, note[0], 0x40));
    }
    ASSERT_TRUE(reader.waitFor(expected.size(), 10000)) << reader.events().size() << " of " << expected.size();
    EXPECT_EQ(reader.events(), expected);
}

INSTANTIATE_TEST_SUITE_P(NamedAfterOrBeforeActivation, JackKeyboard, ::testing::Bool());

// Port number of the entry whose identifier is exactly identifier; 0 if none.
int numberOf(const QStringList& encodedNames, const QString& identifier)
{
    for (const QString& encoded : encodedNames)
        if (encoded.section(';', 1) == identifier)
            return encoded.section(';', 0, 0).toInt();
    return 0;
}

TEST_F(JackBackend, NumbersKeepMeaningTheListedPortsWhenAnotherClientAddsPortsAndFailWhenTheyAreGone)
{
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString keyboard = "zeno-numbers-" + pid + "-m";
    auto device = std::make_unique<JackEchoDevice>();
    ASSERT_TRUE(device->open(keyboard.toUtf8().constData(), QString()));
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    const int source = numberOf(accessor->getInputPortList(), keyboard + " capture_3");
    const int destination = numberOf(accessor->getOutputPortList(), keyboard + " playback_3");
    ASSERT_GT(source, 0);
    ASSERT_GT(destination, 0);

    // A third client whose ports sort before the keyboard's comes between
    // listing and opening, and the list is even scanned again meanwhile.
    JackEchoDevice intruder;
    ASSERT_TRUE(intruder.open(("zeno-numbers-" + pid + "-a").toUtf8().constData(), QString()));
    accessor->updatePortInfo();
    EXPECT_EQ(numberOf(accessor->getInputPortList(), keyboard + " capture_3"), source);

    RecordingReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    ASSERT_TRUE(input->openInput(source, &reader, 0));
    ASSERT_TRUE(output->openOutput(destination));
    unsigned char note[2] = {60, 100};
    ASSERT_TRUE(output->outputData(2, note, 0x92));
    ASSERT_TRUE(reader.waitFor(1));
    EXPECT_EQ(reader.events().front(), shortEvent(MPEV_NOTEON, 2, 60, 100));
    input->closeInput();
    output->closeOutput();

    // The keyboard goes: its numbers open nothing, not some other port, and
    // a rescan lists its numbers no more.
    device.reset();
    EXPECT_FALSE(input->openInput(source, &reader, 0));
    EXPECT_FALSE(output->openOutput(destination));
    accessor->updatePortInfo();
    EXPECT_EQ(numberOf(accessor->getInputPortList(), keyboard + " capture_3"), 0);
    for (const QString& encoded : accessor->getInputPortList())
        EXPECT_NE(encoded.section(';', 0, 0).toInt(), source) << encoded.toStdString();

    // Back under the same name, it is the same port with the same number.
    device = std::make_unique<JackEchoDevice>();
    ASSERT_TRUE(device->open(keyboard.toUtf8().constData(), QString()));
    accessor->updatePortInfo();
    EXPECT_EQ(numberOf(accessor->getInputPortList(), keyboard + " capture_3"), source);
    EXPECT_TRUE(input->openInput(source, &reader, 0));
}

TEST_F(JackBackend, ASecondRouteAfterTheFirstClosedDeliversAndClosingRightAfterASendLosesNothing)
{
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString keyboard = "zeno-routes-" + pid;
    JackEchoDevice device;
    ASSERT_TRUE(device.open(keyboard.toUtf8().constData(), QString()));
    for (int route = 0; route < 2; ++route) {
        // As the editor's route does it: an accessor, two inputs, one output,
        // and a request the moment the output is open.
        std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
        const int data = numberOf(accessor->getInputPortList(), keyboard + " capture_5");
        const int watch = numberOf(accessor->getInputPortList(), keyboard + " capture_1");
        const int out = numberOf(accessor->getOutputPortList(), keyboard + " playback_5");
        ASSERT_GT(data * watch * out, 0);
        RecordingReader reader;
        RecordingReader watcher;
        std::unique_ptr<TMIDITransport> dataIn(MIDITransportInstance());
        std::unique_ptr<TMIDITransport> watchIn(MIDITransportInstance());
        ASSERT_TRUE(dataIn->openInput(data, &reader, 0));
        ASSERT_TRUE(watchIn->openInput(watch, &watcher, 0));
        std::vector<RecordedEvent> expected;
        for (int message = 0; message < 3; ++message) {
            std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
            ASSERT_TRUE(output->openOutput(out));
            unsigned char request[5] = {0x43, 0x20, 0x7F, static_cast<unsigned char>(route * 10 + message), 0xF7};
            ASSERT_TRUE(output->outputData(5, request, 0xF0));
            expected.push_back(sysexEvent({request, request + 5}));
            output.reset(); // closed the moment the send returned
        }
        ASSERT_TRUE(reader.waitFor(expected.size())) << "route " << route << ": " << reader.events().size();
        EXPECT_EQ(reader.events(), expected) << "route " << route;
        accessor.reset(); // before the transports, as a route manager may
    }
}

TEST_F(JackBackend, StaleNamesInTheMetadataStoreNeitherNameNewPortsNorStickToOurs)
{
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString plain = "zeno-stale-" + pid;
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    jack_status_t status {};
    jack_client_t* helper = jack_client_open(("zeno-stale-helper-" + pid).toUtf8().constData(), JackNoStartServer, &status);
    ASSERT_NE(helper, nullptr);
    // Every active client runs its part of the (synchronous) cycle.
    jack_set_process_callback(helper, [](jack_nframes_t, void*) { return 0; }, nullptr);
    ASSERT_EQ(jack_activate(helper), 0);
    // The identity the next port will get, with a name left behind on it
    // (as a killed program or a client of another server leaves them).
    jack_port_t* probe = jack_port_register(helper, "probe", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ASSERT_NE(probe, nullptr);
    const jack_uuid_t reused = jack_port_uuid(probe);
    jack_port_unregister(helper, probe);
    if (jack_set_property(helper, reused, JACK_METADATA_PRETTY_NAME, "Port5", "text/plain") != 0) {
        jack_deactivate(helper);
        jack_client_close(helper);
        GTEST_SKIP() << "this JACK server keeps no metadata";
    }
    // A plain client's port takes that identity: it keeps its own name.
    jack_client_t* device = jack_client_open(plain.toUtf8().constData(), JackNoStartServer, &status);
    ASSERT_NE(device, nullptr);
    jack_port_t* port = jack_port_register(device, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ASSERT_NE(port, nullptr);
    jack_set_process_callback(device, [](jack_nframes_t, void*) { return 0; }, nullptr);
    ASSERT_EQ(jack_activate(device), 0);
    const bool sameIdentity = jack_port_uuid(port) == reused;
    accessor->updatePortInfo();
    if (sameIdentity) {
        EXPECT_GT(numberOf(accessor->getInputPortList(), plain + " out"), 0)
            << accessor->getInputPortList().join(", ").toStdString();
    }
    jack_deactivate(device);
    jack_client_close(device);

    // Our own port takes such an identity next: the stale name is cleared,
    // so no program sees this editor's ports as a keyboard's.
    ASSERT_NE(jack_port_register(helper, "source", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0), nullptr);
    probe = jack_port_register(helper, "probe", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ASSERT_NE(probe, nullptr);
    const jack_uuid_t next = jack_port_uuid(probe);
    jack_port_unregister(helper, probe);
    jack_set_property(helper, next, JACK_METADATA_PRETTY_NAME, "Port5", "text/plain");
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    RecordingReader reader;
    accessor->updatePortInfo();
    const int source = numberOf(accessor->getInputPortList(), "zeno-stale-helper-" + pid + " source");
    ASSERT_GT(source, 0);
    ASSERT_TRUE(input->openInput(source, &reader, 0));
    const QString own = TJackMIDIPortAccessor::client()->clientName();
    for (const char** names = jack_get_ports(helper, (own + ":").toUtf8().constData(), nullptr, 0); names; ) {
        for (const char** p = names; *p; ++p) {
            char* value = nullptr;
            char* type = nullptr;
            EXPECT_NE(jack_get_property(jack_port_uuid(jack_port_by_name(helper, *p)), JACK_METADATA_PRETTY_NAME, &value, &type), 0)
                << *p << " is called " << (value ? value : "");
            jack_free(value);
            jack_free(type);
        }
        jack_free(names);
        break;
    }
    input.reset();
    jack_deactivate(helper);
    jack_client_close(helper);
}

TEST_F(JackBackend, PlainNamesWithoutMetadataAndOwnPortsLeftOut)
{
    const QString client = "zeno-plain-" + QString::number(QCoreApplication::applicationPid());
    JackEchoDevice device;
    ASSERT_TRUE(device.open(client.toUtf8().constData(), QString()));
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    const QStringList inputs = accessor->getInputPortList();
    int capture1 = 0;
    for (const QString& encoded : inputs)
        if (encoded.endsWith(";" + client + " capture_1"))
            capture1 = encoded.section(';', 0, 0).toInt();
    ASSERT_GT(capture1, 0) << inputs.join(", ").toStdString();
    ASSERT_TRUE(input->openInput(capture1, &reader, 0));
    accessor->updatePortInfo();
    // Our own ports are not offered (other processes' clients may be).
    const QString own = TJackMIDIPortAccessor::client()->clientName() + " ";
    for (const QString& encoded : accessor->getOutputPortList())
        EXPECT_FALSE(encoded.section(';', 1).startsWith(own)) << encoded.toStdString();
}

TEST_F(JackBackend, PortNumbersBeyondTheListFailCleanly)
{
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> transport(MIDITransportInstance());
    EXPECT_FALSE(transport->openInput(0, &reader, 0));
    EXPECT_FALSE(transport->openInput(10000, &reader, 0));
    EXPECT_FALSE(transport->openOutput(10000));
    unsigned char b = 0;
    EXPECT_FALSE(transport->outputData(1, &b, 0xC0));
}

TEST(JackWithoutServer, OpensFailAndNothingHangs)
{
    // Point the client at a server that does not exist.
    const char* previous = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = previous ? previous : "";
    ::setenv("JACK_DEFAULT_SERVER", "zeno-no-such-server", 1);
    EXPECT_FALSE(JackMIDIService::serverAnswers());
    EXPECT_EQ(JackMIDIService::open(), nullptr);
    ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Jack));
    {
        std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
        EXPECT_TRUE(accessor->getInputPortList().isEmpty());
        RecordingReader reader;
        std::unique_ptr<TMIDITransport> transport(MIDITransportInstance());
        EXPECT_FALSE(transport->openInput(1, &reader, 0));
        EXPECT_FALSE(transport->openOutput(1));
    }
    ZenoMIDI::selectAutomaticBackend();
    if (previous)
        ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
}

// A server of our own that we can take away while ports are open. The
// guard stops it and restores the environment however the test ends.
class PrivateJackServer {
public:
    explicit PrivateJackServer(QString jackd)
        : m_jackd(std::move(jackd))
        // One fixed name: the server registry has room for only a few
        // servers and frees a dead server's entry only for a server of the
        // same name, so per-run names would use it up after a few crashes.
        , m_name("zeno-midi-loss-test")
    {
        const char* previous = std::getenv("JACK_DEFAULT_SERVER");
        m_hadPrevious = previous != nullptr;
        m_previous = previous ? previous : "";
        ::setenv("JACK_DEFAULT_SERVER", m_name.constData(), 1);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~PrivateJackServer()
    {
        stop();
        if (m_hadPrevious)
            ::setenv("JACK_DEFAULT_SERVER", m_previous.c_str(), 1);
        else
            ::unsetenv("JACK_DEFAULT_SERVER");
    }
    // Starts it and waits until it answers.
    bool start()
    {
        m_server.start(m_jackd, {"-n", QString::fromUtf8(m_name), "--no-realtime", "-S", "-t", "2000",
                                 "-d", "dummy", "-r", "48000", "-p", "1024"});
        if (!m_server.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            if (JackMIDIService::serverAnswers())
                return true;
            if (m_server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(100);
        }
        return false;
    }
    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    QByteArray output() { return m_server.readAll(); }

private:
    QString m_jackd;
    QByteArray m_name;
    QProcess m_server;
    bool m_hadPrevious = false;
    std::string m_previous;
};

TEST(JackServerLoss, OpenPortsFailCleanlyWhenTheServerGoesAndARestartIsPickedUp)
{
#if defined(__SANITIZE_THREAD__)
    // libjack ends its client thread abruptly when the server goes, which
    // leaves ThreadSanitizer with false reports on every lock it held.
    GTEST_SKIP() << "not meaningful under ThreadSanitizer";
#endif
    const QString jackd = QStandardPaths::findExecutable("jackd");
    if (jackd.isEmpty())
        GTEST_SKIP() << "jackd is not installed";
    PrivateJackServer server(jackd);
    if (JackMIDIService::serverAnswers())
        GTEST_SKIP() << "another run of this test is using its private server";
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Jack));

    RecordingReader reader;
    std::unique_ptr<TUniMIDIPortAccessor> accessor;
    {
        auto echo = std::make_unique<JackEchoDevice>();
        ASSERT_TRUE(echo->open("zeno-loss-echo", QString()));
        accessor.reset(MIDIPortAccessor());
        std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
        std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
        ASSERT_TRUE(input->openInput(numberOf(accessor->getInputPortList(), "zeno-loss-echo capture_1"), &reader, 0));
        ASSERT_TRUE(output->openOutput(numberOf(accessor->getOutputPortList(), "zeno-loss-echo playback_1")));
        unsigned char cc[2] = {7, 1};
        ASSERT_TRUE(output->outputData(2, cc, 0xB0));
        ASSERT_TRUE(reader.waitFor(1));

        server.stop();
        // libjack cannot close a dead connection once another was tried: the
        // test's own device goes first (the layer takes care of its own).
        echo.reset();
        bool failed = false;
        for (int i = 0; i < 50 && !failed; ++i) {
            failed = !output->outputData(2, cc, 0xB0);
            if (!failed)
                QThread::msleep(100);
        }
        EXPECT_TRUE(failed);
        input->closeInput();
        output->closeOutput();
        EXPECT_FALSE(input->openInput(numberOf(accessor->getInputPortList(), "zeno-loss-echo capture_1"), &reader, 0));
        accessor->updatePortInfo();
        EXPECT_TRUE(accessor->getInputPortList().isEmpty());
    }

    // The server comes back: the next rescan of the same accessor finds it,
    // and new transports work again.
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    JackEchoDevice echo;
    ASSERT_TRUE(echo.open("zeno-loss-echo", QString()));
    accessor->updatePortInfo();
    EXPECT_EQ(accessor->getInputPortList().size(), JackEchoDevice::kPorts);
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    RecordingReader again;
    ASSERT_TRUE(input->openInput(numberOf(accessor->getInputPortList(), "zeno-loss-echo capture_1"), &again, 0));
    ASSERT_TRUE(output->openOutput(numberOf(accessor->getOutputPortList(), "zeno-loss-echo playback_1")));
    unsigned char cc[2] = {7, 2};
    ASSERT_TRUE(output->outputData(2, cc, 0xB0));
    EXPECT_TRUE(again.waitFor(1));
    input->closeInput();
    input.reset();
    output.reset();
    accessor.reset();
    ZenoMIDI::selectAutomaticBackend();
}

} // namespace
