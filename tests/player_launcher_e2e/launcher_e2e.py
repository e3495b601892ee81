#!/usr/bin/env python3
"""End to end: this machine's tarnwick-cli writes Tarnwick.xml, ServerInfo.txt
and launchers; nginx and a server of faults serve them; each launcher's /list
under Wine prints what the published file holds, or fails with the exit status
and a message that names the cause.

    launcher_e2e.py --cli CLI --source DIR --work DIR [--wine WINE]

Every row first proves its server side with curl (nginx or the fault server
sends what the row needs), and with --wine runs the launcher. The launcher
rows are skipped (exit status 77) while the carried image cannot fetch a list.
"""
import argparse
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from fault_server import FaultServer  # noqa: E402
from launcher_under_wine import run_script, Failure, Wine, check, cli_environment, list_support, make_launcher  # noqa: E402
from launcher_under_wine import settings_of_environment  # noqa: E402
from web_server import NginxServer, free_port, nginx_program  # noqa: E402

SKIPPED = 77
LARGE_BYTES = 100 << 20
# A launcher gives up after one retry: never more requests than this per run.
MOST_REQUESTS = 2
NGINX_LOCATIONS = """    location = /error500.txt { return 500; }
    location = /redirect-ftp.txt { return 302 ftp://127.0.0.1:21/ServerInfo.txt; }
"""
# What the launcher's messages say, in its words or in English.
TOO_LARGE = r"太大|过大|上限|too large"
REDIRECT = r"重定向|转到|跳转|redirect"
WEB_NAMES = ("Loginframe", "ContactGM", "Payment", "Payment2", "Home")


def run_cli(cli, *arguments, data=None, settings=None):
    return subprocess.run([cli, *arguments], input=data, capture_output=True,
                          env=cli_environment(settings or settings_of_environment()))


def edit(cli, folder, *arguments):
    done = run_cli(cli, "-C", folder, *arguments)
    check(done.returncode == 0, f"tarnwick-cli {' '.join(arguments)}: {done.stderr.decode(errors='replace')}")
    return done.stdout


def publish(cli, folder):
    edit(cli, folder, "serverinfo")
    with open(os.path.join(folder, "ServerInfo.txt"), "rb") as f:
        return f.read()


# The documents published ---------------------------------------------------

def sample_document(cli, source, folder):
    os.makedirs(folder)
    shutil.copy(os.path.join(source, "samples", "Tarnwick.xml"), folder)
    return publish(cli, folder)


def chinese_document(cli, folder):
    """Chinese names through the same edits an operator makes, with the
    characters that JSON and XML escape, and a group without servers."""
    os.makedirs(folder)
    edit(cli, folder, "group", "add", "华东一区")
    edit(cli, folder, "group", "add", '双线"特区"\\备用')
    edit(cli, folder, "group", "add", "华北二区")
    edit(cli, folder, "server", "add", "--group", "华东一区", "--show-name", "电信一线", "--name", "一线;二线",
         "--addr", "10.0.0.1;电信.example.com", "--port", "7000;7001")
    edit(cli, folder, "server", "add", "--group", "华东一区", "--show-name", '网通"二线"\\<&>', "--name", "备用",
         "--addr", "10.0.0.3")
    edit(cli, folder, "server", "add", "--group", "华北二区", "--show-name", "合区", "--name", "主线",
         "--addr", "game.example.com", "--port", "7100")
    for name in WEB_NAMES:
        edit(cli, folder, "web", "set", name, f"http://www.example.com/{name}/充值?区=华东&id=1")
    return publish(cli, folder)


def groups_document(cli, folder, count=2000):
    """count groups of none to three servers, with one or two entries each."""
    os.makedirs(folder)
    lines = ['<?xml version="1.0" encoding="GB2312"?>', "<XMLSetup>", "  <ServerList>"]
    for g in range(1, count + 1):
        if g % 4 == 0:
            lines.append(f'    <Group Name="第{g}区"/>')
            continue
        lines.append(f'    <Group Name="第{g}区">')
        for s in range(1, g % 4 + 1):
            lines.append(f'      <Server Name="电信{s}线">')
            for c in range(1, s % 2 + 2):
                lines.append(f'        <Child Addrs="10.{g // 256}.{g % 256}.{c}" Port="{7000 + c}">线路{c}</Child>')
            lines.append("      </Server>")
        lines.append("    </Group>")
    lines += ["  </ServerList>", "  <Url>"]
    lines += [f"    <{name}>http://www.example.com/{name.lower()}.html</{name}>" for name in WEB_NAMES]
    lines += ["  </Url>", "</XMLSetup>", ""]
    with open(os.path.join(folder, "Tarnwick.xml"), "wb") as f:
        f.write("\r\n".join(lines).encode("gbk"))
    return publish(cli, folder)


