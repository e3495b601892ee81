"""Reads what tarnwick-cli wrote with an independent PE reader (python3-pefile).

Usage: check_with_pefile.py TARNWICK_CLI STUB_IMAGE TEST_DATA_DIR
Exits 77 (skipped) when pefile is not installed.
"""
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import pefile
except ImportError:
    print("python3-pefile is not installed")
    sys.exit(77)

cli, stub, data = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def string_tables(pe):
    """{(table name, resource language): {key: value}} over all version resources."""
    tables = {}
    for info in getattr(pe, "FileInfo", []) or []:
        for part in info:
            for table in getattr(part, "StringTable", []):
                tables.setdefault(table.LangID.decode(), []).append(
                    {k.decode(): v.decode("utf-8") for k, v in table.entries.items()})
    return tables


def version_languages(pe):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == 16:
            return sorted(lang.id for name in entry.directory.entries for lang in name.directory.entries)
    return []


with tempfile.TemporaryDirectory() as work:
    # The launcher: stamped values, a valid checksum, every other section as in
    # the image (when the build carries one with the Chinese table).
    result = subprocess.run([cli, "--language", "zh_CN", "launcher", "Velmora传奇", "http://list.example.net:8888/ServerInfo.txt"],
                            cwd=work, capture_output=True, text=True,
                            env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "no-keys")))
    # Without a signing key the launcher says that it trusts whatever is served.
    check(result.returncode == 0 and result.stdout.splitlines()[0] == "登录器生成成功！"
          and "会接受网络上传来的任何服务器列表" in result.stdout, "launcher: " + result.stdout + result.stderr)
    launcher = pefile.PE(os.path.join(work, "Velmora传奇.exe"))
    original = pefile.PE(stub)
    if "080403A8" in string_tables(original):
        table = string_tables(launcher)["080403A8"][0]
        check(table.get("OriginalFilename") == ".\\Velmora传奇.exe", "OriginalFilename: %r" % table.get("OriginalFilename"))
        check(table.get("GameName") == "Velmora传奇", "GameName: %r" % table.get("GameName"))
        check(table.get("ServerList") == "http://list.example.net:8888/ServerInfo.txt",
              "ServerList: %r" % table.get("ServerList"))
    check(launcher.OPTIONAL_HEADER.CheckSum == 0 or launcher.verify_checksum(), "launcher checksum")
    for new, old in zip(launcher.sections, original.sections):
        if new.Name.startswith(b".rsrc"):
            continue
        check(new.get_data() == old.get_data(), "section %r changed" % new.Name)

    # A grown resource section: a second version resource under the translation's
    # language, the first kept, the overlay kept, the checksum valid.
    grown = os.path.join(work, "grown.exe")
    shutil.copy(os.path.join(data, "otherlang.exe"), grown)
    with open(grown, "ab") as f:
        f.write(b"OVERLAY" * 100)
    result = subprocess.run([cli, "--language", "en", "stamp", grown, "GameName", "Velmora"], capture_output=True, text=True)
    check(result.returncode == 0 and result.stdout.startswith("GameName stamped"), "stamp: " + result.stdout + result.stderr)
    pe = pefile.PE(grown)
    check(version_languages(pe) == [0x0409, 0x0804], "languages %r" % version_languages(pe))
    values = sorted(t["GameName"] for t in string_tables(pe).get("080403A8", []))
    check(values == ["01234567890123456789", "Velmora"], "GameName values %r" % values)
    check(pe.get_overlay() == b"OVERLAY" * 100, "overlay")
    check(pe.verify_checksum(), "grown checksum")
    last = pe.sections[-1]
    check(pe.OPTIONAL_HEADER.SizeOfImage >= last.VirtualAddress + last.Misc_VirtualSize, "SizeOfImage")

    # llvm-readobj, where present, must read the grown tree too.
    readobj = shutil.which("llvm-readobj")
    if readobj:
        result = subprocess.run([readobj, "--coff-resources", grown], capture_output=True, text=True)
        check(result.returncode == 0 and "Language: (ID 2052)" in result.stdout, "llvm-readobj: " + result.stderr)

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
