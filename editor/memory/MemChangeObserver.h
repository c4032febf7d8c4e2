#pragma once
// Everything that wants to hear about changes of the template memory.

class RemoteMemAPI;

class MemChangeObserver {
public:
    MemChangeObserver() = default;
    // Unregisters from the API it was registered with, so a destroyed observer
    // is never called.
    virtual ~MemChangeObserver();
    MemChangeObserver(const MemChangeObserver&) = delete;
    MemChangeObserver& operator=(const MemChangeObserver&) = delete;

    // Called, with the memory lock held and on the writing thread, when a
    // watched value may have changed. Must not block.
    virtual void paramUpdate() = 0;

    void setMemAPI(RemoteMemAPI* api) { m_memAPI = api; }
    RemoteMemAPI* getMemAPI() const { return m_memAPI; }

protected:
    // Removes every registration of this observer now; derived classes call it
    // first thing in their destructor so no notification reaches a half-
    // destroyed object.
    void unregisterFromMemAPI();

private:
    RemoteMemAPI* m_memAPI = nullptr;
};
