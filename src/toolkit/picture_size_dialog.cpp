#include "toolkit/picture_size_dialog.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace inhibra::toolkit {

namespace {

constexpr int largest_side = 20000;  // pixels; larger pictures are refused by the boxes
constexpr int lowest_dpi = 30;
constexpr int highest_dpi = 2400;

}  // namespace

int pixels_for_inches(double inches, int dpi) {
  return std::max(1, static_cast<int>(std::lround(inches * dpi)));
}

PictureSizeDialog::PictureSizeDialog(QSize suggested, int dpi, QWidget* parent)
    : QDialog(parent),
      unit_(new QComboBox(this)),
      width_(new QDoubleSpinBox(this)),
      height_(new QDoubleSpinBox(this)),
      dpi_(new QSpinBox(this)) {
  setWindowTitle(QStringLiteral("Picture Size"));
  // Sizes are shown and typed with a decimal point whatever the person's locale, as
  // every number of the program; a comma is refused rather than taken for grouping.
  QLocale numbers = QLocale::c();
  numbers.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  setLocale(numbers);
  unit_->addItems({QStringLiteral("pixels"), QStringLiteral("inches")});
  dpi_->setRange(lowest_dpi, highest_dpi);
  dpi_->setValue(std::clamp(dpi, lowest_dpi, highest_dpi));
  dpi_->setSuffix(QStringLiteral(" dpi"));
  for (QDoubleSpinBox* box : {width_, height_}) {
    box->setDecimals(0);
    box->setRange(1, largest_side);
  }
  width_->setValue(suggested.width());
  height_->setValue(suggested.height());

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Units:"), unit_);
  form->addRow(QStringLiteral("Width:"), width_);
  form->addRow(QStringLiteral("Height:"), height_);
  form->addRow(QStringLiteral("Resolution:"), dpi_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(unit_, &QComboBox::currentIndexChanged, this, [this] { unitChanged(); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

bool PictureSizeDialog::inches() const {
  return unit_->currentIndex() == 1;
}

// The numbers follow the unit, so that the same picture is described in the other one.
void PictureSizeDialog::unitChanged() {
  if (inches() == showing_inches_) return;
  showing_inches_ = inches();
  const double dpi = dpi_->value();
  for (QDoubleSpinBox* box : {width_, height_}) {
    const double value = box->value();
    if (showing_inches_) {
      box->setDecimals(2);
      box->setRange(0.01, largest_side / dpi);
      box->setValue(value / dpi);
    } else {
      box->setDecimals(0);
      box->setRange(1, largest_side);
      box->setValue(std::round(value * dpi));
    }
  }
}

picture_size PictureSizeDialog::chosen() const {
  picture_size s;
  s.dpi = dpi_->value();
  if (inches()) {
    s.pixels = QSize(pixels_for_inches(width_->value(), s.dpi),
                     pixels_for_inches(height_->value(), s.dpi));
  } else {
    s.pixels = QSize(static_cast<int>(std::lround(width_->value())),
                     static_cast<int>(std::lround(height_->value())));
  }
  return s;
}

}  // namespace inhibra::toolkit
