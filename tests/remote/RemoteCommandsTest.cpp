// zeno-remote's commands run in-process against the simulated keyboard on
// the in-process MIDI service.
#include "remote/RemoteCommands.h"

#include "editor/midi/virtual/Service.h"
#include "sim/KeyboardPorts.h"
#include "sim/SimBankFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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
    const Result nowhere = remote({"backup", path("no-such-folder/backup.X5R")});
    EXPECT_EQ(nowhere.code, remote::ExitFile) << nowhere.err.toStdString();
    EXPECT_TRUE(nowhere.err.contains(QLatin1String("cannot write"))) << nowhere.err.toStdString();
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

TEST_F(RemoteCommands, RestoreOfEditBuffersOnlyLeavesTheStoredTemplates)
{
    KeyboardSim source;
    for (int t = 0; t < kTemplateCount; ++t) {
        source.setStored(t, sample(t, "FileS"));
        source.setEditBuffer(t, sample(t, "FileE"));
    }
    std::string error;
    ASSERT_TRUE(saveBankFile(source, path("in.X5R").toStdString(), error)) << error;
    plugKeyboard();
    const Result r = remote({"restore", "--edit-buffers-only", path("in.X5R")});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    ASSERT_TRUE(runner->waitUntilIdle());
    EXPECT_EQ(keyboard.stats().dumpsAccepted, 50);
    EXPECT_EQ(keyboard.editBuffer(9), source.editBuffer(9));
}

TEST_F(RemoteCommands, CheckSaysOkOrTheLoadersMessage)
{
    std::string error;
    ASSERT_TRUE(saveBankFile(keyboard, path("good.X5R").toStdString(), error)) << error;
    QFile bad(path("bad.X5R"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<?xml version=\"1.0\"?><nothing/>");
    bad.close();
    const struct {
        const char* file;
        int code;
        const char* out;
    } cases[] = {
        {"good.X5R", remote::ExitOk, "ok\n"},
        {"bad.X5R", remote::ExitFile, "File is not an editor file.\n"},
        {"missing.X5R", remote::ExitFile, "File was not found.\n"},
    };
    for (const auto& c : cases) {
        const Result r = remote({"check", path(c.file)});
        EXPECT_EQ(r.code, c.code) << c.file;
        EXPECT_EQ(r.out.toStdString(), c.out) << c.file;
    }
}

TEST_F(RemoteCommands, ShowJsonHoldsBothBanksInKnobOrder)
{
    keyboard.setCurrentTemplate(11);
    std::string error;
    ASSERT_TRUE(saveBankFile(keyboard, path("show.X5R").toStdString(), error)) << error;
    const Result r = remote({"show", "--json", path("show.X5R")});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &parseError);
    ASSERT_TRUE(document.isObject()) << parseError.errorString().toStdString();
    const QJsonObject root = document.object();
    EXPECT_EQ(root.keys(), (QStringList{"currentTemplate", "editBuffers", "templates"}));
    EXPECT_EQ(root["currentTemplate"].toInt(-1), 11);
    for (const char* bank : {"templates", "editBuffers"}) {
        const QJsonArray templates = root[bank].toArray();
        ASSERT_EQ(templates.size(), kTemplateCount) << bank;
        for (int t = 0; t < kTemplateCount; ++t) {
            const SimTemplate expected = QLatin1String(bank) == QLatin1String("templates") ? keyboard.stored(t)
                                                                                          : keyboard.editBuffer(t);
            const QJsonObject o = templates[t].toObject();
            SCOPED_TRACE(std::string(bank) + " " + std::to_string(t));
            EXPECT_EQ(o["name"].toString().toStdString(), expected.templateName());
            EXPECT_EQ(o["vstiName"].toString().toStdString(), expected.vstiName());
            EXPECT_EQ(o["controlType"].toInt(-1), expected.controlType());
            const QJsonArray knobs = o["knobs"].toArray();
            ASSERT_EQ(knobs.size(), kKnobCount);
            for (int k = 0; k < kKnobCount; ++k) {
                const QJsonObject knob = knobs[k].toObject();
                EXPECT_EQ(knob["displayName"].toString().toStdString(), expected.displayName(k));
                EXPECT_EQ(knob["ccNumber"].toInt(-1), expected.ccNumber(k));
                EXPECT_EQ(knob["displayFormat"].toInt(-1), expected.displayFormat(k));
                EXPECT_EQ(knob["remoteNumber"].toString().toStdString(), expected.remoteNumber(k));
            }
        }
    }
    // Knob order A1, B1, C1, D1, A2 ...: the fourth knob is D1.
    EXPECT_EQ(root["templates"][0]["knobs"][3]["remoteNumber"].toString(), QStringLiteral("100001069"));
    EXPECT_EQ(remote({"show", "--json", path("show.X5R"), "3"}).code, remote::ExitUsage);
}

TEST_F(RemoteCommands, SelectIsConfirmedByTheKeyboard)
{
    plugKeyboard();
    const Result r = remote({"select", "42"});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    EXPECT_EQ(keyboard.currentTemplate(), 41);
    EXPECT_EQ(remote({"select", "0"}).code, remote::ExitUsage);
}

TEST_F(RemoteCommands, PortsListsEveryKeyboardWithItsPortNumbers)
{
    EXPECT_EQ(remote({"ports"}).code, remote::ExitNoKeyboard);
    plugKeyboard();
    const Result r = remote({"ports"});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << r.out.toStdString();
    const QStringList fields = lines[0].split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3) << r.out.toStdString();
    EXPECT_EQ(fields[0], QStringLiteral("1"));
    EXPECT_EQ(fields[1], QLatin1String(kDefaultKeyboardName));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^watch=\\d+ data=\\d+ out=\\d+$")).match(fields[2]).hasMatch())
        << fields[2].toStdString();
}

