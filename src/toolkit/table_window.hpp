#pragma once
// A window that shows a table of text whose rows can open onto rows under them (a
// tree), with a legend below it, a "File" menu to copy the table to the clipboard
// as tab-separated text, to export it as CSV and to close the window, and buttons
// for copy and export. The caller gives the texts and does the writing: the window
// knows nothing of what the table holds.
#include <QMainWindow>
#include <QString>

#include "toolkit/table_contents.hpp"

class QAction;
class QLabel;
class QStandardItemModel;
class QTreeView;

namespace inhibra::toolkit {

class TableWindow : public QMainWindow {
  Q_OBJECT

 public:
  TableWindow(const QString& title, const table_contents& contents, table_writer export_csv,
              QWidget* parent = nullptr);

  [[nodiscard]] QTreeView* view() const { return view_; }
  [[nodiscard]] QStandardItemModel* model() const { return model_; }
  [[nodiscard]] QLabel* legend() const { return legend_; }
  [[nodiscard]] QLabel* heading() const { return heading_; }
  [[nodiscard]] QTreeView* secondView() const { return second_view_; }
  [[nodiscard]] QStandardItemModel* secondModel() const { return second_model_; }
  [[nodiscard]] QAction* copyAction() const { return copy_; }
  [[nodiscard]] QAction* exportAction() const { return export_; }
  [[nodiscard]] QAction* closeAction() const { return close_; }

  // Shows new contents in the same window, keeping its place and size.
  void setContents(const table_contents& contents);
  void setExporter(table_writer export_csv) { export_csv_ = std::move(export_csv); }
  // Writes the CSV file (".csv" added when the name has no extension); a failure is
  // told in a warning box. True when the file was written.
  bool exportTo(const QString& file_name);

 public slots:
  // "Copy Table": the tab-separated text onto the clipboard.
  void copyToClipboard();
  // "Export CSV...": asks for a file name and exports.
  void chooseFileAndExport();

 private:
  QTreeView* view_;
  QStandardItemModel* model_;
  QLabel* legend_;
  QLabel* heading_;
  QLabel* second_title_;
  QTreeView* second_view_;
  QStandardItemModel* second_model_;
  QAction* copy_;
  QAction* export_;
  QAction* close_;
  std::string clipboard_text_;
  table_writer export_csv_;
};

}  // namespace inhibra::toolkit
