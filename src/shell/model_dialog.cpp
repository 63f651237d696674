#include "shell/model_dialog.hpp"

#include <algorithm>
#include <atomic>
#include <memory>

#include "models/model_catalogue.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

constexpr int box_height = 25;
constexpr int button_width = 80;
constexpr int button_height = 40;
constexpr int heading_x = 40;
constexpr int box_x = 60;
constexpr int first_box_y = 50;
constexpr int margin = 10;

// The dialog while it is open. Its button handlers run on the window thread; they
// touch only the check boxes and the model selection.
class model_dialog : public std::enable_shared_from_this<model_dialog> {
 public:
  model_dialog(toolkit::window_system& tk, run_choices& choices) : tk_(tk), choices_(choices) {}

  void model_selection(shell_state& st);

  // "Clear": every ticked box is unticked and its model deselected.
  void clear_checkbox() {
    for (int k = 1; k <= 10; ++k) {
      if (tk_.checkboxischecked(boxes_[k - 1])) {
        tk_.checkboxsetchecked(boxes_[k - 1], false);
        choices_.models[k - 1] = false;
      }
    }
  }
  // "All Models", "Linear", "Hyperbolic": as "Clear", then models first..last ticked.
  void all_checkbox() { select(1, 10); }
  void linear_checkbox() { select(1, 4); }
  void hyperbolic_checkbox() { select(5, 10); }
  // "Close": ends the dialog's wait.
  void quit() {
    closed_ = true;
    tk_.stopidle(window_);
  }
  // The title bar's close button is refused: the person must press "Close".
  static int closeflag_cancel() { return 0; }

 private:
  void select(int first, int last) {
    clear_checkbox();
    for (int k = first; k <= last; ++k) {
      tk_.checkboxsetchecked(boxes_[k - 1], true);
      choices_.models[k - 1] = true;
    }
  }

  toolkit::window_system& tk_;
  run_choices& choices_;
  std::array<int, 10> boxes_{};
  int window_ = -1;
  std::atomic<bool> closed_{false};
};

void model_dialog::model_selection(shell_state& st) {
  const dialog_geometry g = model_dialog_geometry(tk_);
  // Top-left corner at (width, height) as far as the screen allows.
  const int left = std::clamp(tk_.getmaxwidth() - g.width, 0, g.width);
  const int top = std::clamp(tk_.getmaxheight() - g.height, 0, g.height);
  window_ = tk_.initwindow(g.width, g.height, "Select Models", left, top, false, false);
  tk_.setwindowsystemclosecallback(&model_dialog::closeflag_cancel);

  tk_.setcolor(toolkit::black);
  tk_.setbkcolor(toolkit::window_system::creatergb(242, 245, 250));
  tk_.clearviewport();
  tk_.settextjustify(toolkit::left_text, toolkit::top_text);
  const int text_size = tk_.scaledpi(14);
  tk_.settextstyle(toolkit::gui_font, 0, text_size);
  tk_.setwindowtitle("Inhibra");

  int y = g.height / 25;
  const int line_height = tk_.textheight(toolkit::gui_font, text_size);
  for (auto line : model_heading) {
    tk_.outtextxy(heading_x, y, line);
    y += line_height;
  }

  for (int k = 1; k <= 10; ++k) {
    boxes_[k - 1] = tk_.createcheckbox_nohandler(box_x, first_box_y + k * g.row, g.box_width,
                                                 box_height, model_labels[k - 1]);
  }
  // The textbook names, so that the labels' codes need no looking up.
  tk_.settextstyle(toolkit::gui_font, 0, g.textbook_size);
  tk_.setcolor(toolkit::window_system::creatergb(70, 70, 70));
  const int name_height = tk_.textheight(toolkit::gui_font, g.textbook_size);
  for (int k = 1; k <= 10 && g.textbook_x > 0; ++k) {
    tk_.outtextxy(g.textbook_x, first_box_y + k * g.row + (box_height - name_height) / 2,
                  models::model_catalogue[static_cast<std::size_t>(k - 1)].textbook);
  }
  tk_.setcolor(toolkit::black);
  tk_.settextstyle(toolkit::gui_font, 0, text_size);

  const std::weak_ptr<model_dialog> self = weak_from_this();
  const std::array<void (model_dialog::*)(), 5> handlers = {
      &model_dialog::linear_checkbox, &model_dialog::hyperbolic_checkbox,
      &model_dialog::all_checkbox, &model_dialog::clear_checkbox, &model_dialog::quit};
  for (std::size_t b = 0; b < model_buttons.size(); ++b) {
    tk_.createbutton(g.button_x(static_cast<int>(b)), 13 * g.row, g.button_width, button_height,
                     model_buttons[b], [self, handler = handlers[b]] {
                       if (auto dialog = self.lock()) ((*dialog).*handler)();
                     });
  }

  for (int k = 1; k <= 10; ++k) {
    if (choices_.models[k - 1].load()) tk_.checkboxsetchecked(boxes_[k - 1], true);
  }
  for (int k = 1; k <= 10; ++k)
    tk_.setcheckboxvisible(boxes_[k - 1], true);

  const int slot = st.children.add(window_);

  while (!closed_ && !tk_.closing())
    tk_.loop();

  // A program that is ending keeps the selection it had (the boxes are gone).
  if (!tk_.closing()) {
    for (int k = 1; k <= 10; ++k)
      choices_.models[k - 1] = tk_.checkboxischecked(boxes_[k - 1]);
  }

  tk_.refreshall();
  tk_.settextstyle(1, 0, 14);
  st.children.free(slot);
  tk_.setcurrentwindow(st.main_window);
  tk_.stopidle();
  tk_.closewindow(window_);  // once
  tk_.enablewindow(st.main_window, true);
  tk_.refreshall();
}

}  // namespace

