// The window system's dialogs (message boxes, file dialogs) and plot windows.
#include "toolkit/window_system.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <optional>

#include "toolkit/import_table_dialog.hpp"
#include "toolkit/qt_text.hpp"

namespace inhibra::toolkit {

// --- dialogs ----------------------------------------------------------------------------

namespace {

QMessageBox::Icon icon_of(core::box_kind kind) {
  return kind == core::box_kind::information ? QMessageBox::Information
         : kind == core::box_kind::warning   ? QMessageBox::Warning
         : kind == core::box_kind::error     ? QMessageBox::Critical
                                             : QMessageBox::NoIcon;
}

}  // namespace

void window_system::dlgmessage(core::box_kind kind, std::string_view text) {
  if (closing()) return;
  thread_.call([this, kind, text = std::string(text)] {
    if (closing()) return;
    QMessageBox box(icon_of(kind), qt_text(core::box_title(kind)), widget_text(text),
                    QMessageBox::Ok, dialog_parent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
  });
}

namespace {

// A page taller than the screen would put its end and its button out of reach: its
// text then scrolls inside a box that fits the screen.
void fit_box_to_screen(QMessageBox* box) {
  const QScreen* screen = box->parentWidget() != nullptr ? box->parentWidget()->screen()
                                                         : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const int room = screen->availableGeometry().height() * 85 / 100;
  auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  auto* grid = qobject_cast<QGridLayout*>(box->layout());
  if (label == nullptr || grid == nullptr) return;
  // The box takes its size only when shown, 500 pixels or half the screen's width
  // wide at most, icon and margins included; the text's lines, wrapped in what is
  // left, say how tall it will be.
  const int beside = std::max(0, box->sizeHint().width() - label->sizeHint().width());
  const int wrap_width =
      std::max(200, std::min(500, screen->availableGeometry().width() / 2) - beside);
  const QFontMetrics metrics(label->font());
  const int text_height =
      metrics.boundingRect(QRect(0, 0, wrap_width, 1 << 20), Qt::TextWordWrap, box->text())
          .height();
  const int others = std::max(0, box->sizeHint().height() - label->sizeHint().height());
  if (text_height + others <= room) return;
  const int index = grid->indexOf(label);
  if (index < 0) return;
  int row = 0, column = 0, rows = 0, columns = 0;
  grid->getItemPosition(index, &row, &column, &rows, &columns);
  grid->removeWidget(label);
  auto* scroll = new QScrollArea(box);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidgetResizable(true);
  label->setWordWrap(true);
  scroll->setWidget(label);
  // The button, the icon and the margins keep their room; the text takes the rest.
  scroll->setFixedHeight(std::max(100, room - others));
  const int text_width =
      std::min(wrap_width,
               metrics.boundingRect(QRect(0, 0, wrap_width, 1 << 20), Qt::TextWordWrap, box->text())
                   .width());
  scroll->setMinimumWidth(text_width + scroll->verticalScrollBar()->sizeHint().width() + 4);
  grid->addWidget(scroll, row, column, rows, columns);
}

}  // namespace

void window_system::show_info_window(core::box_kind kind, std::string_view text) {
  if (closing()) return;
  thread_.call([this, kind, text = std::string(text)] {
    if (closing()) return;
    const QString shown = widget_text(text);
    // The same page asked again comes to the front instead of opening twice.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box != nullptr && box->isVisible() && box->text() == shown) {
        box->raise();
        box->activateWindow();
        return;
      }
    }
    auto* box = new QMessageBox(icon_of(kind), qt_text(core::box_title(kind)), shown,
                                QMessageBox::Ok, dialog_parent());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    fit_box_to_screen(box);
    box->show();
  });
}

