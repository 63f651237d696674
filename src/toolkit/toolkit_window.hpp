#pragma once
// The widgets behind a toolkit window: a main window whose client area is a
// drawing page (text and background drawn by the program) with the controls
// (text boxes, check boxes, buttons) placed on it at pixel positions.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace inhibra::toolkit {

// The client area. Drawing goes into a page image that is shown as is; controls are
// children placed at pixel positions. A control created as "anchored" keeps its
// distances to the right and bottom edges when the window is resized.
class ToolkitCanvas : public QWidget {
  Q_OBJECT

 public:
  ToolkitCanvas(QSize nominal, QWidget* parent);

  // The page, grown to the canvas size when needed (new parts in `background`).
  QImage& page(const QColor& background);
  // Fills the page with `background`.
  void clearPage(const QColor& background);

  // Places `child` at `rect` (in the nominal client area); when `anchored`, it follows
  // the right and bottom edges of the canvas on resizing.
  void place(QWidget* child, const QRect& rect, bool anchored);

  // Called on a mouse click or key press in the client area (the window thread).
  std::function<void()> onInput;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct anchored_child {
    QPointer<QWidget> widget;
    QRect rect;
  };
  void layoutAnchored();

  QSize nominal_;
  QImage page_;
  QColor fill_ = Qt::white;  // colour of the last clearing, for parts uncovered by growing
  std::vector<anchored_child> anchored_;
};

class ToolkitWindow : public QMainWindow {
  Q_OBJECT

 public:
  ToolkitWindow(int id, QSize client, bool closeflag);

  [[nodiscard]] int id() const { return id_; }
  [[nodiscard]] bool endsProgram() const { return closeflag_; }
  [[nodiscard]] ToolkitCanvas* canvas() const { return canvas_; }

  // Drawing state of the window.
  QColor color = Qt::black;
  QColor background = Qt::white;
  QFont font;
  int horizontalJustify = 0;  // 0 left, 1 centre, 2 right
  int verticalJustify = 2;    // 0 bottom, 1 centre, 2 top
  int activePage = 0;

  // Asked when the person closes the window from its title bar; 0 refuses.
  std::function<int()> systemClose;
  // Told once the window has closed (by the person or by the program).
  std::function<void(ToolkitWindow*)> onClosed;

  // Closes the window for the program: the system close handler is not asked.
  void closeForProgram();

  // From now on a local file dropped on the client area, or on a widget given to
  // takeFileDropsOf, goes to `handler` (the first one when several are dropped).
  void setFileDropHandler(std::function<void(const std::string&)> handler);
  // Drops on `target` (a text box's viewport) are files to open, not text to paste.
  void takeFileDropsOf(QWidget* target);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int id_;
  bool closeflag_;
  bool programClosing_ = false;
  bool closed_ = false;
  ToolkitCanvas* canvas_;
  std::function<void(const std::string&)> fileDropped_;
};

}  // namespace inhibra::toolkit
