#include "fit/report.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "models/model_catalogue.hpp"
#include "strings/fortran_format.hpp"
#include "strings/text.hpp"

namespace inhibra::fit {

namespace {

using strings::fixed_line;

void emit(std::ostream& out, std::string_view text) {
  out << text << report_line_end;
}

void emit(std::ostream& out, const fixed_line& line) {
  emit(out, line.text());
}

void blank_line(std::ostream& out) {
  out << report_line_end;
}

// One blank and `width` hyphens.
void dash_line(std::ostream& out, int width) {
  // Built in place: GCC 12 at -O3 takes `" " + std::string(...)` for an
  // overlapping copy and warns (-Wrestrict), a false alarm.
  std::string line(static_cast<std::size_t>(width) + 1, '-');
  line.front() = ' ';
  emit(out, line);
}

// Gradient components below this (the single-precision 1.5e-8) print as 1e-8.
constexpr double gradient_print_floor = double(1.5e-8f);  // 1.4999999464748726e-08

}  // namespace

std::string date_time_text(const std::tm& t) {
  static constexpr std::array<const char*, 7> days{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto day = static_cast<std::size_t>(t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0);
  const auto month = static_cast<std::size_t>(t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %4d", days[day], months[month],
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
  return text;
}

std::optional<std::time_t> parse_source_date_epoch(std::string_view text) {
  constexpr long long last_second_of_9999 = 253402300799;  // 9999-12-31 23:59:59 UTC
  long long seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc{} || end != text.data() + text.size() || text.front() == '-' ||
      seconds > last_second_of_9999) {
    return std::nullopt;
  }
  return static_cast<std::time_t>(seconds);
}

std::string report_date_time() {
  std::tm when{};
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch != nullptr && *epoch != '\0') {
    const auto t = parse_source_date_epoch(epoch);
    if (t && gmtime_r(&*t, &when) != nullptr) return date_time_text(when);
  }
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &when);
  return date_time_text(when);
}

void model_names(std::ostream& out, int model) {
  const models::model_facts* facts = models::model_info(model);
  if (facts == nullptr) {
    blank_line(out);
    return;
  }
  const models::report_text& m = facts->report;
  emit(out, fixed_line().x(10).a("MODEL NAME:  ").a(m.title));
  for (std::string_view line : m.equation) {
    if (!line.empty()) emit(out, fixed_line().x(15).a(line));
  }
  blank_line(out);
  for (std::string_view line : m.form) {
    if (!line.empty()) emit(out, fixed_line().x(15).a(line));
  }
  blank_line(out);
}

void print_grad(std::ostream& out, int n, std::span<const double> p, std::span<const double> g) {
  emit(out, fixed_line()
                .x(10)
                .a("PARAMETERS AND CORRESPONDING GRADIENT ")
                .a("OF THE OBJECTIVE FUNCTION"));
  dash_line(out, 79);
  emit(out, fixed_line()
                .x(1)
                .a("PARAMETER  |")
                .x(5)
                .a("VALUE")
                .x(12)
                .a("GRADIENT    |")
                .x(5)
                .a("VALUE")
                .x(12)
                .a("GRADIENT "));
  dash_line(out, 79);
  for (int first = 1; first <= n; first += 2) {
    const int last = std::min(first + 1, n);
    fixed_line line;
    line.x(1).i(first, 2).a(" -").i(last, 3).x(4);
    for (int i = first; i <= last; ++i) {
      const auto k = static_cast<std::size_t>(i - 1);
      line.a("|").e(p[k], 14, 7).x(4).e(g[k], 14, 7).x(2);
    }
    emit(out, line);
  }
  dash_line(out, 79);
}

std::string correlation_cell(double r) {
  if (r == 0.0) return "  ........";
  const std::string sign = std::signbit(r) ? "-" : " ";
  const double magnitude = std::abs(r);
  if (!std::isfinite(magnitude)) return sign + (std::isnan(r) ? "NaN" : "Infinity");
  // Rounded to ten decimals first, so that 0.999 (stored just below) reads 0.999000,
  // then cut to six.
  char text[400];
  std::snprintf(text, sizeof text, "%.10f", magnitude);
  std::string digits(text);
  digits.resize(digits.size() - 4);
  return sign + digits;
}

void matprnt(std::ostream& out, int n, std::span<const double> corr) {
  emit(out, fixed_line().x(22).a("PARAMETER AND CORRELATION MATRIX VALUES"));
  dash_line(out, report_dash_width);
  for (int c1 = 1; c1 <= n; c1 += 4) {
    const int c2 = std::min(c1 + 3, n);
    fixed_line header;
    header.x(22);
    for (int j = c1; j <= c2; ++j)
      header.a("PARAM").i(j, 3).x(6);
    emit(out, header);
    for (int i = 1; i <= n; ++i) {
      fixed_line line;
      line.x(3).a("PARAMETER(").i(i, 2).a(") |  ");
      for (int j = c1; j <= c2; ++j) {
        const auto at = static_cast<std::size_t>(i - 1) +
                        static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n);
        // The cell text left-aligned in 12 columns.
        line.a(strings::pad(correlation_cell(corr[at]), 12)).x(2);
      }
      emit(out, line);
    }
    dash_line(out, (c2 - c1 + 1) * 14 + 22);
  }
}

