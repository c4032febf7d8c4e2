#pragma once
// One synchronisation run with the keyboard, without any widget: receive the
// keyboard's templates, then either adopt them (the keyboard's data wins) or
// send the editor's current bank back (the editor's data wins). Only a
// successful run sets the on-line state. The AutoSync dialog drives one of
// these and shows its phase, progress and outcome; the command-line companion
// drives one directly.
//
// Lives on the thread that runs the event loop (the user interface thread);
// the memory API's completion signals reach it queued from the MIDI side.

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class RemoteMemAPI;

class KeyboardSync : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Receiving, Sending, Succeeded, Failed };
    enum class Failure { None, NoRoute, RequestNotSent, ReceiveTimedOut, SendTimedOut, Cancelled };

    static constexpr int kReceiveTimeoutMs = 60000;
    static constexpr int kSendTimeoutMs = 100000;
    static constexpr int kProgressPeriodMs = 100;

    explicit KeyboardSync(RemoteMemAPI* api, QObject* parent = nullptr);
    ~KeyboardSync() override;

    void setTimeouts(int receiveMs, int sendMs);

    // Starts a run on the route the API has open. False (and nothing started)
    // while a run is under way. A run whose request cannot even be sent ends
    // at once, with finished() emitted before start() returns.
    bool start(bool sendEditorData, bool editBuffersOnly);
    // Ends a run under way as failed (Failure::Cancelled); the queue and the
    // counters are cleared as for a time-out.
    void cancel();

    bool isRunning() const { return m_phase == Phase::Receiving || m_phase == Phase::Sending; }
    Phase phase() const { return m_phase; }
    Failure failure() const { return m_failure; }
    // What the user is told: "Receiving", "Sending", or why the run failed.
    QString message() const { return m_message; }
    static QString failureText(Failure failure);

    // Templates done and expected in the present phase (0 and 0 when the
    // route's decoder cannot tell).
    int done() const { return m_done; }
    int total() const { return m_total; }

signals:
    void phaseChanged(KeyboardSync::Phase phase);
    void progress(int done, int total);
    void finished(bool succeeded);

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void bulkReceived();
    void bulkSended();

private:
    void bulkReceive();
    void bulkSend(bool editBuffersOnly);
    void bulkError(Failure failure);
    void syncSucceeded();
    void setPhase(Phase phase, const QString& message);
    void updateProgress();
    int outstanding() const;

    RemoteMemAPI* m_api;
    bool m_sendEditorData = false;
    bool m_editBuffersOnly = false;
    bool m_receiving = false;
    bool m_sending = false;
    Phase m_phase = Phase::Idle;
    Failure m_failure = Failure::None;
    QString m_message;
    int m_receiveTimeoutMs = kReceiveTimeoutMs;
    int m_sendTimeoutMs = kSendTimeoutMs;
    QBasicTimer m_timeout;
    QBasicTimer m_progressTimer;
    int m_done = 0;
    int m_total = 0;
};
