#include "editor/protocol/sync/KeyboardSync.h"

#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/MessageDecoder.h"

#include <QSignalBlocker>
#include <QTimerEvent>

namespace {

constexpr int kStoredBank = 2;     // the keyboard's stored templates as received
constexpr int kEditBufferBank = 3; // its edit buffers as received
constexpr int kTemplatesPerBank = 50;

const ParamAddress kCurrentTemplateOfBank0(0, 52, -1, -1);
const ParamAddress kFileEditFlag(-3, -1, -1, -1);

} // namespace

KeyboardSync::KeyboardSync(RemoteMemAPI* api, QObject* parent) : QObject(parent), m_api(api) {}

KeyboardSync::~KeyboardSync()
{
    if (isRunning()) {
        const QSignalBlocker quiet(this);
        bulkError(Failure::Cancelled);
    }
}

void KeyboardSync::setTimeouts(int receiveMs, int sendMs)
{
    m_receiveTimeoutMs = receiveMs > 0 ? receiveMs : kReceiveTimeoutMs;
    m_sendTimeoutMs = sendMs > 0 ? sendMs : kSendTimeoutMs;
}

QString KeyboardSync::failureText(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::NoRoute:
        return QStringLiteral("The keyboard's MIDI ports are not open.");
    case Failure::RequestNotSent:
        return QStringLiteral("The keyboard could not be reached: the request was not sent.");
    case Failure::ReceiveTimedOut:
        return QStringLiteral("The keyboard did not send its templates in time.");
    case Failure::SendTimedOut:
        return QStringLiteral("The keyboard did not take the editor's templates in time.");
    case Failure::Cancelled:
        return QStringLiteral("Synchronisation cancelled.");
    }
    return QString();
}

bool KeyboardSync::start(bool sendEditorData, bool editBuffersOnly)
{
    if (isRunning() || m_api == nullptr) return false;
    m_sendEditorData = sendEditorData;
    m_editBuffersOnly = editBuffersOnly;
    m_failure = Failure::None;
    // Once the keyboard's data has been received in this run of the editor,
    // banks 2 and 3 keep it and later runs only send.
    if (!m_api->getBankAvailableFlag(kStoredBank) && !m_api->getBankAvailableFlag(kEditBufferBank)) {
        bulkReceive();
    } else {
        bulkSend(m_editBuffersOnly);
    }
    return true;
}

void KeyboardSync::cancel()
{
    if (isRunning()) bulkError(Failure::Cancelled);
}

void KeyboardSync::setPhase(Phase phase, const QString& message)
{
    m_phase = phase;
    m_message = message;
    emit phaseChanged(phase);
}

void KeyboardSync::bulkReceive()
{
    m_api->denyToRaiseFileEditFlag();
    m_receiving = true;
    m_api->setBulkReceivePending(true);
    m_total = m_sendEditorData ? kTemplatesPerBank : 2 * kTemplatesPerBank;
    m_done = 0;
    setPhase(Phase::Receiving, QStringLiteral("Receiving"));
    connect(m_api, &RemoteMemAPI::completeBulkReceive, this, &KeyboardSync::bulkReceived, Qt::UniqueConnection);
    m_timeout.start(m_receiveTimeoutMs, this);
    m_progressTimer.start(kProgressPeriodMs, this);
    emit progress(m_done, m_total);
    if (!m_api->sendHardWareDataReq(!m_sendEditorData)) {
        bulkError(m_api->hasEncoder() ? Failure::RequestNotSent : Failure::NoRoute);
    }
}

