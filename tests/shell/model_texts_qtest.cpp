// The model dialog and the model library page word each model their own way; they
// still name the catalogue's models by number and code, in order.
#include <QTest>

#include "models/model_catalogue.hpp"
#include "shell/info_pages.hpp"
#include "shell/model_dialog.hpp"
#include "support/qt_test_main.hpp"

using namespace inhibra;

class ModelTextsTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogAndLibraryPageNameTheCataloguesModels() {
    const std::string page = shell::models_page_text();
    std::size_t at = 0;
    for (const auto& facts : models::model_catalogue) {
      const auto k = static_cast<std::size_t>(facts.number - 1);
      const std::string_view label = shell::model_labels[k];
      QVERIFY2(label.substr(0, 4) == facts.name.substr(0, 4), label.data());
      QVERIFY2(label.find(facts.code) != std::string_view::npos, label.data());
      const std::string number = std::to_string(facts.number) + "-";
      at = page.find(number, at);
      QVERIFY2(at != std::string::npos, number.c_str());
      const std::size_t line_end = page.find('\r', at);
      const std::string line = page.substr(at, line_end - at);
      QVERIFY2(line.find(facts.code) != std::string::npos || facts.number == 10, line.c_str());
      QVERIFY2(line.ends_with("Par=" + std::to_string(facts.parameters)), line.c_str());
    }
  }
};

INHIBRA_QT_TEST(ModelTextsTest)
#include "model_texts_qtest.moc"
