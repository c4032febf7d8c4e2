#include "editor/file/EditorFile.h"

#include "editor/app/EditorConstants.h"
#include "editor/file/EditorData.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QDomDocument>
#include <QDomImplementation>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

const char* const EditorFile::MsgFileNotFound = "File was not found.";
const char* const EditorFile::MsgFileNotOpened = "File could not be opened.";
const char* const EditorFile::MsgParseError = "Parse error at line %1. (";
const char* const EditorFile::MsgNotEditorFile = "File is not an editor file.";
const char* const EditorFile::MsgRootTagDifferent = "Root tag ID name is different.";
const char* const EditorFile::MsgWrongVersion = "It doesn't correspond to this version.";
const char* const EditorFile::MsgParameterNotFound = "Parameter is not found.";
const char* const EditorFile::MsgWriteFailed = "Failed in the file writing.";

namespace {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

// The save area (banks 6 and 7) must exist for a load to be undoable; an API
// that has not grown its working banks yet gets them here.
void ensureSaveArea(RemoteMemAPI* api)
{
    while (api->getQuantityOfBank() <= RemoteMemory::SaveAreaEditBank) {
        const int before = api->getQuantityOfBank();
        api->createBank();
        if (api->getQuantityOfBank() <= before)
            break;
    }
}

bool isLoadableBank(RemoteMemAPI* api, int bank)
{
    // The save area itself cannot be loaded into: it is what undoes the load.
    return bank >= 0 && bank < api->getQuantityOfBank() && bank != RemoteMemory::SaveAreaBank
        && bank != RemoteMemory::SaveAreaEditBank;
}

// Evacuation and restore copy whole banks, which marks them available; the
// flags are put back so that a failed load changes nothing at all.
struct AvailableFlags {
    int target;
    int current;
};

// The root's version as a number no newer than ours.
bool isReadableVersion(const QDomElement& root)
{
    if (!root.hasAttribute(QLatin1String(AttributeVersion)))
        return false;
    bool numeric = false;
    const double version = root.attribute(QLatin1String(AttributeVersion)).toDouble(&numeric);
    return numeric && std::isfinite(version) && version <= FileVersionNumber;
}

} // namespace

bool EditorFile::save(RemoteMemAPI* api, int bank, const QString& path, QString* error)
{
    QFile file(path);
    return save(api, bank, &file, error);
}

bool EditorFile::save(RemoteMemAPI* api, int bank, QFile* file, QString* error)
{
    if (!api || !file || file->fileName().isEmpty() || bank < 0 || bank >= api->getQuantityOfBank()) {
        setError(error, QString::fromLatin1(MsgWriteFailed));
        return false;
    }

    QDomImplementation impl;
    QDomDocument doc(impl.createDocumentType(QString::fromLatin1(DocType), QString(), QString()));
    QDomElement root = EditorData::getBankDomElement(api, doc, bank, QLatin1String(TagEditorBank), true);
    root.setAttribute(QLatin1String(AttributeVersion), QLatin1String(FileVersion));
    doc.appendChild(root);
    const QByteArray bytes = doc.toByteArray(4);

    // Written beside the target and moved over it only when complete, so a
    // full disk or a crash never leaves the user with half a bank.
    if (file->isOpen())
        file->close();
    QSaveFile out(file->fileName());
    if (!out.open(QIODevice::WriteOnly)) {
        setError(error, QString::fromLatin1(MsgWriteFailed));
        return false;
    }
    if (out.write(bytes) != bytes.size() || !out.commit()) {
        out.cancelWriting();
        setError(error, QString::fromLatin1(MsgWriteFailed));
        return false;
    }
    return true;
}

bool EditorFile::load(RemoteMemAPI* api, int bank, const QString& path, bool editBuffer, QString* error)
{
    QFile file(path);
    return load(api, bank, &file, editBuffer, error);
}

