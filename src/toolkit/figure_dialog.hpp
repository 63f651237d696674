#pragma once
// The Figure dialog: the texts of one chart (its title, of one or more lines, and
// its axis labels) edited for a paper. The chart's owner reads and changes them
// through a figure_access; the dialog only shows and returns them.
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "plotengine/pplot.hpp"

class QLineEdit;
class QPlainTextEdit;

namespace inhibra::toolkit {

struct figure_texts {
  QString title;  // lines separated by LF
  QString x_label;
  QString y_label;
  friend bool operator==(const figure_texts&, const figure_texts&) = default;
};

// How a plot window reaches the texts of the chart it draws (window thread): `read`
// gives them, `apply` changes the chart, which is drawn and exported with them from
// then on.
struct figure_access {
  std::function<figure_texts()> read;
  std::function<void(const figure_texts&)> apply;
  [[nodiscard]] explicit operator bool() const { return read && apply; }
};

// The access to a chart's own texts: the title's CR LF line breaks shown as LF.
[[nodiscard]] figure_access figure_of(std::shared_ptr<plotengine::pplot> chart);

class FigureDialog : public QDialog {
  Q_OBJECT

 public:
  FigureDialog(const figure_texts& texts, QWidget* parent = nullptr);

  // The texts as edited; the title's trailing empty lines dropped.
  [[nodiscard]] figure_texts chosen() const;

  // The controls, for tests and keyboard users alike.
  [[nodiscard]] QPlainTextEdit* titleBox() const { return title_; }
  [[nodiscard]] QLineEdit* xLabelBox() const { return x_label_; }
  [[nodiscard]] QLineEdit* yLabelBox() const { return y_label_; }

 private:
  QPlainTextEdit* title_;
  QLineEdit* x_label_;
  QLineEdit* y_label_;
};

}  // namespace inhibra::toolkit
