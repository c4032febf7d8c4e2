// Arbitrary bytes from the computer into the simulated keyboard, cut into
// deliveries at random places through the runner's reassembly. Whatever
// arrives, every answer must be one well-formed System Exclusive message, and
// every bulk dump it sends must carry a correct byte count and checksum.
#include "sim/KeyboardSim.h"
#include "sim/SimRunner.h"

#include <cstdlib>
#include <mutex>

namespace {

void check(const sim::Bytes& m)
{
    if (m == sim::Bytes{0xFE}) return;
    if (m.size() < 5 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] & 0x80) std::abort();
    }
    const sim::Parsed p = sim::parseMessage(m.data(), m.size());
    if (!p.valid) std::abort();
    if (p.command == sim::Command::BulkDump && (!p.countOk || !p.checksumOk)) std::abort();
    (void)sim::describeMessage(m.data(), m.size());
}

class CheckingWire : public sim::SimWire {
public:
    bool send(int, const sim::Bytes& bytes) override
    {
        check(bytes);
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    // First byte: input port; second: how the rest is cut into deliveries.
    const int port = data[0] % sim::kPortCount + 1;
    const int cut = data[1] % 64 + 1;
    data += 2;
    size -= 2;

    sim::KeyboardSim keyboard;
    (void)sim::describeMessage(data, size);
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = std::min<std::size_t>(std::size_t(cut), size - at);
        for (const auto& out : keyboard.receive(port, data + at, n)) check(out.bytes);
        at += n;
    }
    // Through the runner: the same bytes reassembled across deliveries.
    CheckingWire wire;
    sim::SimRunner runner(keyboard, wire, 10000);
    runner.start();
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = std::min<std::size_t>(std::size_t(cut), size - at);
        runner.deliver(port, data + at, n);
        at += n;
    }
    runner.waitUntilIdle(5000);
    runner.stop();
    return 0;
}
