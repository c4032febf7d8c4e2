#pragma once

// Runs the info finder program the way the editor does and collects what it
// leaves behind.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <string>

struct ToolRun {
  bool started = false;
  bool crashed = false;
  int exitCode = -1;
  std::optional<std::string> output;  // the output file, when written
  QByteArray printed;                 // stdout and stderr together
};

inline QString FixturePath(const char* name) {
  return QString::fromUtf8(VIF_FIXTURE_DIR) + "/" + QString::fromUtf8(name);
}

inline ToolRun RunTool(const QStringList& arguments, const QString& logFile = {},
                       int timeoutMs = 60000) {
  ToolRun run;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!logFile.isEmpty()) env.insert("VIF_FIXTURE_LOG", logFile);
  // In sanitizer builds a plug-in's crash must stay a crash, as in the field,
  // rather than become the sanitizer's report and exit code.
  const QString asan = env.value("ASAN_OPTIONS");
  env.insert("ASAN_OPTIONS", asan.isEmpty() ? "handle_segv=0" : asan + ":handle_segv=0");
  process.setProcessEnvironment(env);
  process.start(QString::fromUtf8(VIF_TOOL_PATH), arguments);
  run.started = process.waitForStarted();
  if (!run.started) return run;
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
  run.crashed = process.exitStatus() == QProcess::CrashExit;
  run.exitCode = process.exitCode();
  run.printed = process.readAll();
  if (arguments.size() >= 2) {
    QFile file(arguments[1]);
    if (file.open(QIODevice::ReadOnly)) run.output = file.readAll().toStdString();
  }
  return run;
}

// Runs the tool on one plug-in with a fresh output path in `dir`.
inline ToolRun RunOn(const QString& plugin, const QTemporaryDir& dir, const QString& logFile = {}) {
  return RunTool({plugin, dir.filePath("VSTiInfoFinder.txt")}, logFile);
}

// A test-name suffix made of a path's letters and digits.
inline std::string NameOf(const char* path) {
  std::string name;
  for (const char* p = path; *p != 0; ++p)
    if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9'))
      name += *p;
    else if (*p == '/')
      name.clear();
  return name;
}

inline std::string ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}
