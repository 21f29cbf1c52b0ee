#!/usr/bin/env python3
# Decodes WAV files with fldigi, for the character-error-rate comparisons.
#
# fldigi has no file decoder of its own, so each file is played in real time into a PulseAudio
# null sink whose monitor is fldigi's capture device; fldigi runs on a virtual X display and is
# driven over its XML-RPC port (modem, carrier, AFC on, squelch off), and its receive text is
# read back when the file has been played. Everything runs privately: a PulseAudio daemon of its
# own, one Xvfb display and one fldigi per job, with its own configuration folder, so nothing of
# the user's set-up is read or changed. Several jobs run side by side (each needs little CPU).
#
#   fldigi_rx.py [--parallel N] JOBS_FILE
# Each line of JOBS_FILE: MODE CARRIER_HZ IN.wav OUT.txt [KEY=VALUE ...]
# MODE is an fldigi modem name (RTTY, BPSK31, QPSK31, CW); KEY=VALUE pairs go into the job's
# fldigi_def.xml (e.g. RTTYSHIFT=3 for 170 Hz, RTTYBAUD=1 for 45.45 Bd, UOSRX=1).
# Exit status 2 when fldigi, Xvfb or PulseAudio are missing.
import concurrent.futures
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave
import xmlrpc.client

BASE_PORT = 7420


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("fldigi_rx: not installed: " + " ".join(missing), file=sys.stderr)
        sys.exit(2)


def wait_for(pred, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if pred():
                return True
        except Exception:
            pass
        time.sleep(0.3)
    return False


class Session:
    """A private PulseAudio daemon and X display shared by the jobs."""

    def __init__(self, jobs):
        self.dir = tempfile.mkdtemp(prefix="fldigi-rx-")
        self.env = dict(os.environ)
        runtime = os.path.join(self.dir, "pulse")
        os.makedirs(runtime)
        self.env.update(HOME=self.dir, XDG_RUNTIME_DIR=runtime, PULSE_RUNTIME_PATH=runtime)
        sock = os.path.join(runtime, "native")
        args = ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
                "--use-pid-file=no", "--log-target=file:" + os.path.join(self.dir, "pulse.log"),
                "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % sock]
        for i in range(jobs):
            args += ["-L", "module-null-sink sink_name=job%d rate=11025" % i]
        self.pulse = subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        self.env["PULSE_SERVER"] = "unix:" + sock
        if not wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env,
                                               capture_output=True).returncode == 0, 10):
            self.close()
            sys.exit("fldigi_rx: the private PulseAudio daemon did not start")
        display = ":%d" % (200 + os.getpid() % 500)
        self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.env["DISPLAY"] = display
        time.sleep(1)

    def close(self):
        for p in (getattr(self, "xvfb", None), self.pulse):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


def run_job(session, slot, job):
    mode, carrier, wav, out = job[0], int(job[1]), job[2], job[3]
    settings = dict(kv.split("=", 1) for kv in job[4:])
    settings.setdefault("MYCALL", "N0CALL")
    settings["AUDIOIO"] = "2"  # PulseAudio
    settings["SAVECONFIG"] = "0"
    cfg = os.path.join(session.dir, "cfg%d" % slot)
    home = os.path.join(session.dir, "home%d" % slot) + "/"
    shutil.rmtree(cfg, ignore_errors=True)
    os.makedirs(cfg)
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(cfg, "fldigi_def.xml"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<FLDIGI_DEFS>\n')
        for k, v in settings.items():
            f.write("<%s>%s</%s>\n" % (k, v, k))
        f.write("</FLDIGI_DEFS>\n")
    env = dict(session.env, PULSE_SOURCE="job%d.monitor" % slot, PULSE_SINK="job%d" % slot)
    port = BASE_PORT + slot
    fl = subprocess.Popen(["fldigi", "--config-dir", cfg, "--home-dir", home,
                           "--xmlrpc-server-port", str(port)], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        rpc = xmlrpc.client.ServerProxy("http://127.0.0.1:%d" % port)
        if not wait_for(lambda: rpc.fldigi.version() is not None, 40):
            return "%s: fldigi did not answer" % wav
        rpc.modem.set_by_name(mode)
        rpc.modem.set_carrier(carrier)
        rpc.main.set_afc(True)
        rpc.main.set_squelch(False)
        time.sleep(1.0)
        rpc.text.clear_rx()
        with wave.open(wav) as w:
            seconds = w.getnframes() / w.getframerate()
        subprocess.run(["paplay", "-d", "job%d" % slot, wav], env=env, check=True,
                       timeout=seconds + 60)
        time.sleep(2.0)  # the decoder's own delay
        n = rpc.text.get_rx_length()
        got = rpc.text.get_rx(0, n) if n > 0 else b""
        data = got.data if hasattr(got, "data") else str(got).encode("latin-1", "replace")
        with open(out, "wb") as f:
            f.write(data)
        return None
    finally:
        fl.send_signal(signal.SIGTERM)
        try:
            fl.wait(10)
        except subprocess.TimeoutExpired:
            fl.kill()


def main():
    args = sys.argv[1:]
    parallel = 6
    if len(args) >= 2 and args[0] == "--parallel":
        parallel = max(1, int(args[1]))
        args = args[2:]
    if len(args) != 1:
        sys.exit("usage: fldigi_rx.py [--parallel N] JOBS_FILE")
    need("fldigi", "Xvfb", "pulseaudio", "pactl", "paplay")
    jobs = [l.split() for l in open(args[0]) if l.strip() and not l.startswith("#")]
    bad = [j for j in jobs if len(j) < 4]
    if bad:
        sys.exit("fldigi_rx: a job needs MODE CARRIER IN.wav OUT.txt: %s" % " ".join(bad[0]))
    parallel = min(parallel, len(jobs)) or 1
    session = Session(parallel)
    failures = []
    try:
        free = list(range(parallel))
        with concurrent.futures.ThreadPoolExecutor(parallel) as pool:
            pending = {}
            for job in jobs:
                while not free:
                    done, _ = concurrent.futures.wait(
                        pending, return_when=concurrent.futures.FIRST_COMPLETED)
                    for d in done:
                        free.append(pending.pop(d))
                        if d.result():
                            failures.append(d.result())
                slot = free.pop()
                pending[pool.submit(run_job, session, slot, job)] = slot
            for d in concurrent.futures.as_completed(pending):
                if d.result():
                    failures.append(d.result())
    finally:
        session.close()
    for f in failures:
        print("fldigi_rx: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
