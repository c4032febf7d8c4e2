// Time per plug-in from process start to exit: the info finder on each
// installed Debian plug-in, and a bare process that only loads and unloads the
// same library. Plug-ins that are not installed are left out.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

const char* const kPlugins[] = {
    "/usr/lib/vst/amsynth_vst.so",
    "/usr/lib/vst/Kars-vst.so",
    "/usr/lib/vst/Nekobi-vst.so",
    "/usr/lib/vst/MVerb-vst.so",
    "/usr/lib/vst/ProM.vst",
    "/usr/lib/vst/ZamComp-vst.so",
    "/usr/lib/vst3/ZamComp.vst3",
    "/usr/lib/vst3/ZamVerb.vst3",
    "/usr/lib/vst/lsp-plugins/lsp-plugins-vst2-1.2.5.so",
};

int Run(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 0x1 /*O_WRONLY*/, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1 /*O_WRONLY*/, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShortName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

void ToolRun(benchmark::State& state, std::string plugin) {
  const std::string output = "/tmp/vif-bench-" + std::to_string(::getpid()) + ".txt";
  int code = 0;
  for (auto _ : state) code = Run({VIF_TOOL_PATH, plugin, output});
  ::unlink(output.c_str());
  state.counters["exit_code"] = code;
}

void BareLoad(benchmark::State& state, std::string plugin) {
  int code = 0;
  for (auto _ : state) code = Run({VIF_BARE_LOADER_PATH, plugin});
  state.counters["exit_code"] = code;
}

const bool kRegistered = [] {
  for (const char* plugin : kPlugins) {
    struct stat info {};
    if (::stat(plugin, &info) != 0) continue;
    const std::string name = ShortName(plugin);
    benchmark::RegisterBenchmark(("ToolRun/" + name).c_str(), ToolRun, std::string(plugin))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("BareLoad/" + name).c_str(), BareLoad, std::string(plugin))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace
