#pragma once
// Listens on the keyboard's first port, which carries its active sensing:
// drops the on-line state when a whole period passes without any event, and
// reports the port as active when active sensing is heard while off-line.
// Process runs on the port's pump thread, the timer on the thread the
// watcher lives in (the user interface thread).

#include <QObject>

#include <atomic>

#include "editor/protocol/MessageProcessor.h"

class ConnectionWatcher : public QObject, public MessageProcessor {
    Q_OBJECT
public:
    static constexpr int kFilterType = 0;
    static constexpr int kDefaultPeriodMs = 5000;

    ConnectionWatcher(int port, RemoteMemAPI* api, int filterType = kFilterType,
                      int periodMs = kDefaultPeriodMs);
    ~ConnectionWatcher() override;

    bool Process(tagMPEVENT& event) override;
    int periodMs() const { return m_periodMs; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::atomic<bool> m_heard{false};
    int m_periodMs;
    int m_timerId = 0;
};
