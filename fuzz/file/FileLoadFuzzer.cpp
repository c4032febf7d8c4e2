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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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

    RemoteMemAPI api;
    seed(api);
    const Snapshot before = take(api, {0, 1, 4});
    QString error;
    const bool loaded = EditorFile::load(&api, bank, inputPath(), editBuffer, &error);
    if (loaded != error.isEmpty()) {
        std::fprintf(stderr, "load result and message disagree: %s\n", qPrintable(error));
        std::abort();
    }
    if (!loaded && !(take(api, {0, 1, 4}) == before)) {
        std::fprintf(stderr, "failed load (%s) changed memory\n", qPrintable(error));
        std::abort();
    }
    return 0;
}
