#!/usr/bin/env python3
"""The main window's speed, each figure against a peer measured the same way in the same run.

Start-up: from just before the program is started to the first frame its main window has drawn
(the probe linked into both programs prints that moment), kavrin32 against a bare QMainWindow
program, on a private X server when Xvfb is installed, else offscreen.

Posting: a 256 MiB attachment as Base64 to the loopback sink of the posting benchmark, from the
window offscreen (a click on Post It) and with "kavrin32 --post". The sink times each
connection from accept to close, so neither program's start counts. While the window posts, a
10 ms timer in it notes the longest time the event loop went without a turn.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

STARTS = 21
POSTS = 7
SIZE = 256 << 20
HERE = Path(__file__).resolve().parent
SINK = HERE.parent / "posting" / "nntp_sink.py"
KEY = "HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32"


def reg(*sections):
    """A settings.reg holding the given sections (header, then value lines)."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for header, values in sections:
        lines.append(f"[{KEY}\\{header}]")
        lines.extend(values)
        lines.append("")
    return "\r\n".join(lines)


def project_values(server, port, attachments=()):
    return [f'"Name"="Untitled"', f'"Newsgroup Server"="{server}"', f'"Port Number"=dword:{port:08x}',
            '"Subject"="Holiday pictures"', '"From Name"="Bench"',
            '"From E-mail Address"="bench@example.invalid"',
            '"Newsgroups"="alt.test\\r\\nalt.pictures\\r\\n"',
            '"Body"="Pictures from the coast.\\r\\n\\r\\nEnjoy!\\r\\n"',
            '"Attachments"="' + "".join(f"{a}\\r\\n" for a in attachments) + '"',
            '"Crosspost"=hex:01', '"Encoding Method"=hex:01,00,00,00',
            '"Split Large Messages"=hex:01', '"Split Lines"=hex:10,27,00,00']


def default_values():
    return ['"Name"="Default"', '"Crosspost"=hex:01',
            '"Post Seperate Message for Each Attached File"=hex:01',
            '"Crossposting Limit"=hex:0a,00,00,00', '"Split Lines"=hex:e8,03,00,00']


def server_values(port):
    return [f'"Port Number"=dword:{port:08x}', '"Number of Newsgroups"=dword:00000000']


def start_x_server():
    """A private X display, or None when Xvfb is missing (the start is then timed offscreen)."""
    if not shutil.which("Xvfb"):
        return None, None
    n = 97
    while Path(f"/tmp/.X11-unix/X{n}").exists() or Path(f"/tmp/.X{n}-lock").exists():
        n += 1
    xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if Path(f"/tmp/.X11-unix/X{n}").exists():
            return xvfb, f":{n}"
        time.sleep(0.05)
    xvfb.kill()
    return None, None


def time_start(cmd, env):
    """Nanoseconds from just before the start to the main window's first frame."""
    begin = time.monotonic_ns()
    p = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=60)
    if p.returncode != 0 or not p.stdout.strip():
        sys.stderr.write(p.stderr[-2000:])
        raise RuntimeError(f"{cmd[0]} ended without drawing its window")
    return int(p.stdout.split()[-1]) - begin


def startup(build, work):
    ours = build / "bench" / "window" / "kavrin32_first_paint"
    bare = build / "bench" / "window" / "bare_window_first_paint"
    config = work / "start-config"
    config.mkdir(parents=True, exist_ok=True)
    (config / "settings.reg").write_text(reg(
        ("Servers\\news.example.com", server_values(119)),
        ("Projects\\Default", default_values()),
        ("Projects\\Last", project_values("news.example.com", 119, ["/tmp/coast.jpg"])),
        ("MRU Lists", ['"Subjects"="Holiday pictures\\r\\n"', '"Names"="Bench\\r\\n"'])))
    home = Path(tempfile.mkdtemp(prefix="k32-bench-home-"))
    env = dict(os.environ, KAVRIN32_CONFIG_DIR=str(config), KAVRIN32_DATA_DIR=str(work / "data"),
               XDG_DATA_HOME=str(home / "data"), XDG_CONFIG_HOME=str(home / "config"),
               XDG_RUNTIME_DIR=str(home))
    xvfb, display = start_x_server()
    if display:
        env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb")
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    try:
        for cmd in ([str(ours)], [str(bare)]):  # warm the caches, write the desktop entry
            time_start(cmd, env)
        times = {"kavrin32": [], "bare QMainWindow": []}
        for _ in range(STARTS):
            times["kavrin32"].append(time_start([str(ours)], env))
            times["bare QMainWindow"].append(time_start([str(bare)], env))
    finally:
        if xvfb:
            xvfb.kill()
            xvfb.wait()
        shutil.rmtree(home, ignore_errors=True)
    where = f"on Xvfb {display}" if display else "offscreen"
    print(f"start-up to the main window's first frame, {where}, median of {STARTS}")
    medians = {name: statistics.median(t) / 1e6 for name, t in times.items()}
    for name, ms in medians.items():
        print(f"  {name:18} {ms:8.1f} ms")
    ratio = medians["kavrin32"] / medians["bare QMainWindow"]
    print(f"  ratio kavrin32/bare {ratio:.2f} (goal <= 1.5)")
    return ratio <= 1.5


