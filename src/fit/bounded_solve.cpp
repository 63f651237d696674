#include "fit/detail/bounded_solve.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include <ceres/ceres.h>
#include <glog/logging.h>

#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/rate_derivatives.hpp"

namespace inhibra::fit {

namespace {

// Solver settings: tight enough that the sum of squares settles to about twelve
// digits, bounded so that a bad start cannot take long.
constexpr double solver_function_tolerance = 1e-16;
constexpr double solver_gradient_tolerance = 1e-13;
constexpr double solver_parameter_tolerance = 1e-14;

// The coordinates a solve moves in: the logarithms of the parameters, inside the
// model's box. Model 8 moves in log a and log u with b = a u, u in (0, 1], unless
// its b is pinned: its b <= a is then the upper box end of u (u = 1 is b = a, model
// 7's point), which the active-set loop holds and frees like any other box end. A
// pinned b instead sets a floor just above it under a.
struct log_coordinates {
  models::parameter_box box;  // the parameters' own box
  int model = 0;
  bool b_over_a = false;         // model 8 in (log a, log u)
  models::model_par_array lo{};  // the coordinates' box
  models::model_par_array hi{};
};

log_coordinates coordinates_for(int model, int pinned, const parameter_vector& start) {
  log_coordinates c;
  c.box = models::reachable_box(model);
  c.model = model;
  for (std::size_t i = 0; i < static_cast<std::size_t>(c.box.n); ++i) {
    c.lo[i] = std::log(c.box.lo[i]);
    c.hi[i] = std::log(c.box.hi[i]);
  }
  if (!models::b_capped_by_a(model)) return c;
  if (pinned == 4) {
    c.lo[3] = std::fmax(c.lo[3], std::log(models::model8_a_floor(start[4])));
  } else {
    c.b_over_a = true;
    // At u's lower end b = a u is below b's own lower end for every a of the box.
    c.lo[4] = std::log(c.box.lo[4] / c.box.hi[3]);
    c.hi[4] = 0.0;
  }
  return c;
}

// The coordinates of a point of the model (inside its box).
models::model_par_array to_logs(const log_coordinates& c, const parameter_vector& p) {
  models::model_par_array theta{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(c.box.n); ++i)
    theta[i] = std::log(p[i]);
  if (c.b_over_a) theta[4] = theta[4] - theta[3];
  for (std::size_t i = 0; i < static_cast<std::size_t>(c.box.n); ++i)
    theta[i] = std::clamp(theta[i], c.lo[i], c.hi[i]);
  return theta;
}

// The point of coordinates theta. `b_floored` tells that model 8's b = a u fell
// below b's lower end and stays there (u then has no effect).
struct point_from_logs {
  parameter_vector p{};
  bool b_floored = false;
};

point_from_logs from_logs(const log_coordinates& c, const double* theta) {
  point_from_logs out;
  const models::parameter_box& box = c.box;
  // The parameters taken from their own logarithms (model 8 in (log a, log u): all
  // but b); one at a box end stands for that end exactly.
  const auto direct = c.b_over_a ? std::size_t{4} : static_cast<std::size_t>(box.n);
  for (std::size_t i = 0; i < direct; ++i) {
    if (theta[i] <= std::log(box.lo[i])) {
      out.p[i] = box.lo[i];
    } else if (theta[i] >= std::log(box.hi[i])) {
      out.p[i] = box.hi[i];
    } else {
      out.p[i] = std::clamp(std::exp(theta[i]), box.lo[i], box.hi[i]);
    }
  }
  if (c.b_over_a) {
    const double u = theta[4] >= 0.0 ? 1.0 : std::exp(theta[4]);
    double b = std::fmin(out.p[3] * u, models::model8_b_ceiling(out.p[3]));
    if (b < box.lo[4]) {
      b = box.lo[4];
      out.b_floored = true;
    }
    out.p[4] = b;
  } else if (models::b_capped_by_a(c.model) && out.p[4] >= out.p[3]) {
    // A pinned b: a rounded onto it from its floor moves just above it.
    out.p[3] = models::model8_a_floor(out.p[4]);
  }
  return out;
}

// Residuals sqrt(w_k) (y_k - v_k) of the current model over the observations, as
// functions of the logarithms of the parameters (one parameter block of size 1 per
// parameter, so that a parameter held at a box end can be held constant), with
// their exact derivatives.
class rate_residuals final : public ceres::CostFunction {
 public:
  rate_residuals(const core::fit_context& ctx, const log_coordinates& coords,
                 const weight_array& root_weights, std::int64_t& evaluations)
      : ctx_(ctx), coords_(coords), root_w_(root_weights), evaluations_(evaluations) {
    set_num_residuals(ctx.rows);
    for (int j = 0; j < coords.box.n; ++j)
      mutable_parameter_block_sizes()->push_back(1);
  }

