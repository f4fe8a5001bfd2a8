"""Pieces of the start-up benchmark driver (see ../startup_bench.py)."""