dialog_geometry model_dialog_geometry(toolkit::window_system& tk) {
  dialog_geometry g;
  // A share of the screen, computed in single precision as the sizes always were.
  g.width = static_cast<int>(static_cast<float>(tk.getmaxwidth()) / 3.7f);
  g.height = static_cast<int>(static_cast<float>(tk.getmaxheight()) / 2.3f);

  const int text_size = tk.scaledpi(14);
  g.box_width = 700;
  for (auto label : model_labels)
    g.box_width = std::max(g.box_width, tk.checkboxwidth(label, text_size));
  int heading_width = 0;
  for (auto line : model_heading) {
    heading_width = std::max(heading_width, tk.textwidth(toolkit::gui_font, text_size, line));
  }
  const int line_height = tk.textheight(toolkit::gui_font, text_size);
  g.button_width = button_width;
  for (auto label : model_buttons) {
    g.button_width = std::max(g.button_width, tk.buttonwidth(label, text_size));
  }
  g.button_step = std::max(100, g.button_width + 20);
  g.textbook_size = tk.scaledpi(12);
  g.textbook_x = box_x + g.box_width + margin;
  int textbook_width = 0;
  for (const models::model_facts& m : models::model_catalogue)
    textbook_width =
        std::max(textbook_width, tk.textwidth(toolkit::gui_font, g.textbook_size, m.textbook));

  // On a screen too narrow for them the textbook names are left out (the Model
  // Library page names the models too).
  int right_end = g.textbook_x + textbook_width + margin;
  if (right_end > tk.getmaxwidth()) {
    g.textbook_x = 0;
    right_end = box_x + g.box_width + margin;
  }
  g.width = std::max({g.width, heading_x + heading_width + margin, right_end,
                      4 * g.button_step + g.button_width + 2 * margin});
  for (;; ++g.height) {
    g.row = g.height / 15;
    const bool boxes_apart = g.row >= box_height + 3;
    const bool heading_above = g.height / 25 + 3 * line_height + 4 <= first_box_y + g.row;
    const bool buttons_below = 13 * g.row >= first_box_y + 10 * g.row + box_height + 8;
    const bool buttons_inside = 13 * g.row + button_height + margin <= g.height;
    if (boxes_apart && heading_above && buttons_below && buttons_inside) break;
  }
  return g;
}

void model_lib(toolkit::window_system& tk, shell_state& st) {
  st.children.close_all(tk);
  tk.enablewindow(st.main_window, false);
  std::make_shared<model_dialog>(tk, st.choices)->model_selection(st);
  tk.enablewindow(st.main_window, true);
  st.children.close_all(tk);
  tk.refreshall();
}

}  // namespace inhibra::shell
