// Host robot detection against real directories: which marker wins, letter case, the plugin
// directory, the settings directories and the no-host message.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/host_robot.hpp"
#include "app/core/program_dirs.hpp"
#include "app/gui_harness.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* no_host_message = "将本插件放入机器人目录下，可直接下载指定机器人的插件哦。";

struct Entry {
  const char* name;  // UTF-8, relative to the program directory
  bool directory = false;
};

struct DetectionCase {
  const char* label;
  std::vector<Entry> entries;
  int robot_id;            // 0: no host
  const char* title;       // window caption afterwards
  const char* plugin_dir;  // relative to the program directory
};

const char* const default_plugin = "Quillora配置/插件";

const DetectionCase detection_cases[] = {
    {"brisko", {{"brisko.exe"}}, 3, "Brisko机器人 - Quillora Ver：1.6", default_plugin},
    {"vexa", {{"vexa.exe"}}, 1, "Vexa机器人 - Quillora Ver：1.6", "Plugin"},
    {"lumop", {{"lumop.exe"}}, 2, "Lumopro机器人 - Quillora Ver：1.6", "app"},
    {"lumoa", {{"lumoa.exe"}}, 2, "Lumoair机器人 - Quillora Ver：1.6", "app"},
    {"ostrel", {{"ostrel.exe"}}, 5, "Ostrel机器人 - Quillora Ver：1.6", "plugin"},
    {"zinvo", {{"Zinvo.exe"}}, 4, "Zinvo微信机器人 - Quillora Ver：1.6", "app"},
    {"dunmere", {{"DunmereQQ机器人.exe"}}, 7, "Dunmere机器人 - Quillora Ver：1.6", "机器人插件"},
    {"kestra", {{"Kestra.exe"}}, 8, "Kestra机器人 - Quillora Ver：1.6", "plugin"},
    // The earlier row wins.
    {"brisko_over_kestra",
     {{"Kestra.exe"}, {"brisko.exe"}},
     3,
     "Brisko机器人 - Quillora Ver：1.6",
     default_plugin},
    {"lumop_over_lumoa", {{"lumoa.exe"}, {"lumop.exe"}}, 2, "Lumopro机器人 - Quillora Ver：1.6", "app"},
    {"vexa_over_dunmere",
     {{"DunmereQQ机器人.exe"}, {"vexa.exe"}},
     1,
     "Vexa机器人 - Quillora Ver：1.6",
     "Plugin"},
    // A directory counts like a file.
    {"directory_marker", {{"ostrel.exe", true}}, 5, "Ostrel机器人 - Quillora Ver：1.6", "plugin"},
    // Markers ignore ASCII letter case, also around Chinese characters.
    {"upper_case_marker", {{"VEXA.EXE"}}, 1, "Vexa机器人 - Quillora Ver：1.6", "Plugin"},
    {"lower_case_marker", {{"zinvo.exe"}}, 4, "Zinvo微信机器人 - Quillora Ver：1.6", "app"},
    {"mixed_case_chinese_marker",
     {{"dunmereqq机器人.EXE"}},
     7,
     "Dunmere机器人 - Quillora Ver：1.6",
     "机器人插件"},
    // An existing plugin directory under another case is the one used; a file of that name is not.
    {"existing_lower_plugin_dir",
     {{"vexa.exe"}, {"plugin", true}},
     1,
     "Vexa机器人 - Quillora Ver：1.6",
     "plugin"},
    {"existing_upper_plugin_dir",
     {{"Kestra.exe"}, {"PLUGIN", true}},
     8,
     "Kestra机器人 - Quillora Ver：1.6",
     "PLUGIN"},
    {"exact_plugin_dir_preferred",
     {{"vexa.exe"}, {"plugin", true}, {"Plugin", true}},
     1,
     "Vexa机器人 - Quillora Ver：1.6",
     "Plugin"},
    {"file_named_like_plugin_dir", {{"vexa.exe"}, {"plugin"}}, 1, "Vexa机器人 - Quillora Ver：1.6", "Plugin"},
    // Near misses.
    {"none", {}, 0, "Pelora - Quillora Ver：1.6", default_plugin},
    {"near_misses",
     {{"vexa"}, {"vexa.exe.bak"}, {"xvexa.exe"}, {"Plugin", true}, {"sub", true}, {"sub/vexa.exe"}},
     0,
     "Pelora - Quillora Ver：1.6",
     default_plugin},
};

class HostDetection : public ::testing::TestWithParam<DetectionCase> {
 protected:
  TempDir dir_;
  ListeningPort port_;
};

void make_entries(const fs::path& root, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    const fs::path path = root / fs::path(entry.name);
    if (entry.directory) {
      fs::create_directories(path);
    } else {
      std::ofstream(path) << "MZ";
    }
  }
}