def _encoded_values(published, change):
    """The file with change(value) for each encoded value: the texts of six-bit
    groups ("<" to "{") in attributes and elements; plain ones stay."""
    def one(escaped, quote):
        value = escaped.replace("&lt;", "<").replace("&gt;", ">")
        if not value or any(not 60 <= ord(c) <= 123 for c in value):
            return escaped
        return change(value).replace("<", "&lt;").replace(">", "&gt;")

    text = published.decode("latin-1")
    text = re.sub(r'="([^"]*)"', lambda m: '="' + one(m.group(1), True) + '"', text)
    text = re.sub(r">([^<]*)</", lambda m: ">" + one(m.group(1), False) + "</", text)
    return text.encode("latin-1")


def other_key(published):
    """The same file as a build whose KeyByte1 differs by 0x5A writes it: each
    byte of every encoded value is XOR-ed with the change of the mixing byte."""
    def rekey(value):
        bits = "".join(f"{ord(c) - 60:06b}" for c in value)
        data = [int(bits[i:i + 8], 2) ^ 0x5A for i in range(0, len(bits) - 7, 8)]
        bits = "".join(f"{b:08b}" for b in data)
        bits += "0" * (-len(bits) % 6)
        return "".join(chr(60 + int(bits[i:i + 6], 2)) for i in range(0, len(bits), 6))

    return _encoded_values(published, rekey)


def changed_byte(published):
    """One character of the first group's name changed to another six-bit group."""
    at = published.index(b'<Group Name="') + len(b'<Group Name="') + 2
    while published[at:at + 1] in (b"&", b";") or published[at - 1:at] in (b"&",):
        at += 1
    replacement = 60 + (published[at] - 60 + 7) % 64
    if replacement in (60, 62):
        replacement += 1
    return published[:at] + bytes([replacement]) + published[at + 1:]


def decode_failure(cli, data):
    """The reader's message for a file it refuses, in Chinese as the launcher speaks."""
    done = run_cli(cli, "--language", "zh_CN", "decode", "-", data=data)
    check(done.returncode == 2, f"tarnwick-cli decode took a faulty file (status {done.returncode})")
    return done.stderr.decode("utf-8", errors="replace").strip()


# What the launcher should print ---------------------------------------------

def expected_listing(cli, published, folder):
    """The published file decoded and listed by tarnwick-cli, in /list's shape;
    the connection entries are the decoded document's Child elements."""
    os.makedirs(folder)
    decoded = run_cli(cli, "decode", "-", data=published)
    check(decoded.returncode == 0, f"tarnwick-cli decode: {decoded.stderr.decode(errors='replace')}")
    with open(os.path.join(folder, "Tarnwick.xml"), "wb") as f:
        f.write(decoded.stdout)
    groups = json.loads(edit(cli, folder, "group", "list", "--json"))
    servers = json.loads(edit(cli, folder, "server", "list", "--json"))
    web = json.loads(edit(cli, folder, "web", "get", "--json"))

    document = decoded.stdout.decode("gbk")
    root = ElementTree.fromstring(document[document.index("?>") + 2:])
    children = [[[{"name": c.text or "", "addr": c.get("Addrs"), "port": c.get("Port")} for c in s.findall("Child")]
                 for s in g.findall("Server")] for g in root.find("ServerList").findall("Group")]
    check(len(children) == len(groups), "the decoded document and group list disagree on the groups")
    rows = {}
    for server in servers:
        rows.setdefault(server["group"], []).append(server)
    listing = {"groups": [], "web": web}
    for group, entries in zip(groups, children):
        members = rows.get(group["name"], [])
        check(len(members) == len(entries) == group["servers"],
              f"the decoded document and server list disagree on group {group['name']}")
        listing["groups"].append({"name": group["name"], "servers": [
            {"showName": s["showName"], "name": s["name"], "addr": s["addr"], "port": s["port"], "entries": e}
            for s, e in zip(members, entries)]})
    return listing


