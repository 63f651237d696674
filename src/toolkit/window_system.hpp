#pragma once
// The windowing operations the desktop program calls, on Qt Widgets: windows with
// ids and a current window, drawing state, menus whose entries call back, the
// multi-line text box, check boxes, buttons, message boxes, file dialogs, the
// per-window wake-up event and plot windows.
//
// Threads: the Qt event loop's thread is the window thread; it owns every widget
// and runs every callback (menu entries, buttons, window closing). Any other
// thread (the command thread) may call every operation: the work runs on the
// window thread and the caller waits for it. The wake-up operations (startidle,
// stopidle, loop) block or signal directly and never wait for the window thread.
//
// Ending: closing a window made with closeflag ends the program. From then on no
// operation waits any more: every wake-up wait returns at once, dialogs still open
// are closed, and calls from other threads return default values.
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/frontend.hpp"
#include "toolkit/data_pane.hpp"
#include "toolkit/import_table_dialog.hpp"
#include "toolkit/plot_window.hpp"
#include "toolkit/table_contents.hpp"
#include "toolkit/text_printing.hpp"
#include "toolkit/wake_event.hpp"
#include "toolkit/window_thread.hpp"
#include "toolkit/workspace.hpp"

class QWidget;
class QPlainTextEdit;

namespace inhibra::toolkit {

class ToolkitWindow;

// Colour codes: 0 to 15 are the classic sixteen colours (0 black, 15 white);
// creatergb gives codes for any other colour.
inline constexpr int black = 0;
inline constexpr int white = 15;

// Text justification codes for settextjustify.
inline constexpr int left_text = 0;
inline constexpr int center_text = 1;
inline constexpr int right_text = 2;
inline constexpr int bottom_text = 0;
inline constexpr int top_text = 2;

// Fonts for settextstyle: the fixed-pitch font lines up columns of text.
inline constexpr int fixed_pitch_font = 6;
inline constexpr int gui_font = 7;

// Standard shortcuts a menu entry can take; the keys are the platform's own.
enum class shortcut { open, save, print, quit, help };

class window_system {
 public:
  // `end_program` runs on the window thread when a window made with closeflag has
  // closed (a desktop program quits its event loop there).
  explicit window_system(std::function<void()> end_program);
  // On the window thread, after every other thread has stopped calling.
  ~window_system();
  window_system(const window_system&) = delete;
  window_system& operator=(const window_system&) = delete;

  // --- screen ---------------------------------------------------------------------
  // Sizes given to the operations are in pixels of a 96-dpi screen scaled by
  // scaledpi; Qt handles high-density screens itself.
  void setapplicationdpiaware();
  [[nodiscard]] int getmaxwidth();   // usable screen width in pixels
  [[nodiscard]] int getmaxheight();  // usable screen height in pixels
  [[nodiscard]] int scaledpi(int value);

  // --- windows ----------------------------------------------------------------------
  // Creates and shows a window whose client area is width x height pixels at (left,
  // top) in screen pixels (a negative position lets the system choose) and makes it
  // the current window. `double_buffer` is accepted for completeness (drawing is
  // always double buffered). With `closeflag`, closing the window ends the program.
  int initwindow(int width, int height, std::string_view title, int left, int top,
                 bool double_buffer, bool closeflag);
  void closewindow(int id);
  void setcurrentwindow(int id);
  [[nodiscard]] int getcurrentwindow() const;
  void enablewindow(int id, bool flag);
  void setwindowtitle(std::string_view title);  // the current window
  void setwindowtitle(int id, std::string_view title);
  [[nodiscard]] std::string getwindowtitle(int id);
  // The window's place and size as text to keep between sessions; after the window
  // has closed, as it was then. Empty for an unknown window.
  [[nodiscard]] std::string getwindowgeometry(int id);
  // Gives the window a place and size read back by getwindowgeometry, kept inside the
  // screen; other text changes nothing.
  void setwindowgeometry(int id, std::string_view geometry);
  // Called (on the window thread) with the first local file dropped on the current
  // window or on one of its text boxes.
  void setwindowdropcallback(std::function<void(const std::string&)> handler);
  // The current window's title-bar close handler: returning 0 keeps the window open.
  void setwindowsystemclosecallback(std::function<int()> handler);
  // Called (on the window thread) on a mouse click or a key press in the current
  // window's client area.
  void setwindowinputcallback(std::function<void()> handler);
  [[nodiscard]] int getactivepage();
  void setactivepage(int page);
  // Repaints the current window if anything was drawn since the last refresh. The
  // command loop calls it hundreds of times a second, so it costs nothing otherwise.
  void refreshall();