bool EditorFile::load(RemoteMemAPI* api, int bank, QFile* file, bool editBuffer, QString* error)
{
    if (!api || !file) {
        setError(error, QString::fromLatin1(MsgFileNotOpened));
        return false;
    }
    const QFileInfo info(file->fileName());
    if (file->fileName().isEmpty() || !info.exists()) {
        setError(error, QString::fromLatin1(MsgFileNotFound));
        return false;
    }
    if (file->isOpen())
        file->close();
    if (info.isDir() || info.size() > MaxFileSize || !file->open(QIODevice::ReadOnly)) {
        setError(error, QString::fromLatin1(MsgFileNotOpened));
        return false;
    }

    // The document is checked before memory is touched: a file that is not a
    // bank of ours changes nothing and disturbs no observer.
    QString message;
    QDomDocument doc;
    {
        QString parserText;
        int line = 0;
        const QByteArray bytes = file->read(MaxFileSize + 1);
        const bool readFailed = file->error() != QFileDevice::NoError;
        file->close();
        if (readFailed || bytes.size() > MaxFileSize)
            message = QString::fromLatin1(MsgFileNotOpened);
        else if (!EditorData::parseDocument(bytes, &doc, &parserText, &line))
            message = QString::fromLatin1(MsgParseError).arg(line) + parserText + QLatin1Char(')');
        else if (doc.doctype().name() != QLatin1String(DocType))
            message = QString::fromLatin1(MsgNotEditorFile);
        else if (doc.documentElement().tagName() != QLatin1String(TagEditorBank))
            message = QString::fromLatin1(MsgRootTagDifferent);
        else if (!isReadableVersion(doc.documentElement()))
            message = QString::fromLatin1(MsgWrongVersion);
    }
    if (!message.isEmpty()) {
        setError(error, message);
        return false;
    }
    const QDomElement root = doc.documentElement();

    // The values are read under one hold of the memory lock, so values
    // arriving from the keyboard meanwhile neither mix with the file nor get
    // lost by a restore.
    std::lock_guard lock(api->memoryLock());
    ensureSaveArea(api);
    if (!isLoadableBank(api, bank)) {
        setError(error, QString::fromLatin1(MsgFileNotOpened));
        return false;
    }
    const AvailableFlags flags{api->getBankAvailableFlag(bank),
                               api->getBankAvailableFlag(RemoteMemory::CurrentBank)};

    api->setAllowToSendSysExFlag(false);
    api->denyToRaiseFileEditFlag();
    api->evacuateSpecificBankAndEditBuff(bank);

    const QString docType = QString::fromLatin1(DocType);
    if (editBuffer) {
        bool ok = EditorData::setBankDomElement(api, root, bank, docType, false, QString());
        if (ok) {
            const QDomElement bankInfo = root.firstChildElement(QLatin1String(TagBankInfo));
            ok = EditorData::setNumericParamFromDomElement(
                api, bankInfo, QLatin1String(TagCurrentTemplateNumber),
                ParamAddress(RemoteMemory::CurrentBank, ParamAddress::TemplateCurrentTemplateNumber,
                             ParamAddress::None, ParamAddress::None));
        }
        if (!ok)
            message = QString::fromLatin1(MsgParameterNotFound);
        if (!EditorData::setBankDomElement(api, root, RemoteMemory::CurrentBank, docType, true, QString()))
            message = QString::fromLatin1(MsgParameterNotFound);
    } else if (!EditorData::setBankDomElement(api, root, bank, docType, false, QString())) {
        message = QString::fromLatin1(MsgParameterNotFound);
    }

    api->allowToRaiseFileEditFlag();

    if (!message.isEmpty()) {
        setError(error, message);
        api->denyToRaiseFileEditFlag();
        api->restoreSpecificBankAndEditBuff(bank);
        api->setBankAvailableFlag(flags.target, bank);
        api->setBankAvailableFlag(flags.current, RemoteMemory::CurrentBank);
        api->allowToRaiseFileEditFlag();
        api->setAllowToSendSysExFlag(true);
        return false;
    }
    api->setAllowToSendSysExFlag(true);
    return true;
}
