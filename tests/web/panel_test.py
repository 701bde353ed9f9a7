#!/usr/bin/env python3
"""The web panel of quorvel-bridge in a headless chromium, driven by WebDriver.

Each test starts the simulator (the demo switcher) and the bridge on free
loopback ports, opens the panel and works it as a person would: taps,
keys, dialogs. What reached the switcher is read from the simulator's log of
received lines and compared line for line. Figures (times, page weight) are
printed, not asserted.

    panel_test.py --bridge PATH --sim PATH --pictures DIR [unittest options]

Needs Debian's chromium, chromium-driver and python3-selenium (scripts/deps
installs them); without them the test fails.
"""

import argparse
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError as missing:  # reported by main(), which fails the test
    webdriver = None
    SELENIUM_ERROR = str(missing)

ARGS = None
WAIT_S = 15          # the longest any one condition is waited for
POLL_S = 0.02        # how often a condition is looked at
PROCESS_WAIT_S = 20  # starting and stopping the simulator and the bridge


class Process:
    """A child process whose output lines are collected by a thread."""

    def __init__(self, argv, name):
        self.name = name
        self.argv = argv
        self.lines = []
        self._lock = threading.Lock()
        self.proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, bufsize=1)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.proc.stdout:
            with self._lock:
                self.lines.append(line.rstrip("\n"))

    def output(self):
        with self._lock:
            return list(self.lines)

    def wait_line(self, pattern, start=0):
        """The first match of `pattern` in the output from line `start` on."""
        deadline = time.monotonic() + PROCESS_WAIT_S
        rx = re.compile(pattern)
        while time.monotonic() < deadline:
            for line in self.output()[start:]:
                m = rx.search(line)
                if m:
                    return m
            if self.proc.poll() is not None and not self._reader.is_alive():
                break
            time.sleep(POLL_S)
        raise AssertionError("%s never printed /%s/; its output:\n%s"
                             % (self.name, pattern, "\n".join(self.output())))

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(PROCESS_WAIT_S)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(PROCESS_WAIT_S)
        self._reader.join(PROCESS_WAIT_S)
        self.proc.stdout.close()
        return self.proc.returncode


