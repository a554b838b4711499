"""The quillon module against the simulated bench."""
import os
import signal
import threading
import time

import numpy as np
import pytest

import quillon


def lamp_on_wavelength_base(inst):
    """Dark with the source off, reference of the bare halogen lamp, both on the grid."""
    inst.settings.update(TimeAV=16, base="wavelength")
    inst.sim("set 0 source dark")
    inst.dark()
    inst.sim("set 0 source halogen")
    inst.reference()
    return inst.scan()


def test_the_default_bench_is_listed_and_its_channels_configure(inst):
    units = inst.units
    assert [u["channel"] for u in units] == [0, 1, 2]
    assert [u["slot"] for u in units] == [0, 1, 2]
    assert [u["sensor"] for u in units] == ["ILX511", "TCD1304", "G9212"]
    assert [u["serial"] for u in units] == ["QX10-S10417", "QX20-T20931", "QX50-G50112"]
    assert units[0]["pixels"] == 2048
    start, end = units[0]["range_nm"]
    assert 300 < start < end < 1100

    assert inst.channel == 0
    first = inst.scan()
    assert (first.mode, first.base, first.unit, first.channel) == ("scope", "pixel", "counts", 0)
    assert len(first) == 2048 and first.value.dtype == np.float32
    assert list(first.pixel[:3]) == [1, 2, 3]
    assert np.all(np.diff(first.wavelength) > 0)
    np.testing.assert_allclose(first.wavenumber, 1e7 / first.wavelength, rtol=1e-9)

    inst.channel = 1
    assert inst.channel == 1
    assert len(inst.scan()) == 3648
    with pytest.raises(quillon.BadValueError, match="there is no channel 3"):
        inst.channel = 3


def test_neutral_density_transmission_and_absorbance(inst):
    lamp = lamp_on_wavelength_base(inst)
    assert lamp.base == "wavelength" and lamp.pixel is None
    inst.sim("set 0 sample nd 25")
    inst.mode = "tr"
    transmission = inst.scan()
    inst.mode = "absorbance"
    absorbance = inst.scan()

    lit = lamp.value > 0.2 * lamp.value.max()
    assert lit.sum() > 300
    assert (transmission.mode, transmission.unit) == ("tr", "%")
    assert np.all(np.abs(transmission.value[lit] - 25.0) < 1.0)
    assert np.all(np.abs(absorbance.value[lit] - 0.602) < 0.02)
    np.testing.assert_array_equal(transmission.wavelength, lamp.wavelength)
    assert transmission.wavelength[1] - transmission.wavelength[0] == pytest.approx(1.0)


def test_a_ratio_mode_refuses_to_scan_without_dark_and_reference(inst):
    inst.mode = "tr"
    with pytest.raises(quillon.Error, match="needs a dark and a reference") as refused:
        inst.scan()
    assert refused.value.code == 1
    inst.dark()
    with pytest.raises(quillon.Error, match="needs a dark and a reference"):
        inst.scan()


def test_settings_are_kept_between_two_instruments_on_one_folder(open_bench):
    first = open_bench()
    first.settings["IntTime"] = 50
    first.settings.update({"Title": "Filter run", "TimeAV": 4})
    first.settings["NoiseRatio"] = 2.5
    first.close()
    assert first.closed
    with pytest.raises(quillon.Error, match="closed"):
        first.scan()

    with open_bench() as second:
        shown = dict(second.settings.items())
        assert set(second.settings.keys()) >= {"IntTime", "TimeAV", "Title", "mode", "base"}
        assert (shown["IntTime"], shown["mode"]) == (50, "scope")
        assert second.settings["IntTime"] == 50
        assert second.settings["TimeAV"] == 4
        assert second.settings["Title"] == "Filter run"
        assert second.settings["NoiseRatio"] == pytest.approx(2.5)


