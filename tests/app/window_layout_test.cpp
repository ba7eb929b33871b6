// The main window against its layout: every control by name, kind, container, place, size and caption;
// the list's columns; the popup menu; the timer.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <ostream>
#include <string>

#include "app/gui_harness.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {
namespace {

enum class Kind { group_box, list, button, label, edit, password_edit, progress_bar };

struct Expected {
  const char* name;
  Kind kind;
  const char* parent;  // layout name; "窗口" for the client area
  int x, y, width, height;
  const char* caption;
};

// gtest prints a parameter it cannot name as raw bytes; the layout name says which control failed.
void PrintTo(const Expected& control, std::ostream* out) { *out << control.name; }

// Written out again here rather than read from the window's own table: a slip in that table must fail.
const Expected layout[] = {
    {"分组框1", Kind::group_box, "窗口", 8, 8, 960, 464, "插件列表："},
    {"超级列表框1", Kind::list, "分组框1", 16, 24, 680, 320, ""},
    {"分组框3", Kind::group_box, "分组框1", 744, 336, 200, 112, "翻页："},
    {"按钮6", Kind::button, "分组框3", 8, 24, 88, 32, "首页"},
    {"按钮7", Kind::button, "分组框3", 104, 24, 88, 32, "尾页"},
    {"按钮8", Kind::button, "分组框3", 8, 64, 88, 32, "上一页"},
    {"按钮9", Kind::button, "分组框3", 104, 64, 88, 32, "下一页"},
    {"按钮3", Kind::button, "分组框1", 744, 192, 200, 40, "网页版Quillora"},
    {"按钮4", Kind::button, "分组框1", 744, 240, 200, 40, "加入用户群"},
    {"按钮5", Kind::button, "分组框1", 744, 288, 200, 40, "我是插件作者"},
    {"分组框2", Kind::group_box, "分组框1", 744, 16, 200, 168, "用户登录："},
    {"透明标签2", Kind::label, "分组框2", 8, 24, 64, 24, "商城账号："},
    {"编辑框1", Kind::edit, "分组框2", 72, 24, 120, 24, ""},
    {"透明标签3", Kind::label, "分组框2", 8, 56, 64, 24, "商城密码："},
    {"编辑框2", Kind::password_edit, "分组框2", 72, 56, 120, 24, ""},
    {"透明标签4", Kind::label, "分组框2", 8, 88, 176, 24, "状态：尚未登录"},
    {"按钮1", Kind::button, "分组框2", 8, 120, 80, 32, "登录"},
    {"按钮2", Kind::button, "分组框2", 104, 120, 80, 32, "注册"},
    {"透明标签1", Kind::label, "分组框1", 16, 370, 680, 16, "当前任务：无"},
    {"进度条1", Kind::progress_bar, "分组框1", 16, 423, 680, 24, ""},
    {"透明标签5", Kind::label, "窗口", 24, 404, 680, 16, "下载进度：无"},
};

class WindowLayout : public ::testing::TestWithParam<Expected> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    port_ = new ListeningPort;
    store::StoreEndpoints endpoints{
        .http_base = port_->url(), .https_base = port_->url("https"), .local = true};
    window_ = new WindowUnderTest(dir_->path(), endpoints);
    window_->window().show();
  }
  static void TearDownTestSuite() {
    delete window_;
    delete port_;
    delete dir_;
  }
  static TempDir* dir_;
  static ListeningPort* port_;
  static WindowUnderTest* window_;
};
TempDir* WindowLayout::dir_ = nullptr;
ListeningPort* WindowLayout::port_ = nullptr;
WindowUnderTest* WindowLayout::window_ = nullptr;

std::string caption_of(QWidget* widget, Kind kind) {
  switch (kind) {
    case Kind::group_box:
      return utf8(static_cast<QGroupBox*>(widget)->title());
    case Kind::button:
      return utf8(static_cast<QPushButton*>(widget)->text());
    case Kind::label:
      return utf8(static_cast<QLabel*>(widget)->text());
    case Kind::edit:
    case Kind::password_edit:
      return utf8(static_cast<QLineEdit*>(widget)->text());
    default:
      return "";
  }
}