  // --- drawing state of the current window -----------------------------------------
  void setcolor(int color);
  void setbkcolor(int color);
  [[nodiscard]] static int creatergb(int red, int green, int blue);
  void clearviewport();  // fills the client area with the background colour
  // font: 6 fixed pitch, 7 the system's GUI font, others the application font;
  // size: character height in pixels. Text boxes take the style current at creation.
  void settextstyle(int font, int direction, int size);
  void settextjustify(int horizontal, int vertical);
  void outtextxy(int x, int y, std::string_view text);
  [[nodiscard]] int textwidth(std::string_view text);
  [[nodiscard]] int textheight(std::string_view text);
  // The same for a given font and size, without touching any window's state.
  [[nodiscard]] int textwidth(int font, int size, std::string_view text);
  [[nodiscard]] int textheight(int font, int size);

  // --- menus of the current window ----------------------------------------------------
  // parent -1 makes the window's menu bar (the root); a menu under the bar is a
  // drop-down. Entries directly on the bar are commands. Ids are never reused. The
  // window widens (up to the screen's width) so that the bar shows every entry.
  int addmenu(std::string_view title, int parent);
  // A bar of one-click commands under the menu bar, titled `title`: a parent for
  // addmenuitem like a drop-down, its entries shown as buttons with their texts. It
  // stays in place (it cannot be moved, floated or hidden), and the window widens
  // for it as for the menu bar.
  int addtoolbar(std::string_view title);
  // An entry of a drop-down, of the bar or of a tool bar.
  int addmenuitem(std::string_view title, int parent, std::function<void()> callback);
  // A separating line after the entries of drop-down `parent` so far.
  void addmenuseparator(int parent);
  // Makes `entries` one group of radio marks: each becomes checkable, and checking
  // one (by setmenuitemchecked or by a click) unchecks the others; a click on the
  // one checked leaves it checked. False, with nothing changed, when an id is not
  // an entry or an entry already belongs to a group.
  bool addmenuradiogroup(const std::vector<int>& entries);
  // Greys a menu or entry out (it never calls back) or restores it.
  void enablemenuitem(int id, bool flag);
  // Gives an entry a check mark (shown or not), or in a radio group its radio mark;
  // the entry stays a command.
  void setmenuitemchecked(int id, bool checked);
  void setmenuitemtext(int id, std::string_view title);
  // Hides or shows an entry or drop-down.
  void setmenuitemvisible(int id, bool flag);
  // The entry also runs on the standard keys for `key`; its text is unchanged.
  void setmenuitemshortcut(int id, shortcut key);

  // --- multi-line text box (line breaks are CR LF in and out) ------------------------
  // Placed in the current window; it keeps its distances to the window's edges when
  // the window is resized.
  int createmultilinetextbox(int left, int top, int width, int height, bool wordwrap);
  void enabletextbox(int id, bool flag);
  // A read-only box shows its text and lets it be selected and copied, not edited.
  void settextboxreadonly(int id, bool flag);
  void settextboxfocused(int id);
  void settextboxvisible(int id, bool flag);
  [[nodiscard]] int gettextboxlength(int id);  // length of the contents in bytes
  [[nodiscard]] std::string gettextboxcontents(int id);
  void settextboxcontents(int id, std::string_view text);
  void inserttextboxtext(int id, std::string_view text);  // at the end; the view follows
  void settextboxcursorposition(int id, int position);    // and shows it

  // --- check boxes and buttons in the current window ---------------------------------
  // Check box labels use the fixed-pitch font so that labels padded with blanks line up.
  int createcheckbox_nohandler(int x, int y, int width, int height, std::string_view label);
  // Width a check box with `label` needs when its text is `size` pixels high.
  [[nodiscard]] int checkboxwidth(std::string_view label, int size);
  // Width a button with `label` needs in the GUI font `size` pixels high.
  [[nodiscard]] int buttonwidth(std::string_view label, int size);
  [[nodiscard]] bool checkboxischecked(int id);
  void checkboxsetchecked(int id, bool flag);
  void setcheckboxvisible(int id, bool flag);
  int createbutton(int x, int y, int width, int height, std::string_view label,
                   std::function<void()> callback);

