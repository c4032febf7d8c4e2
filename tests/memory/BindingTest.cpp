#include "editor/memory/MemBinding.h"
#include "editor/memory/MemController.h"
#include "editor/memory/MemControllerFactory.h"
#include "editor/memory/MemProxy.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

// Records every refresh and the thread it ran on.
struct RefreshLog {
    int updates = 0;
    std::set<QThread*> threads;
    void note()
    {
        ++updates;
        threads.insert(QThread::currentThread());
    }
};

class BoundLineEdit : public QLineEdit, public MemProxy {
public:
    explicit BoundLineEdit(QWidget* parent, const QString& name = {})
        : QLineEdit(parent)
    {
        if (!name.isEmpty())
            setNamedAddress(name);
    }
    void updateMemAPI() override
    {
        log.note();
        setText(getMemAPIString());
    }
    RefreshLog log;
};

class BoundSpin : public QSpinBox, public MemProxy {
public:
    explicit BoundSpin(QWidget* parent, const QString& name = {})
        : QSpinBox(parent)
    {
        if (!name.isEmpty())
            setNamedAddress(name);
    }
    void assignMemAPI() override
    {
        MemProxy::assignMemAPI();
        if (isBound())
            updateMemAPI();
    }
    void updateMemAPI() override
    {
        log.note();
        setRange(getMemAPIMinimumValue(), getMemAPIMaximumValue());
        setValue(getMemAPICurrentValue());
    }
    RefreshLog log;
};

ParamAddress adr(int b, int t, int c, int p)
{
    return ParamAddress(b, t, c, p);
}

class MemoryBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        inner = new QWidget(&view);
        displayFormat = new BoundSpin(inner, QStringLiteral("knobA1/displayFormat"));
        templateName = new BoundLineEdit(&view, QStringLiteral("templateName"));
        online = new BoundLineEdit(inner, QStringLiteral("isOnline"));
        ccOfSelectedKnob = new BoundSpin(inner, QStringLiteral("ccNumber"));
        numeric = new BoundSpin(&view);
        numeric->setNumericAddress(14, -1);
        unaddressed = new BoundLineEdit(&view);
    }
    void bindView(int bank, int templ)
    {
        createMemProxyController(&factory, &view);
        assignBank(&view, bank);
        assignTemplate(&view, templ);
    }

    RemoteMemAPI api;
    MemControllerFactory factory{&api};
    QWidget view;
    QWidget* inner = nullptr;
    BoundSpin* displayFormat = nullptr;
    BoundLineEdit* templateName = nullptr;
    BoundLineEdit* online = nullptr;
    BoundSpin* ccOfSelectedKnob = nullptr;
    BoundSpin* numeric = nullptr;
    BoundLineEdit* unaddressed = nullptr;
};

TEST_F(MemoryBinding, TreeIsBoundAndFollowsTheView)
{
    bindView(0, 7);
    EXPECT_EQ(displayFormat->getParamAddress(), adr(0, 7, 0, 2));
    EXPECT_EQ(templateName->getParamAddress(), adr(0, 7, 13, -1));
    EXPECT_EQ(online->getParamAddress(), adr(-2, -1, -1, -1));
    EXPECT_EQ(ccOfSelectedKnob->getParamAddress(), adr(0, 7, 0, 1));
    EXPECT_EQ(numeric->getParamAddress(), adr(0, 7, 14, -1));
    EXPECT_FALSE(unaddressed->isBound());

    // Moving to another knob moves only the controls that take the knob from
    // the view; names that fix a knob or a template-level field keep it.
    assignController(&view, 4);
    EXPECT_EQ(ccOfSelectedKnob->getParamAddress(), adr(0, 7, 4, 1));
    EXPECT_EQ(displayFormat->getParamAddress(), adr(0, 7, 0, 2));
    EXPECT_EQ(templateName->getParamAddress(), adr(0, 7, 13, -1));

    // Editor-wide values stay where they are whatever bank the view shows.
    assignBank(&view, 3);
    EXPECT_EQ(online->getParamAddress(), adr(-2, -1, -1, -1));
    EXPECT_EQ(displayFormat->getParamAddress(), adr(3, 7, 0, 2));
    EXPECT_EQ(numeric->getParamAddress(), adr(3, 7, 14, -1));
}

