#!/usr/bin/env python3
"""Publishing speed, side by side in one run against an OpenSSH server on
loopback (started here, as the publish tests start it):

- 1 GB in 2,000 files: tarnwick-cli publish to SFTP against OpenSSH's own
  `sftp -b` batch upload of the same files (target: at least 0.8x its
  throughput). tarnwick-cli's figure is its whole run (the checks, the
  uploads under temporary names and the renames, the verification over
  HTTP), once with the digests of the files still to take and once with them
  taken; sftp's is its upload alone.
- A republish with nothing changed (target: at most 2 s).

    python3 bench/bench_publish.py --cli build/bin/tarnwick-cli [--files 2000] [--size 524288]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "publish"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
from servers import Sshd  # noqa: E402
from web_server import NginxServer  # noqa: E402

THROUGHPUT_TARGET = 0.8
REPUBLISH_TARGET_SECONDS = 2.0


def timed(argv, **kwargs):
    started = time.monotonic()
    done = subprocess.run(argv, capture_output=True, **kwargs)
    seconds = time.monotonic() - started
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(argv[:3])}... status {done.returncode}:\n"
                           f"{done.stdout.decode(errors='replace')[-3000:]}{done.stderr.decode(errors='replace')[-3000:]}")
    return seconds


def empty(folder):
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--size", type=int, default=524288)
    options = parser.parse_args()
    cli = os.path.abspath(options.cli)
    total = options.files * options.size
    scratch = tempfile.mkdtemp(prefix="tarnwick-bench-publish-")
    os.chmod(scratch, 0o755)
    try:
        work, site, home = (os.path.join(scratch, n) for n in ("work", "site", "home"))
        for folder in (work, site, os.path.join(home, ".ssh")):
            os.makedirs(folder)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(scratch, "settings"))
        env.pop("SSH_AUTH_SOCK", None)
        with Sshd(root=scratch) as ssh, NginxServer(extra=f"location /game/ {{ alias {ssh.site}/; }}") as web:
            players = web.url("game/")
            entries = []
            for i in range(options.files):
                rel = f"data/{i // 100:02d}/file{i:04d}.pak"
                path = os.path.join(site, rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(os.urandom(options.size))
                entries.append(rel)
            # The working copy written whole: 2,000 'update add' runs would take longer than the benchmark.
            lines = ['<?xml version="1.0" encoding="GB2312"?>', "<XMLSetup>", "  <ServerList/>", "  <Url/>", "  <UpDate>"]
            for rel in entries:
                lines.append(f'    <Config SDir=".\\" FName="{os.path.basename(rel)}" DUrl="{players}{rel}" ZIP="0" '
                             f'Check="1" DType="0" Date="20050505" VAR="1" MD5="" ID="">{rel}</Config>')
            lines += ["  </UpDate>", "</XMLSetup>", ""]
            with open(os.path.join(work, "Tarnwick.xml"), "w", encoding="gbk") as f:
                f.write("\r\n".join(lines))
            subprocess.run([cli, "-C", work, "serverinfo"], check=True, env=env, capture_output=True)
            with open(os.path.join(home, ".ssh", "known_hosts"), "w") as f:
                f.write(ssh.known_hosts_line + "\n")
            publish = [cli, "-C", work, "publish", "--to", f"sftp://{ssh.user}@{ssh.host}:{ssh.port}{ssh.site}/",
                       "--list-url", players + "ServerInfo.txt", "--site", site, "--key", ssh.user_key]

            # OpenSSH's client: the folder in one batch.
            batch = os.path.join(scratch, "batch")
            with open(batch, "w") as f:
                f.write(f"put -r {site}/data {ssh.site}/\n")
            sftp = ["sftp", "-q", "-b", batch, "-i", ssh.user_key, "-P", str(ssh.port),
                    "-o", f"UserKnownHostsFile={home}/.ssh/known_hosts", "-o", "BatchMode=yes",
                    f"{ssh.user}@{ssh.host}"]
            sftp_seconds = timed(sftp, env=env)
            empty(ssh.site)

            cold = timed(publish, env=env)
            republish = timed(publish, env=env)
            empty(ssh.site)
            warm = timed(publish, env=env)

        rate = lambda seconds: total / seconds / 1e6  # noqa: E731
        print(f"{options.files} files, {total / 1e9:.2f} GB, to OpenSSH's sftp-server on loopback")
        print(f"  sftp -b put -r           {sftp_seconds:7.2f} s  {rate(sftp_seconds):7.1f} MB/s")
        print(f"  tarnwick-cli publish     {cold:7.2f} s  {rate(cold):7.1f} MB/s  "
              f"{sftp_seconds / cold:.2f}x (digests taken in the run)")
        print(f"  tarnwick-cli publish     {warm:7.2f} s  {rate(warm):7.1f} MB/s  "
              f"{sftp_seconds / warm:.2f}x (digests known; target {THROUGHPUT_TARGET}x)")
        print(f"  republish, nothing new   {republish:7.2f} s  (target at most {REPUBLISH_TARGET_SECONDS} s)")
        ok = sftp_seconds / warm >= THROUGHPUT_TARGET and republish <= REPUBLISH_TARGET_SECONDS
        print("targets met" if ok else "TARGETS MISSED")
        return 0 if ok else 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