  // --- dialogs ------------------------------------------------------------------------
  // A modal message box of `kind` (its icon and title); returns when dismissed.
  // Lines are separated by CR LF.
  void dlgmessage(core::box_kind kind, std::string_view text);
  // The same text in a box that blocks nothing: the call returns at once and the
  // box stays until the person closes it. A box with the same text already open
  // comes to the front instead.
  void show_info_window(core::box_kind kind, std::string_view text);
  // File dialogs. `name` in: a suggested name or a folder followed by a pattern; out:
  // the chosen file. Return 1 when the person confirmed, 0 when cancelled.
  int dlgopenfile(std::string& name, std::string_view filter_name, std::string_view pattern,
                  std::string_view title);
  int dlgsavefile(std::string& name, std::string_view filter_name, std::string_view pattern,
                  std::string_view title);
  // A one-line text: `value` in, the text as edited out. Returns 1 when the person
  // confirmed, 0 when cancelled (`value` unchanged).
  int dlginputtext(std::string& value, std::string_view title, std::string_view label);
  // The Import Table dialog for `view` (see import_table_dialog.hpp); view.describe
  // runs on the window thread while it is open. Returns 1 with the reading confirmed
  // in `chosen`, 0 when cancelled (`chosen` unchanged).
  int dlgimporttable(const import_table_view& view, import_mapping& chosen);

  // --- wake-up event of the current window --------------------------------------------
  // Waits until the current window's event is set or `milliseconds` passed (the
  // window thread goes on handling events); an event found set is reset.
  void startidle(int milliseconds);
  // Sets the current window's event; callable from callbacks.
  void stopidle();
  // Sets the event of window `id`.
  void stopidle(int id);
  // Like startidle without a time limit.
  void loop();

  // --- workspace ----------------------------------------------------------------------
  // Makes the current window a workspace (see workspace.hpp): its drawing area with
  // its text boxes becomes the Report tab. From then on the table window is its
  // Results tab and plot windows are charts in its Plots tab; nothing of them opens
  // a window of its own.
  void make_workspace();
  [[nodiscard]] Workspace* workspace() const;  // window thread; null when none
  // The Data pane docked beside the tabs (made with the workspace): `contents` in
  // place of what it showed; `on_toggle` runs on the window thread.
  void show_data_pane(data_pane_contents contents, row_toggle on_toggle);
  [[nodiscard]] DataPane* data_pane() const;  // window thread; null when none
  void show_workspace_tab(workspace_tab tab);
  void set_status_text(std::string_view text);
  // The notices of the last run, above the results and in the status bar.
  void set_notices(const std::vector<std::string>& notices);
  // A run's progress in the status bar with a Stop button; `on_stop` runs on the
  // window thread. set_run_progress never waits.
  void begin_run_progress(int maximum, std::function<void()> on_stop);
  void set_run_progress(int value, std::string_view text);
  void end_run_progress();
  // Removes every chart from the Plots tab.
  void clear_plots();
  // Ends a wait at a chart in the Plots tab as its Continue button does (any thread).
  void continue_paused_plot();

  // --- plot windows -------------------------------------------------------------------
  // Shows the chart in a plot window titled `title` (line breaks become blanks) and
  // returns once the person has closed it (or the program is ending). In a
  // workspace the chart is added to the Plots tab, which offers Continue, and the
  // call returns on Continue or when the chart is closed; the chart stays.
  // With `figure`, the chart's texts can be edited (see PlotWindow::setFigureAccess).
  void show_plot_window(std::string_view title, plot_drawer draw, figure_access figure = {});
  // Opens the same window and returns once it is shown, leaving it open; the result
  // (>= 1) names it for close_plot_window, 0 when the program is ending. `draw` must
  // stay valid while the window is open. In a workspace: a chart in the Plots tab.
  [[nodiscard]] int open_plot_window(std::string_view title, plot_drawer draw,
                                     figure_access figure = {});
  // Closes a window of open_plot_window; unknown or closed ones are ignored.
  void close_plot_window(int id);

  // --- table window -------------------------------------------------------------------
  // Shows `contents` in the table window, beside the window that is current and
  // inside the screen, and returns without waiting; a table window already open
  // shows the new contents instead. In a workspace the table is the Results tab. `export_csv`
  // writes its CSV file (it runs on the window thread). False when the program is ending.
  bool show_table_window(std::string_view title, const table_contents& contents,
                         table_writer export_csv);
  // Closes the table window when one is open.
  void close_table_window();
  // The table window, null when none is open (window thread).
  [[nodiscard]] QWidget* table_window() const;

