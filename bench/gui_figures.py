#!/usr/bin/env python3
"""Two figures of the Linux wizard, measured on the real program under a
private Xvfb:

1. the time from the start of setup to its welcome page, for a kit that
   inflates to 512 MiB (median of three starts);
2. the processor time of the main (user-interface) thread while a kit of
   1 GiB is copied in silent mode, read from /proc/PID/task/PID/stat when the
   backup directory appears (the copying starts) and when it is removed (the
   copying has ended).

Usage: bench/gui_figures.py [BUILD_DIR]   (default: build; needs setup,
mkkit and widget_probe built there; about 5 GiB of disk under BUILD_DIR)
"""
import base64
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "gui"))
import probe_client  # noqa: E402

MIB = 1 << 20
TICKS = os.sysconf("SC_CLK_TCK")


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        os.environ["DISPLAY"] = ":" + f.readline().strip()
    return server


def make_kit(build, folder, total_mib):
    """Files of 8 MiB of base64 text (deflate makes about three quarters of it)."""
    source = os.path.join(folder, "source")
    os.makedirs(source)
    for i in range(total_mib // 8):
        with open(os.path.join(source, "part%03d.tmpl" % i), "wb") as f:
            f.write(base64.b64encode(os.urandom(6 * MIB)))
    program = os.path.join(folder, "program")
    os.makedirs(program)
    shutil.copy2(os.path.join(build, "bin", "setup"), program)
    subprocess.run([os.path.join(build, "bin", "mkkit"), "pack", "--level", "1", "-o",
                    os.path.join(program, "brvx.bkd"), "--describe", "en", "Bench", "Bench", "",
                    source], check=True)
    shutil.rmtree(source)
    return os.path.join(program, "setup")


def environment(folder, probe=None):
    home, tmp = os.path.join(folder, "home"), os.path.join(folder, "tmp")
    shutil.rmtree(home, ignore_errors=True)
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(home)
    os.makedirs(tmp)
    env = dict(os.environ, HOME=home, TMPDIR=tmp, LANG="en_US.UTF-8", ASAN_OPTIONS="detect_leaks=0")
    env.pop("GTK_MODULES", None)
    if probe:
        env["GTK_MODULES"] = probe
        env["SETUP_TEST_PROBE"] = os.path.join(folder, "probe.sock")
    return env


def welcome_time(build, folder):
    setup = make_kit(build, folder, 512)
    kit = os.path.getsize(os.path.join(folder, "program", "brvx.bkd"))
    probe = os.path.join(build, "lib", "libwidget_probe.so")
    times = []
    for _ in range(3):
        env = environment(folder, probe)
        started = time.monotonic()
        process = subprocess.Popen([setup], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        window = probe_client.wait_for(env["SETUP_TEST_PROBE"],
                                       "page:Welcome to the product installation program "
                                       "Bench (Bench).", 120, process.pid)
        times.append(time.monotonic() - started)
        process.kill()
        process.wait()
        if not window:
            sys.exit("bench: no welcome page")
    print("start to welcome page, kit of 512 MiB (%.0f MiB packed): median %.2f s (%s)"
          % (kit / MIB, statistics.median(times), ", ".join("%.2f" % t for t in times)))


def thread_cpu(pid, tid):
    with open("/proc/%d/task/%d/stat" % (pid, tid)) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def copying_cpu(build, folder):
    setup = make_kit(build, folder, 1024)
    env = environment(folder)
    tmp = env["TMPDIR"]
    process = subprocess.Popen([setup, "-S"], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    pid = process.pid

    def copying():
        return any(n.startswith("brstp") for n in os.listdir(tmp))
    while not copying():
        if process.poll() is not None:
            sys.exit("bench: setup ended before the copying started")
        time.sleep(0.005)
    start_wall, start_main = time.monotonic(), thread_cpu(pid, pid)
    worker = [int(t) for t in os.listdir("/proc/%d/task" % pid) if int(t) != pid]
    start_workers = sum(thread_cpu(pid, t) for t in worker)
    while copying():
        end_main = thread_cpu(pid, pid)
        end_workers = sum(thread_cpu(pid, t) for t in worker)
        time.sleep(0.005)
    wall = time.monotonic() - start_wall
    process.wait()
    main = end_main - start_main
    print("copying 1 GiB in silent mode: %.1f s; main thread %.2f s of processor time (%.1f %%),"
          " other threads %.2f s" % (wall, main, 100 * main / wall, end_workers - start_workers))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    folder = os.path.join(build, "bench-gui")
    server = start_xvfb()
    try:
        shutil.rmtree(folder, ignore_errors=True)
        welcome_time(build, os.path.join(folder, "welcome"))
        shutil.rmtree(folder, ignore_errors=True)
        copying_cpu(build, os.path.join(folder, "copying"))
    finally:
        server.kill()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