bool has_kind(QWidget* widget, Kind kind) {
  switch (kind) {
    case Kind::group_box:
      return qobject_cast<QGroupBox*>(widget) != nullptr;
    case Kind::list:
      return qobject_cast<QTreeWidget*>(widget) != nullptr;
    case Kind::button:
      return qobject_cast<QPushButton*>(widget) != nullptr;
    case Kind::label:
      return qobject_cast<QLabel*>(widget) != nullptr;
    case Kind::edit:
      return qobject_cast<QLineEdit*>(widget) != nullptr;
    case Kind::password_edit:
      return qobject_cast<QLineEdit*>(widget) != nullptr;
    case Kind::progress_bar:
      return qobject_cast<QProgressBar*>(widget) != nullptr;
  }
  return false;
}

TEST_P(WindowLayout, ControlHasItsPlaceSizeAndCaption) {
  const Expected& expected = GetParam();
  QWidget* widget = window_->control(expected.name);
  ASSERT_NE(widget, nullptr) << expected.name;
  EXPECT_TRUE(has_kind(widget, expected.kind));
  ASSERT_NE(widget->parentWidget(), nullptr);
  EXPECT_EQ(utf8(widget->parentWidget()->objectName()), expected.parent);
  EXPECT_EQ(widget->geometry(), QRect(expected.x, expected.y, expected.width, expected.height));
  EXPECT_EQ(caption_of(widget, expected.kind), expected.caption);
  EXPECT_TRUE(widget->isVisible());
  EXPECT_TRUE(widget->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(EveryControl, WindowLayout, ::testing::ValuesIn(layout),
                         [](const auto& info) { return "control" + std::to_string(info.index); });

class Window : public ::testing::Test {
 protected:
  TempDir dir_;
  ListeningPort port_;
  WindowUnderTest window_{dir_.path(),
                          {.http_base = port_.url(), .https_base = port_.url("https"), .local = true}};
};

TEST_F(Window, TopLevelHasItsNamePlaceFixedSizeAndInitialCaption) {
  window_.window().show();
  QWidget& top = window_.window();
  EXPECT_EQ(utf8(top.objectName()), "窗口");
  EXPECT_EQ(top.geometry(), QRect(50, 50, 981, 505));
  EXPECT_EQ(top.minimumSize(), QSize(981, 505));
  EXPECT_EQ(top.maximumSize(), QSize(981, 505));
  EXPECT_EQ(window_.caption(), "Quillora v1.0");
}

TEST_F(Window, ListHasTenTitledColumnsWithTheLastThreeHidden) {
  QTreeWidget* list = window_.list();
  ASSERT_NE(list, nullptr);
  struct Column {
    const char* title;
    int width;
  };
  const Column columns[] = {{"插件名", 150},  {"作者", 80},     {"插件类型", 80},  {"机器人平台", 80},
                            {"收费类型", 80}, {"下载次数", 80}, {"更新时间", 120}, {"插件id", 0},
                            {"详情", 0},      {"uid", 0}};
  ASSERT_EQ(list->columnCount(), 10);
  EXPECT_FALSE(list->isHeaderHidden());
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(utf8(list->headerItem()->text(i)), columns[i].title);
    EXPECT_EQ(list->isColumnHidden(i), i >= 7);
    if (i < 7) {
      EXPECT_EQ(list->header()->sectionSize(i), columns[i].width);
    }
  }
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(Window, PasswordEditShowsStars) {
  auto* password = window_.control<QLineEdit>("编辑框2");
  ASSERT_NE(password, nullptr);
  window_.window().show();
  password->setText("p&ss");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(utf8(password->displayText()), "****");
  EXPECT_EQ(window_.control<QLineEdit>("编辑框1")->echoMode(), QLineEdit::Normal);
}

TEST_F(Window, ProgressBarRunsFromZeroToHundred) {
  auto* bar = window_.control<QProgressBar>("进度条1");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(Window, PopupMenuHasItsFourItemsInOrderAndIsNotInAMenuBar) {
  QMenu* menu = popup_menu(window_.window());
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(utf8(menu->title()), "操作");
  std::vector<std::string> items;
  for (QAction* action : menu->actions()) items.push_back(utf8(action->text()));
  EXPECT_EQ(items, (std::vector<std::string>{"下载", "查看更新历史", "查看该作者其他插件", "帮它打榜/置顶"}));
  EXPECT_EQ(window_.window().findChild<QMenuBar*>(), nullptr);
  EXPECT_FALSE(menu->isVisible());
}

TEST_F(Window, TimerTicksEveryHalfSecondFromCreation) {
  auto* timer = window_.window().findChild<QTimer*>(qstr("时钟1"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 500);
  EXPECT_TRUE(timer->isActive());
  EXPECT_FALSE(timer->isSingleShot());
}

}  // namespace
}  // namespace quillora::test
