#include "evidence/textbook_ranking.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace inhibra::evidence {

std::vector<textbook_row> rank_by_textbook(const std::vector<model_result>& fitted) {
  std::vector<double> aicc;
  for (const model_result& r : fitted)
    aicc.push_back(r.textbook.aicc);
  const std::vector<double> weight = fit::akaike_weights(aicc);
  const std::vector<double> ratio = fit::log_evidence_ratios(aicc);
  double lowest = std::numeric_limits<double>::infinity();
  for (const double v : aicc)
    if (!std::isnan(v)) lowest = std::min(lowest, v);
  std::vector<textbook_row> rows;
  for (std::size_t i = 0; i < fitted.size(); ++i) {
    rows.push_back(
        {static_cast<int>(i + 1), fitted[i].model, aicc[i], aicc[i] - lowest, weight[i], ratio[i]});
  }
  // NaN ranks as +infinity.
  auto key = [](double v) { return std::isnan(v) ? std::numeric_limits<double>::infinity() : v; };
  std::stable_sort(rows.begin(), rows.end(), [&](const textbook_row& x, const textbook_row& y) {
    return key(x.aicc) < key(y.aicc);
  });
  return rows;
}

const textbook_row* row_of(const std::vector<textbook_row>& ranking, int index) {
  const auto found = std::find_if(ranking.begin(), ranking.end(),
                                  [&](const textbook_row& row) { return row.index == index; });
  return found != ranking.end() ? &*found : nullptr;
}

}  // namespace inhibra::evidence
