// The window program from start to end: options, the no-host path, the clean-up at exit, and the
// program run as a process.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/exit_clean_up.hpp"
#include "app/core/options.hpp"
#include "app/core/worker_set.hpp"
#include "app/gui_harness.hpp"
#include "app/ui/program.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {
namespace {

constexpr const char* no_host_message = "将本插件放入机器人目录下，可直接下载指定机器人的插件哦。";

app::Options parse(std::vector<std::string> args) {
  args.insert(args.begin(), "quillora");
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return app::parse_options(static_cast<int>(args.size()), argv.data());
}

TEST(Options, ParseTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    std::string program_dir, store_url, store_tls_url, ca_file;
    bool help;
    std::vector<std::string> rest;
    bool error;
  };
  const Case cases[] = {
      {{}, "", "", "", "", false, {}, false},
      {{"--program-dir", "/opt/机器人", "--store-url", "http://127.0.0.1:8080/"},
       "/opt/机器人",
       "http://127.0.0.1:8080/",
       "",
       "",
       false,
       {},
       false},
      {{"--store-tls-url=https://127.0.0.1:8443", "--ca-file=/tmp/ca.pem"},
       "",
       "",
       "https://127.0.0.1:8443",
       "/tmp/ca.pem",
       false,
       {},
       false},
      {{"list", "--program-dir", "d", "2"}, "d", "", "", "", false, {"list", "2"}, false},
      {{"--", "--help", "-"}, "", "", "", "", false, {"--help", "-"}, false},
      {{"--help"}, "", "", "", "", true, {}, false},
      {{"-h"}, "", "", "", "", true, {}, false},
      {{"--program-dir="}, "", "", "", "", false, {}, false},
      {{"--program-dir"}, "", "", "", "", false, {}, true},
      {{"--unknown"}, "", "", "", "", false, {}, true},
      {{"-x"}, "", "", "", "", false, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const app::Options options = parse(c.args);
    EXPECT_EQ(options.error.empty(), !c.error) << options.error;
    if (c.error) continue;
    EXPECT_EQ(options.program_dir, c.program_dir);
    EXPECT_EQ(options.store_url, c.store_url);
    EXPECT_EQ(options.store_tls_url, c.store_tls_url);
    EXPECT_EQ(options.ca_file, c.ca_file);
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.rest, c.rest);
  }
}

TEST(Options, HelpListsEveryOption) {
  const std::string help = app::options_help();
  for (const char* option : {"--program-dir", "--store-url", "--store-tls-url", "--ca-file", "--help"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

TEST(ExitCleanUp, RunsOnceHoweverOftenItIsAskedFor) {
  app::AppState state;
  state.uid = "17";
  state.token = "abc";
  state.plugin_dir = "/tmp/plugin";
  {
    app::ExitCleanUp clean_up(state);
    EXPECT_TRUE(clean_up.run());
    EXPECT_TRUE(state.uid.empty());
    EXPECT_TRUE(state.token.empty());
    EXPECT_TRUE(state.plugin_dir.empty());
    state.uid = "set again after the clean-up";
    EXPECT_FALSE(clean_up.run());
  }  // the destructor does not run it a second time either
  EXPECT_EQ(state.uid, "set again after the clean-up");
}

TEST(WorkerSet, FinishedThreadsDoNotPileUp) {
  app::WorkerSet workers;
  std::atomic<int> runs{0};
  for (int i = 0; i < 50; ++i) {
    workers.start([&] { ++runs; });
    while (runs.load() <= i) std::this_thread::yield();
  }
  // Each start joins what has finished; at most the last thread may still be on its way out.
  EXPECT_LE(workers.size(), 2u);
  workers.join_all();
  EXPECT_EQ(workers.size(), 0u);
  EXPECT_EQ(runs.load(), 50);
}

TEST(WindowProgram, WithoutAHostItSaysWhereItBelongsAndEndsWithStatusZero) {
  TempDir dir;
  ListeningPort store;
  MessageBoxWatcher boxes;
  app::Options options;
  options.program_dir = dir.path().string();
  options.store_url = store.url();
  options.store_tls_url = store.url("https");

  const int status = ui::run_window_program(options);

  EXPECT_EQ(status, 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, no_host_message);
  EXPECT_EQ(boxes.shown()[0].caption, "信息：");
  EXPECT_EQ(boxes.shown()[0].window_caption, "Pelora - Quillora Ver：1.6");
  process_events_for(50ms);
  EXPECT_FALSE(store.connected());  // not a single request to the store
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Quillora配置" / "插件"));
  for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
}

TEST(WindowProgram, WithAHostItRunsUntilTheWindowCloses) {
  TempDir dir;
  std::ofstream(dir.path() / "vexa.exe") << "MZ";
  std::string dead_store;
  { dead_store = ListeningPort().url(); }  // nothing listens there any more: requests fail at once
  MessageBoxWatcher boxes;  // store failures may be reported; they are accepted like a user would
  std::string caption;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == qstr("窗口") && widget->isVisible()) {
        caption = utf8(widget->windowTitle());
        widget->close();
      }
    }
  });
  closer.start(50);
  app::Options options;
  options.program_dir = dir.path().string();
  options.store_url = dead_store;
  options.store_tls_url = "https" + dead_store.substr(4);

  EXPECT_EQ(ui::run_window_program(options), 0);
  EXPECT_EQ(caption, "Vexa机器人 - Quillora Ver：1.6");
}

