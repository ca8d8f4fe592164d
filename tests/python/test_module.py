"""The Python module against the program: the same bits as its table for the
same options, the shapes and types numpy gets, the program's refusals with
the keywords in place of the options, Ctrl-C, and two calls at once.

The program is LATTICE_BUBBLE_PROGRAM; the module is found on PYTHONPATH."""
import _thread
import os
import subprocess
import threading
import time

import numpy as np
import pytest

import lattice_bubble as lb

PROGRAM = os.environ["LATTICE_BUBBLE_PROGRAM"]


def table(*options):
    """The program's table for the options: {column name: float64 array}."""
    text = subprocess.run([PROGRAM, *options], capture_output=True, text=True, check=True).stdout
    names = text.splitlines()[0].lstrip("#").split()
    values = np.loadtxt(text.splitlines(), comments="#", ndmin=2)
    return {name: values[:, i] for i, name in enumerate(names)}


def same_bits(got, expected):
    assert got.dtype == np.float64 and np.array_equal(got.view(np.int64), expected.view(np.int64))


MESH = dict(lattice=(6, 10), beta=3.0, mu=-0.4, hopping=(-1.0, -0.8), hopping2=0.3, offset=0.0, frequencies=12)
OPTIONS = ["--lattice", "6,10", "--beta", "3", "--mu", "-0.4", "--hopping", "-1,-0.8", "--hopping2", "0.3",
           "--offset", "0", "--frequencies", "12"]


@pytest.mark.filterwarnings("ignore:.*coarser than the accuracy:RuntimeWarning")
@pytest.mark.parametrize("route", ["fourier", "tail", "direct", "dlr"])
def test_every_q_is_the_programs_table_bit_for_bit(route):
    chi = lb.bubble(route=route, threads=2, **MESH)
    assert chi.shape == (6, 10, 13) and chi.dtype == np.complex128 and chi.flags.c_contiguous
    expected = table(*OPTIONS, "--routes", route, "--q", "all", "--threads", "1")
    same_bits(chi.real.ravel(), expected["re_" + route])
    same_bits(chi.imag.ravel(), expected["im_" + route])


@pytest.mark.filterwarnings("ignore:.*on the Fermi surface:RuntimeWarning")
def test_path_with_a_coupling_and_the_real_axis_are_the_programs_columns():
    chi = lb.bubble(route="tail", lattice=16, beta=20.0, coupling=1.5, q="path")
    expected = table("--lattice", "16", "--beta", "20", "--coupling", "1.5", "--q", "path", "--routes", "tail")
    for key, column in (("chi0", "tail"), ("spin", "tail_spin"), ("charge", "tail_charge")):
        assert chi[key].shape == (24, 17)
        same_bits(chi[key].real.ravel(), expected["re_" + column])
        same_bits(chi[key].imag.ravel(), expected["im_" + column])
    real = lb.real_axis((-2.0, 3.0, 11), 0.05, lattice=(12, 8), hopping2=-0.2, q=[(6, 4), (1, 2), (6, 4)])
    expected = table("--real-axis", "-2,3,11", "--broadening", "0.05", "--lattice", "12,8", "--hopping2", "-0.2",
                     "--q", "6,4", "--q", "1,2")
    assert real.shape == (3, 11)
    same_bits(real[:2].real.ravel(), expected["re_direct"])
    same_bits(real[2].imag, expected["im_direct"][:11])
    same_bits(lb.matsubara(20.0, 17), table("--beta", "20", "--frequencies", "16", "--routes", "direct")["nu"])
    assert lb.band(lattice=(3, 5)).shape == (3, 5)


