#pragma once
// A window for a long piece of work the person may stop: a line saying what is
// being done, a bar that fills as it goes and a Stop button. When the work ends the
// same window shows what came of it (fixed-pitch text, read-only, selectable) and
// the button closes it. Closing the window while the work runs counts as Stop.
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace inhibra::toolkit {

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // `on_stop` is called (once) when the person asks for a stop.
  ProgressWindow(const QString& title, const QString& doing, int maximum,
                 std::function<void()> on_stop, QWidget* parent = nullptr);

  void setValue(int value);
  // The work has ended: the bar keeps where it got to, `text` is shown below it and the
  // button closes the window.
  void finish(const QString& doing, const QString& text);

  [[nodiscard]] QProgressBar* bar() const { return bar_; }
  [[nodiscard]] QPushButton* button() const { return button_; }
  [[nodiscard]] QPlainTextEdit* text() const { return text_; }
  [[nodiscard]] QLabel* doing() const { return doing_; }
  [[nodiscard]] bool finished() const { return finished_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape

 private:
  void askStop();

  QLabel* doing_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* button_ = nullptr;
  std::function<void()> on_stop_;
  bool finished_ = false;
  bool stop_asked_ = false;
};

}  // namespace inhibra::toolkit
