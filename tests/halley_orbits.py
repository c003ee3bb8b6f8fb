"""Inputs whose Halley iterations end on each kind of orbit: a repeated
state (period 1), a cycle of two states, longer cycles, every step taken;
among those of period 1 and 2, runs that met an iterate twice and recalled
its values. Made by tools/halley_orbits.cpp (pick); hexadecimal floats, the
error function's inverse at (p + p) - 1."""

ORBITS = [
    ("math_gamma_p_inv", ["0x1.1p+2", "0x1.128b97b00a3e3p-16"]),  # period 1
    ("math_gamma_p_inv", ["0x1.90e71f9d9b288p+3", "0x1.157508075f391p-3"]),  # period 2 recalled
    ("math_gamma_p_inv", ["0x1.9p+3", "0x1.5e8cef5b60652p-1"]),  # period 1 recalled
    ("math_gamma_p_inv", ["0x1.af2043e8b9808p+0", "0x1.11c552a688f8bp-1"]),  # period 1 recalled
    ("math_gamma_p_inv", ["0x1.4p+1", "0x1.695031110c97dp-2"]),  # period 1
    ("math_gamma_p_inv", ["0x1.5e0260bbe37b6p+0", "0x1.2b8523ac8943fp-3"]),  # period 2
    ("math_gamma_p_inv", ["0x1.78d2b08c5b062p+3", "0x1.71a88f3e74227p-1"]),  # period 2 recalled
    ("math_gamma_p_inv", ["0x1.0bb999fa82167p+1", "0x1.2f94f57f77776p-4"]),  # period 3+
    ("math_gamma_p_inv", ["0x1.ecd493760ae8ap+1", "0x1.98de2c3ac73e2p-2"]),  # period 3+
    ("math_gamma_p_inv", ["0x1.5p+2", "0x1.f576a2b379cddp-1"]),  # all steps
    ("math_gamma_p_inv", ["0x1.cp+0", "0x1.e72d3cb5c4638p-7"]),  # period 2
    ("math_gamma_p_inv", ["0x1.8p+1", "0x1.ff8777b6aa3a9p-1"]),  # all steps
    ("math_erf_inv", ["0x1.b3c80f7d37a88p-1"]),  # period 1 recalled
    ("math_erf_inv", ["0x1.77e221533cc7bp-4"]),  # period 1 recalled
    ("math_erf_inv", ["0x1.4a055cb91ddb5p-2"]),  # period 2 recalled
    ("math_erf_inv", ["0x1.b9a9b087aca2bp-1"]),  # period 2 recalled
    ("math_erf_inv", ["0x1.fffffffff7df3p-1"]),  # all steps
    ("math_erf_inv", ["0x1.4afdc51a69b56p-2"]),  # period 2
    ("math_erf_inv", ["0x1.9162dd5564fdcp-1"]),  # period 1
    ("math_erf_inv", ["0x1.51f01680c7626p-3"]),  # period 3+
    ("math_erf_inv", ["0x1.785570428418dp-2"]),  # period 1
    ("math_erf_inv", ["0x1.94c6d01697b5ep-7"]),  # period 3+
    ("math_erf_inv", ["0x1.88fd448e54dafp-2"]),  # period 2
    ("math_erf_inv", ["0x1.fb04d07efe3fbp-1"]),  # all steps
    ("math_beta_i_inv", ["0x1.bp+2", "0x1.5726bbd488029p+4", "0x1.f0015f6fc8f25p-2"]),  # period 2 recalled
    ("math_beta_i_inv", ["0x1.42a9f1d73223ep-1", "0x1.440ea4093abe7p+2", "0x1.8cf1fcf4a39bfp-1"]),  # period 3+
    ("math_beta_i_inv", ["0x1.8p+1", "0x1.f9b123eab1274p+4", "0x1.c951cfd6ba262p-1"]),  # period 1 recalled
    ("math_beta_i_inv", ["0x1.dc8308830a5d7p-1", "0x1.5e2ed2b60d6b8p-1", "0x1.166e6eb4491e7p-1"]),  # period 2 recalled
    ("math_beta_i_inv", ["0x1.2p+1", "0x1.31fc8abd22884p+4", "0x1.2450bc5b84a7fp-4"]),  # period 3+
    ("math_beta_i_inv", ["0x1p-1", "0x1.a2e65e94ddc48p+0", "0x1.fffff98d4cfffp-1"]),  # period 1 recalled
    ("math_beta_i_inv", ["0x1.8dbd1b67fdc6bp+4", "0x1.1ce57b0a97928p+4", "0x1.84b31a39c61bap-2"]),  # period 1
    ("math_beta_i_inv", ["0x1.6p+2", "0x1.0e44b76a0608bp+4", "0x1.c8c8dbde0496dp-3"]),  # period 2
    ("math_beta_i_inv", ["0x1.4cp+5", "0x1.9690671e01fd5p+4", "0x1.3025290586dd6p-2"]),  # period 1
    ("math_beta_i_inv", ["0x1.cp+2", "0x1.2a7a13027a406p+2", "0x1.103b286ad8ed6p-1"]),  # period 2
    ("math_beta_i_inv", ["0x1.3f914c10d2c4p+0", "0x1.39dd84957d291p+5", "0x1.f2a9be39766e9p-27"]),  # all steps
    ("math_beta_i_inv", ["0x1.8p-1", "0x1.26788c353c756p+0", "0x1.a4d567c45d2cap-36"]),  # all steps
]
