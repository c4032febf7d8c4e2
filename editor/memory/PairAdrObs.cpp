#include "editor/memory/PairAdrObs.h"

PairAdrObs::PairAdrObs(ParamAddress* address, MemChangeObserver* observer)
    : m_address(address)
    , m_observer(observer)
{
}

PairAdrObs::~PairAdrObs() = default;

ParamAddress PairAdrObs::getParamAddress() const
{
    return m_address ? *m_address : ParamAddress();
}

void PairAdrObs::setParamAddress(const ParamAddress& address)
{
    if (m_address) {
        // Keep the observing side's name table; only the components move.
        AddressTransTable* table = m_address->getAddressTransTable();
        *m_address = address;
        m_address->setAddressTransTable(table);
    }
}
