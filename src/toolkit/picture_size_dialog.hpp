#pragma once
// The size of a saved bitmap picture: width and height in pixels, or in inches at a
// chosen resolution. The picture is drawn at that size, not copied from the screen.
#include <QDialog>
#include <QSize>

class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace inhibra::toolkit {

struct picture_size {
  QSize pixels;
  int dpi = 96;  // stored in the file, so that other programs print it at this size
};

// Pixels for `inches` at `dpi`, rounded, at least 1.
[[nodiscard]] int pixels_for_inches(double inches, int dpi);

class PictureSizeDialog : public QDialog {
  Q_OBJECT

 public:
  // Offers `suggested` pixels at `dpi`.
  PictureSizeDialog(QSize suggested, int dpi, QWidget* parent = nullptr);

  [[nodiscard]] picture_size chosen() const;

  // The controls, for tests and keyboard users alike.
  [[nodiscard]] QComboBox* unitBox() const { return unit_; }
  [[nodiscard]] QDoubleSpinBox* widthBox() const { return width_; }
  [[nodiscard]] QDoubleSpinBox* heightBox() const { return height_; }
  [[nodiscard]] QSpinBox* dpiBox() const { return dpi_; }

 private:
  [[nodiscard]] bool inches() const;
  void unitChanged();

  QComboBox* unit_;
  QDoubleSpinBox* width_;
  QDoubleSpinBox* height_;
  QSpinBox* dpi_;
  bool showing_inches_ = false;
};

}  // namespace inhibra::toolkit
