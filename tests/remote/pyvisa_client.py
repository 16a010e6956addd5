#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-only
"""A lab's test script against Velto: PyVISA with its pure-Python backend
drives a headless Velto on the virtual instrument over a raw socket, with
line-feed terminations, as it drives a bench instrument. Velto is ended
with SIGTERM and must end with status 0, its settings saved.

Usage: pyvisa_client.py VELTO DATA_DIR
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ET

try:
    import pyvisa
except ImportError:  # scripts/setup.sh installs it
    print("python3-pyvisa is not installed: skipped")
    sys.exit(77)

VELTO, DATA = sys.argv[1], sys.argv[2]


class HeadlessVelto:
    """Velto --headless in a home of its own, on a port the system picks."""

    def __init__(self):
        self.work = tempfile.mkdtemp(prefix="velto-pyvisa.")
        run = os.path.join(self.work, "run")
        shutil.copytree(DATA, run)
        config = os.path.join(self.work, "config")
        os.makedirs(os.path.join(config, "Velto"))
        # A store that is not empty: no autoset on the first frames, which
        # would change the settings while the script reads them.
        self.settings = os.path.join(config, "Velto", "Velto.conf")
        with open(self.settings, "w") as f:
            f.write("[General]\nloggingLevel=1\n")
        env = dict(os.environ, HOME=os.path.join(self.work, "home"), XDG_CONFIG_HOME=config,
                   XDG_DATA_HOME=os.path.join(self.work, "data"), XDG_RUNTIME_DIR=self.work)
        env.pop("DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("VELTO_TRACE", None)
        os.makedirs(env["HOME"])
        self.log = []
        self.listening = threading.Event()
        self.port = None
        self.process = subprocess.Popen([VELTO, "--headless", "--device", "virtual", "--scpi", "127.0.0.1:0"],
                                        cwd=run, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        threading.Thread(target=self._read_log, daemon=True).start()

    def _read_log(self):
        # Headless Velto logs to standard error as well; it names its port there.
        for raw in self.process.stderr:
            line = raw.decode(errors="replace")
            self.log.append(line)
            found = re.search(r"SCPI: listening on 127\.0\.0\.1:(\d+)", line)
            if found:
                self.port = int(found.group(1))
                self.listening.set()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()

    def remove(self):
        shutil.rmtree(self.work, ignore_errors=True)


def setup_block(scope):
    return scope.query_binary_values(":SYSTem:SETup?", datatype="B", container=bytes)


def with_setting(block, key, value):
    root = ET.fromstring(block)
    for element in root.iter("setting"):
        if element.get("key") == key:
            element.text = value
            return ET.tostring(root, encoding="utf-8", xml_declaration=True)
    raise AssertionError("%s is not in the setup block" % key)


def setting(block, key):
    return next(e.text for e in ET.fromstring(block).iter("setting") if e.get("key") == key)


def check_identity(test, scope):
    fields = scope.query("*IDN?").split(",")
    test.assertEqual(len(fields), 4, fields)
    test.assertEqual(fields[0], "Velto")
    test.assertTrue(fields[1].startswith("VSIM"), fields)
    test.assertTrue(fields[2], fields)
    test.assertRegex(fields[3], r"^\d+\.\d+$")


def check_error_queue(test, scope):
    scope.write(":NOSuch:COMMand 1")
    test.assertTrue(scope.query(":SYSTem:ERRor?").startswith("-113,"))
    test.assertEqual(scope.query(":SYST:ERR:NEXT?"), '+0,"No error"')


def check_setup_round_trip(test, scope):
    first = setup_block(scope)
    test.assertEqual(setting(first, "CH1/Invert"), "false")
    changed = with_setting(first, "CH1/Invert", "true")
    scope.write_binary_values(":SYSTem:SETup ", list(changed), datatype="B")
    test.assertEqual(setting(setup_block(scope), "CH1/Invert"), "true")
    # A block that is no settings document changes nothing.
    scope.write_binary_values(":SYSTem:SETup ", list(b"<VeltoSettings><setting"), datatype="B")
    test.assertTrue(scope.query(":SYSTem:ERRor?").startswith("-230,"))
    test.assertEqual(setting(setup_block(scope), "CH1/Invert"), "true")
    # *RST takes the defaults; the first block brings back what was there.
    scope.write("*RST")
    test.assertEqual(setting(setup_block(scope), "CH1/Invert"), "false")
    scope.write_binary_values(":SYSTem:SETup ", list(first), datatype="B")
    test.assertEqual(setup_block(scope), first)
    test.assertEqual(scope.query(":SYSTem:ERRor?"), '+0,"No error"')


def waveform(scope, source):
    """The newest frame of a source: its values (volts of a channel, bytes of
    POD1, through the preamble's scale) and the time between samples."""
    scope.write(":WAVeform:SOURce %s;:WAVeform:FORMat BYTE" % source)
    codes = scope.query_binary_values(":WAVeform:DATA?", datatype="B")
    pre = scope.query(":WAVeform:PREamble?").split(",")
    if source == "POD1":
        return codes, float(pre[4])
    increment, origin, reference = float(pre[7]), float(pre[8]), float(pre[9])
    assert len(codes) == int(pre[2]), pre
    return [(c - reference) * increment + origin for c in codes], float(pre[4])


def period(values, dt, threshold):
    """The mean period between the first and the last rising crossing."""
    rises = [i for i in range(1, len(values)) if values[i - 1] <= threshold < values[i]]
    assert len(rises) >= 3, "fewer than three rising edges"
    return (rises[-1] - rises[0]) / (len(rises) - 1) * dt


def check_generator_frequency(test, scope):
    scope.write(":SOURce1:FUNCtion SIN;:SOURce1:FREQuency 2.5KHZ;:SOURce1:VOLTage 3;:OUTPut1 ON")
    # The timer's nearest step to 2.5 kHz with a 256-sample table.
    made = float(scope.query(":SOURce1:FREQuency?"))
    test.assertAlmostEqual(made, 2500, delta=25)
    # 1 V/div holds the 3 Vpp sine; at 256 us/div (16 us a sample) a frame of
    # 768 samples holds 30 periods.
    scope.write(":CHANnel1:SCALe 1;:TIMebase:SCALe 256us")
    measured = float(scope.query(":DIGitize CHANnel1;:MEASure:FREQuency? CHANnel1"))
    test.assertAlmostEqual(measured, made, delta=made * 0.001)


def check_probe_square(test, scope):
    # 0.8 V/div: the probe's 2 V stays below the converter's last code.
    scope.write(":CHANnel2:SCALe 0.8;:TIMebase:SCALe 256us;:DIGitize CHANnel2")
    volts, dt = waveform(scope, "CHANnel2")
    high = sorted(v for v in volts if v > 1)
    low = sorted(v for v in volts if v <= 1)
    test.assertAlmostEqual(high[len(high) // 2], 2.0, delta=0.05)
    test.assertAlmostEqual(low[len(low) // 2], 0.0, delta=0.05)
    test.assertAlmostEqual(len(high) / len(volts), 0.5, delta=0.03)
    test.assertAlmostEqual(period(volts, dt, 1.0), 1e-3, delta=1e-5)
    test.assertAlmostEqual(float(scope.query(":MEASure:DUTYcycle? CHANnel2")), 50, delta=0.5)
    test.assertLess(float(scope.query(":MEASure:RISetime? CHANnel2")), dt)


def check_logic_bit0(test, scope):
    # Bit 0 of the logic counter toggles at 2 kHz: a 1 kHz square.
    scope.write(":TIMebase:SCALe 256us;:DIGitize POD1")
    pod, dt = waveform(scope, "POD1")
    test.assertAlmostEqual(period([b & 1 for b in pod], dt, 0.5), 1e-3, delta=1e-5)


# One row a check.
CHECKS = [
    ("*IDN?", check_identity),
    ("the generator's 2.5 kHz measured on CH1", check_generator_frequency),
    ("CH2's probe square through :WAVeform:DATA? and its preamble", check_probe_square),
    ("POD1's bit 0", check_logic_bit0),
    ("the error queue after a bad command", check_error_queue),
    (":SYSTem:SETup? round trip and *RST", check_setup_round_trip),
]


class TestRemoteControl(unittest.TestCase):
    def test_checks_then_clean_end(self):
        velto = HeadlessVelto()
        self.addCleanup(velto.remove)
        try:
            self.assertTrue(velto.listening.wait(60), "Velto never said where it listens:\n" + "".join(velto.log))
            manager = pyvisa.ResourceManager("@py")
            scope = manager.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % velto.port,
                                          read_termination="\n", write_termination="\n", timeout=10000)
            # Until the instrument is connected *IDN? says there is none.
            deadline = time.monotonic() + 20
            while "no instrument" in scope.query("*IDN?") and time.monotonic() < deadline:
                time.sleep(0.1)
            for name, check in CHECKS:
                with self.subTest(name):
                    check(self, scope)
            scope.close()
            manager.close()
        finally:
            status = velto.stop()
        log = "".join(velto.log)
        self.assertEqual(status, 0, log[-4000:])
        self.assertIn("Signal received: Velto ends", log)
        with open(velto.settings) as f:
            self.assertIn("remoteControl", f.read(), "the settings were not saved at the end")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
