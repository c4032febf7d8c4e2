// End to end across processes on a JACK server: the zeno-keyboard-sim
// program plays the keyboard, the zeno-remote program backs it up and
// restores it, and what the simulator saves on exit is what was restored. Skips when
// no JACK server answers (the jack_server test fixture starts one).
#include "remote/RemoteCommands.h"

#include "editor/midi/MIDIBackend.h"
#include "editor/midi/jack/Service.h"
#include "sim/SimBankFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sim;

namespace {

// Each run its own keyboard name, so that tests running side by side on the
// same server never pick each other's keyboard.
QString uniqueKeyboardName()
{
    static int counter = 0;
    return QStringLiteral("Velmor Zeno Series %1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

void fill(KeyboardSim& keyboard, const std::string& prefix)
{
    for (int t = 0; t < kTemplateCount; ++t) {
        SimTemplate s;
        s.setTemplateName(prefix + "S" + std::to_string(t + 1));
        s.setVstiName("Inst" + std::to_string(t % 9));
        s.setControlType((t / 3) % 2);
        SimTemplate e = s;
        e.setTemplateName(prefix + "E" + std::to_string(t + 1));
        for (int k = 0; k < kKnobCount; ++k) {
            s.setCcNumber(k, (t + k) % 128);
            e.setCcNumber(k, (t * k) % 128);
            e.setDisplayName(k, prefix + std::to_string(k));
            e.setRemoteNumber(k, k % 2 ? "100000401" : "0000004d2");
        }
        keyboard.setStored(t, s);
        keyboard.setEditBuffer(t, e);
    }
}

void expectSameBank(const std::string& pathA, const std::string& pathB)
{
    KeyboardSim a, b;
    std::string error;
    ASSERT_TRUE(loadBankFile(a, pathA, error)) << error;
    ASSERT_TRUE(loadBankFile(b, pathB, error)) << error;
    for (int t = 0; t < kTemplateCount; ++t) {
        ASSERT_EQ(a.stored(t), b.stored(t)) << "stored template " << t + 1;
        ASSERT_EQ(a.editBuffer(t), b.editBuffer(t)) << "edit buffer " << t + 1;
    }
    EXPECT_EQ(a.currentTemplate(), b.currentTemplate());
}

struct Outcome {
    int code = -1;
    QString out, err;
};

// zeno-remote as its own process, as a user runs it.
Outcome remoteProcess(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(ZENO_REMOTE), args);
    Outcome o;
    if (!process.waitForFinished(150000)) {
        process.kill();
        process.waitForFinished(5000);
        o.err = QStringLiteral("zeno-remote did not finish");
        return o;
    }
    o.out = QString::fromUtf8(process.readAllStandardOutput());
    o.err = QString::fromUtf8(process.readAllStandardError());
    o.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return o;
}

bool waitUntilListed(const QStringList& names, int timeoutMs = 20000);

// A command for one keyboard, once "ports" lists it: whatever else comes and
// goes on the shared server meanwhile, the command never races the names.
Outcome remoteCommand(const QString& keyboard, const QString& command, QStringList args)
{
    if (!waitUntilListed({keyboard})) {
        Outcome o;
        o.err = QStringLiteral("\"%1\" is not listed by zeno-remote ports: %2")
                    .arg(keyboard, remoteProcess({"ports", "--backend", "jack"}).out);
        return o;
    }
    return remoteProcess(QStringList{command, "--backend", "jack", "--port", keyboard} + args);
}

// The base names "ports" lists right now.
QStringList listedKeyboards()
{
    QStringList names;
    const Outcome o = remoteProcess({"ports", "--backend", "jack"});
    for (const QString& line : o.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        names << line.section(QLatin1Char('\t'), 1, 1);
    }
    return names;
}

// A keyboard's ports and their names reach other JACK clients a little
// after the simulator made them: wait until "ports" shows it, so no command
// of a test ever races the keyboard's arrival.
bool waitUntilListed(const QStringList& names, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QStringList listed = listedKeyboards();
        bool all = true;
        for (const QString& n : names) all = all && listed.contains(n);
        if (all) return true;
        QThread::msleep(100);
    }
    return false;
}

class SimProcess {
public:
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Starts the simulator and returns once the editor side can see it.
    bool start(const QString& name, const QStringList& args)
    {
        m_process.setProgram(QStringLiteral(ZENO_KEYBOARD_SIM));
        m_process.setArguments(QStringList{"--backend", "jack", "--name", name} + args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000)) return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            if (m_process.waitForFinished(100) || m_process.state() == QProcess::NotRunning) {
                collect();
                return false;
            }
            if (waitUntilListed({name}, 500)) return true;
        }
        return false;
    }
    int stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) return -1;
        collect();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    int waitForExit()
    {
        m_process.waitForFinished(10000);
        collect();
        return m_process.exitCode();
    }
    QString errors()
    {
        collect();
        return m_err;
    }

private:
    void collect() { m_err += QString::fromUtf8(m_process.readAllStandardError()); }
    QProcess m_process;
    QString m_err;
};