def first_difference(got, wanted, path="$"):
    if type(got) is not type(wanted):
        return f"{path}: {json.dumps(got, ensure_ascii=False)[:200]} where {json.dumps(wanted, ensure_ascii=False)[:200]} was expected"
    if isinstance(wanted, dict):
        if got.keys() != wanted.keys():
            return f"{path}: keys {sorted(got)} where {sorted(wanted)} were expected"
        for key in wanted:
            found = first_difference(got[key], wanted[key], f"{path}.{key}")
            if found:
                return found
    elif isinstance(wanted, list):
        for i, (g, w) in enumerate(zip(got, wanted)):
            found = first_difference(g, w, f"{path}[{i}]")
            if found:
                return found
        if len(got) != len(wanted):
            return f"{path}: {len(got)} items where {len(wanted)} were expected"
    elif got != wanted:
        return f"{path}: {json.dumps(got, ensure_ascii=False)} where {json.dumps(wanted, ensure_ascii=False)} was expected"
    return None


# The server side, proven with curl ------------------------------------------

def curl(url, *options, seconds=10, keep_body=False):
    """curl's exit status, the HTTP status code, the body's size, the redirect
    address, the headers and, with keep_body, the body."""
    with tempfile.TemporaryDirectory() as folder:
        body = os.path.join(folder, "body") if keep_body else "/dev/null"
        done = subprocess.run(["curl", "-sS", "--max-time", str(seconds), "-D", "-", "-o", body,
                               "-w", "\n%{http_code} %{size_download} %{redirect_url}", *options, url],
                              capture_output=True)
        head, _, summary = done.stdout.rpartition(b"\n")
        code, size, redirect = (summary.decode().split(" ", 2) + ["", ""])[:3]
        got = {"exit": done.returncode, "code": code, "size": int(size or 0), "redirect": redirect.strip(),
               "head": head.decode("latin-1"), "body": b""}
        if keep_body and os.path.exists(body):
            with open(body, "rb") as f:
                got["body"] = f.read()
    return got


def serves(data):
    def proof(url):
        got = curl(url, keep_body=True)
        check(got["exit"] == 0 and got["code"] == "200", f"curl: exit {got['exit']}, HTTP {got['code']}")
        check(got["body"] == data, f"curl got {got['size']} bytes, not the {len(data)} published")
    return proof


def answers(code):
    def proof(url):
        got = curl(url)
        check(got["exit"] == 0 and got["code"] == str(code), f"curl: exit {got['exit']}, HTTP {got['code']}")
    return proof


def redirects(scheme):
    def proof(url):
        got = curl(url)
        check(got["code"] == "302" and got["redirect"].startswith(scheme),
              f"curl: HTTP {got['code']} to '{got['redirect']}', not a redirect to {scheme}")
    return proof


def refuses(url):
    got = curl(url)
    check(got["exit"] == 7, f"curl: exit {got['exit']}, not 7 (connection refused)")


def announces(length):
    def proof(url):
        got = curl(url, "--head")
        check(got["code"] == "200" and f"\ncontent-length: {length}\r" in got["head"].lower(),
              f"curl --head: HTTP {got['code']}, not a length of {length}:\n{got['head']}")
    return proof


def stalls(code, least, most):
    """Within two seconds: the status code (000 for none) and least..most bytes of body, then silence."""
    def proof(url):
        got = curl(url, seconds=2)
        check(got["exit"] == 28 and got["code"] == code and least <= got["size"] <= most,
              f"curl --max-time 2: exit {got['exit']}, HTTP {got['code']}, {got['size']} bytes; expected a "
              f"timeout after HTTP {code} and {least} to {most} bytes")
    return proof


def cuts(size):
    def proof(url):
        got = curl(url)
        check(got["exit"] == 18 and got["size"] == size,
              f"curl: exit {got['exit']}, {got['size']} bytes; expected 18 (partial file) after {size} bytes")
    return proof


# The rows --------------------------------------------------------------------

class Row:
    def __init__(self, name, game, url, served, listing=None, status=0, cause=None, requests=None, after=None):
        self.name, self.game, self.url, self.served = name, game, url, served
        self.listing, self.status, self.cause = listing, status, cause
        # How many requests the servers have seen for this row, and a last check on their side.
        self.requests, self.after = requests, after


def http_status(code):
    return rf"(?<![\d:]){code}(?!\d)"


