#!/usr/bin/env python3
# A connected AX.25 session between Vexa and direwolf's own data link, over audio.
#
#   direwolf A (DL2YOU, AGW port; an echo application written here)
#       <-> PulseAudio null sinks "a2b" and "b2a" (a private daemon) <->
#   direwolf B (a plain KISS TNC on TCP)  <->  vexa-cli packet --tnc 127.0.0.1:PORT (DL1ME)
#
# 1. Vexa connects to DL2YOU-1, sends three lines, gets each echoed, disconnects.
# 2. The application connects from DL2YOU-1 to DL1ME (direwolf tries SABME first; Vexa's DM
#    makes it fall back to SABM), sends a line, Vexa's typed reply comes back, the
#    application disconnects.
#
#   direwolf_session.py VEXA_CLI
# Exit 0 on success, 1 on a failure, 77 when direwolf, pulseaudio or pactl are missing.
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77


def log(*a):
    print("direwolf_session:", *a, flush=True)


def wait_for(pred, seconds, step=0.1):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if pred():
                return True
        except OSError:
            pass
        time.sleep(step)
    return False


class Agw:
    """A minimal client of direwolf's AGW port: register a call, connect, send, disconnect."""

    def __init__(self, port):
        self.s = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.buf = b""

    @staticmethod
    def frame(kind, call_from="", call_to="", data=b"", pid=0):
        head = struct.pack("<B3xcxBx10s10sII", 0, kind.encode(), pid,
                           call_from.encode().ljust(10, b"\0"),
                           call_to.encode().ljust(10, b"\0"), len(data), 0)
        return head + data

    def send(self, kind, call_from="", call_to="", data=b"", pid=0):
        self.s.sendall(self.frame(kind, call_from, call_to, data, pid))

    def read(self, timeout):
        """The next frame as (kind, from, to, data), or None after timeout seconds."""
        end = time.time() + timeout
        while True:
            if len(self.buf) >= 36:
                n = struct.unpack("<I", self.buf[28:32])[0]
                if len(self.buf) >= 36 + n:
                    h, self.buf = self.buf[:36 + n], self.buf[36 + n:]
                    call = lambda b: b.split(b"\0")[0].decode(errors="replace")
                    return chr(h[4]), call(h[8:18]), call(h[18:28]), h[36:]
            left = end - time.time()
            if left <= 0:
                return None
            r, _, _ = select.select([self.s], [], [], left)
            if not r:
                return None
            chunk = self.s.recv(4096)
            if not chunk:
                return None
            self.buf += chunk

    def close(self):
        self.s.close()