int model_constraint_count(int model) {
  const models::model_facts* facts = models::model_info(model);
  return facts != nullptr ? facts->printed_constraints : 0;
}

namespace {

// The rows the person left out of the fit, by where they stand in the data file;
// a long list goes on over further lines of at most 79 characters.
void write_rows_left_out(std::ostream& out, const std::vector<std::string>& rows) {
  constexpr std::string_view lead = "          ROWS LEFT OUT: ";
  constexpr std::size_t width = 79;
  std::string line(lead);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string item = rows[k] + (k + 1 < rows.size() ? "," : "");
    if (line.size() > lead.size() && line.size() + 1 + item.size() > width) {
      emit(out, line);
      line.assign(lead.size(), ' ');
    } else if (line.size() > lead.size()) {
      line += ' ';
    }
    line += item;
  }
  emit(out, line);
}

// The program's heading, the date, the model and its counts, and the SQP stage's
// message when it stopped at its limit or went uphill.
void write_section_heading(std::ostream& out, const core::observations& ctx, const model_result& r,
                           std::string_view date_time) {
  const int n = r.n;
  blank_line(out);
  blank_line(out);
  emit(out, fixed_line().x(10).a("INHIBRA NONLINEAR OPTIMIZATION SOFTWARE"));
  emit(out, fixed_line().x(10).a("COPYRIGHT (C) THE INHIBRA AUTHORS"));
  blank_line(out);
  emit(out, fixed_line().t(20).a(date_time));
  blank_line(out);
  if (!ctx.rows_left_out.empty()) {
    write_rows_left_out(out, ctx.rows_left_out);
    blank_line(out);
  }

  model_names(out, r.model);

  emit(out, fixed_line().x(10).a("NUMBER OF DATA SETS ANALYZED:").t(52).i(ctx.idatasets, 3));
  emit(out, fixed_line().x(10).a("NUMBER OF PARAMETERS, P:").t(52).i(n, 3));
  emit(out, fixed_line().x(10).a("TOTAL NUMBER OF CONSTRAINTS:").t(52).i(r.constraints, 3));
  emit(out, fixed_line().x(10).a("NUMBER OF EQUALITY CONSTRAINTS:").t(52).i(0, 3));

  if (r.sqp_info == 2) {
    blank_line(out);
    emit(out, fixed_line()
                  .x(10)
                  .a("CALLS TO FUNCTION EXCEEDED ")
                  .i(r.sqp_iteration_limit, 4)
                  .a("--INFO =")
                  .i(2, 2));
    emit(out, fixed_line().x(10).a("(MESSAGE RETURNED FROM STAGE 3)"));
    blank_line(out);
  } else if (r.sqp_info == 4) {
    blank_line(out);
    emit(out, fixed_line().x(10).a("UPHILL SEARCH DIRECTION WAS EXECUTED--INFO =").i(4, 2));
    emit(out, fixed_line().x(10).a("(MESSAGE RETURNED FROM STAGE 3)"));
    blank_line(out);
  }
}

// The weighting of a fit as the report names it: robust or not, and the error
// model unless it is equal weights.
std::string weighting_words(const model_result& r) {
  const bool robust = r.weighting != core::weighting::none;
  switch (r.errors) {
    case core::error_model::relative:
      return robust ? "ROBUST WEIGHTING, RELATIVE (1/v^2)" : "RELATIVE WEIGHTING (1/v^2)";
    case core::error_model::poisson:
      return robust ? "ROBUST WEIGHTING, POISSON (1/v)" : "POISSON WEIGHTING (1/v)";
    case core::error_model::equal:
      break;
  }
  return robust ? "ROBUST WEIGHTING" : "NO WEIGHTING";
}

// Weighting, sum of squares, standard error of regression and AICc.
void write_fit_summary(std::ostream& out, int rows, const model_result& r) {
  const int n = r.n;
  emit(out, fixed_line().x(10).a("WEIGHTING: ").a(weighting_words(r)));
  emit(out, fixed_line().x(10).a("RESIDUAL SUM OF SQUARES=").x(10).f(r.ssr, 14, 8));
  {
    fixed_line line;
    line.x(10).a("STANDARD ERROR OF REGRESSION=").x(5);
    // Without more observations than parameters there is no residual variance.
    if (rows > n) {
      line.f(std::sqrt(r.ssr / static_cast<double>(rows - n)), 14, 8);
    } else {
      line.stars(14);
    }
    emit(out, line);
  }
  emit(out, fixed_line().x(10).a("AICc (Corrected Akaike)=").x(8).f(r.aicc, 12, 4));
  blank_line(out);
}