TEST_F(RemoteCommands, PortChoosesAKeyboardByItsBaseName)
{
    plugKeyboard();
    KeyboardSim second;
    std::string error;
    auto secondPorts = makeKeyboardPorts("virtual", error);
    ASSERT_TRUE(secondPorts) << error;
    SimRunner secondRunner(second, *secondPorts, 100);
    secondRunner.start();
    ASSERT_TRUE(secondPorts->open("Velmor Zeno Series 2", secondRunner, error)) << error;
    const Result list = remote({"ports"});
    ASSERT_EQ(list.out.count(QLatin1Char('\n')), 2) << list.out.toStdString() << list.err.toStdString();
    const Result r = remote({"select", "--port", "Velmor Zeno Series 2", "7"});
    EXPECT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    EXPECT_EQ(second.currentTemplate(), 6);
    EXPECT_EQ(keyboard.currentTemplate(), 11);
    const Result missing = remote({"select", "--port", "Velmor Zeno Series 3", "7"});
    EXPECT_EQ(missing.code, remote::ExitNoKeyboard);
    EXPECT_TRUE(missing.err.contains(QLatin1String("\"Velmor Zeno Series 2\""))) << "the names found are listed";
    secondPorts->close();
    secondRunner.stop();
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
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << "one line: " << r.err.toStdString();
}

// Every fault the simulator offers ends a backup cleanly: no file, the time-out
// exit status, and the same command succeeds once the fault is gone.
TEST_F(RemoteCommands, BackupUnderEachFaultLeavesNoFileAndARetrySucceeds)
{
    auto fault = [](auto member, int value) {
        SimFaults f;
        f.*member = value;
        return f;
    };
    const struct {
        const char* name;
        SimFaults faults;
    } cases[] = {
        {"drop-every", fault(&SimFaults::ignoreEvery, 5)},
        {"corrupt-every", fault(&SimFaults::corruptChecksumEvery, 100)},
        {"delay-ms", fault(&SimFaults::replyDelayMs, 4000)},
        {"silent-after", fault(&SimFaults::silentAfter, 20)},
    };
    plugKeyboard();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        keyboard.setFaults(c.faults);
        const Result r = remote({"backup", "--timeout", "1", path("fault.X5R")});
        EXPECT_EQ(r.code, remote::ExitKeyboardFailed) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("fault.X5R")));
        keyboard.setFaults(SimFaults{});
        ASSERT_TRUE(runner->waitUntilIdle(10000));
    }
    const Result r = remote({"backup", "--timeout", "20", path("fault.X5R")});
    ASSERT_EQ(r.code, remote::ExitOk) << r.err.toStdString();
    KeyboardSim fromFile;
    std::string error;
    ASSERT_TRUE(loadBankFile(fromFile, path("fault.X5R").toStdString(), error)) << error;
    for (int t = 0; t < kTemplateCount; ++t) EXPECT_EQ(fromFile.editBuffer(t), keyboard.editBuffer(t)) << t;
}

TEST_F(RemoteCommands, ProgressOnlyForATerminal)
{
    plugKeyboard();
    for (const bool terminal : {false, true}) {
        remote::Options options;
        QString error;
        ASSERT_TRUE(remote::parseArguments({"--backend", "virtual", "backup", path("progress.X5R")}, options, error));
        options.progress = terminal;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ASSERT_EQ(remote::run(options, outStream, errStream), remote::ExitOk) << err.toStdString();
        if (!terminal) {
            EXPECT_TRUE(err.isEmpty()) << err.toStdString();
            continue;
        }
        EXPECT_TRUE(err.contains(QLatin1String("\rreceiving from Velmor Zeno Series: 0/100 templates")))
            << err.toStdString();
        EXPECT_TRUE(err.endsWith(QLatin1String("100/100 templates\n"))) << err.toStdString();
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
        {{"ports"}, true},
        {{"ports", "--backend", "jack"}, true},
        {{"--help"}, true},
        {{"backup", "x.X5R"}, true},
        {{"backup", "--port", "Velmor Zeno Series", "--timeout", "30", "x.X5R"}, true},
        {{"--timeout", "30", "restore", "--edit-buffers-only", "x.X5R"}, true},
        {{"check", "x.X5R"}, true},
        {{"show", "--json", "x.X5R"}, true},
        {{"show", "x.X5R", "3"}, true},
        {{"backup", "--", "-odd.X5R"}, true},
        {{}, false},
        {{"backup"}, false},
        {{"backup", "a", "b"}, false},
        {{"check"}, false},
        {{"dance"}, false},
        {{"list"}, false},
        {{"--timeout", "0", "ports"}, false},
        {{"ports", "--timeout"}, false},
        {{"--verbose", "ports"}, false},
        {{"backup", "--json", "x.X5R"}, false},
        {{"backup", "--edit-buffers-only", "x.X5R"}, false},
        {{"--keyboard", "K", "ports"}, false},
    };
    for (const Case& c : cases) {
        remote::Options options;
        QString error;
        EXPECT_EQ(remote::parseArguments(c.args, options, error), c.ok) << c.args.join(' ').toStdString();
        EXPECT_EQ(error.isEmpty(), c.ok) << error.toStdString();
    }
}

TEST(RemoteArguments, HelpNamesEveryCommandOptionAndExitStatus)
{
    const QString help = remote::usage();
    for (const char* word : {"ports", "backup", "restore", "check", "show", "--backend", "--port", "--timeout",
                             "--edit-buffers-only", "--json", "--help", "  0 ", "  1 ", "  2 ", "  3 ", "130"}) {
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
    }
}
