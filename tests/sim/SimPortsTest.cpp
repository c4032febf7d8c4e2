// The simulated keyboard on the in-process MIDI service, seen through the
// editor's own MIDI layer: its ports are recognised as a keyboard, it answers
// on port 5 and keeps up active sensing on port 1. Also its bank files and
// the program's arguments.
#include "sim/KeyboardPorts.h"
#include "sim/SimBankFile.h"
#include "sim/SimConsole.h"
#include "sim/SimProgram.h"
#include "sim/virtual/Ports.h"

#include "editor/midi/KeyboardPortSets.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/MIDITransport.h"
#include "editor/midi/virtual/Service.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace sim;

namespace {

// Collects what the editor side receives on one port.
class Collector : public TMIDIReaderRefConInterface {
public:
    void midiIn(tagMPEVENT* event) override
    {
        std::lock_guard guard(m_lock);
        if (isSysExKind(event->kind)) {
            Bytes message{0xF0};
            message.insert(message.end(), event->data, event->data + event->length);
            m_sysex.push_back(message);
        } else if (event->kind == MPEV_ACTIVESENSING) {
            ++m_activeSensing;
        }
        m_changed.notify_all();
    }
    bool waitForSysEx(std::size_t count, int timeoutMs = 5000)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_sysex.size() >= count; });
    }
    bool waitForActiveSensing(int count, int timeoutMs = 5000)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_activeSensing >= count; });
    }
    std::vector<Bytes> sysex()
    {
        std::lock_guard guard(m_lock);
        return m_sysex;
    }
    int activeSensing()
    {
        std::lock_guard guard(m_lock);
        return m_activeSensing;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Bytes> m_sysex;
    int m_activeSensing = 0;
};

class SimOnVirtualService : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual));
        VirtualMIDIService::instance().unplugAll();
        std::string error;
        ports = makeKeyboardPorts("virtual", error);
        ASSERT_TRUE(ports) << error;
        runner = std::make_unique<SimRunner>(keyboard, *ports, 50);
        runner->start();
        ASSERT_TRUE(ports->open(kDefaultKeyboardName, *runner, error)) << error;
        accessor.reset(MIDIPortAccessor());
        ASSERT_TRUE(accessor);
        const QString ini = dir.filePath("ports.ini");
        accessor->setSettingsFile(ini);
        accessor->updatePortInfo();
    }
    void TearDown() override
    {
        input1.reset();
        input5.reset();
        output5.reset();
        if (ports) ports->close();
        if (runner) runner->stop();
        accessor.reset();
        VirtualMIDIService::instance().unplugAll();
    }

    PortInfo keyboardPorts()
    {
        const auto sets = findKeyboardPortSets(accessor->getInputPortList(), accessor->getOutputPortList());
        return sets.ports.size() == 1 ? sets.ports.front() : PortInfo{};
    }

    void openEditorSide()
    {
        const PortInfo info = keyboardPorts();
        ASSERT_GT(info.output, 0);
        input1.reset(MIDITransportInstance());
        input5.reset(MIDITransportInstance());
        output5.reset(MIDITransportInstance());
        ASSERT_TRUE(input1->openInput(info.watchInput, &watch, 0));
        ASSERT_TRUE(input5->openInput(info.dataInput, &data, 6));
        ASSERT_TRUE(output5->openOutput(info.output));
    }

    bool sendToKeyboard(Bytes message)
    {
        return output5->outputData(int(message.size() - 1), message.data() + 1, 0xF0);
    }

    QTemporaryDir dir;
    KeyboardSim keyboard;
    std::unique_ptr<KeyboardPorts> ports;
    std::unique_ptr<SimRunner> runner;
    std::unique_ptr<TUniMIDIPortAccessor> accessor;
    std::unique_ptr<TMIDITransport> input1, input5, output5;
    Collector watch, data;
};

class RecordingWire : public SimWire {
public:
    bool send(int port, const Bytes& bytes) override
    {
        std::lock_guard guard(lock);
        if (bytes != Bytes{0xFE}) sent.push_back({port, bytes});
        return true;
    }
    std::mutex lock;
    std::vector<SimOutput> sent;
};

} // namespace

TEST_F(SimOnVirtualService, EditorRecognisesTheKeyboardsPortSet)
{
    const auto sets = findKeyboardPortSets(accessor->getInputPortList(), accessor->getOutputPortList());
    ASSERT_EQ(sets.ports.size(), 1u);
    EXPECT_EQ(sets.names, (QStringList{"Not Assigned", kDefaultKeyboardName}));
    EXPECT_GT(sets.ports[0].watchInput, 0);
    EXPECT_NE(sets.ports[0].watchInput, sets.ports[0].dataInput);
}