def posting(build, work):
    kavrin = build / "src" / "app" / "kavrin32"
    window = build / "bench" / "window" / "kavrin32_window_post"
    data = build / "bench-posting" / "attachment.bin"
    data.parent.mkdir(exist_ok=True)
    if not data.exists() or data.stat().st_size != SIZE:
        with open("/dev/urandom", "rb") as src, open(data, "wb") as dst:
            for _ in range(SIZE >> 20):
                dst.write(src.read(1 << 20))
    times = work / "sink-times.txt"
    times.unlink(missing_ok=True)
    sink = subprocess.Popen([sys.executable, str(SINK)], stdout=subprocess.PIPE, text=True,
                            env=dict(os.environ, NNTP_SINK_TIMES=str(times)))
    results = {"window": [], "--post": []}
    gaps, late = [], 0
    try:
        port = int(sink.stdout.readline())
        config = work / "post-config"
        config.mkdir(parents=True, exist_ok=True)
        (config / "settings.reg").write_text(reg(
            ("Servers\\127.0.0.1", server_values(port)), ("Projects\\Default", default_values())))
        project = work / "window.kv32"
        project.write_text(
            "[Kavrin/32]\r\nNewsgroup Server=127.0.0.1\r\n"
            f"Port Number={port}\r\nSubject=bench\r\nFrom Name=Bench\r\n"
            "From E-mail Address=bench@example.invalid\r\nCrosspost=1\r\n"
            "Encoding Method=1\r\nSplit Large Messages=1\r\nSplit Lines=10000\r\n"
            f"[Newsgroups]\r\n0=alt.test\r\n[Attachments]\r\n0={data}\r\n")
        env = dict(os.environ, KAVRIN32_CONFIG_DIR=str(config),
                   KAVRIN32_DATA_DIR=str(work / "data"), QT_QPA_PLATFORM="offscreen")

        def sink_seconds():
            for _ in range(200):
                if times.exists() and times.read_text().strip():
                    break
                time.sleep(0.01)
            lines = times.read_text().split("\n")
            times.unlink()
            return float(lines[0].split()[0])

        for _ in range(POSTS):
            p = subprocess.run([str(kavrin), "--post", str(project)], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if p.returncode != 0:
                raise RuntimeError("kavrin32 --post failed: " + p.stderr[-1000:])
            results["--post"].append(sink_seconds())
            p = subprocess.run([str(window), str(config), str(project)], env=env,
                               capture_output=True, text=True)
            if p.returncode != 0:
                raise RuntimeError("window posting failed: " + p.stderr[-1000:])
            _, gap_ms, late_ticks, _ = p.stdout.split()
            gaps.append(float(gap_ms))
            late += int(late_ticks)
            results["window"].append(sink_seconds())
    finally:
        sink.terminate()
        sink.wait()
    mb = SIZE / 1e6
    print(f"posting {SIZE >> 20} MiB as Base64 to the loopback sink, timed by the sink, "
          f"median of {POSTS}")
    rates = {name: mb / statistics.median(t) for name, t in results.items()}
    for name, rate in rates.items():
        print(f"  {name:18} {rate:8.1f} MB/s")
    ratio = rates["window"] / rates["--post"]
    print(f"  ratio window/--post {ratio:.2f} (goal >= 0.9)")
    print(f"  longest event-loop gap while the window posted {max(gaps):.1f} ms "
          f"(goal <= 50), ticks later than 50 ms: {late}")
    return ratio >= 0.9 and max(gaps) <= 50


def main():
    build = Path(sys.argv[1]).resolve()
    for exe in (build / "bench" / "window" / "kavrin32_first_paint",
                build / "bench" / "window" / "kavrin32_window_post",
                build / "src" / "app" / "kavrin32"):
        if not exe.exists():
            print(f"no {exe}: build with -DKAVRIN32_BENCH=ON first")
            return 1
    work = build / "bench-window"
    work.mkdir(exist_ok=True)
    ok = startup(build, work)
    ok = posting(build, work) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
