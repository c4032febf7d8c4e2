// Any bytes as a bank file: the loader must never crash, and a load that
// fails must leave memory exactly as it was.
#include "editor/file/EditorFile.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Snapshot {
    std::vector<ControlTemplateData> templates;
    std::vector<int> numbers;
    bool operator==(const Snapshot& o) const { return templates == o.templates && numbers == o.numbers; }
};

Snapshot take(RemoteMemAPI& api, std::initializer_list<int> banks)
{
    Snapshot s;
    for (int bank : banks) {
        for (int t = 0; t < ParamAddress::TemplateCount; ++t)
            s.templates.push_back(api.getTemplateData(bank, t));
        s.numbers.push_back(api.getParam(ParamAddress(bank, ParamAddress::TemplateCurrentTemplateNumber, -1, -1))
                                .getCurrentValue());
        s.numbers.push_back(api.getBankAvailableFlag(bank));
    }
    s.numbers.push_back(api.getParam(ParamAddress(ParamAddress::BankFileEditFlag, -1, -1, -1)).getCurrentValue());
    s.numbers.push_back(api.isAllowToRaiseFileEditFlag());
    s.numbers.push_back(api.isAllowToSendSysEx());
    return s;
}

// Some recognisable content, so a restore that loses it is noticed.
void seed(RemoteMemAPI& api)
{
    for (int bank : {0, 1, 4}) {
        for (int t = 0; t < ParamAddress::TemplateCount; t += 7) {
            api.setParam(ParamAddress(bank, t, ParamAddress::ControllerTemplateName, -1), QString("Seed %1").arg(t));
            api.setParam(ParamAddress(bank, t, 3, ParamAddress::ParamCCNumber), long(t + bank));
            api.setParam(ParamAddress(bank, t, 5, ParamAddress::ParamRemoteTagID), QString("100000401"));
        }
        api.setParam(ParamAddress(bank, ParamAddress::TemplateCurrentTemplateNumber, -1, -1), long(bank + 3));
    }
    api.setParam(ParamAddress(ParamAddress::BankFileEditFlag, -1, -1, -1), 0L);
}

const QString& inputPath()
{
    static QTemporaryDir dir(QDir::tempPath() + "/zeno-file-fuzz-XXXXXX");
    static const QString path = dir.filePath("input.X5R");
    return path;
}

// One memory for all inputs (making one per input would dominate the run
// time): banks 9..11 keep the seeded content of banks 0, 1 and 4, and every
// input starts from it.
struct Fixture {
    RemoteMemAPI api;
    Snapshot before;
    static constexpr int Pristine = 9;
    static constexpr int Banks[] = {0, 1, 4};

    Fixture()
    {
        while (api.getQuantityOfBank() < Pristine + 3)
            api.createBank();
        seed(api);
        for (int i = 0; i < 3; ++i)
            api.copyBank(Banks[i], Pristine + i);
        reset();
        before = take(api, {0, 1, 4});
    }
    void reset()
    {
        api.denyToRaiseFileEditFlag();
        for (int i = 0; i < 3; ++i)
            api.copyBank(Pristine + i, Banks[i]);
        api.setBankAvailableFlag(0, 4);
        api.allowToRaiseFileEditFlag();
        api.setParam(ParamAddress(ParamAddress::BankFileEditFlag, -1, -1, -1), 0L);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture fixture;
    {
        QFile f(inputPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    // Odd sizes are loaded as an import (no edit buffers), even sizes as a
    // user file.
    const bool editBuffer = size % 2 == 0;
    const int bank = editBuffer ? 1 : 4;

    QString error;
    const bool loaded = EditorFile::load(&fixture.api, bank, inputPath(), editBuffer, &error);
    if (loaded != error.isEmpty()) {
        std::fprintf(stderr, "load result and message disagree: %s\n", qPrintable(error));
        std::abort();
    }
    if (loaded) {
        fixture.reset();
    } else if (!(take(fixture.api, {0, 1, 4}) == fixture.before)) {
        std::fprintf(stderr, "failed load (%s) changed memory\n", qPrintable(error));
        std::abort();
    }
    return 0;
}
