// Shared main for every test executable.
//
// Tests must never read or write the real user's settings, documents or
// application data, so before anything else runs HOME and the XDG folders are
// pointed at a private temporary folder that is removed at exit. Widgets are
// real QWidgets on the offscreen platform, so no display is needed.
#include <QApplication>
#include <QTemporaryDir>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void pointHomeAt(const QString& root)
{
    const QByteArray base = QDir(root).absolutePath().toUtf8();
    auto setDir = [&](const char* var, const char* sub) {
        QByteArray path = base + sub;
        QDir().mkpath(QString::fromUtf8(path));
        ::setenv(var, path.constData(), 1);
    };
    setDir("HOME", "/home");
    setDir("XDG_CONFIG_HOME", "/home/.config");
    setDir("XDG_DATA_HOME", "/home/.local/share");
    setDir("XDG_CACHE_HOME", "/home/.cache");
    setDir("XDG_STATE_HOME", "/home/.local/state");
    setDir("XDG_RUNTIME_DIR", "/runtime");
    // Qt insists on a private runtime folder.
    QFile::setPermissions(QString::fromUtf8(base + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(QString::fromUtf8(base + "/home/Documents"));
    ::setenv("XDG_DOCUMENTS_DIR", (base + "/home/Documents").constData(), 1);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir sandbox(QDir::tempPath() + "/zeno-test-XXXXXX");
    if (!sandbox.isValid()) {
        fprintf(stderr, "cannot create a temporary home for the tests\n");
        return 1;
    }
    pointHomeAt(sandbox.path());
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
