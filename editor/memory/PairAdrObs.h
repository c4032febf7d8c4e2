#pragma once
// One registration: the observer and the address it watches. The address
// belongs to the observing side, so re-addressing it changes what is watched
// without registering again.

#include "editor/memory/ParamAddress.h"

class MemChangeObserver;

class PairAdrObs {
public:
    PairAdrObs() = default;
    PairAdrObs(ParamAddress* address, MemChangeObserver* observer);
    virtual ~PairAdrObs();
    PairAdrObs(const PairAdrObs&) = default;
    PairAdrObs& operator=(const PairAdrObs&) = default;

    // A copy of the watched address; (-1,-1,-1,-1) when there is none.
    ParamAddress getParamAddress() const;
    // Overwrites the watched address in place.
    void setParamAddress(const ParamAddress& address);
    const ParamAddress* addressObject() const { return m_address; }
    void setAddressObject(ParamAddress* address) { m_address = address; }

    MemChangeObserver* getObserver() const { return m_observer; }
    void setObserver(MemChangeObserver* observer) { m_observer = observer; }

private:
    ParamAddress* m_address = nullptr;
    MemChangeObserver* m_observer = nullptr;
};