TEST_F(MemoryBinding, ControlsShowTheValueOfTheirNewAddress)
{
    api.setParam(adr(0, 8, 13, -1), QStringLiteral("Strings"));
    api.setParam(adr(0, 8, 0, 2), 1L);
    bindView(0, 7);
    EXPECT_EQ(displayFormat->value(), 0);
    EXPECT_EQ(displayFormat->maximum(), 1);
    assignTemplate(&view, 8);
    EXPECT_EQ(templateName->text(), QStringLiteral("Strings"));
    EXPECT_EQ(displayFormat->value(), 1);
}

TEST_F(MemoryBinding, WritesGoThroughTheMemoryAndRefreshEveryControlThere)
{
    bindView(0, 7);
    auto* twin = new BoundSpin(&view, QStringLiteral("knobA1/displayFormat"));
    createMemProxyController(&factory, twin);
    assignBank(twin, 0);
    assignTemplate(twin, 7);

    displayFormat->setMemAPICurrentValue(1);
    EXPECT_EQ(api.getParam(adr(0, 7, 0, 2)).getCurrentValue(), 1);
    EXPECT_EQ(twin->value(), 1);
    templateName->setMemAPIString(QStringLiteral("Pad"));
    EXPECT_EQ(api.getParamQString(adr(0, 7, 13, -1)), QStringLiteral("Pad"));
    EXPECT_EQ(templateName->text(), QStringLiteral("Pad"));
    EXPECT_EQ(api.getParam(adr(-3, -1, -1, -1)).getCurrentValue(), 1);

    api.setONLINEstate(1);
    EXPECT_EQ(online->getMemAPICurrentValue(), 1);
}

TEST_F(MemoryBinding, UnboundProxyReportsNeutralValuesAndIgnoresWrites)
{
    EXPECT_FALSE(templateName->isBound());
    EXPECT_EQ(templateName->getMemAPICurrentValue(), 0);
    EXPECT_EQ(templateName->getMemAPIMinimumValue(), 0);
    EXPECT_EQ(templateName->getMemAPIMaximumValue(), 0);
    EXPECT_EQ(templateName->getMemAPIString(), QStringLiteral("204143dff"));
    templateName->setMemAPIString(QStringLiteral("x"));
    displayFormat->setMemAPICurrentValue(1);
    EXPECT_EQ(api.getParamQString(adr(0, 0, 13, -1)), QString());
    EXPECT_EQ(api.getParam(adr(0, 0, 0, 2)).getCurrentValue(), 0);
    templateName->paramUpdate();
    EXPECT_EQ(templateName->log.updates, 0);
}

TEST_F(MemoryBinding, BindingTwiceRegistersOncePerControl)
{
    bindView(0, 7);
    const int registered = api.observerCount();
    EXPECT_EQ(registered, 5);
    createMemProxyController(&factory, &view);
    EXPECT_EQ(api.observerCount(), registered);
    delete templateName;
    EXPECT_EQ(api.observerCount(), registered - 1);
}

TEST_F(MemoryBinding, ClearedNameUnbindsAndCanBindAgain)
{
    bindView(0, 7);
    const int before = api.observerCount();
    templateName->setNamedAddress(QString());
    EXPECT_FALSE(templateName->isBound());
    EXPECT_EQ(api.observerCount(), before - 1);
    const int updates = templateName->log.updates;
    api.setParam(adr(0, 7, 13, -1), QStringLiteral("Ignored"));
    EXPECT_EQ(templateName->log.updates, updates);

    templateName->setNamedAddress(QStringLiteral("vstiName"));
    templateName->assignMemAPI();
    EXPECT_TRUE(templateName->isBound());
    EXPECT_EQ(templateName->getParamAddress(), adr(0, 7, 15, -1));
    api.setParam(adr(0, 7, 15, -1), QStringLiteral("Synthia"));
    EXPECT_EQ(templateName->text(), QStringLiteral("Synthia"));

    // Renaming a bound control re-addresses it at once.
    templateName->setNamedAddress(QStringLiteral("knobC3/remoteNumber"));
    EXPECT_EQ(templateName->getParamAddress(), adr(0, 7, 10, 3));
    EXPECT_EQ(api.observerCount(), before);
}

TEST_F(MemoryBinding, NumericAddressesAreSignedBytes)
{
    bindView(1, 2);
    numeric->setNumericAddress(5, 1);
    EXPECT_EQ(numeric->getParamAddress(), adr(1, 2, 5, 1));
    numeric->setNumericAddress(13, 255);
    EXPECT_EQ(numeric->getParamAddress(), adr(1, 2, 13, 1)) << "255 is -1, which keeps the parameter";
}

