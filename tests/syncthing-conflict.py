#!/usr/bin/env python3
"""Profiles on two machines kept in step by the real Syncthing (Debian's package): two instances,
each with a home and a Quorvane data folder of its own, their GUI/API and sync ports on
127.0.0.1 only, introduced to each other through their REST API. One is stopped, the profiles
change on both sides, it starts again, Syncthing makes its conflict copy, and the next
"quorvane-cli profiles list" on each side gives the merged set.

Usage: syncthing-conflict.py BUILD_DIR. Exits 77 (skipped) without syncthing; stops by itself
within two minutes.
"""
import json
import os
import secrets
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
import xml.etree.ElementTree as ElementTree

DEADLINE = time.monotonic() + 110
build = os.path.abspath(sys.argv[1])
cli = os.path.join(build, "quorvane-cli")
syncthing = shutil.which("syncthing")
if not syncthing:
    print("syncthing: skipped, syncthing is not installed")
    sys.exit(77)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(what, test, pause=0.5):
    while time.monotonic() < DEADLINE:
        value = test()
        if value:
            return value
        time.sleep(pause)
    raise SystemExit("syncthing: gave up waiting for " + what)


class Instance:
    def __init__(self, root, name):
        self.name = name
        self.home = os.path.join(root, name)
        self.config = os.path.join(self.home, "syncthing")
        self.folder = os.path.join(self.home, "Documents", "Quorvane")
        os.makedirs(self.folder)
        self.gui = free_port()
        self.listen = free_port()
        self.key = secrets.token_hex(16)
        self.process = None
        subprocess.run([syncthing, "generate", "--home=" + self.config, "--no-default-folder", "--skip-port-probing"],
                       check=True, capture_output=True)
        # Loopback only, nothing announced, relayed or reported.
        path = os.path.join(self.config, "config.xml")
        tree = ElementTree.parse(path)
        gui = tree.find("gui")
        gui.find("address").text = "127.0.0.1:%d" % self.gui
        (gui.find("apikey") if gui.find("apikey") is not None else ElementTree.SubElement(gui, "apikey")).text = self.key
        options = tree.find("options")
        for child in list(options.findall("listenAddress")):
            options.remove(child)
        ElementTree.SubElement(options, "listenAddress").text = "tcp://127.0.0.1:%d" % self.listen
        for tag, value in [("globalAnnounceEnabled", "false"), ("localAnnounceEnabled", "false"),
                           ("relaysEnabled", "false"), ("natEnabled", "false"), ("urAccepted", "-1"),
                           ("autoUpgradeIntervalH", "0"), ("crashReportingEnabled", "false"),
                           ("startBrowser", "false")]:
            element = options.find(tag)
            if element is None:
                element = ElementTree.SubElement(options, tag)
            element.text = value
        tree.write(path)
        self.id = subprocess.run([syncthing, "serve", "--home=" + self.config, "--device-id"], check=True,
                                 capture_output=True, text=True).stdout.strip()

    def start(self):
        environment = dict(os.environ, STNOUPGRADE="1", STNORESTART="1", HOME=self.home)
        self.process = subprocess.Popen([syncthing, "serve", "--home=" + self.config, "--no-browser", "--no-restart",
                                         "--no-upgrade"], env=environment, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_for(self.name + "'s API", lambda: self.call("GET", "/rest/system/ping", quiet=True))

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=20)
            self.process = None

    def call(self, method, path, body=None, quiet=False):
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.gui, path), method=method,
                                         data=None if body is None else json.dumps(body).encode(),
                                         headers={"X-API-Key": self.key, "Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=5) as reply:
                text = reply.read()
                return json.loads(text) if text else True
        except OSError:
            if quiet:
                return None
            raise

    def introduce(self, other):
        self.call("POST", "/rest/config/devices", {"deviceID": other.id, "name": other.name,
                                                   "addresses": ["tcp://127.0.0.1:%d" % other.listen]})
        self.call("POST", "/rest/config/folders", {
            "id": "quorvane", "label": "Quorvane", "path": self.folder, "type": "sendreceive",
            "rescanIntervalS": 2, "fsWatcherEnabled": True, "fsWatcherDelayS": 1,
            "devices": [{"deviceID": self.id}, {"deviceID": other.id}]})

    def quorvane(self, *arguments):
        return subprocess.run([cli, *arguments], env=dict(os.environ, HOME=self.home,
                                                          XDG_CONFIG_HOME=os.path.join(self.home, ".config")),
                              capture_output=True, text=True)

    def profile_file(self):
        try:
            with open(os.path.join(self.folder, "zavdata.txt"), encoding="utf-8") as file:
                return file.read()
        except OSError:
            return None

    def has_conflict(self):
        names = os.listdir(self.folder)
        return any(".sync-conflict-" in name for name in names) or "conflicts-merged" in names


root = tempfile.mkdtemp(prefix="quorvane-syncthing-")
laptop = Instance(root, "laptop")
desktop = Instance(root, "desktop")
status = 1
try:
    laptop.quorvane("profiles", "add", "-i", "shared.example", "-l", "16")
    laptop.quorvane("profiles", "add", "-i", "gone.example", "-l", "16")
    for instance, other in [(laptop, desktop), (desktop, laptop)]:
        instance.start()
        instance.introduce(other)
    wait_for("the first sync", lambda: desktop.profile_file() == laptop.profile_file())

    # Apart: the desktop is stopped; each side changes the profiles.
    desktop.stop()
    laptop.quorvane("profiles", "add", "-i", "laptop.example", "-l", "16")
    laptop.quorvane("profiles", "remove", "gone.example")
    desktop.quorvane("profiles", "add", "-i", "desktop.example", "-l", "16")
    time.sleep(1.5)   # the desktop's change is the newer: Syncthing keeps it, the laptop's becomes the copy
    desktop.quorvane("profiles", "add", "-i", "desktop2.example", "-l", "20")
    desktop.start()

    expected = "desktop.example|16|strong\ndesktop2.example|20|strong\nlaptop.example|16|strong\nshared.example|16|strong\n"
    for instance in (laptop, desktop):
        wait_for("a conflict copy at the " + instance.name, instance.has_conflict)
        listed = wait_for("the merged set at the " + instance.name,
                          lambda: (lambda run: run.stdout if run.stdout == expected else None)(instance.quorvane("profiles", "list")))
        print("syncthing: %s lists the merged set:\n%s" % (instance.name, listed), end="")
    status = 0
finally:
    laptop.stop()
    desktop.stop()
    shutil.rmtree(root, ignore_errors=True)
sys.exit(status)
