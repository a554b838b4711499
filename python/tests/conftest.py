"""Fixtures: a fresh program folder per test, on the default bench."""
import pathlib

import pytest

import quillon

DEFAULT_BENCH = pathlib.Path(__file__).resolve().parents[2] / "resources" / "sim" / "default-bench.ini"


@pytest.fixture
def folder(tmp_path):
    return tmp_path


@pytest.fixture
def open_bench(folder):
    """Opens `folder` on the default bench, loaded afresh, with every question answered Yes."""
    opened = []

    def opener(**options):
        options.setdefault("simulate", DEFAULT_BENCH)
        options.setdefault("answer", "yes")
        inst = quillon.open(workdir=folder, **options)
        opened.append(inst)
        return inst

    yield opener
    for inst in opened:
        inst.close()


@pytest.fixture
def inst(open_bench):
    return open_bench()
