#include "cli/commands.hpp"

#include <charconv>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/app_state.hpp"
#include "app/core/exit_clean_up.hpp"
#include "app/core/host_robot.hpp"
#include "app/core/options.hpp"
#include "app/core/plugin_columns.hpp"
#include "app/core/program_dirs.hpp"
#include "cli/interrupt.hpp"
#include "cli/password_input.hpp"
#include "cli/terminal_text.hpp"
#include "cli/terminal_window.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"
#include "store/download_task.hpp"
#include "store/reply.hpp"
#include "store/row_actions.hpp"
#include "store/store_context.hpp"
#include "store/store_endpoints.hpp"
#include "util/gbk.hpp"
#include "util/text.hpp"

namespace quillora::cli {
namespace {
using namespace util::literals;
using Args = std::span<const std::string>;

// Everything one run of a command works with: the same state, window and store as the window program.
struct Session {
  explicit Session(const app::Options& options) : endpoints(store::StoreEndpoints::from_options(options)) {
    state.program_dir =
        options.program_dir.empty() ? app::executable_dir() : std::filesystem::path(options.program_dir);
  }
  app::AppState state;
  app::ExitCleanUp clean_up{state};
  TerminalWindow window;
  store::StoreEndpoints endpoints;
  store::StoreContext ctx{state, window, endpoints};
};

void print_out(std::string_view utf8) { write_line(stdout, utf8); }

void print_error(std::string_view utf8) { write_line(stderr, utf8); }

int usage_error(std::string_view what) {
  print_error("quillora-cli: " + std::string(what));
  print_error("Try 'quillora-cli --help'.");
  return exit_usage;
}

// A catalogue page number: decimal digits only, 1 or more.
std::optional<int> page_number(const std::string& text) {
  int page = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, page);
  if (text.empty() || error != std::errc() || stop != end || text.front() == '+' || page < 1)
    return std::nullopt;
  return page;
}

// A cell on one output line: TAB and line breaks written as escapes. Done on the GBK text, where
// those bytes are always the characters themselves.
std::string line_cell(const std::string& gbk_cell) {
  std::string cell = util::replace_all(gbk_cell, "\t", "\\t");
  cell = util::replace_all(cell, "\n", "\\n");
  cell = util::replace_all(cell, "\r", "\\r");
  return util::gbk_to_utf8(cell);
}

int robot_command(Session& session, Args) {
  std::string dir = session.state.plugin_dir.string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  print_out("title\t" + util::gbk_to_utf8(session.window.caption()));
  print_out("robot_id\t" + std::to_string(session.state.robot_id.load()));
  print_out("plugin_dir\t" + dir);
  return exit_ok;
}

int pages_command(Session& session, Args) {
  session.state.current_page = 1;
  store::query_page_count(session.ctx);
  print_out(std::to_string(session.state.page_count.load()));
  return exit_ok;
}

int list_command(Session& session, Args args) {
  std::optional<int> page = args.empty() ? 1 : page_number(args[0]);
  if (!page) return usage_error("not a page number: " + args[0]);
  for (const store::PluginRow& row :
       store::fetch_catalogue_page(session.endpoints, session.state.robot_id, *page)) {
    std::string line;
    for (int column = 0; column < app::plugin_column_count; ++column) {
      if (column > 0) line += '\t';
      line += line_cell(row[column]);
    }
    print_out(line);
  }
  return exit_ok;
}

int show_command(Session& session, Args args) {
  const std::string plugin_id = util::utf8_to_gbk(args[0]);
  std::vector<int> pages;
  if (args.size() > 1) {
    std::optional<int> page = page_number(args[1]);
    if (!page) return usage_error("not a page number: " + args[1]);
    pages.push_back(*page);
  } else {
    session.state.current_page = 1;
    store::query_page_count(session.ctx);
    for (int page = 1; page <= std::max(1, session.state.page_count.load()); ++page) pages.push_back(page);
  }
  for (int page : pages) {
    for (const store::PluginRow& row :
         store::fetch_catalogue_page(session.endpoints, session.state.robot_id, page)) {
      if (row[app::col_plugin_id] != plugin_id) continue;
      print_out(util::gbk_to_utf8(store::description_text(row[app::col_detail])));
      return exit_ok;
    }
  }
  print_error("quillora-cli: no plugin " + args[0] + " in the catalogue");
  return exit_failed;
}

int login_command(Session& session, Args args) {
  const std::string account = util::utf8_to_gbk(args[0]);
  // The password prompt is the window's label beside the password box.
  const std::string password =
      args[0].empty() ? std::string() : util::utf8_to_gbk(read_password("商城密码："));
  session.window.set_text(app::Control::account_edit, account);
  session.window.set_text(app::Control::password_edit, password);
  store::sign_in(session.ctx);
  if (session.window.text(app::Control::status_label) == "状态：已登录"_gbk) return exit_ok;
  return account.empty() || password.empty() ? exit_usage : exit_failed;
}

int check_command(Session& session, Args) {
  store::restore_saved_account(session.ctx);
  const bool signed_in = session.window.text(app::Control::status_label) == "状态：已登录"_gbk;
  print_out(signed_in ? "状态：已登录" : "状态：未登录");
  return signed_in ? exit_ok : exit_failed;
}

int recommend_command(Session& session, Args args) {
  // The saved login, restored and checked as the window does at start-up.
  store::restore_saved_account(session.ctx);
  const std::string reply = store::send_recommendation(session.ctx, util::utf8_to_gbk(args[0]));
  if (store::reply_ok(reply)) {
    print_out("打榜成功！");
    return exit_ok;
  }
  print_error(
      util::gbk_to_utf8(store::decode_message(store::reply_field(reply, store::ReplyField::content))));
  return exit_failed;
}

int download_command(Session& session, Args args) {
  app::AppState& state = session.state;
  TerminalWindow& window = session.window;
  const std::string plugin_id = util::utf8_to_gbk(args[0]);
  // The task reads the plugin from the selected row, as the window's menu item does.
  const int row = window.append_row();
  window.set_cell(row, app::col_plugin_id, plugin_id);
  window.select_row(row);

  window.on_tick = [&session] { store::show_download_status(session.ctx); };
  window.final_line = [&state] {
    const net::RangedDownloader& downloader = state.downloader;
    return store::download_status_line(downloader.percent(), downloader.downloaded(), downloader.total_size(),
                                       state.last_downloaded);
  };
  // Ctrl-C is the terminal's way of closing the window: the transfer stops, the program ends.
  bool stop_announced = false;
  window.on_interrupt = [&] {
    if (!stop_announced) {
      window.message_box("正在停止下载..."_gbk);
      state.exit_after_stop = true;
      stop_announced = true;
    }
    // Again at every turn: a transfer that starts after the key was pressed clears older requests.
    state.downloader.stop();
  };
  install_interrupt_handler(state.downloader);

  const bool complete = store::download_task(session.ctx, plugin_id);
  if (complete) return exit_ok;
  return interrupted() ? exit_interrupted : exit_failed;
}

struct Command {
  std::string_view name;
  std::string_view synopsis;
  std::size_t min_args;
  std::size_t max_args;
  std::string_view help;
  int (*run)(Session&, Args);
};

constexpr Command commands[] = {
    {"robot", "robot", 0, 0,
     "Prints the host robot beside the program: its title, robot id and plugin directory, one\n"
     "TAB-separated line each.\n",
     robot_command},
    {"pages", "pages", 0, 0,
     "Prints the number of catalogue pages that the store reports for the host robot.\n", pages_command},
    {"list", "list [PAGE]", 0, 1,
     "Prints the plugins of a catalogue page (default 1), one line each: the ten cells of the window's\n"
     "list in column order (name, author, type, platform, price class, downloads, update time, plugin\n"
     "id, description, author uid), separated by TAB. A TAB or line break in a cell is written as \\t,\n"
     "\\n or \\r, any other control character as \\xHH.\n",
     list_command},
    {"show", "show PLUGIN_ID [PAGE]", 1, 2,
     "Prints a plugin's description as the window shows it on a double click. Without PAGE, the\n"
     "catalogue is searched from its first page.\n",
     show_command},
    {"login", "login ACCOUNT", 1, 1,
     "Signs in to the store. The password is read from the terminal without echo, or as one line\n"
     "from standard input when that is not a terminal. The account is saved as the window saves it.\n",
     login_command},
    {"check", "check", 0, 0,
     "Checks the saved login with the store, as the window does at start-up (a refused login is\n"
     "forgotten), and prints the login state.\n",
     check_command},
    {"recommend", "recommend PLUGIN_ID", 1, 1,
     "Recommends a plugin on the store's ranking with the saved login.\n", recommend_command},
    {"download", "download PLUGIN_ID", 1, 1,
     "Downloads a plugin into the host robot's plugin directory. The file is written beside its\n"
     "target as NAME.part and replaces the target only when complete. Progress goes to standard\n"
     "error. Ctrl-C stops the transfer (the .part file stays) and exits with status 130; a second\n"
     "Ctrl-C ends the program at once.\n",
     download_command},
};

constexpr std::string_view exit_help =
    "Exit status: 0 success; 1 the store refused, the login check failed or the transfer failed;\n"
    "2 usage error; 3 no host robot beside the program; 130 download stopped by Ctrl-C.\n";

void print_help() {
  std::string text = "Usage: quillora-cli [options] COMMAND [ARGS]\n\nCommands:\n";
  for (const Command& command : commands) {
    text += "  " + std::string(command.synopsis) + "\n";
  }
  text += "\nRun 'quillora-cli COMMAND --help' for a command's description.\n\n";
  text += app::options_help() + "\n" + std::string(exit_help);
  std::fputs(text.c_str(), stdout);
}

void print_command_help(const Command& command) {
  const std::string text = "Usage: quillora-cli [options] " + std::string(command.synopsis) + "\n\n" +
                           std::string(command.help) + "\n" + app::options_help() + "\n" +
                           std::string(exit_help);
  std::fputs(text.c_str(), stdout);
}

}  // namespace

int run_cli(int argc, char** argv) {
  const app::Options options = app::parse_options(argc, argv);
  if (!options.error.empty()) return usage_error(options.error);
  if (options.rest.empty()) {
    if (options.help) {
      print_help();
      return exit_ok;
    }
    return usage_error("missing command");
  }
  const Command* command = nullptr;
  for (const Command& candidate : commands) {
    if (candidate.name == options.rest.front()) command = &candidate;
  }
  if (command == nullptr) return usage_error("unknown command: " + options.rest.front());
  if (options.help) {
    print_command_help(*command);
    return exit_ok;
  }
  const Args args = std::span(options.rest).subspan(1);
  if (args.size() < command->min_args || args.size() > command->max_args) {
    return usage_error("usage: quillora-cli [options] " + std::string(command->synopsis));
  }

  Session session(options);
  if (!app::detect_host_robot(session.state, session.window)) return exit_no_host;
  const int status = command->run(session, args);
  std::fflush(stdout);
  return status;
}

}  // namespace quillora::cli
