#!/usr/bin/env python3
"""tarnwick.exe under Wine, used by an operator's hands: real X events on a
private Xvfb display, clicks on the widgets where the layouts put them, keys,
text pasted from the X clipboard (as an input method would deliver Chinese),
and a file dragged from another X program onto the update dialog's drop box,
which Wine turns into a Windows drop.

The session, in a copy of the sample Tarnwick.xml:
  - a group that exists already is refused with its notice; 华东一区 is added;
  - a server is added through the server dialog (refused first for want of a
    group); the update dialog takes a dropped file, whose digest it shows
    (compared with md5sum's), and an entry with that digest (refused first
    for want of a hint);
  - the configuration is saved and ServerInfo.txt written;
  - a game name that is no file name is refused in Chinese, then a launcher
    is generated under the Chinese game name 青龙传奇;
  - the window is closed with Alt+F4 and the program ends;
  - started again in English, it shows the game name, list address and game
    client of the launcher made before (remembered in the folder, not in the
    prefix), refuses a taken group name and a game name that is no file name
    in English.
Tarnwick.xml, ServerInfo.txt and the launcher must then be byte for byte what
the POSIX build of tarnwick-cli writes for the same operations. Before the
session the program is checked for what Windows needs: only system DLLs
imported, a version resource and an icon. Each form is saved as a PNG image.

    operator_under_wine.py --exe tarnwick.exe --cli tarnwick-cli --drag-source drag_source
        --sample Tarnwick.xml --layouts resources/ui --version VERSION
        --screenshots DIR --work DIR

Run it through tools/wine-session.sh with WINEPREFIX and HOME of its own
('make test-windows-gui' does): Wine links the prefix's documents to HOME.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

PATIENCE = 60  # seconds for any one thing to happen
# Where a tab widget's page starts inside it under Wine's Windows style: the
# frame and the tab bar. Clicks aim at widget centres, so a pixel or two of
# another font does not matter.
TAB_PAGE = (2, 23)
# The main window's second top tab (游戏登录器): right of the first one, whose
# caption 服务器列表 takes about 85 pixels.
LAUNCHER_TAB = (135, 18)
MAIN_TITLE = "Velmora登录器配置器"
# What the launcher tab is given, and a restart must show again.
LIST_URL = "http://203.0.113.5:8888/ServerInfo.txt"
CLIENT = "game.exe -s %addr% -p %port%"
NOTICE_RULE = "-" * 27


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(test, what, patience=PATIENCE):
    deadline = time.monotonic() + patience
    while True:
        result = test()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {patience} s")
        time.sleep(0.1)


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, timeout=PATIENCE, **options).stdout


class Layout:
    """Widget rectangles of a form, from its layout file, relative to the form."""

    def __init__(self, path):
        self.rects = {}
        self._walk(ElementTree.parse(path).getroot(), (0, 0), None, top=True)

    def _walk(self, element, origin, parent_class, top=False):
        for child in element:
            if child.tag != "widget":
                self._walk(child, origin, parent_class, top)
                continue
            x, y, width, height = 0, 0, 0, 0
            rect = child.find("property[@name='geometry']/rect")
            if rect is not None and not top:
                x, y, width, height = (int(rect.find(k).text) for k in ("x", "y", "width", "height"))
            if parent_class == "QTabWidget":
                x, y = TAB_PAGE
            at = (origin[0] + x, origin[1] + y)
            self.rects[child.get("name")] = (at[0], at[1], width, height)
            self._walk(child, at, child.get("class"))

    def centre(self, name):
        x, y, width, height = self.rects[name]
        return x + width // 2, y + height // 2


class Hands:
    """The operator's mouse, keyboard and clipboard on one X display."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display)

    def xdotool(self, *arguments):
        return run("xdotool", *arguments, env=self.env).decode()

    def windows(self, title):
        """X windows of Wine's programs with this exact title that are shown."""
        try:
            return self.xdotool("search", "--onlyvisible", "--name", f"^{title}$").split()
        except subprocess.CalledProcessError:
            return []  # none

    def form(self, title, layout, patience=PATIENCE):
        window = wait_for(lambda: self.windows(title), f"window \"{title}\"", patience)[0]
        geometry = dict(line.split("=") for line in self.xdotool("getwindowgeometry", "--shell", window).split())
        return Form(self, title, window, int(geometry["X"]), int(geometry["Y"]), layout)

    def closed(self, title):
        wait_for(lambda: not self.windows(title), f"window \"{title}\" closing")

    def click(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "sleep", "0.2", "click", "1", "sleep", "0.3")

    def keys(self, *keys):
        for key in keys:
            self.xdotool("key", key)
            time.sleep(0.2)

    def type(self, text):
        # Typed characters reach Wine through the keyboard map, which knows
        # Latin letters; other text is pasted.
        check(text.isascii(), f"typing {text!r}: paste it instead")
        self.xdotool("type", "--delay", "40", text)
        time.sleep(0.2)

    def set_clipboard(self, text):
        # xclip stays in the background as the selection's owner until the
        # program takes it over.
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), check=True,
                       env=self.env, timeout=PATIENCE, stdout=subprocess.DEVNULL)

    def clipboard(self):
        done = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True, env=self.env,
                              timeout=PATIENCE)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else ""

    def paste(self, text):
        self.set_clipboard(text)
        time.sleep(0.3)
        self.keys("ctrl+a", "ctrl+v")

    def copied(self, *keys):
        """What the keys put on the clipboard."""
        sentinel = f"nothing copied {time.monotonic()}"
        self.set_clipboard(sentinel)
        time.sleep(0.3)
        self.keys(*keys)
        return wait_for(lambda: (lambda text: text if text != sentinel else "")(self.clipboard()),
                        f"the clipboard after {' '.join(keys)}")

    def notice(self, title):
        """The text of the message box with this title, which is then closed with Enter."""
        self.form(title, None)
        time.sleep(0.5)
        copied = self.copied("ctrl+c")  # a message box copies its caption, text and buttons
        parts = [part.strip("\n") for part in copied.split(NOTICE_RULE)]
        check(len(parts) >= 4 and parts[1] == title, f"message box \"{title}\" copied as {copied!r}")
        self.keys("Return")
        self.closed(title)
        return parts[2].replace("\r", "")


