#pragma once
// The distributions the statistics use, from Boost.Math, with a policy under which a
// domain error comes back as NaN and an overflow as infinity, never as an exception:
// the callers test the numbers they get.
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace inhibra::fit {

using quiet_policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;
using normal_distribution = boost::math::normal_distribution<double, quiet_policy>;
using t_distribution = boost::math::students_t_distribution<double, quiet_policy>;
using f_distribution = boost::math::fisher_f_distribution<double, quiet_policy>;

}  // namespace inhibra::fit