def launcher_check(row, result, requests):
    out, err = result.out, result.err
    check(result.status is not None, f"did not end within its time limit; stderr: {result.text(err)}")
    try:
        message = err.decode("utf-8")
    except UnicodeDecodeError:
        raise Failure(f"standard error is not UTF-8: {result.text(err)}") from None
    check(result.status == row.status,
          f"exit status {result.status}, expected {row.status}; stderr: {message.strip()}; "
          f"stdout: {result.text(out)[:300]}")
    if row.listing is not None:
        try:
            listing = json.loads(out.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as error:
            raise Failure(f"standard output is not one UTF-8 JSON document ({error}): {result.text(out)[:300]}")
        difference = first_difference(listing, row.listing)
        check(difference is None, f"/list differs from what the published file holds: {difference}")
    else:
        # A failure never leaves a list that looks complete.
        check(out.strip() == b"", f"printed something on standard output: {result.text(out)[:300]}")
        check(re.search(r"[\u4e00-\u9fff]", message), f"the message is not in Chinese: {message.strip()}")
        check(re.search(row.cause, message, re.IGNORECASE),
              f"the message does not name the cause ({row.cause}): {message.strip()}")
    if requests is not None:
        check(requests <= MOST_REQUESTS, f"{requests} requests for one list (one retry at most)")
    if row.after:
        row.after()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="tarnwick-cli built for this machine")
    parser.add_argument("--source", required=True, help="the project's source folder")
    parser.add_argument("--work", required=True, help="a folder for the files made (emptied first)")
    parser.add_argument("--wine", help="the wine loader: run the launcher rows")
    options = parser.parse_args()
    for tool, found in (("nginx", nginx_program()), ("curl", shutil.which("curl"))):
        if found is None:
            print(f"SKIPPED: {tool} is not installed (Debian's package {tool}; 'make deps' installs it)")
            return SKIPPED
    work = options.work
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    cli = options.cli

    published = {
        "sample": sample_document(cli, options.source, f"{work}/sample"),
        "chinese": chinese_document(cli, f"{work}/chinese"),
        "groups": groups_document(cli, f"{work}/groups"),
    }
    listings = {name: expected_listing(cli, data, f"{work}/listed-{name}") for name, data in published.items()}
    check(len(listings["groups"]["groups"]) == 2000, "the generated document does not hold 2,000 groups")
    damaged = changed_byte(published["sample"])
    short = published["sample"][: len(published["sample"]) // 2]
    foreign = other_key(published["sample"])
    damaged_says, short_says, foreign_says = (decode_failure(cli, data) for data in (damaged, short, foreign))
    check("已损坏" in damaged_says, f"the changed byte reads as: {damaged_says}")
    check("被截短了" in short_says, f"the file cut short reads as: {short_says}")
    check("不是用这套密钥材料写的" in foreign_says, f"the other key's file reads as: {foreign_says}")

    def reason(message):
        # The launcher reads with the same reader, so it gives the reader's
        # line and reason; only the name it shows for the file differs.
        return re.escape(message.removeprefix("tarnwick-cli: 标准输入").lstrip("，, "))

    body = published["groups"]
    with NginxServer(extra=NGINX_LOCATIONS) as web, FaultServer(body) as faults:
        for name, data in published.items():
            web.put(f"{name}.txt", data)
        web.put("damaged.txt", damaged)
        web.put("cut-short.txt", short)
        web.put("other-key.txt", foreign)
        web.put_sparse("large.txt", LARGE_BYTES, published["sample"][:48])

        def nginx_count(path):
            return lambda: sum(1 for r in web.requests() if r.path == path)

        def fault_count(path):
            return lambda: faults.requests[path]

        def large_not_taken_whole():
            # Logged when nginx finishes the request, shortly after the launcher hangs up.
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                sent = [r.sent for r in web.requests() if r.path == "/large.txt" and r.sent > 0]
                if sent:
                    check(max(sent) < LARGE_BYTES, f"the launcher took the whole {LARGE_BYTES}-byte body")
                    return
                time.sleep(0.1)
            raise Failure("nginx logged no body sent for /large.txt within 10 s")

        refused_url = f"http://127.0.0.1:{free_port()}/ServerInfo.txt"
        rows = [
            Row("sample", "Sample", web.url("sample.txt"), serves(published["sample"]), listings["sample"],
                requests=nginx_count("/sample.txt")),
            Row("Chinese names", "传奇世界", web.url("chinese.txt"), serves(published["chinese"]), listings["chinese"],
                requests=nginx_count("/chinese.txt")),
            Row("2,000 groups", "Groups", web.url("groups.txt"), serves(body), listings["groups"],
                requests=nginx_count("/groups.txt")),
            Row("404", "NotFound", web.url("missing/ServerInfo.txt"), answers(404), status=2, cause=http_status(404),
                requests=nginx_count("/missing/ServerInfo.txt")),
            Row("500", "ServerError", web.url("error500.txt"), answers(500), status=2, cause=http_status(500),
                requests=nginx_count("/error500.txt")),
            Row("connection refused", "Refused", refused_url, refuses, status=2,
                cause=r"拒绝|refused"),
            Row("stall before answering", "Stall", faults.url("stall"), stalls("000", 0, 0), status=2,
                cause=r"超时|timed? ?out", requests=fault_count("stall")),
            Row("stall mid-body", "StallBody", faults.url("stall-body"), stalls("200", 1, len(body) - 1),
                status=2, cause=r"超时|timed? ?out", requests=fault_count("stall-body")),
            Row("connection closed mid-body", "CutConnection", faults.url("cut"), cuts(len(body) // 2), status=2,
                cause=r"网络|中断|断开|不完整|network|closed|incomplete", requests=fault_count("cut")),
            Row("body that never ends", "Endless", faults.url("endless"), stalls("200", 1 << 20, 1 << 40),
                status=1, cause=TOO_LARGE, requests=fault_count("endless")),
            Row("100 MB body", "TooLarge", web.url("large.txt"), announces(LARGE_BYTES), status=1,
                cause=TOO_LARGE, requests=nginx_count("/large.txt"), after=large_not_taken_whole),
            Row("redirect to ftp://", "RedirectFtp", web.url("redirect-ftp.txt"), redirects("ftp://"), status=2,
                cause=REDIRECT, requests=nginx_count("/redirect-ftp.txt")),
            Row("redirect to file:///", "RedirectFile", faults.url("redirect-file"), redirects("file:///"),
                status=2, cause=REDIRECT, requests=fault_count("redirect-file")),
            Row("a changed byte", "Damaged", web.url("damaged.txt"), serves(damaged), status=1,
                cause=reason(damaged_says), requests=nginx_count("/damaged.txt")),
            Row("cut short", "CutShort", web.url("cut-short.txt"), serves(short), status=1,
                cause=reason(short_says), requests=nginx_count("/cut-short.txt")),
            Row("other key material", "OtherKey", web.url("other-key.txt"), serves(foreign), status=1,
                cause=reason(foreign_says), requests=nginx_count("/other-key.txt")),
        ]

        # Rows run side by side: the stalls wait out the launcher's timeouts together.
        failures = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=8) as pool:
            proofs = {row: pool.submit(row.served, row.url) for row in rows}
            for row, proof in proofs.items():
                try:
                    proof.result()
                    print(f"served   {row.name}: proven with curl")
                except Failure as failure:
                    failures.append(f"server side of '{row.name}': {failure}")
            if failures or not options.wine:
                return report(failures)

            wine = Wine(options.wine)
            probe = make_launcher(cli, f"{work}/launchers/probe", "Probe", web.url("sample.txt"))
            supported, why = list_support(wine, probe, web.url("sample.txt"))
            if not supported:
                for row in rows:
                    print(f"SKIPPED  {row.name}: launcher /list")
                print(f"SKIPPED: {why}; the launcher rows run once the image supports /list")
                return SKIPPED
            print(f"launcher: {why}")

            def launch(row):
                exe = make_launcher(cli, f"{work}/launchers/{row.game}", row.game, row.url)
                before = row.requests() if row.requests else None
                result = wine.run(exe, "/list")
                requests = row.requests() - before if row.requests else None
                return result, requests

            runs = {row: pool.submit(launch, row) for row in rows}
            for row, future in runs.items():
                result, requests = future.result()
                try:
                    launcher_check(row, result, requests)
                    said = result.text(result.err).strip().replace("\n", " ")
                    print(f"launcher {row.name}: passed, status {result.status}, {result.seconds:.1f} s"
                          + (f": {said[:160]}" if said else ""))
                except Failure as failure:
                    failures.append(f"launcher '{row.name}' ({row.url}, {result.seconds:.1f} s): {failure}")
    return report(failures)


def report(failures):
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    run_script(main)
