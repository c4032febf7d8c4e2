// zeno-remote's commands run in-process against the simulated keyboard on
// the in-process MIDI service.
#include "remote/RemoteCommands.h"

#include "editor/midi/virtual/Service.h"
#include "sim/KeyboardPorts.h"
#include "sim/SimBankFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <memory>

using namespace sim;

namespace {

SimTemplate sample(int t, const std::string& prefix)
{
    SimTemplate out;
    out.setTemplateName(prefix + std::to_string(t + 1));
    out.setVstiName("Inst" + std::to_string(t));
    for (int k = 0; k < kKnobCount; ++k) {
        out.setDisplayName(k, "P" + std::to_string(k));
        out.setCcNumber(k, (t + 2 * k) % 128);
        out.setRemoteNumber(k, k == 3 ? "100001069" : "204143dff");
    }
    return out;
}

struct Result {
    int code = -1;
    QString out;
    QString err;
};

class RemoteCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        VirtualMIDIService::instance().unplugAll();
        for (int t = 0; t < kTemplateCount; ++t) {
            keyboard.setStored(t, sample(t, "S"));
            keyboard.setEditBuffer(t, sample(t, t == 4 ? "Edited" : "S"));
        }
        keyboard.setCurrentTemplate(11);
    }
    void TearDown() override
    {
        if (ports) ports->close();
        if (runner) runner->stop();
        VirtualMIDIService::instance().unplugAll();
    }

    void plugKeyboard(const std::string& name = kDefaultKeyboardName)
    {
        std::string error;
        ports = makeKeyboardPorts("virtual", error);
        ASSERT_TRUE(ports) << error;
        runner = std::make_unique<SimRunner>(keyboard, *ports, 100);
        runner->start();
        ASSERT_TRUE(ports->open(name, *runner, error)) << error;
    }

    Result remote(QStringList args)
    {
        args.prepend(QStringLiteral("virtual"));
        args.prepend(QStringLiteral("--backend"));
        args.prepend(QStringLiteral("--quiet"));
        remote::Options options;
        QString error;
        Result r;
        if (!remote::parseArguments(args, options, error)) {
            r.err = error;
            r.code = remote::ExitUsage;
            return r;
        }
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.code = remote::run(options, out, err);
        return r;
    }

    QString path(const char* name) { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    KeyboardSim keyboard;
    std::unique_ptr<KeyboardPorts> ports;
    std::unique_ptr<SimRunner> runner;
};

} // namespace

TEST_F(RemoteCommands, BackupSavesWhatTheKeyboardHolds)
{
    plugKeyboard();
    const Result r = remote({"backup", path("backup.X5R")});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("1 edit buffer differ")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("template 12 is shown")) << r.out.toStdString();

    KeyboardSim fromFile;
    std::string error;
    ASSERT_TRUE(loadBankFile(fromFile, path("backup.X5R").toStdString(), error)) << error;
    for (int t = 0; t < kTemplateCount; ++t) {
        EXPECT_EQ(fromFile.stored(t), keyboard.stored(t)) << t;
        EXPECT_EQ(fromFile.editBuffer(t), keyboard.editBuffer(t)) << t;
    }
    EXPECT_EQ(fromFile.currentTemplate(), 11);
}

TEST_F(RemoteCommands, RestoreSendsTheFileAndStoresItToFlash)
{
    KeyboardSim source;
    for (int t = 0; t < kTemplateCount; ++t) {
        source.setStored(t, sample(t, "FileS"));
        source.setEditBuffer(t, sample(t, "FileE"));
    }
    source.setCurrentTemplate(30);
    std::string error;
    ASSERT_TRUE(saveBankFile(source, path("in.X5R").toStdString(), error)) << error;
    plugKeyboard();
    const Result r = remote({"restore", path("in.X5R")});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    ASSERT_TRUE(runner->waitUntilIdle());
    for (int t = 0; t < kTemplateCount; ++t) {
        EXPECT_EQ(keyboard.stored(t), source.stored(t)) << t;
        EXPECT_EQ(keyboard.editBuffer(t), source.editBuffer(t)) << t;
    }
    EXPECT_EQ(keyboard.currentTemplate(), 30);
    EXPECT_EQ(keyboard.flashCount(), 1);
}

