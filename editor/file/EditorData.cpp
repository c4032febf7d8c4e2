#include "editor/file/EditorData.h"

#include "editor/app/EditorConstants.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QDomDocumentType>
#include <QDomImplementation>
#include <QHash>
#include <QXmlStreamReader>

#include <optional>

namespace {

constexpr int TemplateCount = ParamAddress::TemplateCount;
constexpr int KnobCount = ParamAddress::ControllerCount;

QString tagOr(const QString& tag, const char* fallback)
{
    return tag.isEmpty() ? QString::fromLatin1(fallback) : tag;
}

ParamAddress templateAddress(int bank, int templ, int controller)
{
    return ParamAddress(bank, templ, controller, ParamAddress::None);
}

ParamAddress knobAddress(int bank, int templ, int knob, int parameter)
{
    return ParamAddress(bank, templ, knob, parameter);
}

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Unsigned 32-bit number from digits of the given base; nothing else is
// accepted (no sign, no blanks, no prefix).
std::optional<quint32> parseUnsigned32(QStringView text, int base)
{
    if (text.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : text) {
        const int digit = digitValue(c);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * quint64(base) + quint64(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return quint32(value);
}

// The first child element of each name, found in one pass: reading looks up
// every expected element by name, and a hostile file may hold a great many
// siblings.
class FirstChildren {
public:
    explicit FirstChildren(const QDomElement& parent)
    {
        for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            const QString name = e.tagName();
            if (!m_children.contains(name))
                m_children.insert(name, e);
        }
    }
    QDomElement operator[](const QString& name) const { return m_children.value(name); }

private:
    QHash<QString, QDomElement> m_children;
};

void writeText(RemoteMemAPI* api, const QDomElement& child, const ParamAddress& address)
{
    QString text = child.text();
    if (address.isControllerAdr() && address.isRemoteTagIDAdr())
        text = text.toLower();
    api->setParam(address, text);
}

void writeNumber(RemoteMemAPI* api, const QDomElement& child, const ParamAddress& address)
{
    // Text that is not a number writes 0, which memory may refuse.
    api->setParam(address, long(child.text().toInt()));
}

bool readText(RemoteMemAPI* api, const FirstChildren& children, const char* tag, const ParamAddress& address)
{
    const QDomElement child = children[QLatin1String(tag)];
    if (child.isNull())
        return false;
    writeText(api, child, address);
    return true;
}

bool readNumber(RemoteMemAPI* api, const FirstChildren& children, const char* tag, const ParamAddress& address)
{
    const QDomElement child = children[QLatin1String(tag)];
    if (child.isNull())
        return false;
    writeNumber(api, child, address);
    return true;
}

QDomDocument documentOfType(const char* docType)
{
    QDomImplementation impl;
    return QDomDocument(impl.createDocumentType(QString::fromLatin1(docType), QString(), QString()));
}

} // namespace

// ---- One value ---------------------------------------------------------------

void EditorData::getStringParamToDomElement(RemoteMemAPI* api, QDomDocument& doc, QDomElement& parent,
                                            const QString& tag, const ParamAddress& address)
{
    QDomElement child = doc.createElement(tag);
    const QString value = api->getParamQString(address);
    if (!value.isEmpty())
        child.appendChild(doc.createTextNode(value));
    parent.appendChild(child);
}

void EditorData::getNumericParamToDomElement(RemoteMemAPI* api, QDomDocument& doc, QDomElement& parent,
                                             const QString& tag, const ParamAddress& address)
{
    QDomElement child = doc.createElement(tag);
    child.appendChild(doc.createTextNode(QString::number(api->getParam(address).getCurrentValue())));
    parent.appendChild(child);
}

bool EditorData::setStringParamFromDomElement(RemoteMemAPI* api, const QDomElement& parent,
                                              const QString& tag, const ParamAddress& address)
{
    const QDomElement child = parent.firstChildElement(tag);
    if (child.isNull())
        return false;
    writeText(api, child, address);
    return true;
}

bool EditorData::setNumericParamFromDomElement(RemoteMemAPI* api, const QDomElement& parent,
                                               const QString& tag, const ParamAddress& address)
{
    const QDomElement child = parent.firstChildElement(tag);
    if (child.isNull())
        return false;
    writeNumber(api, child, address);
    return true;
}

// ---- Memory -> elements ------------------------------------------------------

QDomElement EditorData::getControllerDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank, int templ,
                                                int knob, const QString& tag)
{
    QDomElement e = doc.createElement(tagOr(tag, TagController));
    getStringParamToDomElement(api, doc, e, QLatin1String(TagControllerDisplayName),
                               knobAddress(bank, templ, knob, ParamAddress::ParamDisplayName));
    getNumericParamToDomElement(api, doc, e, QLatin1String(TagControllerCCNumber),
                                knobAddress(bank, templ, knob, ParamAddress::ParamCCNumber));
    getNumericParamToDomElement(api, doc, e, QLatin1String(TagControllerDisplayFormat),
                                knobAddress(bank, templ, knob, ParamAddress::ParamDisplayFormat));
    getStringParamToDomElement(api, doc, e, QLatin1String(TagControllerRemoteNumber),
                               knobAddress(bank, templ, knob, ParamAddress::ParamRemoteTagID));
    return e;
}

