#pragma once
// The dialog that imports a data table: the first rows of the file as they were cut
// into cells, how the table is to be read (long or plate layout; for a long table the
// columns of [S], [I] and the rate), and what that reading gives (its curves, the
// rows of each, the units), worked out again whenever the person edits the reading.
// The dialog knows nothing of tables itself: the caller hands in the rows, the
// reading offered and a function that describes any reading.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

namespace inhibra::toolkit {

// How the table is to be read.
enum class import_layout { long_table, wide_table };

struct import_mapping {
  import_layout layout = import_layout::long_table;
  // 1-based columns of [S], [I] and the rate in a long table (unused for a plate);
  // 0: not chosen.
  int substrate = 1;
  int inhibitor = 2;
  int rate = 3;
  friend bool operator==(const import_mapping&, const import_mapping&) = default;
};

// What a reading gives, in lines to show; `error` set when it cannot be read so (the
// dialog then cannot be confirmed).
struct import_outcome {
  std::string layout;  // "long (one rate a row, a header row)"
  std::string curves;  // a line per curve
  std::string units;
  std::string error;
};

// Describes a reading; runs on the window thread while the dialog is open, so it
// must only read what it was given.
using import_describer = std::function<import_outcome(const import_mapping&)>;

struct import_table_view {
  std::string file;                            // the file's name, for the title
  std::vector<std::vector<std::string>> rows;  // the first rows of cells
  int columns = 0;                             // the widest row of the whole table
  std::vector<std::string> column_titles;      // column k's title (may be fewer)
  import_mapping offered;                      // the reading offered first
  std::string offered_from;                    // why it is offered ("remembered ...")
  std::string error;  // the file could not be cut into cells: shown, nothing to choose
  import_describer describe;
};

class ImportTableDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ImportTableDialog(import_table_view view, QWidget* parent = nullptr);

  // The reading as the controls show it.
  [[nodiscard]] import_mapping mapping() const;

  // The controls, for tests and keyboard users alike.
  [[nodiscard]] QTableWidget* preview() const { return preview_; }
  [[nodiscard]] QComboBox* layoutBox() const { return layout_; }
  [[nodiscard]] QComboBox* columnBox(int which) const { return column_[which]; }  // S, I, v
  [[nodiscard]] QLabel* layoutLabel() const { return layout_text_; }
  [[nodiscard]] QLabel* curvesLabel() const { return curves_; }
  [[nodiscard]] QLabel* unitsLabel() const { return units_; }
  [[nodiscard]] QLabel* messageLabel() const { return message_; }
  [[nodiscard]] QDialogButtonBox* buttons() const { return buttons_; }

 private:
  // Shows what the reading in the controls gives.
  void describe();

  import_table_view view_;
  QTableWidget* preview_;
  QComboBox* layout_;
  QComboBox* column_[3];
  QLabel* layout_text_;
  QLabel* curves_;
  QLabel* units_;
  QLabel* message_;
  QDialogButtonBox* buttons_;
};

}  // namespace inhibra::toolkit