void KeyboardSync::bulkReceived()
{
    if (!m_receiving) return;
    m_receiving = false;
    disconnect(m_api, &RemoteMemAPI::completeBulkReceive, this, &KeyboardSync::bulkReceived);
    m_timeout.stop();
    m_api->allowToRaiseFileEditFlag();
    m_done = m_total;
    emit progress(m_done, m_total);

    m_api->setBankAvailableFlag(1, kStoredBank);
    m_api->setBankAvailableFlag(1, kEditBufferBank);
    if (m_sendEditorData) {
        bulkSend(m_editBuffersOnly);
        return;
    }
    // Adopt the keyboard's data: its stored templates become the editor
    // backup, its edit buffers the current bank, and the template it shows
    // stays the current one.
    m_api->denyToRaiseFileEditFlag();
    const int shown = m_api->getParam(kCurrentTemplateOfBank0).getCurrentValue();
    m_api->copyBank(kStoredBank, 1);
    m_api->copyBank(kEditBufferBank, 0);
    m_api->setParam(kCurrentTemplateOfBank0, long(shown));
    m_api->allowToRaiseFileEditFlag();
    m_api->setONLINEstate(1);
    if (m_api->isFileOpenRequestExist()) {
        m_api->setFileOpenRequestFlag(false);
    } else {
        // The current bank no longer matches any file.
        m_api->setParam(kFileEditFlag, 1L);
    }
    syncSucceeded();
}

void KeyboardSync::bulkSend(bool editBuffersOnly)
{
    m_api->denyToRaiseFileEditFlag();
    m_sending = true;
    m_api->setBulkTransmitPending(true);
    m_total = editBuffersOnly ? kTemplatesPerBank : 2 * kTemplatesPerBank;
    m_done = 0;
    setPhase(Phase::Sending, QStringLiteral("Sending"));
    connect(m_api, &RemoteMemAPI::completeBulkTransmit, this, &KeyboardSync::bulkSended, Qt::UniqueConnection);
    m_timeout.start(m_sendTimeoutMs, this);
    m_progressTimer.start(kProgressPeriodMs, this);
    emit progress(m_done, m_total);
    if (!m_api->sendEditorAllData(editBuffersOnly)) {
        bulkError(m_api->hasEncoder() ? Failure::RequestNotSent : Failure::NoRoute);
    }
}

void KeyboardSync::bulkSended()
{
    if (!m_sending) return;
    m_api->allowToRaiseFileEditFlag();
    m_sending = false;
    disconnect(m_api, &RemoteMemAPI::completeBulkTransmit, this, &KeyboardSync::bulkSended);
    m_done = m_total;
    emit progress(m_done, m_total);
    m_api->setONLINEstate(1);
    syncSucceeded();
}

void KeyboardSync::syncSucceeded()
{
    m_timeout.stop();
    m_progressTimer.stop();
    m_api->setNeedToWaitAutoSyncDoneFlag(false);
    setPhase(Phase::Succeeded, QString());
    emit finished(true);
}

void KeyboardSync::bulkError(Failure failure)
{
    m_timeout.stop();
    m_progressTimer.stop();
    if (m_receiving) {
        m_receiving = false;
        m_api->revokeReceivedBulk();
        disconnect(m_api, &RemoteMemAPI::completeBulkReceive, this, &KeyboardSync::bulkReceived);
        m_api->clearTransmitedBulkReqCounter();
        // A footer that straggles in after the failure must not announce a
        // completed receive to whoever starts the next run.
        m_api->setBulkReceivePending(false);
    }
    if (m_sending) {
        m_sending = false;
        disconnect(m_api, &RemoteMemAPI::completeBulkTransmit, this, &KeyboardSync::bulkSended);
        m_api->clearTransmitedBulkCounter();
        m_api->setBulkTransmitPending(false);
    }
    m_api->clearTransmitQueue();
    m_api->allowToRaiseFileEditFlag();
    m_failure = failure;
    setPhase(Phase::Failed, failureText(failure));
    emit finished(false);
}

int KeyboardSync::outstanding() const
{
    auto* decoder = dynamic_cast<MessageDecoder*>(m_api->getDecoder());
    if (decoder == nullptr) return -1;
    return m_receiving ? decoder->transmitedBulkReqCounter() : decoder->transmitedBulkCounter();
}

void KeyboardSync::updateProgress()
{
    const int left = outstanding();
    if (left < 0) return;
    // The counters hold only dumps and dump requests, one per template.
    const int done = qBound(0, m_total - left, m_total);
    if (done != m_done) {
        m_done = done;
        emit progress(m_done, m_total);
    }
}

void KeyboardSync::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timeout.timerId()) {
        bulkError(m_receiving ? Failure::ReceiveTimedOut : Failure::SendTimedOut);
    } else if (event->timerId() == m_progressTimer.timerId()) {
        updateProgress();
    } else {
        QObject::timerEvent(event);
    }
}