QDomElement EditorData::getTemplateDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank, int templ,
                                              const QString& tag)
{
    QDomElement e = doc.createElement(tagOr(tag, TagTemplate));
    getStringParamToDomElement(api, doc, e, QLatin1String(TagTemplateName),
                               templateAddress(bank, templ, ParamAddress::ControllerTemplateName));
    getStringParamToDomElement(api, doc, e, QLatin1String(TagTemplateVSTiName),
                               templateAddress(bank, templ, ParamAddress::ControllerVSTiName));
    getNumericParamToDomElement(api, doc, e, QLatin1String(TagTemplateControlType),
                                templateAddress(bank, templ, ParamAddress::ControllerControlType));
    for (int k = 0; k < KnobCount; ++k)
        e.appendChild(getControllerDomElement(api, doc, bank, templ, k, QLatin1String(TagKnobNames[k])));
    return e;
}

QDomElement EditorData::getBankDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank, const QString& tag,
                                          bool withEditBuffer)
{
    QDomElement root = doc.createElement(tagOr(tag, TagEditorBank));
    // One lock for the whole bank, so the file shows one moment of memory
    // even while the keyboard is sending.
    std::lock_guard lock(api->memoryLock());
    for (int t = 0; t < TemplateCount; ++t)
        root.appendChild(getTemplateDomElement(api, doc, bank, t, QString::fromLatin1(TagTemplateNumber).arg(t + 1)));
    if (withEditBuffer) {
        for (int t = 0; t < TemplateCount; ++t)
            root.appendChild(getTemplateDomElement(api, doc, RemoteMemory::CurrentBank, t,
                                                   QString::fromLatin1(TagEditBuffTemplateNumber).arg(t + 1)));
        QDomElement info = doc.createElement(QLatin1String(TagBankInfo));
        getNumericParamToDomElement(api, doc, info, QLatin1String(TagCurrentTemplateNumber),
                                    ParamAddress(RemoteMemory::CurrentBank,
                                                 ParamAddress::TemplateCurrentTemplateNumber,
                                                 ParamAddress::None, ParamAddress::None));
        root.appendChild(info);
    }
    return root;
}

// ---- Elements -> memory ------------------------------------------------------