class Rig:
    """The demo simulator and a bridge in front of it, on loopback."""

    def __init__(self, folder, token=None):
        self.folder = folder
        self.log = os.path.join(folder, "sim.log")
        self.token = token
        self.fences = set()  # positions in the log of the lines fence() sent
        self.sim = None
        self.bridge = None
        self.start_sim("127.0.0.1:0")
        argv = [ARGS.bridge, "--tcp", "127.0.0.1:%d" % self.sim_port,
                "--listen", "127.0.0.1:0", "--poll", "1"]
        if token:
            path = os.path.join(folder, "token")
            fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
            with os.fdopen(fd, "w") as f:
                f.write(token + "\n")
            argv += ["--token-file", path]
        self.bridge_argv = argv
        self.start_bridge()
        self.port = self.bridge_port

    def start_sim(self, where):
        self.sim = Process([ARGS.sim, "--tcp", where, "--demo", "--log", self.log], "quorvel-sim")
        self.sim_port = int(self.sim.wait_line(r"listening on tcp 127\.0\.0\.1:(\d+)").group(1))

    def start_bridge(self, port=0):
        argv = list(self.bridge_argv)
        argv[argv.index("--listen") + 1] = "127.0.0.1:%d" % port
        self.bridge = Process(argv, "quorvel-bridge")
        self.bridge_port = int(self.bridge.wait_line(r"listening on 127\.0\.0\.1:(\d+)").group(1))
        self.bridge.wait_line(r"link up")

    def url(self, path="/"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def call(self, method, path, body=None):
        """An API call as another client makes it; the answer's JSON."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url(path), data=data, method=method)
        if self.token:
            request.add_header("Authorization", "Bearer " + self.token)
        try:
            with urllib.request.urlopen(request, timeout=WAIT_S) as answer:
                return json.loads(answer.read())
        except urllib.error.HTTPError as e:
            raise AssertionError("%s %s answered %d: %s" % (method, path, e.code, e.read())) from e

    # --- the switcher's log ---

    def received(self):
        """Every line the simulator received, without its time stamp."""
        try:
            with open(self.log, encoding="latin-1") as f:
                return [line.rstrip("\n").partition(" ")[2] for line in f]
        except FileNotFoundError:
            return []

    def mark(self):
        return len(self.received())

    def commands(self, mark):
        """The lines since `mark` that change something: no queries, no
        probes, no fences."""
        return [line for n, line in enumerate(self.received()) if n >= mark
                and n not in self.fences and line.strip() and not line.split()[0].endswith("QV")]

    def fence(self, mark):
        """Sends, as another client, a line that changes nothing (input 16's
        level as it is; no test touches input 16). The bridge runs requests
        in turn, so a request of the panel's that reached it before is on
        the wire before this line."""
        level = self.call("GET", "/api/v1/state")["levels"][15]["level"]
        line = "ALVL 16 %d" % level
        self.assertion(self.call("POST", "/api/v1/level", {"input": 16, "raw": level})["sent"] == [line],
                       "the fence " + line)
        received = self.received()
        at = max(n for n in range(mark, len(received)) if received[n] == line and n not in self.fences)
        self.fences.add(at)
        return at

    @staticmethod
    def assertion(condition, what):
        if not condition:
            raise AssertionError(what)

    def wait_commands(self, mark, count):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            lines = self.commands(mark)
            if len(lines) >= count:
                return lines
            time.sleep(POLL_S)
        return self.commands(mark)

    def stop(self):
        for p in (self.bridge, self.sim):
            if p:
                p.stop()


class PanelTest(unittest.TestCase):
    driver = None

    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                  "--no-first-run", "--disable-extensions", "--lang=en-GB",
                  "--window-size=1280,800", "--force-device-scale-factor=1",
                  "--disable-features=Translate,MediaRouter"):
            options.add_argument(a)
        cls.profile = tempfile.mkdtemp(prefix="quorvel-web-profile-")
        options.add_argument("--user-data-dir=" + cls.profile)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
        cls.driver.set_page_load_timeout(WAIT_S)

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvel-web-")
        self.rig = None
        self.view(1280, 800, "light")
        self.driver.get_log("browser")  # what earlier tests left

    def tearDown(self):
        # Leaving the page closes its WebSocket before the bridge goes.
        try:
            self.driver.get("about:blank")
        finally:
            if self.rig:
                self.rig.stop()
            shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, token=None):
        self.rig = Rig(self.folder, token)
        return self.rig

    def view(self, width, height, scheme):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": scheme}]})

    # --- the page ---

    def until(self, condition, what):
        try:
            return WebDriverWait(self.driver, WAIT_S, poll_frequency=POLL_S).until(
                lambda d: condition())
        except TimeoutException:
            self.fail("waited %d s for %s" % (WAIT_S, what))

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def shown_revision(self):
        value = self.js("return document.body.dataset.revision || null;")
        return None if value is None else int(value)

    def open_panel(self):
        """Opens the panel and waits until it shows the bridge's revision."""
        started = time.monotonic()
        self.driver.get(self.rig.url())
        revision = self.rig.call("GET", "/api/v1/state")["revision"]
        self.until(lambda: (self.shown_revision() or -1) >= revision and self.cells_shown()
                   and self.link_text().startswith("Link up"),
                   "the grid to show revision %d, and the link" % revision)
        return time.monotonic() - started

    def link_text(self):
        return self.driver.find_element(By.ID, "link").text

    def cells_shown(self):
        return self.js("return document.querySelectorAll('#grid td.cell').length;") > 0

    def cell(self, output, inp):
        return self.driver.find_element(
            By.CSS_SELECTOR, '#grid td.cell[data-output="%d"][data-input="%d"]' % (output, inp))

    def cell_state(self, output, inp):
        c = self.cell(output, inp)
        return c.get_attribute("data-state"), c.text.replace("\n", " "), c.get_attribute("aria-label")

    def wait_cell(self, output, inp, state, text=None):
        self.until(lambda: self.cell_state(output, inp)[0] == state
                   and (text is None or self.cell_state(output, inp)[1] == text),
                   "output %d, input %d to be %s %s" % (output, inp, state, text or ""))
        return self.cell_state(output, inp)

    def status(self):
        return self.driver.find_element(By.ID, "status").text

    def banner(self):
        b = self.driver.find_element(By.ID, "banner")
        return b.text if b.is_displayed() else None

    def assert_sent(self, mark, expected):
        """Exactly `expected` reached the switcher since `mark`: once as many
        lines came, a fence shows that no more were on their way."""
        self.rig.wait_commands(mark, len(expected))
        fence = self.rig.fence(mark)
        received = self.rig.commands(mark)
        before = [line for n, line in enumerate(self.rig.received())
                  if mark <= n < fence and n not in self.rig.fences
                  and line.strip() and not line.split()[0].endswith("QV")]
        self.assertEqual(before, expected)
        self.assertEqual(received, expected)

    def assert_nothing_sent(self, mark, bridge_mark):
        """Nothing reached the switcher since `mark`, and the panel did not
        even ask: the bridge refused nothing since `bridge_mark`."""
        self.rig.fence(mark)
        self.assertEqual(self.rig.commands(mark), [])
        refusals = [line for line in self.rig.bridge.output()[bridge_mark:] if "refused" in line]
        self.assertEqual(refusals, [])

    def page_errors(self):
        """What the browser reported as errors: script errors, refused
        resources, failed requests; the missing icon excepted."""
        return [e["message"] for e in self.driver.get_log("browser")
                if e["level"] == "SEVERE" and "/favicon.ico" not in e["message"]]

    # --- the tests ---

    def test_grid_shows_the_routes_and_labels(self):
        rig = self.start()
        rig.call("PUT", "/api/v1/labels", {"inputs": {"5": "CAM"}, "outputs": {"3": "PROJ"}})
        self.open_panel()
        state = rig.call("GET", "/api/v1/state")
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#grid tbody tr[role=row]")
        self.assertEqual(len(rows), state["output_count"])
        heads = self.driver.find_elements(By.CSS_SELECTOR, "#grid thead th.in-head[role=columnheader]")
        self.assertEqual(len(heads), state["input_count"])
        self.assertEqual(heads[4].get_attribute("aria-label"), "Input 5 CAM")
        self.assertEqual(rows[2].find_element(By.CSS_SELECTOR, "th[role=rowheader]")
                         .get_attribute("aria-label"), "Output 3 PROJ, group 2, muted")
        # Every cell as the state document has it.
        for out in state["outputs"]:
            for i in range(1, state["input_count"] + 1):
                v = out["video"] == i
                a = out["audio"] == i
                expected = "committed" if v or a else "none"
                text = "AV" if v and a else "V" if v else "A" if a else ""
                self.assertEqual(self.cell_state(out["output"], i)[:2], (expected, text),
                                 "output %d, input %d" % (out["output"], i))
        # The demo: output 3 on input 5 (both), muted; output 2 video 2, audio 3.
        self.assertEqual(self.cell_state(3, 5)[2], "Output 3 PROJ, input 5 CAM: committed")
        self.assertEqual(self.cell_state(2, 2)[2], "Output 2, input 2: committed video")
        self.assertEqual(self.cell_state(2, 3)[2], "Output 2, input 3: committed audio")
        self.assertEqual(self.cell_state(4, 5)[2], "Output 4, input 5 CAM: not routed")
        self.assertIn("MUTED", rows[2].text)
        self.assertNotIn("MUTED", rows[3].text)
        self.assertEqual(rows[2].find_element(By.CSS_SELECTOR, "button.mute")
                         .get_attribute("aria-pressed"), "true")
        self.assertEqual(self.driver.find_element(By.ID, "revision").text, str(state["revision"]))
        self.assertIn("Link up", self.link_text())
        self.assertIsNone(self.banner())
        self.assertEqual(self.page_errors(), [])

    def test_a_tap_sends_rtemp_and_take_sends_take(self):
        rig = self.start()
        self.open_panel()
        mark = rig.mark()
        self.cell(5, 2).click()
        self.assert_sent(mark, ["RTEMP 5 2 2"])
        state, text, name = self.wait_cell(5, 2, "temporary", "AV temp")
        self.assertEqual(name, "Output 5, input 2: temporary")
        self.assertEqual(self.cell_state(5, 7)[0], "none")  # its route before
        self.assertIn("RTEMP 5 2 2", self.status())
        self.driver.find_element(By.ID, "take").click()
        self.assert_sent(mark, ["RTEMP 5 2 2", "TAKE 1"])
        self.assertEqual(self.wait_cell(5, 2, "committed", "AV")[2], "Output 5, input 2: committed")
        # Cancel withdraws a temporary route.
        mark = rig.mark()
        self.driver.find_element(By.CSS_SELECTOR, "input[name=signals][value=audio]").click()
        self.cell(6, 4).click()
        self.assert_sent(mark, ["RTEMP 6 101 4"])
        self.assertEqual(self.wait_cell(6, 4, "temporary", "A temp")[2],
                         "Output 6, input 4: temporary audio")
        self.assertEqual(self.cell_state(6, 8)[:2], ("committed", "V"))
        self.driver.find_element(By.ID, "cancel").click()
        self.assert_sent(mark, ["RTEMP 6 101 4", "TAKE 0"])
        self.wait_cell(6, 4, "none", "")
        self.assertEqual(self.cell_state(6, 8)[:2], ("committed", "AV"))

    def test_take_at_once_sends_both_lines(self):
        rig = self.start()
        self.open_panel()
        mark = rig.mark()
        self.driver.find_element(By.CSS_SELECTOR, "input[name=signals][value=video]").click()
        self.driver.find_element(By.ID, "take-at-once").click()
        self.cell(9, 4).click()
        self.assert_sent(mark, ["RTEMP 9 4 101", "TAKE 1"])
        self.assertEqual(self.wait_cell(9, 4, "committed", "V")[2], "Output 9, input 4: committed video")
        self.assertEqual(self.cell_state(9, 9)[:2], ("committed", "A"))

    def test_a_route_by_another_client_appears(self):
        rig = self.start()
        self.open_panel()
        self.assertEqual(self.cell_state(7, 4)[0], "none")
        answer = rig.call("POST", "/api/v1/route", {"output": 7, "input": 4, "take": True})
        answered = time.monotonic()
        self.wait_cell(7, 4, "committed", "AV")
        print("\n  figure: a route by another client shown %.0f ms after the API answered"
              % ((time.monotonic() - answered) * 1000), flush=True)
        self.assertEqual(answer["sent"], ["RTEMP 7 4 4", "TAKE 1"])
        self.assertGreaterEqual(self.shown_revision(), answer["revision"])

    def test_link_banner_while_the_switcher_is_gone(self):
        rig = self.start()
        self.open_panel()
        self.assertIsNone(self.banner())
        rig.sim.stop()
        self.until(lambda: (self.banner() or "").startswith("No link to the switcher"),
                   "the banner of a lost link")
        self.assertIn("Link down", self.link_text())
        # A tap meanwhile is refused by the bridge, and the panel says so.
        self.cell(5, 2).click()
        self.until(lambda: "No link to the switcher" in self.status(), "the refusal")
        rig.start_sim("127.0.0.1:%d" % rig.sim_port)
        self.until(lambda: self.banner() is None, "the banner to go")
        self.assertIn("Link up", self.link_text())
        mark = rig.mark()
        self.cell(5, 2).click()
        self.assert_sent(mark, ["RTEMP 5 2 2"])

    def test_lost_bridge_reconnects_and_refreshes(self):
        rig = self.start()
        self.open_panel()
        port = rig.bridge_port
        rig.bridge.stop()
        self.until(lambda: (self.banner() or "").startswith("No connection to the bridge"),
                   "the banner of a lost connection")
        self.assertIn("No connection to the bridge", self.link_text())
        # A change at the switcher while the panel is away: nobody tells it.
        rig.start_bridge(port)
        answer = rig.call("POST", "/api/v1/route", {"output": 10, "input": 1, "take": True})
        self.assertEqual(answer["sent"], ["RTEMP 10 1 1", "TAKE 1"])
        self.until(lambda: self.banner() is None, "the banner to go")
        self.wait_cell(10, 1, "committed", "AV")

    def test_token_is_asked_for_and_used(self):
        rig = self.start(token="s3cret-panel-token")
        self.driver.get(rig.url())
        dialog = self.driver.find_element(By.ID, "token-dialog")
        self.until(lambda: dialog.get_attribute("open") is not None, "the token question")
        self.assertFalse(self.cells_shown())
        field = self.driver.find_element(By.ID, "token-input")
        field.send_keys("wrong")
        field.send_keys(Keys.ENTER)
        self.until(lambda: "refused" in self.driver.find_element(By.ID, "token-text").text
                   and dialog.get_attribute("open") is not None, "the question again")
        field.send_keys("s3cret-panel-token")
        self.driver.find_element(By.ID, "token-ok").click()
        revision = rig.call("GET", "/api/v1/state")["revision"]
        self.until(lambda: self.cells_shown() and (self.shown_revision() or -1) >= revision,
                   "the grid after the token")
        # The events come through too (the WebSocket takes the token).
        self.until(lambda: self.link_text().startswith("Link up"), "the events")
        self.assertIsNone(dialog.get_attribute("open"))
        self.assertEqual(self.cell_state(1, 1)[:2], ("committed", "AV"))
        rig.call("POST", "/api/v1/route", {"output": 11, "input": 2, "take": True})
        self.wait_cell(11, 2, "committed", "AV")
        self.assertIsNone(self.banner())

    def test_an_input_the_group_does_not_admit(self):
        rig = self.start()
        self.open_panel()
        reason = "Input 5 is not one of the inputs of output 1's group"
        barred = self.cell(1, 5)
        self.assertEqual(barred.get_attribute("aria-disabled"), "true")
        self.assertEqual(barred.get_attribute("title"), reason)
        self.assertIn("input 5 is not one of the inputs of output 1's group",
                      barred.get_attribute("aria-label"))
        self.assertIsNone(self.cell(1, 3).get_attribute("aria-disabled"))
        self.assertIsNone(self.cell(3, 9).get_attribute("aria-disabled"))  # group 2 admits all
        mark, asked = rig.mark(), len(rig.bridge.output())
        barred.click()
        self.until(lambda: reason in self.status(), "the reason")
        self.assert_nothing_sent(mark, asked)
        self.assertEqual(self.cell_state(1, 5)[0], "none")
        # An input it admits goes to the whole group.
        mark = rig.mark()
        self.cell(1, 2).click()
        self.assert_sent(mark, ["RTEMP 1 2 2", "RTEMP 2 2 2"])
        self.wait_cell(2, 2, "temporary", "AV temp")

    def test_preset_recall_and_store_ask_first(self):
        rig = self.start()
        self.open_panel()
        buttons = self.driver.find_elements(By.CSS_SELECTOR, "#presets button.preset")
        self.assertEqual(len(buttons), 16)
        self.assertEqual([b.is_enabled() for b in buttons],
                         [n in (1, 2, 5) for n in range(1, 17)])
        self.assertIn("LIVE", buttons[0].text)
        self.assertEqual(buttons[0].get_attribute("aria-current"), "true")
        dialog = self.driver.find_element(By.ID, "recall-dialog")
        mark, asked = rig.mark(), len(rig.bridge.output())
        buttons[1].click()
        self.until(lambda: dialog.get_attribute("open") is not None, "the recall question")
        self.assertIn("Recall preset 2?", dialog.text)
        self.driver.find_element(By.ID, "recall-cancel").click()
        self.until(lambda: dialog.get_attribute("open") is None, "the question to close")
        self.assert_nothing_sent(mark, asked)
        mark = rig.mark()
        buttons[1].click()
        self.until(lambda: dialog.get_attribute("open") is not None, "the recall question")
        self.driver.find_element(By.ID, "recall-confirm").click()
        self.assert_sent(mark, ["RPRST 2 0"])
        # Preset 2 routes input 1 everywhere; it is the live one now.
        self.until(lambda: "LIVE" in buttons[1].text, "preset 2 to be live")
        self.assertNotIn("LIVE", buttons[0].text)
        self.assertEqual(buttons[1].get_attribute("aria-current"), "true")
        self.assertEqual(self.cell_state(16, 1)[:2], ("committed", "AV"))
        # Store asks which preset.
        mark = rig.mark()
        self.driver.find_element(By.ID, "store").click()
        store = self.driver.find_element(By.ID, "store-dialog")
        self.until(lambda: store.get_attribute("open") is not None, "the store question")
        self.js("document.getElementById('store-number').value = '4';")
        self.driver.find_element(By.ID, "store-confirm").click()
        self.assert_sent(mark, ["TAKE 1", "PRST 4"])
        self.until(lambda: buttons[3].is_enabled(), "preset 4 to be stored")

    def test_keyboard_only_routing(self):
        rig = self.start()
        self.open_panel()
        ActionChains(self.driver).send_keys(Keys.TAB).perform()
        self.assertEqual(self.active(), ("1", "1"))
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#grid [tabindex='0']")), 1)
        keys = ActionChains(self.driver)
        for k in [Keys.ARROW_DOWN] * 4 + [Keys.ARROW_RIGHT] * 2 + [Keys.ARROW_LEFT]:
            keys.send_keys(k)
        keys.perform()
        self.assertEqual(self.active(), ("5", "2"))
        mark = rig.mark()
        ActionChains(self.driver).send_keys(Keys.SPACE).perform()
        self.assert_sent(mark, ["RTEMP 5 2 2"])
        self.wait_cell(5, 2, "temporary")
        ActionChains(self.driver).send_keys(Keys.ENTER).perform()
        self.assert_sent(mark, ["RTEMP 5 2 2", "TAKE 1"])
        self.wait_cell(5, 2, "committed", "AV")
        self.assertEqual(self.active(), ("5", "2"))  # the focus stays through updates
        # End reaches the row's mute toggle; Space mutes.
        ActionChains(self.driver).send_keys(Keys.END).send_keys(Keys.SPACE).perform()
        self.assert_sent(mark, ["RTEMP 5 2 2", "TAKE 1", "OMUTE 5 1"])
        mute = self.driver.find_element(By.CSS_SELECTOR, "button.mute[data-output='5']")
        self.until(lambda: mute.get_attribute("aria-pressed") == "true", "output 5 muted")
        # A barred input by keyboard: the reason, nothing sent.
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys(Keys.HOME).key_up(Keys.CONTROL).perform()
        ActionChains(self.driver).send_keys(Keys.ARROW_RIGHT * 5).perform()
        self.assertEqual(self.active(), ("1", "6"))
        mark, asked = rig.mark(), len(rig.bridge.output())
        ActionChains(self.driver).send_keys(Keys.SPACE).perform()
        self.until(lambda: "Input 6 is not one of the inputs of output 1's group" in self.status(),
                   "the reason")
        self.assert_nothing_sent(mark, asked)

    def active(self):
        return tuple(self.js(
            "const e = document.activeElement; return [e.dataset.output || null, e.dataset.input || 'mute'];"))

    def test_mutes_and_levels(self):
        rig = self.start()
        self.open_panel()
        mark = rig.mark()
        mute = self.driver.find_element(By.CSS_SELECTOR, "button.mute[data-output='3']")
        self.assertEqual(mute.get_attribute("aria-pressed"), "true")
        mute.click()
        self.assert_sent(mark, ["OMUTE 3 0"])
        self.until(lambda: mute.get_attribute("aria-pressed") == "false", "output 3 unmuted")
        # A level by keyboard: one line, and the read-out of the new level.
        slider = self.driver.find_element(By.ID, "level-2")
        self.assertEqual(slider.get_attribute("value"), "180")
        readout = self.driver.find_element(By.CSS_SELECTOR, "output[for=level-2]")
        self.assertEqual(readout.text, "−6 dB")
        mark = rig.mark()
        slider.send_keys(Keys.END)
        self.assert_sent(mark, ["ALVL 2 252"])
        self.until(lambda: rig.call("GET", "/api/v1/state")["levels"][1]["level"] == 252,
                   "the level at the bridge")
        self.assertEqual(readout.text, "+20 dB")
        # Dragging: the lines are spaced out and the last one is where it was let go.
        slider = self.driver.find_element(By.ID, "level-6")
        self.js("arguments[0].scrollIntoView({block: 'center'});", slider)
        self.js("window.__inputs = 0; arguments[0].addEventListener('input', () => window.__inputs++);",
                slider)
        width = slider.size["width"]
        mark = rig.mark()
        drag = ActionChains(self.driver, duration=20).click_and_hold(slider)
        for _ in range(20):
            drag.move_by_offset(-width // 50, 0)
        drag.release().perform()
        final = int(slider.get_attribute("value"))
        self.assertLess(final, 150)
        self.until(lambda: self.rig.commands(mark)[-1:] == ["ALVL 6 %d" % final],
                   "the last level line to be the slider's value %d" % final)
        lines = self.rig.commands(mark)
        self.assertTrue(all(line.startswith("ALVL 6 ") for line in lines), lines)
        print("\n  figure: a drag of %d input events sent %d level lines"
              % (self.js("return window.__inputs;"), len(lines)), flush=True)
        self.until(lambda: rig.call("GET", "/api/v1/state")["levels"][5]["level"] == final,
                   "the dragged level at the bridge")

    def test_figures_and_pictures(self):
        rig = self.start()
        rig.call("PUT", "/api/v1/labels", {
            "inputs": {"1": "CAM 1", "2": "CAM 2", "3": "LAPTOP", "5": "STAGE", "9": "DOC"},
            "outputs": {"1": "PROJ", "2": "MON", "3": "REC", "4": "STREAM"},
            "presets": {"1": "Talk", "2": "Panel", "5": "Break"}})
        rig.call("POST", "/api/v1/route", {"output": 6, "input": 3, "signals": "video"})
        weight = 0
        for path in ("/", "/panel.css", "/panel.js"):
            with urllib.request.urlopen(rig.url(path), timeout=WAIT_S) as answer:
                weight += len(answer.read())
        print("\n  figure: page weight %d bytes (page, style sheet and script)" % weight)
        self.assertLessEqual(weight, 100 * 1024)
        os.makedirs(ARGS.pictures, exist_ok=True)
        for width, height in ((1280, 800), (800, 1280)):
            for scheme in ("light", "dark"):
                self.view(width, height, scheme)
                self.driver.get("about:blank")
                seconds = self.open_panel()
                print("  figure: %dx%d %s, navigation to the grid showing the state: %.0f ms"
                      % (width, height, scheme, seconds * 1000), flush=True)
                self.wait_cell(6, 3, "temporary", "V temp")
                self.assertEqual(self.js("return window.innerWidth;"), width)
                overflow = self.js("return document.documentElement.scrollWidth"
                                   " - document.documentElement.clientWidth;")
                self.assertLessEqual(overflow, 0, "the page scrolls sideways")
                dark = self.js("return matchMedia('(prefers-color-scheme: dark)').matches;")
                self.assertEqual(dark, scheme == "dark")
                path = os.path.join(ARGS.pictures, "web-%dx%d-%s.png" % (width, height, scheme))
                self.assertTrue(self.driver.save_screenshot(path))
                print("  picture: " + path, flush=True)
        self.assertEqual(self.page_errors(), [])


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bridge", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--pictures", required=True)
    parser.add_argument("--chromium", default=os.environ.get("QVC_CHROMIUM") or shutil.which("chromium"))
    parser.add_argument("--chromedriver",
                        default=os.environ.get("QVC_CHROMEDRIVER") or shutil.which("chromedriver"))
    ARGS, rest = parser.parse_known_args()
    problems = []
    if webdriver is None:
        problems.append("python3-selenium is missing (%s)" % SELENIUM_ERROR)
    if not ARGS.chromium or not os.access(ARGS.chromium, os.X_OK):
        problems.append("chromium is missing")
    if not ARGS.chromedriver or not os.access(ARGS.chromedriver, os.X_OK):
        problems.append("chromedriver (Debian's chromium-driver) is missing")
    for path in (ARGS.bridge, ARGS.sim):
        if not os.access(path, os.X_OK):
            problems.append("%s is not built" % path)
    if problems:
        print("error: the web panel's tests cannot run: %s. scripts/deps installs the packages."
              % "; ".join(problems), file=sys.stderr)
        return 1
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