namespace {

// Runs a file dialog for `name` (a suggested file, or a folder followed by a pattern).
std::optional<std::string> run_file_dialog(QWidget* parent, bool save, const std::string& name,
                                           const QString& filter, const QString& title,
                                           const QString& pattern) {
  QFileDialog dialog(parent, title);
  dialog.setNameFilter(filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && pattern.startsWith(QStringLiteral("*."))) dialog.setDefaultSuffix(pattern.mid(2));
  const QFileInfo suggested(QString::fromStdString(name));
  if (suggested.fileName().contains(QChar('*')) || name.empty()) {
    dialog.setDirectory(name.empty() ? QDir::currentPath() : suggested.absolutePath());
  } else {
    dialog.setDirectory(suggested.absolutePath());
    dialog.selectFile(suggested.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen.front()).toStdString();
}

}  // namespace

int window_system::file_dialog(bool save, std::string& name, std::string_view filter_name,
                               std::string_view pattern, std::string_view title) {
  if (closing()) return 0;
  const auto chosen = thread_.call([this, save, name, filter = filter_text(filter_name, pattern),
                                    title = qt_text(title), pattern = qt_text(pattern)] {
    return closing() ? std::nullopt
                     : run_file_dialog(dialog_parent(), save, name, filter, title, pattern);
  });
  if (!chosen) return 0;
  name = *chosen;
  return 1;
}

int window_system::dlgopenfile(std::string& name, std::string_view filter_name,
                               std::string_view pattern, std::string_view title) {
  return file_dialog(false, name, filter_name, pattern, title);
}

int window_system::dlgsavefile(std::string& name, std::string_view filter_name,
                               std::string_view pattern, std::string_view title) {
  return file_dialog(true, name, filter_name, pattern, title);
}

int window_system::dlginputtext(std::string& value, std::string_view title,
                                std::string_view label) {
  if (closing()) return 0;
  const auto edited =
      thread_.call([this, text = qt_text(value), title = qt_text(title), label = qt_text(label)] {
        std::optional<std::string> out;
        if (closing()) return out;
        QInputDialog dialog(dialog_parent());
        dialog.setWindowTitle(title);
        dialog.setLabelText(label);
        dialog.setTextValue(text);
        if (dialog.exec() == QDialog::Accepted) out = dialog.textValue().toStdString();
        return out;
      });
  if (!edited) return 0;
  value = *edited;
  return 1;
}

int window_system::dlgimporttable(const import_table_view& view, import_mapping& chosen) {
  if (closing()) return 0;
  const auto confirmed = thread_.call([this, view] {
    std::optional<import_mapping> out;
    if (closing()) return out;
    ImportTableDialog dialog(view, dialog_parent());
    if (dialog.exec() == QDialog::Accepted) out = dialog.mapping();
    return out;
  });
  if (!confirmed) return 0;
  chosen = *confirmed;
  return 1;
}

// --- printing ---------------------------------------------------------------------------

int window_system::print_text(std::string_view document, std::string_view text) {
  if (closing()) return 0;
  return thread_.call([this, document = qt_text(document), text = qt_text(text)]() -> int {
    if (closing()) return 0;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document);
    if (!printer_chooser_(printer, dialog_parent())) return 0;
    return print_text_on(printer, text) ? 1 : -1;
  });
}

void window_system::set_printer_chooser(printer_chooser choose) {
  thread_.call([this, choose = std::move(choose)] {
    printer_chooser_ = choose ? choose : printer_chooser(choose_printer_by_dialog);
  });
}

// --- plot windows -----------------------------------------------------------------------

PlotWindow* window_system::new_plot_window(std::string_view title, plot_drawer draw) {
  auto* pw = new PlotWindow(one_line_title(title), std::move(draw));
  plot_windows_.push_back(pw);
  return pw;
}

void window_system::forget_plot_window(const QPointer<QWidget>& window) {
  std::erase_if(plot_windows_, [&](const QPointer<QWidget>& p) {
    return p.isNull() || p.data() == window.data();
  });
}

void window_system::show_plot_window(std::string_view title, plot_drawer draw,
                                     figure_access figure) {
  if (closing()) return;
  // The page made next takes the figure access (it is made on the window thread).
  if (thread_.call([this, figure] {
        next_figure_ = figure;
        return !workspace_.isNull();
      })) {
    show_paused_page(title, std::move(draw));
    return;
  }
  auto ev = std::make_shared<wake_event>();
  auto closed = std::make_shared<std::atomic<bool>>(false);
  {
    std::lock_guard lock(events_mutex_);
    plot_events_.push_back(ev);
  }
  const auto window = thread_.call(
      [this, title = std::string(title), draw, ev, closed, figure]() -> QPointer<PlotWindow> {
        next_figure_ = {};
        if (closing()) return nullptr;
        PlotWindow* pw = new_plot_window(title, draw);
        pw->setFigureAccess(figure);
        pw->onClosed = [ev, closed] {
          closed->store(true);
          ev->set();
        };
        pw->show();
        return pw;
      });
  if (window.isNull() || closing()) ev->cancel();

  if (thread_.is_window_thread()) {
    // Called from a callback: handle events here until the window is closed.
    while (!closed->load() && !closing() && !window.isNull()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents, 50);
    }
  } else {
    while (!closed->load() && !ev->cancelled())
      ev->wait();
  }

  thread_.call([this, window] {
    if (window.isNull()) return;
    forget_plot_window(window.data());
    window->onClosed = nullptr;
    window->close();
    window->deleteLater();
  });
  std::lock_guard lock(events_mutex_);
  std::erase(plot_events_, ev);
}

int window_system::open_plot_window(std::string_view title, plot_drawer draw,
                                    figure_access figure) {
  if (closing()) return 0;
  return thread_.call([this, title = std::string(title), draw, figure]() -> int {
    if (closing()) return 0;
    const int id = next_open_plot_++;
    if (!workspace_.isNull()) {
      next_figure_ = figure;
      open_plots_[id] = new_plot_page(title, draw);
      return id;
    }
    PlotWindow* pw = new_plot_window(title, draw);
    pw->setFigureAccess(figure);
    pw->setAttribute(Qt::WA_DeleteOnClose);
    open_plots_[id] = pw;
    pw->show();
    return id;
  });
}

void window_system::close_plot_window(int id) {
  if (closing()) return;
  thread_.call([this, id] {
    const auto it = open_plots_.find(id);
    if (it == open_plots_.end()) return;
    const QPointer<QWidget> window = it->second;
    open_plots_.erase(it);
    forget_plot_window(window);
    if (!window.isNull()) window->close();
  });
}

}  // namespace inhibra::toolkit