def test_bad_keys_and_values_raise_and_change_nothing(inst):
    with pytest.raises(KeyError) as unknown:
        inst.settings["IntegrationTime"] = 5
    assert isinstance(unknown.value, quillon.UnknownKeyError)
    assert unknown.value.code == 2
    with pytest.raises(quillon.UnknownKeyError):
        inst.settings["inttime"]

    before = inst.settings["IntTime"]
    for value in ("fast", -5, 10**9):
        with pytest.raises(ValueError):
            inst.settings["IntTime"] = value
    assert inst.settings["IntTime"] == before
    # One refused value keeps the others of the same change from applying.
    with pytest.raises(quillon.BadValueError):
        inst.settings.update(TimeAV=7, IntTime="x")
    assert inst.settings["TimeAV"] == 1
    with pytest.raises(ValueError):
        inst.mode = "colourful"
    with pytest.raises(ValueError):
        inst.base = "wavenumber"
    assert (inst.mode, inst.base) == ("scope", "pixel")
    with pytest.raises(quillon.BadValueError):
        inst.sim("set 9 sample nd 25")


def test_open_refuses_what_it_cannot_start(open_bench, folder, tmp_path_factory):
    inst = open_bench()
    with pytest.raises(quillon.Error, match="another instrument") as second:
        quillon.open(workdir=folder, simulate=True)
    assert second.value.code == 5
    inst.close()

    broken = tmp_path_factory.mktemp("bench") / "broken.ini"
    broken.write_text("[Bench]\n[Unit]\nSlot=zero\n")
    with pytest.raises(quillon.BadValueError, match="bench file has an error"):
        quillon.open(workdir=folder, simulate=broken)
    with pytest.raises(quillon.BadValueError, match="cannot enter"):
        quillon.open(workdir=folder / "missing", simulate=True)
    with pytest.raises(ValueError, match="answer"):
        quillon.open(workdir=folder, simulate=True, answer="maybe")


def test_without_a_unit_open_refuses_or_goes_on_in_the_no_device_mode(folder, tmp_path_factory):
    empty = tmp_path_factory.mktemp("bench") / "empty.ini"
    empty.write_text("[Bench]\n")
    with pytest.raises(quillon.Error, match="no unit found") as refused:
        quillon.open(workdir=folder, simulate=empty)
    assert refused.value.code == 4

    with quillon.open(workdir=folder, simulate=empty, ignore_no_unit=True) as inst:
        assert inst.no_device_mode
        for operation in (inst.scan, inst.dark, lambda: inst.units):
            with pytest.raises(quillon.Error, match="no-device mode"):
                operation()


@pytest.mark.filterwarnings("ignore::pytest.PytestUnraisableExceptionWarning")
def test_start_up_questions_go_to_the_answer_policy_or_function(folder, tmp_path_factory):
    # A unit with an empty EEPROM makes start-up ask whether to use Serial.ini.
    bench = tmp_path_factory.mktemp("bench") / "blank.ini"
    bench.write_text("[Bench]\n[Unit]\nSlot=0\nChannelId=0\nTiming=fast\n")

    with pytest.raises(quillon.NeedsAnswerError) as unanswered:
        quillon.open(workdir=folder, simulate=bench)
    assert unanswered.value.code == 3
    assert "Serial.ini" in str(unanswered.value)

    with pytest.raises(quillon.Error) as declined:
        quillon.open(workdir=folder, simulate=bench, answer="no")
    assert not isinstance(declined.value, quillon.NeedsAnswerError)
    assert "Serial.ini" in declined.value.messages[0]

    asked = []

    def choose(text, choices):
        asked.append((text, list(choices)))
        if choices == ["Yes", "No"]:
            return True
        return next((c for c in choices if c.startswith("QX10 ")), None)

    # Yes, then the sensor: this folder has no Serial.ini to set the unit up from.
    with pytest.raises(quillon.Error, match="start-up ended") as ended:
        quillon.open(workdir=folder, simulate=bench, answer=choose)
    assert [choices[:2] for _, choices in asked] == [
        ["Yes", "No"],
        ["QX10 : Sony ILX Series", "QX20 : Toshiba TCD Series"],
    ]
    assert asked[1][0] == "CCD TYPE SETTING"
    assert any("initial setup file" in text for text in ended.value.messages)

    def broken(text, choices):
        raise RuntimeError("no answer here")

    # The function's own error is reported as unraisable; the question stays open.
    with pytest.raises(quillon.NeedsAnswerError):
        quillon.open(workdir=folder, simulate=bench, answer=broken)