def test_times_the_instability_and_the_path_are_the_programs():
    cold = dict(lattice=16, beta=40.0, hopping=-1.0, hopping2=0.3, mu=-0.9, offset=0.0)
    cold_options = ["--lattice", "16", "--beta", "40", "--hopping", "-1", "--hopping2", "0.3", "--mu", "-0.9",
                    "--offset", "0"]
    tau = lb.imaginary_time(9, q=[(8, 8), (3, 5)], k_shift=0.5, **cold)
    expected = table(*cold_options, "--times", "9", "--q", "8,8", "--q", "3,5", "--k-shift", "0.5")
    assert tau.shape == (2, 9)
    same_bits(tau.real.ravel(), expected["re_dlr"])
    same_bits(expected["tau"][:9], np.linspace(0.0, 40.0, 9))
    chi = lb.bubble(bosons=3, q=[(8, 8)], **cold)
    assert chi.shape == (1, 3)
    found = lb.instability(**cold)
    line = [text for text in subprocess.run([PROGRAM, *cold_options, "--q", "all", "--coupling", "0"],
                                            capture_output=True, text=True, check=True).stdout.splitlines()
            if text.startswith("# U_c_dlr = ")][0]
    assert sorted(found) == ["chi0", "q", "route", "u_c"] and found["route"] == "dlr"
    assert found["u_c"] == float(line.split()[3]) and f"at ix,iy = {found['q'][0]},{found['q'][1]}" in line
    q, distance = lb.path(lattice=(16, 4))
    assert q.shape == (16, 2) and tuple(q[9]) == (8, 1) and tuple(q[12]) == (6, 1)
    assert distance[8] == pytest.approx(np.pi) and distance[10] == pytest.approx(2 * np.pi)
    assert distance[12] - distance[11] == pytest.approx(np.hypot(np.pi / 8, np.pi / 2))
    off = lb.bubble(q_point=[(0.5, 0.25)], lattice=12)
    assert off.shape == (1, 17)
    same_bits(off.real.ravel(), table("--lattice", "12", "--q-point", "0.5,0.25")["re_direct"])


def test_warnings_are_python_warnings():
    with pytest.warns(RuntimeWarning, match=r"the band is empty at mu = 0"):
        lb.bubble(q=[(4, 4)], hopping=-1.0, mu=0.0, beta=20.0)
    with pytest.warns(RuntimeWarning, match=r"lie on the Fermi surface .* k_shift 0.5,0.25"):
        lb.bubble(q=[(4, 4)], hopping=-1.0, mu=0.0, offset=0.0, beta=100.0)


def test_bad_values_and_types_raise_with_the_programs_reasons():
    with pytest.raises(ValueError, match=r"^invalid value for lattice=0: out of range \(accepted: an integer from 1"):
        lb.bubble(lattice=0)
    with pytest.raises(ValueError, match=r"invalid value for beta=nan: infinity and NaN are not accepted"):
        lb.bubble(beta=float("nan"))
    with pytest.raises(ValueError, match=r"^option tolerance is not used by the routes asked for"):
        lb.bubble(route="direct", tolerance=1e-8)
    with pytest.raises(TypeError, match=r"^lattice must be an int or a pair of them, not str"):
        lb.bubble(lattice="8")
    with pytest.raises(MemoryError, match=r"^the study needs .* of memory, but only .* is available"):
        lb.bubble(route="tail", lattice=4096, frequencies=65536)
    with pytest.raises(ValueError, match=r"^invalid value for q='path': the 1 x 1 lattice has no path"):
        lb.bubble(lattice=1, q="path")
    with pytest.raises(ValueError, match=r"^invalid value for beta=inf: infinity and NaN are not accepted"):
        lb.bubble(beta=float("inf"))
    with pytest.raises(TypeError, match=r"^beta must be a number, not complex"):
        lb.bubble(beta=1j)
    # The band and the frequencies need no study: no memory check of one.
    assert lb.band(lattice=4096).shape == (4096, 4096)
    assert lb.bubble(q=[]).shape == (0, 17) and lb.bubble(q="all", lattice=3).shape == (9, 17)


def test_ctrl_c_stops_a_long_call_and_the_interpreter_goes_on():
    # About a minute of direct sums on one thread, unless the stop flag ends it
    # (a call that ran to its end would raise only after it, long past the bound).
    threading.Timer(0.3, _thread.interrupt_main).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        lb.bubble(route="direct", lattice=4096, frequencies=4096, q=[(1, 1)], threads=1)
    assert time.monotonic() - start < 20
    assert lb.bubble(q=[(4, 4)]).shape == (1, 17)


def test_two_threads_compute_at_once():
    # The long call holds no GIL: a short one on this thread ends while it still runs.
    long_call = threading.Thread(target=lb.bubble, kwargs=dict(route="direct", lattice=1024, frequencies=2048,
                                                                q=[(1, 1)], threads=1))
    long_call.start()
    lb.bubble(q=[(4, 4)], threads=1)
    assert long_call.is_alive()
    long_call.join()