#ifdef QUILLORA_BINARY
struct ProcessResult {
  int status = -1;
  std::string output;
};

ProcessResult run_binary(const std::string& args) {
  ProcessResult result;
  const std::string command =
      std::string("QT_QPA_PLATFORM=offscreen '") + QUILLORA_BINARY + "' " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

// Starts the window program offscreen; ends it with SIGTERM once it has looked for its host (the
// settings directory exists), as a session ending would. Returns the exit status, -1 for a hang or a
// death by signal.
int run_until_terminated(const std::filesystem::path& program_dir, const std::string& store_url) {
  // Everything the child needs is made before fork(): the child of a threaded process may only exec.
  std::vector<std::string> args{
      QUILLORA_BINARY, "--program-dir",   program_dir.string(),         "--store-url",
      store_url,       "--store-tls-url", "https" + store_url.substr(4)};
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen"};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) env.emplace_back(*e);
  }
  std::vector<char*> argv, envp;
  for (auto& arg : args) argv.push_back(arg.data());
  for (auto& var : env) envp.push_back(var.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  int raw = 0;
  bool terminated = false;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, &raw, WNOHANG) == pid) return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (!terminated && std::filesystem::is_directory(program_dir / "Quillora配置" / "插件")) {
      ::kill(pid, SIGTERM);
      terminated = true;
    }
    std::this_thread::sleep_for(10ms);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &raw, 0);
  return -1;
}

TEST(WindowProcess, TerminationClosesTheWindowAndExitsZero) {
  TempDir dir;
  std::ofstream(dir.path() / "vexa.exe") << "MZ";
  std::string dead_store;
  { dead_store = ListeningPort().url(); }
  EXPECT_EQ(run_until_terminated(dir.path(), dead_store), 0);
}

// A store that sends its headers and then nothing: the page count blocks the window and the first
// page's worker waits, each for half a minute. Termination must not wait for them.
TEST(WindowProcess, TerminationEndsItWhileTheStoreNeverFinishesAReply) {
  TempDir dir;
  std::ofstream(dir.path() / "vexa.exe") << "MZ";
  StoreServer store;
  ASSERT_TRUE(store.start());
  EXPECT_EQ(run_until_terminated(dir.path(), store.http_url() + "/fault/hang"), 0);
}

TEST(WindowProcess, WithoutAHostItAsksNothingOfTheStore) {
  TempDir dir;
  ListeningPort store;
  // The message box waits for its OK; the termination closes it like the user would.
  EXPECT_EQ(run_until_terminated(dir.path(), store.url()), 0);
  EXPECT_FALSE(store.connected());
}

TEST(WindowProcess, HelpListsTheOptionsAndExitsZero) {
  const auto result = run_binary("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("--program-dir"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("--store-url"), std::string::npos);
}

TEST(WindowProcess, UsageErrorsExitTwoWithoutOpeningAWindow) {
  for (const char* args : {"--bogus", "--program-dir", "stray-argument"}) {
    SCOPED_TRACE(args);
    const auto result = run_binary(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.output.find("--program-dir"), std::string::npos) << result.output;
  }
}
#endif

}  // namespace
}  // namespace quillora::test