def test_ctrl_c_ends_a_long_scan_run_and_leaves_the_instrument_usable(inst):
    inst.settings["IntTime"] = 20
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            inst.scan(n=100000)
    finally:
        timer.cancel()
    assert len(inst.scan()) == 2048
    runs = inst.scan(n=3, each=True)
    assert len(runs) == 3 and all(len(s) == 2048 for s in runs)
    with pytest.raises(ValueError):
        inst.scan(n=0)


def test_one_instrument_used_from_two_threads(inst):
    inst.sim("set 0 timing fast")
    failures = []
    done = threading.Event()

    def scanning():
        try:
            for _ in range(200):
                assert len(inst.scan()) == 2048
        except Exception as error:  # reported below, in the test's thread
            failures.append(error)
        finally:
            done.set()

    worker = threading.Thread(target=scanning)
    worker.start()
    reads = 0
    while not done.is_set():
        assert inst.settings["IntTime"] == 35
        assert inst.mode == "scope"
        reads += 1
    worker.join()
    assert failures == []
    assert reads > 0


def test_other_threads_run_while_the_core_scans(inst):
    inst.settings["IntTime"] = 400  # the default bench's units take their time
    span = []

    def scanning():
        begun = time.perf_counter()
        inst.scan()
        span.extend((begun, time.perf_counter()))

    worker = threading.Thread(target=scanning)
    worker.start()
    samples = []
    while worker.is_alive():
        samples.append(time.perf_counter())
        time.sleep(0.001)
    worker.join()
    begun, ended = span
    assert ended - begun > 0.3
    assert any(begun + 0.1 < t < ended - 0.1 for t in samples)


def statm_resident_pages():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1])


def test_no_leak_over_a_thousand_scans(inst):
    inst.sim("set 0 timing fast")
    for _ in range(100):  # buffers, caches and NumPy's pools settle first
        inst.scan()
    before = statm_resident_pages()
    for _ in range(1000):
        spectrum = inst.scan()
    grown = (statm_resident_pages() - before) * os.sysconf("SC_PAGE_SIZE")
    assert len(spectrum) == 2048
    # One scan's arrays are 48 kB: a kept copy per scan would add 48 MB.
    assert grown < 4 * 1024 * 1024


def test_peaks_of_the_mercury_argon_lamp_lie_on_its_lines(inst):
    inst.sim("set 0 source hgar")
    spectrum = inst.scan()
    on_pixels = inst.peaks()
    assert on_pixels and all(p["fwhm"] >= 0 for p in on_pixels)
    assert any(p["fwhm"] > 0 for p in on_pixels)
    for peak in on_pixels:
        # The wavelength of a fractional pixel lies between its neighbours'.
        left = int(peak["pixel"])
        low, high = spectrum.wavelength[left - 1], spectrum.wavelength[left]
        assert low - 1e-3 <= peak["wavelength"] <= high + 1e-3

    # Another base makes the last scan stale: peaks() scans again.
    inst.base = "wavelength"
    peaks = inst.peaks()
    assert peaks and all(p["pixel"] is None for p in peaks)
    for line in (435.83, 546.07):
        assert min(abs(p["wavelength"] - line) for p in on_pixels) < 1.0, line
        assert min(abs(p["wavelength"] - line) for p in peaks) < 1.0, line
    assert all(p["wavenumber"] == pytest.approx(1e7 / p["wavelength"]) for p in peaks)


def test_totals_need_absolute_irradiance(inst):
    with pytest.raises(quillon.Error, match="absolute irradiance"):
        inst.totals()


