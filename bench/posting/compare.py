#!/usr/bin/env python3
"""Posting speed, CPU and memory of kavrin32 against Nyuu, one loopback sink, one run."""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SIZE = 256 << 20
RUNS = 3
HERE = Path(__file__).resolve().parent


def time_v(cmd, env=None):
    """Runs cmd; returns (seconds, cpu seconds, peak KiB, exit code). CPU time and peak memory
    are the system's own account of the process (wait4), to the microsecond: /usr/bin/time
    prints hundredths, a tenth of what one posting takes here."""
    with tempfile.TemporaryFile() as err:
        started = time.monotonic()
        p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=err, env=env)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.monotonic() - started
        p.returncode = os.waitstatus_to_exitcode(status)
        if p.returncode != 0:
            err.seek(0)
            sys.stderr.write(err.read().decode(errors="replace")[-2000:])
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, p.returncode


def cache_as_first_read(path):
    """Drops the file's cached pages and reads it once. How the system holds a cached file
    decides much of what reading it costs (about twice as much when it holds it page by page,
    as it may after memory ran short), so every run starts from the state a first reading leaves,
    the same for both posters."""
    with open(path, "rb") as f:
        os.fsync(f.fileno())
        os.posix_fadvise(f.fileno(), 0, 0, os.POSIX_FADV_DONTNEED)
        while f.read(1 << 20):
            pass


def install_nyuu(folder):
    """Nyuu in a folder of the build; None (with the reason printed) when it cannot be had."""
    nyuu = folder / "node_modules" / "nyuu" / "bin" / "nyuu.js"
    native = folder / "node_modules" / "yencode" / "build" / "Release" / "yencode.node"
    if nyuu.exists() and native.exists():
        return nyuu
    folder.mkdir(parents=True, exist_ok=True)
    # npm 11 runs install scripts only for packages named here; Nyuu needs its yEnc module.
    (folder / "package.json").write_text(json.dumps(
        {"dependencies": {"nyuu": "^0.4.0"}, "allowScripts": {"yencode": True}}))
    try:
        for cmd in (["npm", "install", "--no-audit", "--no-fund"], ["npm", "rebuild", "yencode"]):
            p = subprocess.run(cmd, cwd=folder, capture_output=True, text=True, timeout=600)
            if p.returncode != 0:
                print(f"Nyuu could not be installed ({' '.join(cmd)}): {p.stderr.strip()[-300:]}")
                return None
    except (OSError, subprocess.TimeoutExpired) as e:
        print(f"Nyuu could not be installed: {e}")
        return None
    if not (nyuu.exists() and native.exists()):
        print("Nyuu could not be installed: its native yEnc module was not built")
        return None
    return nyuu