// The end of the simulator's message log, to show what it saw last.
QString logTail(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    return QStringLiteral("\nsimulator log, last lines:\n") +
           lines.mid(std::max<qsizetype>(0, lines.size() - 25)).join(QLatin1Char('\n'));
}

class RemoteOnJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackMIDIService::serverAnswers()) GTEST_SKIP() << "no JACK server answers";
        ASSERT_TRUE(dir.isValid());
    }
    std::string file(const char* name) { return dir.filePath(QLatin1String(name)).toStdString(); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(RemoteOnJack, BackupEqualsTheLoadedBankAndRestoreIsWhatTheSimulatorSaves)
{
    KeyboardSim original, replacement;
    fill(original, "a");
    original.setCurrentTemplate(17);
    fill(replacement, "b");
    replacement.setCurrentTemplate(3);
    std::string error;
    ASSERT_TRUE(saveBankFile(original, file("start.X5R"), error)) << error;
    ASSERT_TRUE(saveBankFile(replacement, file("replacement.X5R"), error)) << error;

    const QString name = uniqueKeyboardName();
    SimProcess simulator;
    const QString log = QString::fromStdString(file("simulator.log"));
    ASSERT_TRUE(simulator.start(name, {"--log", log, "--load", QString::fromStdString(file("start.X5R")),
                                       "--save-on-exit", QString::fromStdString(file("end.X5R"))}))
        << simulator.errors().toStdString();

    const Outcome backup = remoteCommand(name, "backup", {QString::fromStdString(file("backup.X5R"))});
    ASSERT_EQ(backup.code, remote::ExitOk) << backup.err.toStdString() << logTail(log).toStdString();
    expectSameBank(file("start.X5R"), file("backup.X5R"));

    const Outcome restore = remoteCommand(name, "restore", {QString::fromStdString(file("replacement.X5R"))});
    ASSERT_EQ(restore.code, remote::ExitOk) << restore.err.toStdString() << logTail(log).toStdString();

    ASSERT_EQ(simulator.stop(), 0) << simulator.errors().toStdString();
    EXPECT_TRUE(simulator.errors().contains(QLatin1String("1 stores to flash"))) << simulator.errors().toStdString();
    expectSameBank(file("replacement.X5R"), file("end.X5R"));

    // The log holds one message a line: the direction, then its bytes.
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(logFile.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression shape(QStringLiteral("^(in|out) F0( [0-9A-F]{2})* F7$"));
    int in = 0, out = 0;
    for (const QString& line : lines) {
        ASSERT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
        (line.startsWith(QLatin1String("in ")) ? in : out)++;
    }
    // The backup alone brings 100 requests in and 1500 dump messages out.
    EXPECT_GE(in, 100);
    EXPECT_GE(out, 1500);
}

TEST_F(RemoteOnJack, PortsListsTwoSimulatorsByTheirNames)
{
    const QString first = uniqueKeyboardName();
    const QString second = uniqueKeyboardName();
    SimProcess a, b;
    ASSERT_TRUE(a.start(first, {"--quiet"})) << a.errors().toStdString();
    ASSERT_TRUE(b.start(second, {"--quiet"})) << b.errors().toStdString();
    const Outcome ports = remoteProcess({"ports", "--backend", "jack"});
    ASSERT_EQ(ports.code, remote::ExitOk) << ports.err.toStdString();
    const QStringList lines = ports.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression shape(QStringLiteral("^(\\d+)\t(.+)\twatch=\\d+ data=\\d+ out=\\d+$"));
    QStringList names;
    for (int i = 0; i < lines.size(); ++i) {
        const auto match = shape.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), i + 1);
        names << match.captured(2);
    }
    EXPECT_TRUE(names.contains(first)) << ports.out.toStdString();
    EXPECT_TRUE(names.contains(second)) << ports.out.toStdString();
    EXPECT_EQ(a.stop(), 0);
    EXPECT_EQ(b.stop(), 0);
}

TEST_F(RemoteOnJack, KeyboardThatFallsSilentEndsInAClearFailure)
{
    const QString name = uniqueKeyboardName();
    SimProcess simulator;
    ASSERT_TRUE(simulator.start(name, {"--quiet", "--silent-after", "10"})) << simulator.errors().toStdString();
    const Outcome backup = remoteCommand(name, "backup", {"--timeout", "2", QString::fromStdString(file("x.X5R"))});
    EXPECT_EQ(backup.code, remote::ExitKeyboardFailed);
    EXPECT_TRUE(backup.err.contains(QLatin1String("did not send its templates"))) << backup.err.toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(file("x.X5R"))));
    EXPECT_EQ(simulator.stop(), 0);
}

TEST_F(RemoteOnJack, SimulatorRefusesABadBankFile)
{
    SimProcess simulator;
    EXPECT_FALSE(simulator.start(uniqueKeyboardName(), {"--load", QString::fromStdString(file("missing.X5R"))}));
    EXPECT_EQ(simulator.waitForExit(), 2);
    EXPECT_TRUE(simulator.errors().contains(QLatin1String("missing.X5R"))) << simulator.errors().toStdString();
}
