#include "sim/SimBankFile.h"

#include "editor/file/EditorFile.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QString>

namespace sim {

namespace {

// The editor's banks in which a file's two halves are handled.
constexpr int kStoredBank = 1;
constexpr int kEditBank = 0;

std::string latin1(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString fromLatin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

SimTemplate readTemplate(RemoteMemAPI& api, int bank, int t)
{
    SimTemplate out;
    out.setTemplateName(latin1(api.getParamQString(ParamAddress(bank, t, 13, -1))));
    out.setVstiName(latin1(api.getParamQString(ParamAddress(bank, t, 15, -1))));
    out.setControlType(api.getParam(ParamAddress(bank, t, 14, -1)).getCurrentValue());
    for (int k = 0; k < kKnobCount; ++k) {
        out.setDisplayName(k, latin1(api.getParamQString(ParamAddress(bank, t, k, 0))));
        out.setCcNumber(k, api.getParam(ParamAddress(bank, t, k, 1)).getCurrentValue());
        out.setDisplayFormat(k, api.getParam(ParamAddress(bank, t, k, 2)).getCurrentValue());
        out.setRemoteNumber(k, latin1(api.getParamQString(ParamAddress(bank, t, k, 3))));
    }
    return out;
}

void writeTemplate(RemoteMemAPI& api, int bank, int t, const SimTemplate& in)
{
    api.setParam(ParamAddress(bank, t, 13, -1), fromLatin1(in.templateName()));
    api.setParam(ParamAddress(bank, t, 15, -1), fromLatin1(in.vstiName()));
    api.setParam(ParamAddress(bank, t, 14, -1), long(in.controlType()));
    for (int k = 0; k < kKnobCount; ++k) {
        api.setParam(ParamAddress(bank, t, k, 0), fromLatin1(in.displayName(k)));
        api.setParam(ParamAddress(bank, t, k, 1), long(in.ccNumber(k)));
        api.setParam(ParamAddress(bank, t, k, 2), long(in.displayFormat(k)));
        api.setParam(ParamAddress(bank, t, k, 3), fromLatin1(in.remoteNumber(k)));
    }
}

} // namespace

bool loadBankFile(KeyboardSim& keyboard, const std::string& path, std::string& error)
{
    RemoteMemAPI api;
    QString message;
    if (!EditorFile::load(&api, kStoredBank, QString::fromStdString(path), true, &message)) {
        error = "cannot load \"" + path + "\": " + message.toStdString();
        return false;
    }
    for (int t = 0; t < kTemplateCount; ++t) {
        keyboard.setStored(t, readTemplate(api, kStoredBank, t));
        keyboard.setEditBuffer(t, readTemplate(api, kEditBank, t));
    }
    keyboard.setCurrentTemplate(api.getParam(ParamAddress(kEditBank, 52, -1, -1)).getCurrentValue());
    keyboard.setBankEditFlag(0);
    for (int t = 0; t < kTemplateCount; ++t) {
        if (!(keyboard.stored(t) == keyboard.editBuffer(t))) {
            keyboard.setBankEditFlag(1);
            break;
        }
    }
    return true;
}

bool saveBankFile(const KeyboardSim& keyboard, const std::string& path, std::string& error)
{
    RemoteMemAPI api;
    api.denyToRaiseFileEditFlag();
    for (int t = 0; t < kTemplateCount; ++t) {
        writeTemplate(api, kStoredBank, t, keyboard.stored(t));
        writeTemplate(api, kEditBank, t, keyboard.editBuffer(t));
    }
    api.setParam(ParamAddress(kEditBank, 52, -1, -1), long(keyboard.currentTemplate()));
    QString message;
    if (!EditorFile::save(&api, kStoredBank, QString::fromStdString(path), &message)) {
        error = "cannot save \"" + path + "\": " + message.toStdString();
        return false;
    }
    return true;
}

} // namespace sim