bool EditorData::setControllerDomElement(RemoteMemAPI* api, const QDomElement& element, int bank, int templ,
                                         int knob, const QString& /*docType*/, const QString& tag)
{
    if (element.isNull())
        return false;
    if (!tag.isEmpty() && element.tagName() != tag)
        return false;
    // Every value is attempted, even after one is missing.
    const FirstChildren children(element);
    bool complete = true;
    complete &= readText(api, children, TagControllerDisplayName,
                         knobAddress(bank, templ, knob, ParamAddress::ParamDisplayName));
    complete &= readNumber(api, children, TagControllerCCNumber,
                           knobAddress(bank, templ, knob, ParamAddress::ParamCCNumber));
    complete &= readNumber(api, children, TagControllerDisplayFormat,
                           knobAddress(bank, templ, knob, ParamAddress::ParamDisplayFormat));
    complete &= readText(api, children, TagControllerRemoteNumber,
                         knobAddress(bank, templ, knob, ParamAddress::ParamRemoteTagID));
    return complete;
}

bool EditorData::setTemplateDomElement(RemoteMemAPI* api, const QDomElement& element, int bank, int templ,
                                       const QString& docType, const QString& tag)
{
    if (element.isNull())
        return false;
    if (!tag.isEmpty() && element.tagName() != tag)
        return false;
    const FirstChildren children(element);
    bool complete = true;
    complete &= readText(api, children, TagTemplateName,
                         templateAddress(bank, templ, ParamAddress::ControllerTemplateName));
    complete &= readText(api, children, TagTemplateVSTiName,
                         templateAddress(bank, templ, ParamAddress::ControllerVSTiName));
    complete &= readNumber(api, children, TagTemplateControlType,
                           templateAddress(bank, templ, ParamAddress::ControllerControlType));
    for (int k = 0; k < KnobCount; ++k) {
        const QDomElement knob = children[QLatin1String(TagKnobNames[k])];
        complete &= setControllerDomElement(api, knob, bank, templ, k, docType, QString());
    }
    return complete;
}

bool EditorData::setBankDomElement(RemoteMemAPI* api, const QDomElement& element, int bank,
                                   const QString& docType, bool editBuffer, const QString& tag)
{
    if (element.isNull())
        return false;
    if (!tag.isEmpty() && element.tagName() != tag)
        return false;
    if (docType != QLatin1String(DocType))
        return true;
    const QString pattern = QString::fromLatin1(editBuffer ? TagEditBuffTemplateNumber : TagTemplateNumber);
    std::lock_guard lock(api->memoryLock());
    const FirstChildren children(element);
    bool complete = true;
    for (int i = 1; i <= TemplateCount; ++i) {
        const QDomElement t = children[pattern.arg(i)];
        complete &= setTemplateDomElement(api, t, bank, i - 1, docType, QString());
    }
    return complete;
}

// ---- Clipboard and drag documents ------------------------------------------

QDomDocument EditorData::getTemplateDocument(RemoteMemAPI* api, int bank, int templ)
{
    QDomDocument doc = documentOfType(TemplateDocType);
    QDomElement root = getTemplateDomElement(api, doc, bank, templ, QLatin1String(TagTemplate));
    root.setAttribute(QLatin1String(AttributeTemplateNumber), templ);
    root.setAttribute(QLatin1String(AttributeBankNumber), bank);
    doc.appendChild(root);
    return doc;
}

QDomDocument EditorData::getKnobDocument(RemoteMemAPI* api, int templ, int knob)
{
    QDomDocument doc = documentOfType(KnobDocType);
    QDomElement root = getControllerDomElement(api, doc, RemoteMemory::CurrentBank, templ, knob,
                                               QLatin1String(TagController));
    root.setAttribute(QLatin1String(AttributeKnobNumber), knob);
    doc.appendChild(root);
    return doc;
}

QByteArray EditorData::getTemplateMimeData(RemoteMemAPI* api, int bank, int templ)
{
    return getTemplateDocument(api, bank, templ).toByteArray(1);
}

QByteArray EditorData::getKnobMimeData(RemoteMemAPI* api, int templ, int knob)
{
    return getKnobDocument(api, templ, knob).toByteArray(1);
}