TEST_F(SimOnVirtualService, AnswersABulkRequestOnPortFive)
{
    openEditorSide();
    SimTemplate t;
    t.setTemplateName("Bass");
    keyboard.setStored(3, t);
    ASSERT_TRUE(sendToKeyboard(makeBulkRequest(0, kKindStored, 3)));
    ASSERT_TRUE(data.waitForSysEx(15));
    const auto got = data.sysex();
    ASSERT_EQ(got.size(), 15u);
    EXPECT_EQ(got[0].size(), 12u);
    EXPECT_EQ(got[1].size(), 39u);
    EXPECT_EQ(std::string(got[1].begin() + 10, got[1].begin() + 14), "Bass");
    EXPECT_TRUE(watch.sysex().empty()) << "nothing but active sensing on port 1";
}

TEST_F(SimOnVirtualService, KeepsUpActiveSensingOnPortOneOnly)
{
    openEditorSide();
    ASSERT_TRUE(watch.waitForActiveSensing(3));
    EXPECT_EQ(data.activeSensing(), 0);
}

TEST_F(SimOnVirtualService, TakesInADumpAndAcknowledges)
{
    openEditorSide();
    SimTemplate t;
    t.setTemplateName("Lead");
    t.setCcNumber(4, 74);
    ASSERT_TRUE(sendToKeyboard(makeBulk(0, kModelEditor, 0x0E, kKindEditBuffer, 9, nullptr, 0)));
    for (int block = 0; block <= 12; ++block) {
        ASSERT_TRUE(sendToKeyboard(makeBulk(0, kModelEditor, 0x01, block ? std::uint8_t(0x0F + block) : 0, 0,
                                            t.image().data() + SimTemplate::blockOffset(block),
                                            std::size_t(SimTemplate::blockSize(block)))));
    }
    ASSERT_TRUE(sendToKeyboard(makeBulk(0, kModelEditor, 0x0F, kKindEditBuffer, 9, nullptr, 0)));
    ASSERT_TRUE(data.waitForSysEx(1));
    EXPECT_EQ(data.sysex()[0], (Bytes{0xF0, 0x43, 0x60, 0x02, 0xF7}));
    EXPECT_EQ(keyboard.editBuffer(9), t);
}

TEST_F(SimOnVirtualService, ClosedPortsAreGoneForTheEditor)
{
    ports->close();
    accessor->updatePortInfo();
    EXPECT_EQ(keyboardPorts(), PortInfo{});
}

TEST(SimRunner, ReassemblesMessagesSplitOverDeliveries)
{
    KeyboardSim keyboard;
    RecordingWire wire;
    SimRunner runner(keyboard, wire, 1000);
    runner.start();
    const Bytes request = makeParamRequest(0, 0x20, 0x00);
    // One message cut in three, then two messages and a stray byte in one piece.
    runner.deliver(5, request.data(), 2);
    runner.deliver(5, request.data() + 2, 4);
    runner.deliver(5, request.data() + 6, request.size() - 6);
    Bytes two = request;
    two.push_back(0xFE);
    two.insert(two.end(), request.begin(), request.end());
    runner.deliver(5, two.data(), two.size());
    ASSERT_TRUE(runner.waitUntilIdle());
    runner.stop();
    std::lock_guard guard(wire.lock);
    ASSERT_EQ(wire.sent.size(), 3u);
    for (const auto& out : wire.sent) EXPECT_EQ(out.port, 5);
    EXPECT_EQ(keyboard.stats().ignored, 0);
}

TEST(SimRunner, DelayFaultHoldsAnswersBack)
{
    KeyboardSim keyboard;
    SimFaults faults;
    faults.replyDelayMs = 300;
    keyboard.setFaults(faults);
    RecordingWire wire;
    SimRunner runner(keyboard, wire, 1000);
    runner.start();
    const Bytes request = makeParamRequest(0, 0x20, 0x00);
    runner.deliver(5, request.data(), request.size());
    {
        std::lock_guard guard(wire.lock);
        EXPECT_TRUE(wire.sent.empty());
    }
    ASSERT_TRUE(runner.waitUntilIdle());
    std::lock_guard guard(wire.lock);
    EXPECT_EQ(wire.sent.size(), 1u);
}