class Form:
    def __init__(self, hands, title, window, x, y, layout):
        self.hands, self.title, self.window, self.x, self.y, self.layout = hands, title, window, x, y, layout

    def click(self, name):
        dx, dy = self.layout.centre(name)
        self.hands.click(self.x + dx, self.y + dy)

    def click_at(self, dx, dy):
        self.hands.click(self.x + dx, self.y + dy)

    def fill(self, name, text):
        self.click(name)
        if text.isascii():
            self.hands.keys("ctrl+a", "BackSpace")
            self.hands.type(text)
        else:
            self.hands.paste(text)

    def read(self, name):
        self.click(name)
        return self.hands.copied("ctrl+a", "ctrl+c")

    def choose_last(self, combo):
        """Opens the drop-down list and takes its last item."""
        self.click(combo)
        self.hands.keys("End", "Return")

    def save_image(self, path):
        with open(path, "wb") as out:
            shot = subprocess.Popen(["xwd", "-silent", "-id", self.window], stdout=subprocess.PIPE, env=self.hands.env)
            pnm = subprocess.Popen(["xwdtopnm"], stdin=shot.stdout, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
            subprocess.run(["pnmtopng"], stdin=pnm.stdout, stdout=out, stderr=subprocess.DEVNULL, check=True)
            shot.wait()
            pnm.wait()


def windows_path(folder, name):
    """A file of this machine's folder as the program names it: Wine's Z: drive."""
    return "Z:" + os.path.join(folder, name).replace("/", "\\")


def wine_program():
    return shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"


def check_program(exe, version):
    """Only DLLs that Windows has (Wine's built-in ones stand for them), a version resource, an icon."""
    dlls = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
    dump = run("x86_64-w64-mingw32-objdump", "-p", exe).decode()
    imports = [line.split("DLL Name:")[1].strip() for line in dump.splitlines() if "DLL Name:" in line]
    for dll in imports:
        # API sets are names that Windows' loader resolves itself.
        check(dll.startswith("api-ms-win-") or os.path.exists(os.path.join(dlls, dll.lower())),
              f"tarnwick.exe needs {dll}, which Windows does not have")
    print(f"imports only system DLLs: {' '.join(imports)}")
    try:
        import pefile
    except ImportError:
        print("python3-pefile is missing: version resource not checked")
        return
    pe = pefile.PE(exe)
    strings = {}
    for info in getattr(pe, "FileInfo", []) or []:
        for part in info:
            for table in getattr(part, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF, fixed.ProductVersionLS >> 16)
    want = {"ProductName": "Tarnwick", "ProductVersion": version, "FileVersion": version}
    wrong = {k: strings.get(k) for k, v in want.items() if strings.get(k) != v}
    check(not wrong and ".".join(map(str, numbers)) == version,
          f"version resource: expected {want} and {version}, found {strings} and {numbers}")
    icons = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]]
    check(icons, "no icon resource")
    print(f"version resource: {strings['ProductName']} {strings['ProductVersion']}; an icon")


