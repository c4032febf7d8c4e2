#pragma once
// Carries a proxy's change notification from another thread to the thread
// that made the proxy (the user interface thread).

#include <QObject>
#include <atomic>

class MemProxy;

class MemProxyEventObject : public QObject {
    Q_OBJECT
public:
    explicit MemProxyEventObject(MemProxy* proxy);
    ~MemProxyEventObject() override;

    // Asks for one refresh on this object's thread. While one is still
    // waiting, further requests join it: the refresh reads the latest value.
    void requestRefresh();

signals:
    void paramUpdateSignal();

public slots:
    void paramUpdateSlot();

private:
    MemProxy* m_proxy;
    std::atomic<bool> m_refreshPending{false};
};