// The paced wire never delivers faster than a cable: every byte takes ten
// bit times, both for what the keyboard hears and for what it sends.
TEST(SimRunner, WireRateHoldsEverythingToTheCablesPace)
{
    constexpr int kBaud = 20000; // 2000 bytes a second
    KeyboardSim keyboard;
    RecordingWire wire;
    std::vector<std::string> outLines;
    std::mutex outLock;
    SimRunner runner(keyboard, wire, 1000);
    runner.setWireRate(kBaud);
    runner.setWireLog([&](const std::string& line) {
        std::lock_guard guard(outLock);
        outLines.push_back(line);
    });
    runner.start();
    const Bytes request = makeBulkRequest(0, kKindStored, 0);
    const auto start = std::chrono::steady_clock::now();
    runner.deliver(5, request.data(), request.size());
    ASSERT_TRUE(runner.waitUntilIdle());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    runner.stop();
    std::size_t bytes = request.size();
    {
        std::lock_guard guard(wire.lock);
        ASSERT_EQ(wire.sent.size(), 15u) << "the whole dump";
        for (const auto& out : wire.sent) bytes += out.bytes.size();
    }
    EXPECT_GE(elapsed, std::chrono::microseconds(bytes * 10 * 1000000 / kBaud - 2000));
    std::lock_guard guard(outLock);
    ASSERT_EQ(outLines.size(), 15u) << "only System Exclusive messages are logged";
    EXPECT_EQ(outLines.front().substr(0, 21), "out F0 43 00 7F 19 00");
    EXPECT_EQ(outLines.back().substr(outLines.back().size() - 3), " F7");
}

TEST(SimBankFile, SaveAndLoadKeepEveryTemplateAndTheSelection)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("keyboard.X5R").toStdString();
    KeyboardSim original;
    for (int t = 0; t < kTemplateCount; ++t) {
        SimTemplate stored;
        stored.setTemplateName("Stored " + std::to_string(t + 1));
        stored.setVstiName("Synth" + std::to_string(t));
        stored.setControlType(t % 2);
        SimTemplate edit = stored;
        for (int k = 0; k < kKnobCount; ++k) {
            edit.setDisplayName(k, "K" + std::to_string(k));
            edit.setCcNumber(k, (t + k) % 128);
            edit.setDisplayFormat(k, k % 2);
            edit.setRemoteNumber(k, "1000004" + std::to_string(10 + k));
        }
        original.setStored(t, stored);
        original.setEditBuffer(t, edit);
    }
    original.setCurrentTemplate(37);
    std::string error;
    ASSERT_TRUE(saveBankFile(original, path, error)) << error;

    KeyboardSim loaded;
    ASSERT_TRUE(loadBankFile(loaded, path, error)) << error;
    for (int t = 0; t < kTemplateCount; ++t) {
        EXPECT_EQ(loaded.stored(t), original.stored(t)) << t;
        EXPECT_EQ(loaded.editBuffer(t), original.editBuffer(t)) << t;
    }
    EXPECT_EQ(loaded.currentTemplate(), 37);
    EXPECT_EQ(loaded.bankEditFlag(), 1);
}

TEST(SimBankFile, BadFileLeavesTheKeyboardAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.X5R");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<not a bank");
    file.close();
    KeyboardSim keyboard;
    SimTemplate t;
    t.setTemplateName("Keep me");
    keyboard.setStored(0, t);
    std::string error;
    EXPECT_FALSE(loadBankFile(keyboard, path.toStdString(), error));
    EXPECT_NE(error.find("broken.X5R"), std::string::npos);
    EXPECT_FALSE(loadBankFile(keyboard, dir.filePath("missing.X5R").toStdString(), error));
    EXPECT_EQ(keyboard.stored(0), t);
}

