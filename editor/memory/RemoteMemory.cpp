#include "editor/memory/RemoteMemory.h"

#include <climits>
#include <utility>

namespace {
bool fitsInt(long value)
{
    return value >= long(INT_MIN) && value <= long(INT_MAX);
}
} // namespace

RemoteMemory::RemoteMemory()
    : m_fileEditFlag(0, 1, 0)
    , m_libraryEditFlag(0, 1, 0)
    , m_bankEditFlag(0, 1, 0)
    , m_online(0, 1, 0)
{
    m_banks.reserve(FullBankCount);
    createBank();
    for (int i = 1; i < InitialBankCount; ++i) {
        const int index = createBank();
        m_banks[std::size_t(index)]->setBankAvailableFlag(0);
    }
}

RemoteMemory::~RemoteMemory() = default;

int RemoteMemory::createBank()
{
    m_banks.push_back(std::make_unique<BankData>(1));
    return int(m_banks.size()) - 1;
}

BankData* RemoteMemory::getBank(int i)
{
    return isValidBankIndex(i) ? m_banks[std::size_t(i)].get() : nullptr;
}

const BankData* RemoteMemory::getBank(int i) const
{
    return isValidBankIndex(i) ? m_banks[std::size_t(i)].get() : nullptr;
}

bool RemoteMemory::setBank(const BankData& bank, int i)
{
    BankData* target = getBank(i);
    if (!target)
        return false;
    if (target != &bank)
        *target = bank;
    target->setBankAvailableFlag(1);
    return true;
}

bool RemoteMemory::copyBank(int src, int dst)
{
    const BankData* source = getBank(src);
    if (!source || !isValidBankIndex(dst))
        return false;
    return setBank(*source, dst);
}

bool RemoteMemory::copyTemplate(int srcBank, int srcTemplate, int dstBank, int dstTemplate)
{
    BankData* source = getBank(srcBank);
    BankData* target = getBank(dstBank);
    if (!source || !target || !isValidTemplateIndex(srcTemplate) || !isValidTemplateIndex(dstTemplate))
        return false;
    return target->setTemplate(*source->getTemplate(srcTemplate), dstTemplate);
}

bool RemoteMemory::exchangeTemplate(int bankA, int templateA, int bankB, int templateB)
{
    BankData* a = getBank(bankA);
    BankData* b = getBank(bankB);
    if (!a || !b || !isValidTemplateIndex(templateA) || !isValidTemplateIndex(templateB))
        return false;
    ControlTemplateData* ta = a->getTemplate(templateA);
    ControlTemplateData* tb = b->getTemplate(templateB);
    if (*ta == *tb)
        return false;
    std::swap(*ta, *tb);
    return true;
}

bool RemoteMemory::exchangeController(int bankA, int templateA, int knobA, int bankB, int templateB, int knobB)
{
    BankData* a = getBank(bankA);
    BankData* b = getBank(bankB);
    if (!a || !b || !isValidTemplateIndex(templateA) || !isValidTemplateIndex(templateB)
        || !isValidControllerIndex(knobA) || !isValidControllerIndex(knobB))
        return false;
    ControlTemplateData* ta = a->getTemplate(templateA);
    ControlTemplateData* tb = b->getTemplate(templateB);
    const ControllerData ka = ta->getController(knobA);
    const ControllerData kb = tb->getController(knobB);
    if (ka == kb)
        return false;
    ta->setController(kb, knobA);
    tb->setController(ka, knobB);
    return true;
}

ControlTemplateData RemoteMemory::getTemplateData(int bank, int templ) const
{
    const BankData* b = getBank(bank);
    if (!b)
        return ControlTemplateData();
    return b->getCopiedTemplate(templ);
}

ControlTemplateData RemoteMemory::makeInitialTemplate() const
{
    // Only the knob assignments of the preset bank's last template are kept:
    // names are empty and the control type is a fresh parameter.
    ControlTemplateData initial;
    const BankData* preset = getBank(PresetBank);
    if (!preset)
        return initial;
    const ControlTemplateData* source = preset->getTemplate(ParamAddress::TemplateCount - 1);
    for (int k = 0; k < ParamAddress::ControllerCount; ++k)
        initial.setController(source->getController(k), k);
    return initial;
}

void RemoteMemory::initializeInitialTemplate()
{
    m_initialTemplate = makeInitialTemplate();
}

bool RemoteMemory::initializeTemplate(int bank, int templ)
{
    BankData* b = getBank(bank);
    return b ? b->setTemplate(m_initialTemplate, templ) : false;
}

bool RemoteMemory::setBankAvailableFlag(int flag, int bank)
{
    BankData* b = getBank(bank);
    return b ? b->setBankAvailableFlag(flag) : false;
}

int RemoteMemory::getBankAvailableFlag(int bank) const
{
    const BankData* b = getBank(bank);
    return b ? b->getBankAvailableFlag() : 0;
}

bool RemoteMemory::setParam(const ParamAddress& address, long value)
{
    // A value that does not even fit the cell is out of every range.
    if (!fitsInt(value))
        return false;
    const int v = int(value);
    if (address.isBankParam()) {
        BankData* b = getBank(address.bank());
        return b ? b->setParam(address, v) : false;
    }
    switch (address.bank()) {
    case ParamAddress::BankOnline:
        return m_online.setCurrentValue(v);
    case ParamAddress::BankFileEditFlag:
        return m_fileEditFlag.setCurrentValue(v);
    case ParamAddress::BankLibraryEditFlag:
        return m_libraryEditFlag.setCurrentValue(v);
    case ParamAddress::BankBankEditFlag:
        return m_bankEditFlag.setCurrentValue(v);
    default:
        return false;
    }
}

bool RemoteMemory::setParam(const ParamAddress& address, const QString& text)
{
    if (address.isFileNameAdr()) {
        // Naming the file again counts as a change: the title and the recent
        // list are refreshed on every save.
        m_fileName = text;
        return true;
    }
    if (!address.isBankParam() || !address.isBankParamAdr())
        return false;
    BankData* b = getBank(address.bank());
    return b ? b->setParam(address, text) : false;
}

NumericParameter RemoteMemory::getParam(const ParamAddress& address) const
{
    switch (address.bank()) {
    case ParamAddress::BankOnline:
        return m_online;
    case ParamAddress::BankFileEditFlag:
        return m_fileEditFlag;
    case ParamAddress::BankLibraryEditFlag:
        return m_libraryEditFlag;
    case ParamAddress::BankBankEditFlag:
        return m_bankEditFlag;
    default:
        break;
    }
    const BankData* b = getBank(address.bank());
    return b ? b->getParam(address) : NumericParameter();
}

QString RemoteMemory::getParamQString(const ParamAddress& address) const
{
    if (address.isFileNameAdr())
        return m_fileName;
    const BankData* b = getBank(address.bank());
    return b ? b->getParamQString(address) : QString();
}

bool RemoteMemory::setONLINEstate(long state)
{
    return fitsInt(state) && m_online.setCurrentValue(int(state));
}
