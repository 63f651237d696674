#include "toolkit/settings_file.hpp"

#include <QSettings>
#include <QStringList>

namespace inhibra::toolkit {

namespace {

QString key_of(std::string_view key) {
  return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

}  // namespace

settings_file::settings_file()
    : store_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                         QStringLiteral("Inhibra"), QStringLiteral("Inhibra"))) {}

settings_file::settings_file(const std::string& path)
    : store_(std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)) {}

settings_file::~settings_file() = default;

bool settings_file::contains(std::string_view key) const {
  return store_->contains(key_of(key));
}

std::string settings_file::text(std::string_view key, std::string_view fallback) const {
  const QVariant v = store_->value(key_of(key));
  return v.isValid() ? v.toString().toStdString() : std::string(fallback);
}

int settings_file::number(std::string_view key, int fallback) const {
  bool ok = false;
  const int v = store_->value(key_of(key)).toInt(&ok);
  return ok ? v : fallback;
}

std::vector<std::string> settings_file::texts(std::string_view key) const {
  std::vector<std::string> out;
  for (const QString& s : store_->value(key_of(key)).toStringList())
    out.push_back(s.toStdString());
  return out;
}

void settings_file::set_text(std::string_view key, std::string_view value) {
  store_->setValue(key_of(key),
                   QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void settings_file::set_number(std::string_view key, int value) {
  store_->setValue(key_of(key), value);
}

void settings_file::set_texts(std::string_view key, const std::vector<std::string>& values) {
  QStringList list;
  for (const std::string& s : values)
    list.push_back(QString::fromStdString(s));
  store_->setValue(key_of(key), list);
}

void settings_file::sync() {
  store_->sync();
}

}  // namespace inhibra::toolkit