TEST(MemoryControllerFactory, MakesOnlyPlainControllers)
{
    RemoteMemAPI api;
    MemControllerFactory factory(&api);
    EXPECT_EQ(factory.CreateController(static_cast<MemControllerFactory::ControllerType>(1)), nullptr);

    MemController* plain = factory.CreateController(MemControllerFactory::PlainMemController, new ParamAddress(0, 2, -1, -1));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(factory.getLastController(), plain);
    EXPECT_EQ(*plain->getParamAddress(), adr(0, 2, -1, -1));
    EXPECT_EQ(plain->getParamAddress()->getAddressTransTable(), factory.getAddressTransTable());
    plain->setParamAddress(-1, -1, "knobB2/ccNumber");
    EXPECT_EQ(*plain->getParamAddress(), adr(0, 2, 5, 1));
    EXPECT_TRUE(plain->setParam(9L));
    EXPECT_EQ(plain->getParam().getCurrentValue(), 9);
    factory.DeleteController(plain);
    EXPECT_EQ(factory.getLastController(), nullptr);
}

TEST(MemoryControllerFactory, ReplacedAddressKeepsTheRegistration)
{
    RemoteMemAPI api;
    MemControllerFactory factory(&api);
    struct Watcher : MemChangeObserver {
        void paramUpdate() override { ++calls; }
        int calls = 0;
    } watcher;
    std::unique_ptr<MemController> c(factory.CreateController(MemControllerFactory::PlainMemController));
    c->setParamAddressNumeric(0, 0, 0, 1);
    c->assign(&watcher);
    EXPECT_EQ(watcher.calls, 0);
    c->setParamAddress(new ParamAddress(0, 1, 0, 1));
    EXPECT_EQ(watcher.calls, 1) << "re-addressing tells the new address";
    api.setParam(adr(0, 1, 0, 1), 4L);
    EXPECT_EQ(watcher.calls, 2);
    c.reset();
    EXPECT_EQ(api.observerCount(), 0);
}

TEST_F(MemoryBinding, ChangesFromAnotherThreadRefreshOnlyOnTheUserInterfaceThread)
{
    bindView(0, 7);
    const int before = templateName->log.updates;
    QThread* writer = nullptr;
    std::thread midi([&] {
        writer = QThread::currentThread();
        std::lock_guard group(api.memoryLock());
        api.setAllowToSendSysExFlag(false);
        api.setParam(adr(0, 7, 13, -1), QStringLiteral("FromKeyboard"));
        api.setAllowToSendSysExFlag(true);
    });
    midi.join();
    EXPECT_EQ(templateName->log.updates, before) << "nothing touched the control on the MIDI thread";
    EXPECT_NE(templateName->text(), QStringLiteral("FromKeyboard"));

    QCoreApplication::processEvents();
    EXPECT_EQ(templateName->text(), QStringLiteral("FromKeyboard"));
    EXPECT_EQ(templateName->log.threads, (std::set<QThread*>{QCoreApplication::instance()->thread()}));
    EXPECT_NE(writer, QCoreApplication::instance()->thread());
}

TEST_F(MemoryBinding, BurstFromAnotherThreadWhileTheEventLoopRuns)
{
    bindView(0, 7);
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int i = 0; i <= 127; ++i)
            api.setParam(adr(0, 7, 0, 1), long(i));
        api.setParam(adr(0, 7, 0, 2), 1L);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    midi.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(ccOfSelectedKnob->value(), 127);
    EXPECT_EQ(displayFormat->value(), 1);
    EXPECT_EQ(ccOfSelectedKnob->log.threads, (std::set<QThread*>{QCoreApplication::instance()->thread()}));
    EXPECT_EQ(displayFormat->log.threads, (std::set<QThread*>{QCoreApplication::instance()->thread()}));
}

TEST_F(MemoryBinding, PendingRefreshIsDroppedWithItsControl)
{
    bindView(0, 7);
    std::thread midi([&] { api.setParam(adr(0, 7, 13, -1), QStringLiteral("Late")); });
    midi.join();
    delete templateName;
    templateName = nullptr;
    QCoreApplication::processEvents();
    SUCCEED();
}

} // namespace