def prepare_prefix(wine):
    """Chinese captions need a CJK font, which a fresh prefix lacks: Debian's
    WenQuanYi Micro Hei stands for the families the window asks for. Not Zen
    Hei: Wine draws its embedded 12-pixel bitmaps, which lose strokes."""
    font = run("fc-match", "-f", "%{file}", "WenQuanYi Micro Hei").decode()
    check("wqy-microhei" in font, "WenQuanYi Micro Hei is not installed (fonts-wqy-microhei)")
    fonts = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "Fonts")
    link = os.path.join(fonts, os.path.basename(font))
    if not os.path.lexists(link):
        os.symlink(font, link)
    settings = [("HKCU\\Software\\Wine\\Fonts\\Replacements", family, "REG_SZ", "WenQuanYi Micro Hei")
                for family in ("宋体", "SimSun", "NSimSun")]
    # Windows smooths font edges by default, Wine does not: at 12 pixels,
    # Chinese glyphs drawn without smoothing lose strokes.
    settings += [("HKCU\\Control Panel\\Desktop", "FontSmoothing", "REG_SZ", "2"),
                 ("HKCU\\Control Panel\\Desktop", "FontSmoothingType", "REG_DWORD", "1")]
    for key, name, kind, value in settings:
        run(wine, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f")


def start_display():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-noreset"], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as number:
        display = number.readline().strip()
    check(display, "Xvfb did not start")
    return xvfb, f":{display}"


def replay_on_posix(cli, sample, folder, md5):
    """The same operations through the POSIX build of tarnwick-cli."""
    os.makedirs(folder)
    shutil.copy(sample, os.path.join(folder, "Tarnwick.xml"))
    steps = [["group", "add", "华东一区"],
             ["server", "add", "--group", "华东一区", "--show-name", "青龙一服", "--name", "qinglong1",
              "--addr", "10.0.0.7", "--port", "7100"],
             ["update", "add", "--hint", "地图补丁", "--url", "http://www.example.com/map.pak",
              "--save-name", "map.pak", "--check", "md5", "--md5", md5, "--down-md5", md5],
             ["serverinfo"],
             ["launcher", "--client", CLIENT, "青龙传奇", LIST_URL]]
    for step in steps:
        subprocess.run([cli, "-C", folder, *step], check=True, capture_output=True, timeout=PATIENCE)


def add_group(hands, main, caption, name):
    """增加分组, the name typed into the input box and taken with Enter."""
    main.click("btnAddGroup")
    hands.form(caption, None)
    hands.paste(name)
    hands.keys("Return")


def session(hands, layouts, screenshots, dropped, drag_source, md5, folder):
    # The first start in a new prefix takes a while.
    main = hands.form(MAIN_TITLE, layouts["FormMain"], patience=3 * PATIENCE)
    time.sleep(2)  # the first paint and the fonts
    main.save_image(os.path.join(screenshots, "tarnwick-main.png"))

    # Groups: a name taken is refused, a new one is added.
    add_group(hands, main, "增加", "East")
    check(hands.notice("错误提示") == "该分组已存在！", "the taken group name was not refused")
    add_group(hands, main, "增加", "华东一区")
    hands.closed("增加")

    # A server, refused until its group is chosen.
    hands.keys("alt+a")
    server = hands.form("增加服务器列表", layouts["FormEditServer"])
    server.fill("EditShowName", "青龙一服")
    server.fill("EditName", "qinglong1")
    server.fill("EditAddr", "10.0.0.7")
    server.fill("edtPort", "7100")
    server.save_image(os.path.join(screenshots, "tarnwick-server.png"))
    hands.keys("alt+o")
    check(hands.notice("提示信息") == "请选择服务器分组!", "a server without a group was not refused")
    server.choose_last("ComboBoxServerGroup")
    hands.keys("alt+o")
    hands.closed("增加服务器列表")

    # An update entry: the file dropped from another program, its digest taken over.
    hands.keys("ctrl+Tab", "ctrl+Tab")  # 服务器设置 → 网页设置 → 数据更新设置
    hands.keys("alt+a")
    update = hands.form("增加更新列表", layouts["FormEditUpData"])
    source = subprocess.Popen([drag_source, dropped], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=dict(hands.env, QT_QPA_PLATFORM="xcb"), text=True)
    try:
        check(source.stdout.readline().strip() == "ready", "the drag source did not start")
        box_x, box_y = update.layout.centre("DropFileGroupBox1")
        target = (update.x + box_x, update.y + box_y)
        hands.xdotool("mousemove", "50", "50", "sleep", "0.2", "mousedown", "1", "sleep", "0.2")
        for step in range(1, 11):  # a hand's movement, which the drag follows
            hands.xdotool("mousemove", str(50 + (target[0] - 50) * step // 10),
                          str(50 + (target[1] - 50) * step // 10), "sleep", "0.1")
        hands.xdotool("sleep", "0.5", "mouseup", "1")
        action = source.stdout.readline().strip()
        check(action == "action: copy", f"the drop ended with {action!r}")
    finally:
        source.terminate()
        source.wait()
    # Wine's Z: drive is the root of this machine's files.
    shown_name = update.read("edt1").replace("\\", "/")
    check(shown_name == "Z:" + dropped, f"the dropped file shows as {shown_name!r}")
    shown_md5 = update.read("edt2")
    check(shown_md5 == md5, f"the dropped file's digest shows as {shown_md5!r}, md5sum says {md5}")
    hands.keys("alt+o")
    check(hands.notice("提示信息") == "更新提示不能为空!", "an entry without a hint was not refused")
    update.fill("edtHint", "地图补丁")
    update.fill("EditDownUrl", "http://www.example.com/map.pak")
    update.fill("EditSaveName", "map.pak")
    update.choose_last("cbbCheckType")  # MD5值
    update.click("edt2")
    hands.keys("ctrl+a", "ctrl+c")
    # The MD5 field shows in the check mode's row, where the version was.
    version_x, version_y = update.layout.centre("EditVer")
    md5_x = update.layout.centre("edtMD5")[0]
    update.click_at(md5_x, version_y)
    hands.keys("ctrl+a", "ctrl+v")
    update.save_image(os.path.join(screenshots, "tarnwick-update.png"))
    hands.keys("alt+o")
    hands.closed("增加更新列表")

    # Saved and published.
    hands.keys("alt+s")
    saved = hands.notice("提示信息")
    check(saved == "保存配置成功完成！\n已写入：" + windows_path(folder, "Tarnwick.xml"), f"saving told {saved!r}")
    hands.keys("alt+w")
    written = hands.notice("提示信息")
    check(written == "生成配置成功完成！\n已写入：" + windows_path(folder, "ServerInfo.txt"),
          f"writing ServerInfo.txt told {written!r}")

    # The launcher: a game name that is no file name is the core's failure,
    # written in Chinese; then a Chinese game name.
    main.click_at(*LAUNCHER_TAB)
    check(main.read("GameNameEdit") == "Velmora传奇", "the launcher tab did not open")
    main.fill("GameNameEdit", "青龙|传奇")
    main.click("GenerateLoginButton")
    refused = hands.notice("Tarnwick")
    check(refused.startswith("无法创建文件“") and "青龙|传奇.exe”。这个名字不能用作文件名" in refused
          and refused.endswith("）。"), f"the refused game name read {refused!r}")
    main.fill("GameNameEdit", "青龙传奇")
    main.fill("ServerListEdit", LIST_URL)
    main.fill("GameClientEdit", CLIENT)
    main.save_image(os.path.join(screenshots, "tarnwick-launcher.png"))
    main.click("GenerateLoginButton")
    # Without a key, the launcher trusts whatever the network serves, and says so.
    made = hands.notice("提示信息")
    check(made.startswith("登录器生成成功！\n已写入：" + windows_path(folder, "青龙传奇.exe") + "\n") and "没有签名公钥" in made,
          f"generating the launcher told {made!r}")

    hands.keys("alt+F4")


def english_look(hands, layouts, screenshots):
    """The same program in English: its title, a refusal's notice, then closed."""
    main = hands.form("Velmora Launcher Configurator", layouts["FormMain"])
    time.sleep(2)
    main.save_image(os.path.join(screenshots, "tarnwick-main-en.png"))
    add_group(hands, main, "Add", "East")
    check(hands.notice("Error") == "This group exists already.", "the English refusal did not show")
    # The core's failures in English too.
    main.click_at(*LAUNCHER_TAB)
    remembered = (main.read("GameNameEdit"), main.read("ServerListEdit"), main.read("GameClientEdit"))
    check(remembered == ("青龙传奇", LIST_URL, CLIENT), f"the launcher tab started with {remembered!r}")
    main.fill("GameNameEdit", "a|b")
    main.click("GenerateLoginButton")
    refused = hands.notice("Tarnwick")
    check(refused.startswith("Cannot create file \"") and "a|b.exe\". The name is not allowed as a file name" in refused,
          f"the refused game name read {refused!r}")
    hands.keys("alt+F4")


def main():
    parser = argparse.ArgumentParser()
    for name in ("exe", "cli", "drag-source", "sample", "layouts", "version", "screenshots", "work"):
        parser.add_argument(f"--{name}", required=True)
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    check_program(exe, args.version)

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "operator")
    os.makedirs(folder)
    os.makedirs(args.screenshots, exist_ok=True)
    shutil.copy(args.sample, os.path.join(folder, "Tarnwick.xml"))
    shutil.copy(exe, os.path.join(folder, "tarnwick.exe"))
    # A file to drop, under a Chinese name, in a folder outside the working one.
    dropped = os.path.join(work, "补丁文件", "地图补丁.pak")
    os.makedirs(os.path.dirname(dropped))
    with open(dropped, "wb") as f:
        f.write(os.urandom(3 * 1024 * 1024 + 17))
    md5 = hashlib.md5(open(dropped, "rb").read()).hexdigest()
    md5sum = run("md5sum", dropped).decode().split()[0]
    check(md5 == md5sum, "md5sum disagrees with Python")
    layouts = {name: Layout(os.path.join(args.layouts, f"{name}.ui"))
               for name in ("FormMain", "FormEditServer", "FormEditUpData")}

    wine = wine_program()
    prepare_prefix(wine)
    xvfb, display = start_display()
    hands = Hands(display)
    program = None
    try:
        log = open(os.path.join(work, "tarnwick.log"), "wb")
        # Chinese as on a Chinese Windows (Wine's own language follows this
        # machine's locale, which need not be Chinese).
        program = subprocess.Popen([wine, "tarnwick.exe", "--language", "zh_CN"], cwd=folder, env=hands.env,
                                   stdout=log, stderr=log)
        session(hands, layouts, os.path.abspath(args.screenshots), dropped, os.path.abspath(args.drag_source), md5,
                folder)
        status = program.wait(timeout=PATIENCE)
        check(status == 0, f"tarnwick.exe ended with status {status}")
        program = subprocess.Popen([wine, "tarnwick.exe", "--language", "en"], cwd=folder, env=hands.env,
                                   stdout=log, stderr=log)
        english_look(hands, layouts, os.path.abspath(args.screenshots))
        status = program.wait(timeout=PATIENCE)
        check(status == 0, f"tarnwick.exe in English ended with status {status}")
    finally:
        if program and program.poll() is None:
            program.kill()
        xvfb.kill()

    posix = os.path.join(work, "posix")
    replay_on_posix(os.path.abspath(args.cli), args.sample, posix, md5)
    for name in ("Tarnwick.xml", "ServerInfo.txt", "青龙传奇.exe"):
        with open(os.path.join(folder, name), "rb") as a, open(os.path.join(posix, name), "rb") as b:
            check(a.read() == b.read(), f"{name} differs from what tarnwick-cli writes on this machine")
        print(f"{name}: the same bytes as tarnwick-cli's")
    print("operator session under Wine: passed")


if __name__ == "__main__":
    try:
        main()
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as failure:
        print(f"operator_under_wine: {failure}", file=sys.stderr)
        sys.exit(1)
