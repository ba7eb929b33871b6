#include "store/download_task.hpp"

#include <cmath>
#include <cstdint>
#include <memory>

#include "app/core/plugin_columns.hpp"
#include "net/web_request.hpp"
#include "store/plugin_file.hpp"
#include "store/reply.hpp"
#include "util/gbk.hpp"
#include "util/text.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

std::string selected_cell(app::Window& window, int column) {
  return window.cell(window.selected_row(), column);
}

// The last piece of the link split at "/" (an empty rest after the last "/" is no piece).
std::string name_from_link(const std::string& link) {
  const std::vector<std::string> pieces = util::split_text(link, "/");
  return pieces.empty() ? std::string() : pieces.back();
}

void count_download(app::Window& window) {
  const int row = window.selected_row();
  const int count = util::read_integer(window.cell(row, app::col_downloads));
  window.set_cell(row, app::col_downloads, std::to_string(static_cast<long long>(count) + 1));
}

// The percent as the progress bar takes it: the low 32 bits.
int bar_position(const net::RangedDownloader& downloader) {
  return static_cast<int>(static_cast<std::uint32_t>(downloader.percent()));
}

bool keeps_partial_file(net::TransferEnd end) {
  // Bytes that could not be written (full disk, broken file) are worth nothing; bytes that a
  // stopped or broken connection delivered are kept, as with any interrupted download.
  return end != net::TransferEnd::write_error && end != net::TransferEnd::file_error;
}

// The transfer's progress routine, on the transfer's thread after every chunk: the progress bar
// moves on the window's thread, and only when the percent changes, so a fast transfer does not flood
// the window with calls. A call that arrives after the transfer has ended is dropped, so the bar
// never falls back from the final position set by the task.
void report_progress(app::Window& window, const net::RangedDownloader& downloader, int& shown,
                     const std::shared_ptr<bool>& transfer_live) {
  const int position = bar_position(downloader);
  if (position == shown) return;
  shown = position;
  window.post([&window, transfer_live, position] {
    if (*transfer_live) window.set_progress(position);
  });
}

// Runs the prepared transfer on a worker while the window stays usable (its timer, its close rule,
// a second "下载" meeting the guard).
bool run_transfer(StoreContext& ctx) {
  app::AppState& state = ctx.state;
  app::Window& window = ctx.window;
  auto transfer_live = std::make_shared<bool>(true);
  bool ok = false;
  window.run_and_wait(
      [&] {
        int shown = 0;
        ok = state.downloader.run(
            [&] { report_progress(window, state.downloader, shown, transfer_live); },
            [&] { window.post([&state, &window] { finish_stopped_download(state, window); }); });
      },
      /*allow_input=*/true);
  *transfer_live = false;
  return ok;
}

void end_task(app::AppState& state) { state.downloading = false; }

}  // namespace

void request_download(StoreContext& ctx) {
  if (ctx.state.downloading) {
    ctx.window.message_box("请等待前一个下载任务完成"_gbk);
    return;
  }
  download_task(ctx, selected_cell(ctx.window, app::col_plugin_id));
}

bool download_task(StoreContext& ctx, const std::string& plugin_id) {
  app::AppState& state = ctx.state;
  app::Window& window = ctx.window;
  state.downloading = true;

  std::string reply;
  const net::WebRequestArgs link_request{
      .url = ctx.endpoints.http("/Api/Plugin/download/plugin_id/" + plugin_id),
      .ca_file = ctx.endpoints.ca_file};
  window.run_and_wait([&] { reply = net::web_request(link_request).text; }, /*allow_input=*/false);
  // The window was closed while the link was fetched: the program is ending, and no file was touched.
  if (state.exit_after_stop) {
    end_task(state);
    return false;
  }
  if (!reply_ok(reply)) {
    window.message_box(decode_message(reply_field(reply, ReplyField::content)));
    end_task(state);
    return false;
  }
  std::string link = reply_field(reply, ReplyField::url);
  count_download(window);
  link = decode_message(link);

  // A name that could reach outside the plugin directory is refused before any file is touched.
  const std::string name = name_from_link(link);
  if (!is_safe_plugin_name(name)) {
    window.message_box("下载失败！"_gbk);
    end_task(state);
    return false;
  }
  const std::filesystem::path target = state.plugin_dir / util::gbk_to_utf8(name);
  // The transfer fills a file beside the target; the target is replaced only by a complete file,
  // so an older plugin survives a failed or stopped download and the robot never loads half a file.
  std::filesystem::path partial = partial_path(target);

  window.set_progress(0);
  remove_plugin_file(partial);
  state.downloader.set_ca_file(ctx.endpoints.ca_file);
  if (!state.downloader.prepare(link, partial, /*path_given=*/true)) {
    window.message_box("下载失败！"_gbk);
    end_task(state);
    return false;
  }
  window.set_text(app::Control::task_label,
                  "当前任务："_gbk + selected_cell(window, app::col_name) + " 文件名："_gbk + name);
  // The speed figure is measured from this transfer's start, never against an older one.
  state.last_downloaded = 0;
  bool ok = run_transfer(ctx);
  const net::TransferEnd end = state.downloader.last_end();

  if (ok && !commit_plugin_file(partial, target)) ok = false;
  if (ok) {
    window.set_progress(100);
    end_task(state);
    window.open_directory(state.plugin_dir.string());
    window.message_box("下载完成!"_gbk);
    return true;
  }
  if (end == net::TransferEnd::complete || !keeps_partial_file(end)) remove_plugin_file(partial);
  // Closing the window stopped this transfer: the program is ending, with nothing more to say.
  if (end == net::TransferEnd::stopped && state.exit_after_stop) {
    end_task(state);
    return false;
  }
  window.set_text(app::Control::task_label, "无"_gbk);
  window.message_box("下载失败！"_gbk);
  end_task(state);
  return false;
}

void finish_stopped_download(app::AppState& state, app::Window& window) {
  if (state.exit_after_stop) window.end_program(0);
}

std::string download_status_line(std::int64_t percent, std::int64_t downloaded, std::int64_t total,
                                 std::int64_t last_downloaded) {
  const auto speed =
      static_cast<std::int64_t>(std::trunc(static_cast<double>(downloaded - last_downloaded) / 1024.0));
  return "下载进度："_gbk + std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(percent))) +
         " % 下载速度："_gbk + std::to_string(speed) + " KB/s 文件总大小："_gbk +
         std::to_string(total / 1024) + " KB 已下载："_gbk + std::to_string(downloaded / 1024) + " KB";
}

void show_download_status(StoreContext& ctx) {
  const net::RangedDownloader& downloader = ctx.state.downloader;
  if (!downloader.is_running()) return;
  const std::int64_t done = downloader.downloaded();
  ctx.window.set_text(
      app::Control::progress_label,
      download_status_line(downloader.percent(), done, downloader.total_size(), ctx.state.last_downloaded));
  ctx.state.last_downloaded = done;
}

bool confirm_close(StoreContext& ctx) {
  if (!ctx.state.downloader.is_running()) {
    // A task still fetching its link must not start a transfer for a window that is gone.
    if (ctx.state.downloading) ctx.state.exit_after_stop = true;
    return true;
  }
  ctx.window.message_box("正在停止下载..."_gbk);
  ctx.state.downloader.stop();
  ctx.state.exit_after_stop = true;
  return false;
}

}  // namespace quillora::store