  bool Evaluate(double const* const* parameters, double* residuals,
                double** jacobians) const override {
    ++evaluations_;
    const int model = ctx_.model;
    const int n = coords_.box.n;
    models::model_par_array theta{};
    for (int j = 0; j < n; ++j)
      theta[static_cast<std::size_t>(j)] = parameters[j][0];
    const point_from_logs at = from_logs(coords_, theta.data());
    parameter_vector q = at.p;
    models::model_par_array dv{};
    for (int k = 0; k < ctx_.rows; ++k) {
      const auto row = static_cast<std::size_t>(k);
      const double s = ctx_.substrate[row];
      const double i = ctx_.inhibitor[row];
      const double y = ctx_.rate[row];
      const double v = models::func(ctx_, s, i, y, q);
      residuals[k] = root_w_[row] * (y - v);
      if (!std::isfinite(residuals[k])) return false;
      if (jacobians == nullptr) continue;
      (void)models::rate_gradient(model, s, i, at.p, dv);
      models::model_par_array d{};
      for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
        d[j] = -root_w_[row] * dv[j] * at.p[j];  // d/d log p = p d/dp
      if (coords_.b_over_a) {
        // b = a u moves with a and with u; a b held at its lower end moves with neither.
        const double db = at.b_floored ? 0.0 : d[4];
        d[3] += db;
        d[4] = db;
      }
      for (int j = 0; j < n; ++j) {
        if (jacobians[j] != nullptr) jacobians[j][k] = d[static_cast<std::size_t>(j)];
      }
    }
    return true;
  }

 private:
  const core::fit_context& ctx_;
  const log_coordinates& coords_;
  const weight_array& root_w_;
  std::int64_t& evaluations_;
};

// Where a log-parameter sits: free, held at its lower or upper box end, or pinned
// at a value of the caller's (a profile's fixed parameter).
enum class held : std::uint8_t { free, lower, upper, pinned };

// Projecting a trust-region step onto the box stalls once a parameter presses
// against a box end: the other parameters then creep along in ever shorter steps.
// So the solve runs as an active-set loop: parameters that end at a box end with the
// slope pushing outwards are held there and the rest solved again; a held parameter
// whose slope turns inwards is set free. Rounds are bounded.
// A log-parameter this close to a box end is at it.
constexpr double at_end = 1e-9;

// Ends a solve as soon as a free parameter has reached a box end it did not start
// at and stayed there for two iterations: the active-set loop then decides whether
// to hold it.
class stop_at_box_end final : public ceres::IterationCallback {
 public:
  stop_at_box_end(const models::model_par_array& theta, const models::model_par_array& lo,
                  const models::model_par_array& hi,
                  const std::array<bool, models::max_model_par>& watch, int n)
      : theta_(theta), lo_(lo), hi_(hi), watch_(watch), n_(n) {}

  ceres::CallbackReturnType operator()(const ceres::IterationSummary& summary) override {
    if (!summary.step_is_successful) return ceres::SOLVER_CONTINUE;
    bool at = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n_); ++i) {
      if (watch_[i] && (theta_[i] <= lo_[i] + at_end || theta_[i] >= hi_[i] - at_end)) at = true;
    }
    streak_ = at ? streak_ + 1 : 0;
    return streak_ >= 2 ? ceres::SOLVER_TERMINATE_SUCCESSFULLY : ceres::SOLVER_CONTINUE;
  }

 private:
  const models::model_par_array& theta_;
  const models::model_par_array& lo_;
  const models::model_par_array& hi_;
  const std::array<bool, models::max_model_par>& watch_;
  int n_;
  int streak_ = 0;
};

// The solver library logs its own warnings (every residual it cannot evaluate, with
// a page of advice) to standard error. The refinement reports a failed solve itself,
// once per model, so the library's log is turned off before the first solve.
void silence_solver_log() {
  static std::once_flag once;
  std::call_once(once, [] { FLAGS_minloglevel = google::GLOG_FATAL; });
}

}  // namespace

