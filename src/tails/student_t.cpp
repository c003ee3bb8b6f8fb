// PLACEHOLDER: not yet written.
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {

double pt_upper(double x, double dof, bool log_p) { return kNaN; }
double qt_upper(double p, double dof) { return kNaN; }

}  // namespace zorvana