namespace {

int intAttribute(const QDomElement& root, const char* name)
{
    if (root.isNull() || !root.hasAttribute(QLatin1String(name)))
        return -1;
    bool ok = false;
    const int value = root.attribute(QLatin1String(name)).trimmed().toInt(&ok);
    return ok ? value : -1;
}

bool parseRoot(const QByteArray& data, QDomElement* root)
{
    QDomDocument doc;
    if (!EditorData::parseDocument(data, &doc))
        return false;
    *root = doc.documentElement();
    return !root->isNull();
}

} // namespace

int EditorData::getTemplateNumberAttribute(const QDomElement& root)
{
    return intAttribute(root, AttributeTemplateNumber);
}

int EditorData::getBankNumberAttribute(const QDomElement& root)
{
    return intAttribute(root, AttributeBankNumber);
}

int EditorData::getKnobNumberAttribute(const QDomElement& root)
{
    const int knob = intAttribute(root, AttributeKnobNumber);
    return (knob >= 0 && knob < KnobCount) ? knob : -1;
}

bool EditorData::pasteTemplateMimeData(RemoteMemAPI* api, const QByteArray& data, int bank, int templ,
                                       int* sourceTemplate, int* sourceBank)
{
    QDomElement root;
    const bool parsed = parseRoot(data, &root);
    if (sourceTemplate)
        *sourceTemplate = parsed ? getTemplateNumberAttribute(root) : -1;
    if (sourceBank)
        *sourceBank = parsed ? getBankNumberAttribute(root) : -1;
    if (!parsed)
        return false;
    return setTemplateDomElement(api, root, bank, templ, QLatin1String(DocType), QString());
}

bool EditorData::pasteKnobMimeData(RemoteMemAPI* api, const QByteArray& data, int templ, int knob,
                                   int* sourceKnob)
{
    QDomElement root;
    const bool parsed = parseRoot(data, &root);
    if (sourceKnob)
        *sourceKnob = parsed ? getKnobNumberAttribute(root) : -1;
    if (!parsed)
        return false;
    return setControllerDomElement(api, root, RemoteMemory::CurrentBank, templ, knob,
                                   QLatin1String(DocType), QString());
}

// ---- Parsing -------------------------------------------------------------------

bool EditorData::parseDocument(const QByteArray& data, QDomDocument* doc, QString* errorText, int* errorLine)
{
    // A streaming pass first: it needs no memory per level, so depth can be
    // checked before the tree (whose building and freeing recurse) exists.
    QXmlStreamReader scan(data);
    scan.setNamespaceProcessing(true);
    int depth = 0;
    while (!scan.atEnd()) {
        const QXmlStreamReader::TokenType token = scan.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > MaxElementDepth) {
            if (errorText)
                *errorText = QStringLiteral("elements are nested too deeply");
            if (errorLine)
                *errorLine = int(scan.lineNumber());
            return false;
        }
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    // Syntax errors are left to the tree parser, which reports them itself.
    int column = 0;
    int line = 0;
    QString text;
    if (!doc->setContent(data, true, &text, &line, &column)) {
        if (errorText)
            *errorText = text;
        if (errorLine)
            *errorLine = line;
        return false;
    }
    return true;
}

// ---- Remote numbers ----------------------------------------------------------

QString EditorData::translatePellremoteparam2Sremoteparam(const QString& pell)
{
    const QString padded = pell.rightJustified(11, QLatin1Char('0'));
    const quint32 value = parseUnsigned32(QStringView(padded).right(10), 10).value_or(0);
    return padded.left(1) + QString::number(value, 16).rightJustified(8, QLatin1Char('0'));
}

QString EditorData::translateSremoteparam2Pellremoteparam(const QString& s)
{
    const quint32 value = getRemoteParamContentsFromSRemoteStringParam(s);
    return s.left(1) + QString::number(value).rightJustified(10, QLatin1Char('0'));
}

quint32 EditorData::getRemoteParamContentsFromSRemoteStringParam(const QString& s)
{
    return parseUnsigned32(QStringView(s).right(8), 16).value_or(0);
}

int EditorData::getRemoteParamTypeFromSRemoteStringParam(const QString& s)
{
    return int(parseUnsigned32(QStringView(s).left(1), 16).value_or(0));
}