TEST(SimProgram, Arguments)
{
    struct Case {
        std::vector<std::string> args;
        bool ok;
    };
    const Case cases[] = {
        {{}, true},
        {{"--backend", "virtual", "--name", "Velmor ZenoA/ZenoB", "--device", "15"}, true},
        {{"--fault", "no-ack,drop=3", "--fault", "delay=10"}, true},
        {{"--drop-every", "3", "--corrupt-every", "7", "--delay-ms", "0", "--silent-after", "40"}, true},
        {{"--wire-rate", "31250", "--trace"}, true},
        {{"--drop-every", "0"}, false},
        {{"--silent-after", "x"}, false},
        {{"--wire-rate", "0"}, false},
        {{"--delay-ms"}, false},
        {{"--load", "a.X5R", "--save-on-exit", "b.X5R", "--quiet", "--log", "-"}, true},
        {{"--device", "16"}, false},
        {{"--device"}, false},
        {{"--active-sensing-ms", "5"}, false},
        {{"--fault", "no-ack,,drop=3"}, false},
        {{"--fault", "sometimes"}, false},
        {{"--frobnicate"}, false},
    };
    for (const Case& c : cases) {
        SimProgramOptions options;
        std::string error;
        EXPECT_EQ(parseSimArguments(c.args, options, error), c.ok) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(error.empty(), c.ok) << error;
    }
    SimProgramOptions options;
    std::string error;
    ASSERT_TRUE(parseSimArguments({"--fault", "no-ack,drop=3"}, options, error));
    EXPECT_EQ(describeFaults(options.faults), "no-ack,drop=3");
    EXPECT_EQ(options.name, kDefaultKeyboardName);
    EXPECT_FALSE(options.backend.empty());
    ASSERT_TRUE(parseSimArguments({"--drop-every", "3", "--corrupt-every", "7", "--delay-ms", "250", "--silent-after",
                                   "40", "--wire-rate", "31250"},
                                  options, error));
    EXPECT_EQ(options.faults.ignoreEvery, 3);
    EXPECT_EQ(options.faults.corruptChecksumEvery, 7);
    EXPECT_EQ(options.faults.replyDelayMs, 250);
    EXPECT_EQ(options.faults.silentAfter, 40);
    EXPECT_EQ(options.wireRate, 31250);
}

TEST(SimProgram, BackendThatIsNotBuiltIsReported)
{
    std::string error;
    EXPECT_FALSE(makeKeyboardPorts("coremidi", error));
    EXPECT_NE(error.find("virtual"), std::string::npos) << error;
}

TEST(SimConsole, CommandsWorkTheKeyboard)
{
    KeyboardSim keyboard;
    RecordingWire wire;
    SimRunner runner(keyboard, wire, 1000);
    runner.start();
    struct Case {
        const char* line;
        const char* replyContains;
    };
    const Case cases[] = {
        {"select 12", "template 12 shown"},
        {"select 51", "usage: select N"},
        {"select x", "usage: select N"},
        {"edit B2 cc 74", "knob B2 cc of template 12 edited"},
        {"edit A1 name Filter Cut", "knob A1 name"},
        {"edit E1 cc 3", "usage: edit"},
        {"edit A1 cc", "usage: edit"},
        {"edit A1 cc 300", "0..127"},
        {"store", "stored"},
        {"show", "template 12:"},
        {"show 3", "template 3:"},
        {"show 0", "usage: show"},
        {"fault no-ack,drop=3", "faults: no-ack,drop=3"},
        {"fault bogus", "unknown fault"},
        {"status", "template 12 shown"},
        {"fault none", "faults: none"},
        {"dance", "unknown command"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const ConsoleReply reply = runConsoleCommand(c.line, keyboard, runner);
        EXPECT_NE(reply.text.find(c.replyContains), std::string::npos) << c.line << " -> " << reply.text;
        EXPECT_FALSE(reply.quit);
    }
    EXPECT_TRUE(runConsoleCommand("quit", keyboard, runner).quit);
    ASSERT_TRUE(runner.waitUntilIdle());
    EXPECT_EQ(keyboard.currentTemplate(), 11);
    std::lock_guard guard(wire.lock);
    ASSERT_EQ(wire.sent.size(), 18u) << "the selection, the edits (a name a character a message) and the store";
    EXPECT_EQ(wire.sent[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 11, 0xF7}));
    EXPECT_EQ(wire.sent[1].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x15, 0x18, 74, 0xF7}));
    EXPECT_EQ(wire.sent[17].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x22, 0x00, 0xF7}));
    EXPECT_EQ(keyboard.stored(11).displayName(0), "Filter Cut");
}

TEST(SimAlsaPorts, OpenEitherWorksOrSaysWhy)
{
    const auto backends = keyboardPortBackends();
    if (std::find(backends.begin(), backends.end(), "alsa") == backends.end()) GTEST_SKIP() << "built without ALSA";
    std::string error;
    auto ports = makeKeyboardPorts("alsa", error);
    ASSERT_TRUE(ports) << error;
    KeyboardSim keyboard;
    RecordingWire wire;
    SimRunner runner(keyboard, wire, 1000);
    if (ports->open(kDefaultKeyboardName, runner, error)) {
        EXPECT_NE(ports->where().find(kDefaultKeyboardName), std::string::npos);
        EXPECT_TRUE(ports->send(1, Bytes{0xFE}));
    } else {
        EXPECT_NE(error.find("ALSA sequencer"), std::string::npos) << error;
        EXPECT_FALSE(ports->send(5, makeParamRequest(0, 0x20, 0x00)));
    }
    ports->close();
    ports->close(); // closing twice is harmless
}