  // --- progress window ----------------------------------------------------------------
  // Opens a progress window (see progress_window.hpp) beside the window that is current
  // and returns without waiting: its id (>= 1), 0 when the program is ending.
  // `on_stop` runs on the window thread when the person asks for a stop.
  [[nodiscard]] int open_progress_window(std::string_view title, std::string_view doing,
                                         int maximum, std::function<void()> on_stop);
  // Moves its bar to `value`; never waits. Unknown or closed windows are ignored.
  void set_progress(int id, int value);
  // The work has ended: the window shows `text` below the bar, until the person closes it.
  void finish_progress_window(int id, std::string_view doing, std::string_view text);
  // The progress window `id`, null when closed or unknown (window thread).
  [[nodiscard]] QWidget* progress_window(int id) const;

  // --- printing -------------------------------------------------------------------------
  // Prints `text` (lines ending in CR LF or LF) in the fixed-pitch font as document
  // `document`, on the printer the person chooses in the system's print dialog (a PDF
  // file among them). Returns 1 when printed, 0 when cancelled (or the program is
  // ending), -1 when the printer failed.
  int print_text(std::string_view document, std::string_view text);
  // Puts `choose` in place of the print dialog (tests print to a file); an empty one
  // brings the dialog back.
  void set_printer_chooser(printer_chooser choose);

  // --- program end --------------------------------------------------------------------
  // Stops every wait, closes every window and dialog and stops sending work to the
  // window thread. Runs `end_program` when called on the window thread.
  void shut_down();
  [[nodiscard]] bool closing() const { return closing_.load(); }

  // The widget of window `id`, for tests and for parenting dialogs (window thread).
  [[nodiscard]] QWidget* widget(int id) const;

 private:
  struct control {
    int window = -1;
    QWidget* widget = nullptr;  // owned by the window's canvas
  };

  std::shared_ptr<wake_event> event_of(int id) const;
  ToolkitWindow* window(int id) const;     // window thread only
  QPlainTextEdit* text_box(int id) const;  // window thread only
  ToolkitWindow* current() const;          // window thread only
  QWidget* dialog_parent() const;          // window thread only
  void forget_window(int id);              // window thread only
  // Runs change(box) on the window thread when text box `id` exists.
  void change_text_box(int id, std::function<void(QPlainTextEdit*)> change);
  int store_control(std::map<int, control>& table, control c);
  void window_closed(ToolkitWindow* w);
  // The open and save dialogs: one dialog, told apart by `save`.
  int file_dialog(bool save, std::string& name, std::string_view filter_name,
                  std::string_view pattern, std::string_view title);
  PlotWindow* new_plot_window(std::string_view title, plot_drawer draw);  // window thread
  // A chart page of the workspace's Plots tab (window thread).
  PlotWindow* new_plot_page(std::string_view title, plot_drawer draw);
  void show_paused_page(std::string_view title, plot_drawer draw);
  void forget_plot_window(const QPointer<QWidget>& window);  // window thread
  void close_everything();

  std::function<void()> end_program_;
  window_thread thread_;
  std::atomic<bool> closing_{false};
  std::atomic<int> current_{-1};
  std::atomic<bool> drawn_{false};  // something was drawn since the last refreshall

  // Wake-up events by window id; reached from every thread.
  mutable std::mutex events_mutex_;
  std::map<int, std::shared_ptr<wake_event>> events_;
  std::vector<std::shared_ptr<wake_event>> plot_events_;

  // Window-thread state.
  int next_window_ = 0;
  int next_menu_ = 0;
  std::map<int, QPointer<ToolkitWindow>> windows_;
  std::map<int, QObject*> menus_;  // QMenuBar, QMenu or QAction
  std::map<int, int> menu_window_;
  std::map<int, control> text_boxes_;
  std::map<int, control> check_boxes_;
  std::map<int, control> buttons_;
  std::vector<QPointer<QWidget>> plot_windows_;
  std::map<int, std::string> closed_geometry_;   // by window id; guarded by events_mutex_
  std::map<int, QPointer<QWidget>> open_plots_;  // windows of open_plot_window, window thread
  int next_open_plot_ = 1;
  figure_access next_figure_;       // the figure access of the next chart page, window thread
  QPointer<QWidget> table_window_;  // the table window, window thread
  QPointer<Workspace> workspace_;   // window thread
  QPointer<DataPane> data_pane_;    // window thread
  std::shared_ptr<wake_event> paused_event_;                    // a wait at a chart; events_mutex_
  std::map<int, QPointer<QWidget>> progress_windows_;           // window thread
  int next_progress_ = 1;                                       // window thread
  printer_chooser printer_chooser_ = choose_printer_by_dialog;  // window thread
};

}  // namespace inhibra::toolkit
