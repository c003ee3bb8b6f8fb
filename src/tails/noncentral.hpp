// The noncentral chi-squared, beta, F and t distributions and the
// studentized range, in the accurate arithmetic. The noncentral functions
// take the central function's arguments then ncp; they are what the rows'
// keyword-only ncp gives for ncp != 0 (ncp = 0 is the central function).
// Invalid parameters (ncp < 0 outside t, ncp not finite) give NaN.
#pragma once

namespace zorvana {

double dnchisq(double x, double dof, bool log, double ncp);
double pnchisq(double x, double dof, bool log_p, bool lower_tail, double ncp);
double qnchisq(double p, double dof, bool lower_tail, bool log_p, double ncp);

double dnbeta(double x, double a, double b, bool log, double ncp);
double pnbeta(double x, double a, double b, bool log_p, bool lower_tail, double ncp);
double qnbeta(double p, double a, double b, bool lower_tail, bool log_p, double ncp);

double dnf(double x, double df1, double df2, bool log, double ncp);
double pnf(double x, double df1, double df2, bool log_p, bool lower_tail, double ncp);
double qnf(double p, double df1, double df2, bool lower_tail, bool log_p, double ncp);

double dnt(double x, double dof, bool log, double ncp);
double pnt(double x, double dof, bool log_p, bool lower_tail, double ncp);
double qnt(double p, double dof, bool lower_tail, bool log_p, double ncp);

// The studentized range of n_means normal means with dof degrees of freedom
// (inf: known variance), the largest of n_ranges independent ranges.
double ptukey(double q, double n_means, double dof, double n_ranges, bool log_p, bool lower_tail);
double qtukey(double p, double n_means, double dof, double n_ranges, bool lower_tail, bool log_p);

}  // namespace zorvana