TEST_F(RemoteCommands, BadFileIsRefusedBeforeTheKeyboardIsTouched)
{
    plugKeyboard();
    QFile bad(path("bad.X5R"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<?xml version=\"1.0\"?><nothing/>");
    bad.close();
    for (const char* file : {"bad.X5R", "missing.X5R"}) {
        const Result r = remote({"restore", path(file)});
        EXPECT_EQ(r.code, remote::ExitFile) << file;
        EXPECT_TRUE(r.err.contains(QLatin1String(file))) << r.err.toStdString();
    }
    EXPECT_EQ(keyboard.stats().messagesIn, 0);
    EXPECT_EQ(keyboard.stored(0), sample(0, "S"));
}

TEST_F(RemoteCommands, ShowPrintsTheBankAndOneTemplate)
{
    std::string error;
    ASSERT_TRUE(saveBankFile(keyboard, path("show.X5R").toStdString(), error)) << error;
    const Result all = remote({"show", path("show.X5R")});
    ASSERT_EQ(all.code, remote::ExitOk) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains("template 12 is shown"));
    EXPECT_TRUE(all.out.contains("  5*  S5")) << all.out.toStdString();
    EXPECT_TRUE(all.out.contains(" 50   S50")) << all.out.toStdString();
    EXPECT_EQ(all.out.count('\n'), 52);

    const Result one = remote({"show", path("show.X5R"), "5"});
    ASSERT_EQ(one.code, remote::ExitOk);
    EXPECT_TRUE(one.out.contains("Edit buffer template 5: \"Edited5\"")) << one.out.toStdString();
    EXPECT_TRUE(one.out.contains("D1    P3                10  0       100001069")) << one.out.toStdString();
    EXPECT_EQ(remote({"show", path("show.X5R"), "51"}).code, remote::ExitUsage);
}

TEST_F(RemoteCommands, SelectIsConfirmedByTheKeyboard)
{
    plugKeyboard();
    const Result r = remote({"select", "42"});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    EXPECT_EQ(keyboard.currentTemplate(), 41);
    EXPECT_EQ(remote({"select", "0"}).code, remote::ExitUsage);
}

TEST_F(RemoteCommands, ListNamesTheKeyboards)
{
    EXPECT_EQ(remote({"list"}).code, remote::ExitNoKeyboard);
    plugKeyboard();
    const Result r = remote({"list"});
    ASSERT_EQ(r.code, remote::ExitOk);
    EXPECT_TRUE(r.out.startsWith(QLatin1String(kDefaultKeyboardName))) << r.out.toStdString();
}

TEST_F(RemoteCommands, KeyboardFailuresAreReported)
{
    // No keyboard at all.
    Result r = remote({"backup", path("none.X5R")});
    EXPECT_EQ(r.code, remote::ExitNoKeyboard);
    EXPECT_TRUE(r.err.contains("no keyboard found"));

    // A keyboard that never answers: the run times out and no file is left.
    SimFaults faults;
    faults.silent = true;
    keyboard.setFaults(faults);
    plugKeyboard();
    r = remote({"--timeout", "1", "backup", path("silent.X5R")});
    EXPECT_EQ(r.code, remote::ExitKeyboardFailed);
    EXPECT_TRUE(r.err.contains("did not send its templates")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("silent.X5R")));

    // Asking for a keyboard by a name that is not there.
    EXPECT_EQ(remote({"--keyboard", "Velmor ZenoA/ZenoB", "select", "1"}).code, remote::ExitNoKeyboard);
}

TEST_F(RemoteCommands, ProgressIsShownUnlessQuiet)
{
    plugKeyboard();
    for (const bool inPlace : {false, true}) {
        remote::Options options;
        QString error;
        ASSERT_TRUE(remote::parseArguments({"--backend", "virtual", "backup", path("progress.X5R")}, options, error));
        options.progressInPlace = inPlace;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ASSERT_EQ(remote::run(options, outStream, errStream), remote::ExitOk) << err.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String("receiving from Velmor Zeno Series: 0/100 templates")))
            << err.toStdString();
        EXPECT_TRUE(err.endsWith(QLatin1String("100/100 templates\n"))) << err.toStdString();
        EXPECT_EQ(err.contains(QLatin1Char('\r')), inPlace);
    }
}

TEST_F(RemoteCommands, InterruptCancelsATransfer)
{
    SimFaults faults;
    faults.silent = true;
    keyboard.setFaults(faults);
    plugKeyboard();
    QTimer::singleShot(300, [] { remote::requestInterrupt(); });
    QElapsedTimer clock;
    clock.start();
    const Result r = remote({"backup", path("interrupted.X5R")});
    EXPECT_EQ(r.code, remote::ExitInterrupted) << r.err.toStdString();
    EXPECT_LT(clock.elapsed(), 10000) << "long before the one-minute time-out";
    EXPECT_FALSE(QFile::exists(path("interrupted.X5R")));
}

TEST(RemoteArguments, Table)
{
    struct Case {
        QStringList args;
        bool ok;
    };
    const Case cases[] = {
        {{"list"}, true},
        {{"--help"}, true},
        {{"backup", "x.X5R"}, true},
        {{"--timeout", "30", "--keyboard", "K", "restore", "x.X5R"}, true},
        {{"show", "x.X5R", "3"}, true},
        {{}, false},
        {{"backup"}, false},
        {{"backup", "a", "b"}, false},
        {{"dance"}, false},
        {{"--timeout", "0", "list"}, false},
        {{"--timeout"}, false},
        {{"--verbose", "list"}, false},
    };
    for (const Case& c : cases) {
        remote::Options options;
        QString error;
        EXPECT_EQ(remote::parseArguments(c.args, options, error), c.ok) << c.args.join(' ').toStdString();
        EXPECT_EQ(error.isEmpty(), c.ok) << error.toStdString();
    }
}