def main():
    build = Path(sys.argv[1]).resolve()
    kavrin = build / "src" / "app" / "kavrin32"
    if not kavrin.exists():
        print(f"no {kavrin}: build the program first")
        return 1
    work = build / "bench-posting"
    work.mkdir(exist_ok=True)
    data = work / "attachment.bin"
    small = work / "small.bin"
    for path, size in ((data, SIZE), (small, SIZE >> 3)):
        if not path.exists() or path.stat().st_size != size:
            with open("/dev/urandom", "rb") as src, open(path, "wb") as dst:
                for _ in range(size >> 20):
                    dst.write(src.read(1 << 20))
        cache_as_first_read(path)

    sink = subprocess.Popen([sys.executable, str(HERE / "nntp_sink.py")], stdout=subprocess.PIPE,
                            text=True)
    try:
        port = int(sink.stdout.readline())
        config = work / "config"
        config.mkdir(exist_ok=True)
        (config / "settings.reg").write_text(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32\\Servers\\127.0.0.1]\r\n"
            f'"Port Number"=dword:{port:08x}\r\n"Number of Newsgroups"=dword:00000000\r\n')
        def project_for(attachment, method=1, lines=10000):
            project = work / f"{attachment.stem}-{method}.kv32"
            project.write_text(
                "[Kavrin/32]\r\nNewsgroup Server=127.0.0.1\r\n"
                f"Port Number={port}\r\nSubject=bench\r\nFrom Name=Bench\r\n"
                "From E-mail Address=bench@example.invalid\r\nCrosspost=1\r\n"
                f"Encoding Method={method}\r\nSplit Large Messages=1\r\nSplit Lines={lines}\r\n"
                f"[Newsgroups]\r\n0=alt.test\r\n[Attachments]\r\n0={attachment}\r\n")
            return project
        env = dict(os.environ, KAVRIN32_CONFIG_DIR=str(config))
        ours_cmd = [str(kavrin), "--post", str(project_for(data))]
        uu_cmd = [str(kavrin), "--post", str(project_for(data, 0))]
        # yEnc in parts of 5600 lines of 128 bytes: 716 800 bytes, the article size Nyuu uses.
        yenc_cmd = [str(kavrin), "--post", str(project_for(data, 2, 5601))]
        small_run = time_v([str(kavrin), "--post", str(project_for(small))], env)
        nyuu = install_nyuu(build / "nyuu")
        peer_cmd = None
        if nyuu:
            peer_cmd = ["node", str(nyuu), "-h", "127.0.0.1", "-P", str(port), "-n", "1",
                        "--timeout", "0", "--post-timeout", "0", "-g", "alt.test",
                        "-f", "Bench <bench@example.invalid>", str(data)]
        results = {"kavrin32 Base64": [], "kavrin32 UU": [], "kavrin32 yEnc": [], "Nyuu": []}
        for _ in range(RUNS):
            results["kavrin32 Base64"].append(time_v(ours_cmd, env))
            results["kavrin32 UU"].append(time_v(uu_cmd, env))
            results["kavrin32 yEnc"].append(time_v(yenc_cmd, env))
            if peer_cmd:
                results["Nyuu"].append(time_v(peer_cmd))
    finally:
        sink.terminate()
        sink.wait()

    mb = SIZE / 1e6
    print(f"posting {SIZE >> 20} MiB to a loopback sink, one connection, median of {RUNS}: "
          "kavrin32 as Base64 and UUEncode in parts of 10 000 lines and as yEnc in parts of "
          "716 800 bytes, "
          "Nyuu as yEnc in its default 716 800-byte articles")
    print(f"{'':15} {'MB/s':>8} {'CPU s/MB':>10} {'peak RSS MiB':>13} {'exit':>5}")
    summary = {}
    for name, runs in results.items():
        if not runs:
            continue
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] for r in runs)
        rss = max(r[2] for r in runs) / 1024
        status = max(r[3] for r in runs)
        summary[name] = (mb / wall, cpu / mb, rss)
        print(f"{name:15} {mb / wall:8.1f} {cpu / mb:10.5f} {rss:13.1f} {status:5}")
    print(f"kavrin32 peak RSS posting {SIZE >> 23} MiB: {small_run[2] / 1024:.1f} MiB, "
          f"{SIZE >> 20} MiB: {summary['kavrin32 Base64'][2]:.1f} MiB "
          "(should not grow with the file)")
    ok = all(r[3] == 0 for name, runs in results.items() if name != "Nyuu" for r in runs) and \
        small_run[3] == 0
    if "Nyuu" in summary:
        peer = summary["Nyuu"]
        for name, speed, cpu, memory in (("kavrin32 Base64", 1, 0.5, 0.5),
                                         ("kavrin32 UU", 1, 0.5, 0.5),
                                         ("kavrin32 yEnc", 1.5, 0.4, 0.4)):
            ours = summary[name]
            r = (ours[0] / peer[0], ours[1] / peer[1], ours[2] / peer[2])
            met = r[0] >= speed and r[1] <= cpu and r[2] <= memory
            print(f"ratios {name}/Nyuu: speed {r[0]:.2f} (goal >= {speed}), "
                  f"CPU per MB {r[1]:.2f} (goal <= {cpu}), "
                  f"peak memory {r[2]:.2f} (goal <= {memory})  {'ok' if met else 'MISSED'}")
    else:
        print("Nyuu not available: only kavrin32's figures are shown")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
