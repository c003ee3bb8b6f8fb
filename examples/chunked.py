"""zorvana over a chunked dask array.

The element-wise functions take NumPy arrays, so `dask.array.map_blocks`
applies them chunk by chunk; every element is computed by the same scalar
arithmetic whatever the chunking, so the result has the same bits as one call
over the whole array.

Draws are different: an Engine is one sequential stream, and chunks are
computed in any order, possibly at the same time. Here each chunk gets its own
engine, spawned from one Engine(base_seed): Engine.spawn gives engines far
apart on the seed's stream (2^224 outputs), so the chunks' streams never
overlap, and no two chunks can share a seed. The draws of a chunk depend only
on the chunk's index, never on the scheduler, the number of workers or the
order of computation; they are NOT the stream of a single Engine(base_seed),
so changing the chunk sizes changes the draws.

    pip install "dask[array]"
    python examples/chunked.py --n 1000000 --chunk 100000
"""
from __future__ import print_function

import argparse
import copy
import os
import sys

import numpy as np

try:
    import zorvana as zv
except ImportError:  # not installed: use an in-place build in this checkout
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    import zorvana as zv

import dask
import dask.array as da


def same_bits(a, b):
    """Equal to the last bit, NaN payloads included."""
    a, b = np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)
    return a.shape == b.shape and np.array_equal(a.view(np.uint64), b.view(np.uint64))


def chunked_draws(draw, params, shape, chunks, base_seed):
    """A dask array of draws, one spawned engine per chunk (flat, row-major
    over the chunk grid). Each block draws from a copy of its engine, so a
    block computed twice (a retried task) gives the same values."""
    template = da.zeros(shape, chunks=chunks)
    numblocks = template.numblocks
    engines = zv.Engine(base_seed).spawn(int(np.prod(numblocks)))

    def block(b, block_id=None):
        engine = copy.copy(engines[int(np.ravel_multi_index(block_id, numblocks))])
        return draw(*params, size=list(b.shape), engine=engine)

    return template.map_blocks(block, dtype=np.float64), engines


def main(argv=None):
    ap = argparse.ArgumentParser(description="zorvana over chunked dask arrays")
    ap.add_argument("--n", type=int, default=200000, help="number of elements")
    ap.add_argument("--chunk", type=int, default=30000, help="elements per chunk")
    ap.add_argument("--seed", type=int, default=2026, help="base seed of the draws")
    args = ap.parse_args(argv)
    n, chunk = args.n, args.chunk
    ok = True

    # Element-wise functions: chunk by chunk equals one whole-array call.
    p = np.linspace(0.0005, 0.9995, n)
    shape = np.geomspace(0.5, 50.0, n)
    dp = da.from_array(p, chunks=chunk)
    dshape = da.from_array(shape, chunks=chunk)
    cases = [
        ("qgamma(p, shape, 2.0)", da.map_blocks(zv.qgamma, dp, dshape, 2.0, dtype=np.float64),
         zv.qgamma(p, shape, 2.0)),
        ("pnorm(q, 1, 3, log_p=True)", da.map_blocks(zv.pnorm, dp * 20 - 10, 1.0, 3.0, log_p=True,
                                                     dtype=np.float64),
         zv.pnorm(p * 20 - 10, 1.0, 3.0, log_p=True)),
        ("dbeta(p, shape, 3)", da.map_blocks(zv.dbeta, dp, dshape, 3.0, dtype=np.float64),
         zv.dbeta(p, shape, 3.0)),
    ]
    with dask.config.set(scheduler="threads"):  # the local threaded scheduler
        for text, lazy, whole in cases:
            same = same_bits(lazy.compute(), whole)
            ok = ok and same
            print("%-28s %d chunks, same bits as one call: %s" % (text, lazy.numblocks[0], same))

        # Draws: one spawned engine per chunk; the same bits whoever computes them.
        draws, engines = chunked_draws(zv.rgamma, (2.0, 1.5), (n,), chunk, args.seed)
        first = draws.compute(scheduler="sync")  # one worker, blocks in order
        same = all(same_bits(first, draws.compute(scheduler="threads", num_workers=w)) for w in (1, 2, 4))
        ok = ok and same
        print("rgamma per chunk (%d chunks), same bits for 1, 2 and 4 workers, reproducible: %s"
              % (draws.numblocks[0], same))
        size0 = min(chunk, n)
        direct = zv.rgamma(2.0, 1.5, size=size0, engine=zv.Engine(args.seed).spawn(1)[0])
        ok = ok and same_bits(first[:size0], direct)
        print("chunk 0 equals rgamma(..., engine=Engine(seed).spawn(1)[0]):", same_bits(first[:size0], direct))
        print("engines of chunks 0 and 1:", engines[0], engines[1], sep="\n  ")
        single = zv.rgamma(2.0, 1.5, size=n, engine=zv.Engine(args.seed))
        print("equal to one Engine(seed) stream (not expected):", same_bits(first, single))
        print("mean %.4f (true %.4f)" % (first.mean(), 2.0 * 1.5))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