TEST_P(HostDetection, FindsTheFirstHostOfTheTable) {
  const DetectionCase& c = GetParam();
  make_entries(dir_.path(), c.entries);
  WindowUnderTest window(dir_.path(),
                         {.http_base = port_.url(), .https_base = port_.url("https"), .local = true});
  MessageBoxWatcher boxes;

  const auto robot = app::detect_host_robot(window.state(), window.window());

  EXPECT_EQ(window.state().robot_id, c.robot_id);
  EXPECT_EQ(window.caption(), c.title);
  EXPECT_EQ(window.state().plugin_dir, dir_.path() / fs::path(c.plugin_dir));
  if (c.robot_id == 0) {
    EXPECT_FALSE(robot.has_value());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, no_host_message);
    EXPECT_EQ(boxes.shown()[0].caption, "信息：");
    EXPECT_EQ(boxes.shown()[0].window_caption, "Pelora - Quillora Ver：1.6");
  } else {
    ASSERT_TRUE(robot.has_value());
    EXPECT_EQ(robot->robot_id, c.robot_id);
    EXPECT_TRUE(boxes.shown().empty());
  }
  // A host's own plugin directory is neither made nor touched here.
  if (c.robot_id != 0 && std::string(c.plugin_dir) != default_plugin) {
    bool listed = false;
    for (const Entry& entry : c.entries) listed = listed || std::string(entry.name) == c.plugin_dir;
    EXPECT_EQ(fs::exists(window.state().plugin_dir), listed);
  }
  EXPECT_FALSE(port_.connected());
}

INSTANTIATE_TEST_SUITE_P(Table, HostDetection, ::testing::ValuesIn(detection_cases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(HostRobotTable, HasTheEightHostsInOrder) {
  std::vector<std::string> markers;
  for (const auto& robot : app::host_robot_table()) markers.emplace_back(robot.marker);
  EXPECT_EQ(markers,
            (std::vector<std::string>{"brisko.exe", "vexa.exe", "lumop.exe", "lumoa.exe", "ostrel.exe",
                                      "Zinvo.exe", "DunmereQQ机器人.exe", "Kestra.exe"}));
}

class ProgramDirectories : public ::testing::Test {
 protected:
  void detect() {
    ListeningPort port;
    WindowUnderTest window(dir_.path(),
                           {.http_base = port.url(), .https_base = port.url("https"), .local = true});
    MessageBoxWatcher boxes;
    app::detect_host_robot(window.state(), window.window());
    plugin_dir_ = window.state().plugin_dir;
  }
  fs::path settings() const { return dir_.path() / "Quillora配置"; }
  fs::path plugins() const { return dir_.path() / "Quillora配置" / "插件"; }

  TempDir dir_;
  fs::path plugin_dir_;
};

TEST_F(ProgramDirectories, BothAreCreatedWhenMissingEvenWithoutAHost) {
  detect();
  EXPECT_TRUE(fs::is_directory(settings()));
  EXPECT_TRUE(fs::is_directory(plugins()));
  EXPECT_EQ(plugin_dir_, plugins());
}

TEST_F(ProgramDirectories, AnExistingSettingsDirectoryIsLeftAsItIs) {
  fs::create_directories(settings());
  std::ofstream(settings() / "config.ini") << "[登录]\n";
  const auto before = fs::last_write_time(settings() / "config.ini");
  std::ofstream(dir_.path() / "vexa.exe") << "MZ";

  detect();

  EXPECT_TRUE(fs::is_directory(plugins()));
  EXPECT_EQ(fs::last_write_time(settings() / "config.ini"), before);
  std::ifstream in(settings() / "config.ini");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "[登录]\n");
}

TEST_F(ProgramDirectories, ExistingPluginsDirectoryKeepsItsFiles) {
  fs::create_directories(plugins());
  std::ofstream(plugins() / "a.dll") << "x";
  detect();
  EXPECT_TRUE(fs::exists(plugins() / "a.dll"));
}

TEST_F(ProgramDirectories, ASettingsPathTakenByAFileIsNotFatal) {
  std::ofstream(settings()) << "not a directory";
  std::ofstream(dir_.path() / "brisko.exe") << "MZ";
  detect();
  EXPECT_TRUE(fs::is_regular_file(settings()));
  EXPECT_EQ(plugin_dir_, plugins());  // downloads into it fail later, where the user sees why
}

TEST(ProgramDirs, EntryLookupIgnoresOnlyAsciiCase) {
  TempDir dir;
  fs::create_directories(dir.path() / "Ab");
  std::ofstream(dir.path() / "ÄX.exe") << "";
  EXPECT_EQ(app::find_entry_ignoring_case(dir.path(), "aB"), dir.path() / "Ab");
  EXPECT_EQ(app::find_entry_ignoring_case(dir.path(), "Äx.EXE"), dir.path() / "ÄX.exe");
  // "ä" is not an ASCII letter: its case is not folded.
  EXPECT_FALSE(app::find_entry_ignoring_case(dir.path(), "äx.exe"));
  EXPECT_FALSE(app::find_entry_ignoring_case(dir.path(), "a"));
  EXPECT_FALSE(app::find_entry_ignoring_case(dir.path() / "missing", "Ab"));
}

}  // namespace
}  // namespace quillora::test
