"""Pieces of the search benchmarks (bench/search_bench.py)."""
