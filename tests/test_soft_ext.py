"""The software extended type against the x87 unit, operation by operation,
bit for bit: 10^7 random operands or pairs per operation plus every pair of an
edge set (tests/cpp/soft_ext_check.cpp)."""
import platform
import subprocess

import pytest

from conftest import build_cpp

ARITHMETIC = ["add", "sub", "mul", "div", "to_double"]


@pytest.mark.skipif(platform.machine().lower() not in ("x86_64", "amd64"),
                    reason="the reference is the x87 unit of an x86-64 machine")
@pytest.mark.parametrize("flags, pairs", [
    ((), 10 ** 7),
    # The two-halves 128-bit arithmetic of compilers without a 128-bit integer
    # (bit-by-bit division, so fewer pairs).
    (("-DZORVANA_SOFT_EXT_NO_INT128",), 10 ** 6),
], ids=["int128", "halves"])
def test_soft_ext_matches_x87(tmp_path, flags, pairs):
    exe = build_cpp(tmp_path, "soft_ext_check", ["tests/cpp/soft_ext_check.cpp"], extra_flags=flags, layers=False)
    run = subprocess.run([exe, str(pairs)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    rows = {r.split()[0]: [int(v) for v in r.split()[1:]] for r in run.stdout.decode().splitlines()}
    assert run.returncode == 0, run.stderr.decode()
    assert len(rows) == 12
    for op, (compared, mismatches, subnormal) in rows.items():
        assert compared >= pairs and mismatches == 0, op
        # Gradual underflow was reached.
        assert subnormal > 0 or op not in ARITHMETIC, op