class Session:
    def __init__(self, vexa):
        self.vexa = os.path.abspath(vexa)
        self.dir = tempfile.mkdtemp(prefix="vexa-dw-")
        self.procs = []
        self.env = dict(os.environ)
        runtime = os.path.join(self.dir, "pulse")
        os.makedirs(runtime)
        self.env.update(HOME=self.dir, XDG_RUNTIME_DIR=runtime, PULSE_RUNTIME_PATH=runtime)
        base = 20000 + (os.getpid() % 2000) * 4
        self.agw_port, self.kiss_port = base, base + 1

    def start(self, args, env, name):
        out = open(os.path.join(self.dir, name + ".log"), "w")
        p = subprocess.Popen(args, env=env, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, cwd=self.dir)
        self.procs.append(p)
        return p

    def up(self):
        sock = os.path.join(self.dir, "pulse", "native")
        self.start(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                    "-n", "--use-pid-file=no",
                    "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % sock,
                    "-L", "module-null-sink sink_name=a2b rate=44100",
                    "-L", "module-null-sink sink_name=b2a rate=44100"], self.env, "pulse")
        self.env["PULSE_SERVER"] = "unix:" + sock
        if not wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env,
                                               capture_output=True).returncode == 0, 10):
            raise RuntimeError("the private PulseAudio daemon did not start")
        for name, sink, source in (("a", "a2b", "b2a.monitor"), ("b", "b2a", "a2b.monitor")):
            conf = os.path.join(self.dir, "direwolf-%s.conf" % name)
            with open(os.path.join(HERE, "direwolf-%s.conf" % name)) as f:
                text = f.read()
            text = text.replace("@AGWPORT@", str(self.agw_port))
            text = text.replace("@KISSPORT@", str(self.kiss_port))
            with open(conf, "w") as f:
                f.write(text)
            env = dict(self.env, PULSE_SINK=sink, PULSE_SOURCE=source)
            self.start(["direwolf", "-c", conf, "-t", "0"],
                       env, "direwolf-" + name)

        def listening(port):
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        if not wait_for(lambda: listening(self.agw_port), 15) or \
                not wait_for(lambda: listening(self.kiss_port), 15):
            raise OSError("direwolf did not open its ports")

    def vexa_cli(self, args):
        work = os.path.join(self.dir, "vexa")
        os.makedirs(work, exist_ok=True)
        return subprocess.Popen([self.vexa, "--config", os.path.join(work, "vexa.ini"),
                                 "--workdir", work, "packet",
                                 "--tnc", "127.0.0.1:%d" % self.kiss_port] + args,
                                cwd=work, env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)

    def down(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()

    def dump(self):
        for name in ("direwolf-a", "direwolf-b"):
            path = os.path.join(self.dir, name + ".log")
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    log("---", name, "(last lines)")
                    print("".join(f.readlines()[-25:]), flush=True)


def read_until(proc, text, seconds, got):
    """Reads Vexa's stdout into got[0] until text appears."""
    end = time.time() + seconds
    fd = proc.stdout.fileno()
    while text not in got[0]:
        left = end - time.time()
        if left <= 0:
            return False
        r, _, _ = select.select([fd], [], [], left)
        if not r:
            return False
        chunk = os.read(fd, 4096)
        if not chunk:
            return text in got[0]
        got[0] += chunk.decode("latin-1")
    return True


def outgoing(s, app):
    """Vexa connects, sends three lines and gets them echoed, then disconnects."""
    lines = ["hello direwolf", "second line 73", "third line de DL1ME"]
    vexa = s.vexa_cli(["--mycall", "DL1ME", "--connect", "DL2YOU-1", "--seconds", "40"])
    got = [""]
    vexa.stdin.write(("\n".join(lines) + "\n").encode())
    vexa.stdin.flush()
    # Each line shows four times on Vexa's stdout once its echo is back: the local echo, the
    # monitor line of Vexa's I frame, the monitor line of the echo's I frame, and the echo as
    # connected text.
    echoed_back = lambda: all(got[0].count(line) >= 4 for line in lines)
    echoed, connected, disconnected = 0, False, False
    end = time.time() + 35
    while time.time() < end and not disconnected:
        f = app.read(0.2)
        if f:
            kind, frm, to, data = f
            if kind == "C":
                connected = True
                log("A: connect from", frm)
            elif kind == "D":
                app.send("D", to, frm, data, pid=0xF0)  # the echo
                echoed += data.count(b"\r")
            elif kind == "d":
                disconnected = True
        r, _, _ = select.select([vexa.stdout], [], [], 0)
        if r:
            got[0] += os.read(vexa.stdout.fileno(), 4096).decode("latin-1")
        if vexa.stdin and echoed_back():
            # The connection ends once stdin has ended and everything typed is acknowledged.
            vexa.stdin.close()
            vexa.stdin = None
    try:
        rest, _ = vexa.communicate(timeout=15)
        got[0] += rest.decode("latin-1")
    except subprocess.TimeoutExpired:
        vexa.kill()
        vexa.communicate()
        log("vexa-cli packet did not end")
        return False, got[0]
    ok = connected and disconnected and echoed >= len(lines) and echoed_back()
    ok = ok and "*** CONNECTED." in got[0] and "*** DISCONNECTED." in got[0]
    # Vexa started the disconnect.
    ok = ok and "DL1ME>DL2YOU-1>DISC,P" in got[0]
    return ok, got[0]


def incoming(s, app):
    """direwolf connects to Vexa (SABME first, then SABM), a line each way, then disconnect."""
    vexa = s.vexa_cli(["--mycall", "DL1ME", "--seconds", "40"])
    got = [""]
    time.sleep(1.0)  # the KISS connection and the parameter frames
    app.send("C", "DL2YOU-1", "DL1ME")
    connected = False
    end = time.time() + 30
    while time.time() < end and not connected:
        f = app.read(0.2)
        if f and f[0] == "C":
            connected = True
        elif f and f[0] == "d":
            log("A: refused:", f[3])
            break
    ok = connected and read_until(vexa, "*** INCOMING CONNECT from DL2YOU-1", 10, got)
    if ok:
        app.send("D", "DL2YOU-1", "DL1ME", b"cq cq de DL2YOU\r", pid=0xF0)
        ok = read_until(vexa, "cq cq de DL2YOU", 15, got)
    reply = b""
    if ok:
        vexa.stdin.write(b"reply from vexa\n")
        vexa.stdin.flush()
        end = time.time() + 15
        while time.time() < end and b"reply from vexa" not in reply:
            f = app.read(0.3)
            if f and f[0] == "D":
                reply += f[3]
        ok = b"reply from vexa\r" in reply
    if ok:
        app.send("d", "DL2YOU-1", "DL1ME")
        ok = read_until(vexa, "*** DISCONNECTED.", 15, got)
    vexa.send_signal(signal.SIGTERM)
    try:
        rest, _ = vexa.communicate(timeout=10)
        got[0] += rest.decode("latin-1")
    except subprocess.TimeoutExpired:
        vexa.kill()
        vexa.communicate()
    # direwolf asked for version 2.2 first (SABME, which Vexa's monitor shows as UNKN) and
    # fell back to SABM when Vexa answered DM.
    ok = ok and "DL2YOU-1>DL1ME>UNKN,P" in got[0] and "DL1ME>DL2YOU-1>DM,F" in got[0]
    ok = ok and got[0].find("DL1ME>DL2YOU-1>DM,F") < got[0].find("DL2YOU-1>DL1ME>SABM,P")
    return ok, got[0]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: direwolf_session.py VEXA_CLI")
    missing = [t for t in ("direwolf", "pulseaudio", "pactl") if shutil.which(t) is None]
    if missing:
        log("skipped: not installed:", " ".join(missing))
        return SKIP
    s = Session(sys.argv[1])
    try:
        try:
            s.up()
        except RuntimeError as e:  # no sound server here: nothing to test against
            log("skipped:", e)
            return SKIP
        except OSError as e:
            log("FAILED:", e)
            s.dump()
            return 1
        app = Agw(s.agw_port)
        app.send("X", "DL2YOU-1")
        reg = app.read(5)
        if not reg or reg[0] != "X" or reg[3][:1] != b"\x01":
            log("the AGW application could not register DL2YOU-1:", reg)
            return 1
        ok1, out1 = outgoing(s, app)
        log("Vexa -> direwolf:", "ok" if ok1 else "FAILED")
        if not ok1 or os.environ.get("VERBOSE"):
            print(out1)
        ok2, out2 = incoming(s, app)
        log("direwolf -> Vexa:", "ok" if ok2 else "FAILED")
        if not ok2 or os.environ.get("VERBOSE"):
            print(out2)
        app.close()
        if not (ok1 and ok2):
            s.dump()
        return 0 if ok1 and ok2 else 1
    finally:
        s.down()
        shutil.rmtree(s.dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