bool solve_once(const core::fit_context& ctx, const weight_array& w, const solve_effort& effort,
                parameter_vector& p, std::int64_t& evaluations, int pinned) {
  const log_coordinates coords = coordinates_for(ctx.model, pinned, p);
  const int n = coords.box.n;
  const auto count = static_cast<std::size_t>(n);
  // Residuals relative to the root mean square rate: the solver's tolerances then
  // mean the same whatever units the rates are written in.
  double sum_sq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    sum_sq += ctx.rate[k] * ctx.rate[k];
  const double scale = sum_sq > 0.0 ? std::sqrt(sum_sq / ctx.rows) : 1.0;
  weight_array root_w{};
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    root_w[k] = std::sqrt(w[k]) / scale;
  const models::model_par_array& lo = coords.lo;
  const models::model_par_array& hi = coords.hi;
  models::model_par_array theta = to_logs(coords, p);
  std::array<held, models::max_model_par> state{};
  if (pinned >= 0) {
    const auto k = static_cast<std::size_t>(pinned);
    state[k] = held::pinned;
    theta[k] = std::log(p[k]);
  }
  rate_residuals cost(ctx, coords, root_w, evaluations);

  silence_solver_log();
  ceres::Solver::Options options;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = effort.iterations;
  options.function_tolerance = solver_function_tolerance;
  options.gradient_tolerance = solver_gradient_tolerance;
  options.parameter_tolerance = solver_parameter_tolerance;
  options.logging_type = ceres::SILENT;
  options.minimizer_progress_to_stdout = false;
  options.num_threads = 1;
  options.max_num_line_search_step_size_iterations = effort.line_search_steps;
  // A single trial step interpolates nothing, so it needs no slopes at the trial point.
  if (effort.line_search_steps == 1) options.line_search_interpolation_type = ceres::BISECTION;

  bool evaluated = true;
  for (int round = 1; round <= effort.active_set_rounds; ++round) {
    ceres::Problem::Options problem_options;
    problem_options.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
    ceres::Problem problem(problem_options);
    std::array<double*, 5> blocks{};
    for (std::size_t i = 0; i < count; ++i)
      blocks[i] = &theta[i];
    problem.AddResidualBlock(&cost, nullptr,
                             std::vector<double*>(blocks.begin(), blocks.begin() + n));
    bool any_free = false;
    for (std::size_t i = 0; i < count; ++i) {
      if (state[i] != held::free) {
        if (state[i] == held::lower) theta[i] = lo[i];
        if (state[i] == held::upper) theta[i] = hi[i];
        problem.SetParameterBlockConstant(&theta[i]);
        continue;
      }
      any_free = true;
      problem.SetParameterLowerBound(&theta[i], 0, lo[i]);
      problem.SetParameterUpperBound(&theta[i], 0, hi[i]);
    }
    bool converged = true;
    if (any_free) {
      // Watch the free parameters that do not start at a box end.
      std::array<bool, models::max_model_par> watch{};
      for (std::size_t i = 0; i < count; ++i) {
        watch[i] = state[i] == held::free && theta[i] > lo[i] + at_end && theta[i] < hi[i] - at_end;
      }
      stop_at_box_end stop(theta, lo, hi, watch, n);
      ceres::Solver::Options round_options = options;
      round_options.callbacks.push_back(&stop);
      round_options.update_state_every_iteration = true;
      ceres::Solver::Summary summary;
      ceres::Solve(round_options, &problem, &summary);
      converged = summary.termination_type == ceres::CONVERGENCE;
      evaluated = evaluated && summary.termination_type != ceres::FAILURE;
    }

    // The slope of the sum of squares along each log-parameter at the solution.
    std::array<double, core::max_rows> r{};
    std::vector<double> jac_store(static_cast<std::size_t>(ctx.rows) * count);
    std::array<double*, 5> jac{};
    for (std::size_t i = 0; i < count; ++i)
      jac[i] = jac_store.data() + i * static_cast<std::size_t>(ctx.rows);
    std::array<const double*, 5> args{};
    for (std::size_t i = 0; i < count; ++i)
      args[i] = &theta[i];
    if (!cost.Evaluate(args.data(), r.data(), jac.data())) {
      evaluated = false;
      break;
    }
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
      double slope = 0.0;
      for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
        slope += jac[i][k] * r[k];
      held next = state[i];
      if (state[i] == held::pinned) continue;
      if (state[i] == held::free) {
        if (theta[i] <= lo[i] + at_end && slope > 0.0) next = held::lower;
        if (theta[i] >= hi[i] - at_end && slope < 0.0) next = held::upper;
      } else if ((state[i] == held::lower && slope < 0.0) ||
                 (state[i] == held::upper && slope > 0.0)) {
        next = held::free;
      }
      changed = changed || next != state[i];
      state[i] = next;
    }
    if (!changed && converged) break;
  }
  p = from_logs(coords, theta.data()).p;
  return evaluated;
}

}  // namespace inhibra::fit