def test_help_shows_the_docstrings():
    text = quillon.__doc__ + quillon.open.__doc__ + quillon.Instrument.scan.__doc__
    assert "NumPy" in text and "simulate" in text and "KeyboardInterrupt" in text


def test_colour_of_a_neutral_filter_is_the_white_point_at_its_lightness(inst):
    lamp_on_wavelength_base(inst)
    inst.sim("set 0 sample nd 25")
    grid = (inst.settings["StartWL"], inst.settings["EndWL"], inst.settings["IntervalWL"])

    d65 = inst.colour(illuminant="D65", observer=2)
    assert (d65["illuminant"], d65["observer"]) == ("D65", 2)
    assert d65["x"] == pytest.approx(0.3127, abs=0.003)
    assert d65["y"] == pytest.approx(0.3290, abs=0.003)
    # T/R of 25 % against a white of RefWhite 98.5 %: Y = 24.6, L* = 116 (Y/100)^(1/3) - 16.
    assert d65["Y"] == pytest.approx(25.0 * 0.985, abs=0.5)
    assert d65["L*"] == pytest.approx(116 * (0.25 * 0.985) ** (1 / 3) - 16, abs=0.5)
    assert abs(d65["a*"]) < 0.5 and abs(d65["b*"]) < 0.5
    red, green, blue = d65["tile"]
    assert max(red, green, blue) - min(red, green, blue) <= 2
    # The measurement leaves the user's grid, base and mode as they were.
    assert (inst.settings["StartWL"], inst.settings["EndWL"], inst.settings["IntervalWL"]) == grid
    assert (inst.mode, inst.base) == ("scope", "wavelength")

    # A with 2 degree is the colour word 0, which the settings file would not keep.
    with pytest.warns(UserWarning, match="InitColor=0 holds for this run only"):
        a = inst.colour(illuminant="A", reference=(50, 0, 0))
    assert (a["illuminant"], a["observer"]) == ("A", 2)
    assert a["x"] == pytest.approx(0.4476, abs=0.005)
    assert a["y"] == pytest.approx(0.4074, abs=0.005)
    assert a["dE"] == pytest.approx(np.hypot(np.hypot(a["L*"] - 50, a["a*"]), a["b*"]), abs=1e-3)
    with pytest.raises(ValueError):
        inst.colour(illuminant="F2")


def test_colour_needs_dark_and_reference(inst):
    with pytest.raises(quillon.Error, match=r"colour needs a dark and a reference scan first"):
        inst.colour()


def test_totals_of_the_calibrated_lamp_follow_the_inverse_square(inst):
    inst.settings.update(TimeAV=16, StartWL=400, EndWL=1000, IntervalWL=5)
    inst.sim("set 0 source dark")
    inst.dark()
    inst.sim("set 0 source lamp")
    calibration = inst.calibrate_irradiance(50)
    assert calibration.endswith("OVIrrad_0.cal")
    inst.settings.update(mode="irradiance", irradiance="absolute")

    at50 = inst.totals()
    spectrum = inst.scan()
    assert (spectrum.quantity, spectrum.unit) == ("irradiance_uW/cm^2/nm", "uW/cm^2/nm")
    inst.sim("set 0 distance 25")
    inst.settings["IrradDist"] = 25
    at25 = inst.totals()

    assert at25["total_irradiance_uW_cm2"] / at50["total_irradiance_uW_cm2"] == pytest.approx(4.0, rel=0.03)
    # A spherical cap of 25 cm radius under 180 degrees: 2 pi d^2 in m^2.
    assert at25["total_power_uW"] / at25["total_irradiance_uW_cm2"] == pytest.approx(
        2 * np.pi * 0.25**2, rel=1e-4)
    assert at25["distance_cm"] == 25 and at25["illuminance_lux"] is None

    inst.settings["irradiance"] = "illuminance"
    lux = inst.totals()
    assert lux["illuminance_lux"] > 0 and lux["total_irradiance_uW_cm2"] is None
    with pytest.raises(ValueError):
        inst.calibrate_irradiance(0)
