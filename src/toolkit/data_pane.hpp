#pragma once
// The Data pane beside the workspace: the rows of the open data file grouped by
// curve, each curve in its chart colour, with a check box per row to leave it out of
// the next run, and what the reader said about the file below them. The pane only
// shows and reports the check boxes; the file is never changed.
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace inhibra::toolkit {

// One row as read: where it stands in the file ("4", a table's cell "C7"), its
// numbers as shown, and whether the next run fits it. `place` counts the rows read,
// 1-based, and is what a toggle reports.
struct data_pane_row {
  int place = 0;
  std::string source;
  std::array<std::string, 3> values;  // [S], [I], rate
  bool used = true;
};

struct data_pane_curve {
  std::string title;                   // "Curve 1: [I] = 0"
  std::array<int, 3> colour{0, 0, 0};  // red, green, blue of the curve in the charts
  std::vector<data_pane_row> rows;
};

struct data_pane_contents {
  std::string heading;                  // the file shown
  std::vector<data_pane_curve> curves;  // rows in no curve go in one without a title
  std::vector<std::string> notes;       // the reader's warnings, or why it refused the file
};

// Called on the window thread when a row's check box changes.
using row_toggle = std::function<void(int place, bool used)>;

class DataPane : public QWidget {
  Q_OBJECT

 public:
  explicit DataPane(QWidget* parent = nullptr);

  // Shows `contents` in place of what was shown; `on_toggle` hears the check boxes.
  void setContents(const data_pane_contents& contents, row_toggle on_toggle);
  void clear();

  [[nodiscard]] QTreeWidget* tree() const { return tree_; }
  [[nodiscard]] QLabel* summaryLabel() const { return summary_; }
  [[nodiscard]] QLabel* notesLabel() const { return notes_; }

 private:
  void updateSummary();

  QLabel* heading_;
  QTreeWidget* tree_;
  QLabel* summary_;
  QLabel* notes_;
  row_toggle on_toggle_;
  bool filling_ = false;
};

}  // namespace inhibra::toolkit