// The gradient at the optimum and the parameters with their errors and limits.
void write_parameters(std::ostream& out, const model_result& r) {
  const int n = r.n;
  std::array<double, core::max_par> g = r.gradient;
  for (double& v : g) {
    if (v < gradient_print_floor) v = 1e-8;
  }
  print_grad(out, n, r.p, g);

  blank_line(out);
  emit(out, fixed_line()
                .x(10)
                .a("BEST FIT PARAMETERS:")
                .x(4)
                .a("STD. ERRORS")
                .x(10)
                .a("95% CONFIDENCE LIMITS"));
  for (int i = 1; i <= n; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    fixed_line line;
    line.x(5).i(i, 3).x(5).f(r.p[k], 13, 6).a("  +/-");
    if (r.se_produced) {
      line.f(r.se[k], 13, 6).x(3).a("[").f(r.p[k] - r.cl[k], 14, 6).a(" ,");
      line.f(r.p[k] + r.cl[k], 14, 6).a(" ]");
    } else {
      line.stars(13).x(3).a("[").stars(14).a(" ,").stars(14).a(" ]");
    }
    emit(out, line);
  }
}

// MC50 at three substrate levels.
void write_mc50_lines(std::ostream& out, const model_result& r) {
  blank_line(out);
  emit(out, fixed_line().x(16).a("[Substrate]").x(12).a("MC50").x(10).a("STD. ERROR"));
  static constexpr std::array<std::size_t, 3> printed_levels{0, 1, 6};
  for (std::size_t q = 0; q < printed_levels.size(); ++q) {
    const std::size_t level = printed_levels[q];
    fixed_line line;
    line.x(7)
        .i(static_cast<long long>(q + 1), 2)
        .x(2)
        .f(mc50_multipliers[level], 4, 1)
        .a("*Km =")
        .f(r.mc50.substrate[level], 13, 6)
        .x(2)
        .f(r.mc50.value[level], 13, 6)
        .x(1)
        .a("+/-")
        .x(1);
    if (r.se_produced) {
      line.f(r.mc50.error[level], 10, 6);
    } else {
      line.stars(10);
    }
    emit(out, line);
  }
  dash_line(out, report_dash_width);
  dash_line(out, report_dash_width);
}

// Observed and fitted rates with their residuals.
void write_observations(std::ostream& out, const core::observations& ctx, const model_result& r) {
  const int rows = ctx.rows;
  blank_line(out);
  emit(out,
       fixed_line().x(5).a("NO.").x(10).a("[S]").x(9).a("[I]").x(9).a("Y").x(9).a("Ycalc").x(6).a(
           "RESIDUAL"));
  dash_line(out, report_dash_width);
  for (int i = 1; i <= rows; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    const double fitted = r.fitted[k];
    emit(out, fixed_line()
                  .x(5)
                  .i(i, 3)
                  .x(2)
                  .f(ctx.substrate[k], 12, 3)
                  .f(ctx.inhibitor[k], 12, 3)
                  .f(ctx.rate[k], 12, 3)
                  .f(fitted, 12, 3)
                  .x(3)
                  .f(fitted - ctx.rate[k], 10, 6));
  }
  dash_line(out, report_dash_width);
}

}  // namespace

void write_model_section(std::ostream& out, const core::observations& ctx, const model_result& r,
                         std::string_view date_time) {
  write_section_heading(out, ctx, r, date_time);
  write_fit_summary(out, ctx.rows, r);
  write_parameters(out, r);
  write_mc50_lines(out, r);
  matprnt(out, r.n, r.correlation);
  write_observations(out, ctx, r);
}

void write_summary(std::ostream& out, std::span<const ranking_row> ranking,
                   std::span<const model_result> fitted) {
  dash_line(out, report_dash_width);
  emit(out, fixed_line().x(14).a("INHIBRA BEST-FIT MODEL SUMMARY:"));
  dash_line(out, report_dash_width);
  emit(out, fixed_line()
                .x(5)
                .a("RANK", 4)
                .x(4)
                .a("AICc", 4)
                .x(7)
                .a("Delta(AICc)", 12)
                .x(9)
                .a("MODEL NAME", 10)
                .x(18)
                .a("LER*<2", 6));
  dash_line(out, report_dash_width);
  int rank = 0;
  for (const ranking_row& row : ranking) {
    ++rank;
    std::string_view name;
    if (row.index >= 1 && static_cast<std::size_t>(row.index) <= fitted.size()) {
      name = strings::trim_both(fitted[static_cast<std::size_t>(row.index - 1)].name);
    }
    emit(out, fixed_line()
                  .x(5)
                  .i(rank, 3)
                  .x(2)
                  .f(row.aicc, 10, 4)
                  .x(2)
                  .f(row.delta, 10, 5)
                  .x(2)
                  .a(name)
                  .t(75)
                  .f(row.ler, 5, 2)
                  .a(row.marker));
  }
  dash_line(out, report_dash_width);
  dash_line(out, report_dash_width);
}

void write_closing_line(std::ostream& out, std::string_view results_file) {
  blank_line(out);
  emit(out, fixed_line().x(1).a("RESULTS FILE ").a(strings::trim_both(results_file)));
  blank_line(out);
}

}  // namespace inhibra::fit
