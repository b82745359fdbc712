#!/usr/bin/env python3
"""The install wizard used as a person would, by the test driver (qevdrive) under Wine: the
product and GUItext.ini texts of each page, the button captions and states, the licence gate, the
component tree and its descriptions, the quit question (No stays, Yes ends with the quit code), the
page order with pages switched off, the "ml" directory checks and their messages, the browsed
folder with its appended name, an install into the folder typed over the one the path switch put
into the path box, and the finish
options and "finish" sections that Finish runs.
Usage: wizard_pages.py QEVPACK SETUP.EXE QEVDRIVE.EXE RUN.SH PREFIX WORK-FOLDER"""
import os
import shutil
import sys
import time

from qevtest import Display, Harness

qevpack, setup, drive, run_sh, prefix, work = sys.argv[1:7]
h = Harness(qevpack, setup, run_sh, prefix, work)
display = Display()
root = h.unix_path("C:\\")
base = os.path.join(root, "QevWizard")
shutil.rmtree(base, ignore_errors=True)
os.makedirs(os.path.join(base, "Host"))
with open(os.path.join(base, "Host", "app.exe"), "wb") as f:
    f.write(b"MZ")

PRODUCT = {"app.exe": b"MZ" + b"app" * 1000, "docs/manual.txt": b"manual\r\n" * 20,
           "readme.txt": b"readme"}


def windows(path):
    """A path of this machine as the prefix sees it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def drive_wizard(name, installer, steps, arguments=""):
    """Runs the driver on `installer` with `steps` (text); returns the driver's exit status."""
    script = os.path.join(work, name + ".steps")
    with open(script, "w", encoding="utf-8") as f:
        f.write(f'start "{windows(installer)}" {arguments}\n' + steps)
    status, out = h.wine(drive, windows(script), timeout=300)
    text = out.decode("utf-8", "replace")
    print(f"---- {name}\n{text}", end="" if text.endswith("\n") else "\n", flush=True)
    h.check(status == 0, f"{name}: every step of the driver passed")
    return status


def wait_for_file(path, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not os.path.exists(path):
        time.sleep(0.2)
    return os.path.exists(path)


# ---- every page, GUItext.ini texts, licence, tree, typed folder, finish options ----
installer, _, _ = h.package("full", """
[product]
name = 示例
version = 2.0
company = 测试公司
main_program = app.exe
install_dir = C:\\QevWizard\\Default
licence = licence.txt
show_space = yes
previous_location = no
switch_path = /D=
[package]
output = wizard-full.exe
[texts]
欢迎0 = 欢迎来到 墨桐软件 版本
协议0 = 请读协议
组件0 = 被替换的标题
[component]
name = 主程序
describe = 主程序的文件
finish = [真]cmd /c echo section> C:\\QevWizard\\finish-section.txt
[component]
name = 文档
checked = no
install = [假]removezip(docs)
describe = 说明文档
[finish_option]
title = 写下完成记录
command = cmd /c echo finished> **%InstallPath%\\finish-option.txt**
visible = yes
checked = yes
[finish_option]
title = 不运行的选项
command = cmd /c echo no> C:\\QevWizard\\unticked.txt
visible = yes
checked = yes
""", PRODUCT, extra={"licence.txt": "第一条：示例协议正文。\n第二条：其余条款。\n".encode("utf-8")})

drive_wizard("full", installer, """
window 示例2.0-安装向导
expect 欢迎来到 示例 2.0
expect ~这个向导将指引你完成“示例2.0”的安装进程。
button 下一步(&N) shown enabled default
button 上一步(&P) hidden
button 取消(&C) shown enabled
click 取消(&C)
box "当前未完成安装 示例2.0，是否退出安装？" 示例2.0-安装向导
answer no
nobox
alive
click 下一步(&N)
wait 请读协议
expect 在安装“示例”之前，请阅读授权协议
expect ~第一条：示例协议正文。
expect ~测试公司 ——
button 我接受(&I) shown disabled notdefault
button 上一步(&P) shown enabled
button 同意本协议的条款 shown unchecked
click 同意本协议的条款
button 我接受(&I) enabled
click 我接受(&I)
wait 选择组件
absent 被替换的标题
expect 选择你想要安装“示例2.0“的那些功能。
expect 请选择相应选项后即可生成对应信息
tree
ticked 主程序
unticked 文档
select 文档
expect 说明文档
select 主程序
expect 主程序的文件
point 400 250
expect 请选择相应选项后即可生成对应信息
absent 主程序的文件
tick 文档
ticked 文档
untick 文档
unticked 文档
click 上一步(&P)
wait 请读协议
button 我接受(&I) enabled
click 我接受(&I)
wait 选择组件
button 下一步(&N) enabled default
click 下一步(&N)
wait 选择安装位置
expect 选择“示例2.0”的安装文件夹
expect ~安装向导将安装 “示例2.0” 在下列文件夹。
field 1 C:\\QevWizard\\FromSwitch
expect ~所需空间: 
expect ~可用空间: 
button 安装(&I) enabled default
type 1 C:\\QevWizard\\Typed
click 安装(&I)
wait 完成(&F) 120
expect 已完成 示例 2.0-安装程序
expect ~“示例 2.0”已安装在您的系统。
button 完成(&F) enabled
button 上一步(&P) hidden
button 取消(&C) disabled
button 写下完成记录 checked
click 不运行的选项
button 不运行的选项 unchecked
click 完成(&F)
exit 0
""", arguments="/D=C:\\QevWizard\\FromSwitch")
h.wait_server()
typed = os.path.join(base, "Typed")
h.check(os.path.isfile(os.path.join(typed, "app.exe")), "full: installed into the typed folder")
h.check(not os.path.exists(os.path.join(typed, "docs")), "full: the unticked component's files stayed out")
h.check(not os.path.exists(os.path.join(base, "Default")) and
        not os.path.exists(os.path.join(base, "FromSwitch")),
        "full: nothing went to the configured folder or the path switch's")
h.check(wait_for_file(os.path.join(typed, "finish-option.txt")), "full: the ticked finish option ran")
h.check(wait_for_file(os.path.join(base, "finish-section.txt")), "full: the finish section ran")
h.check(not os.path.exists(os.path.join(base, "unticked.txt")), "full: the unticked option did not run")

# ---- pages switched off, "ml" checks, browse with the appended folder, quit ----
installer, _, _ = h.package("checks", """
[product]
name = 检查
version = 1
install_dir = C:\\QevWizard\\中文目录
previous_location = no
components_page = no
no_double_byte_path = 真
required_entry = 真,app.exe
browse_folder_name = Product
auto_append_folder = yes
[package]
output = wizard-checks.exe
""", PRODUCT)

drive_wizard("checks", installer, """
window 检查1-安装向导
click 下一步(&N)
wait 选择安装位置
button 上一步(&P) shown enabled
button 安装(&I) enabled
field 1 C:\\QevWizard\\中文目录
click 安装(&I)
box 选择的路径含有中文字符，请重新选择 信息：
answer ok
wait 选择安装位置
button 安装(&I) enabled
button 上一步(&P) enabled
type 1 C:\\QevWizard
click 安装(&I)
box 选择的路径有误，请重新选择 信息：
answer ok
type 1 c:\\qevwizard\\host\\
click 浏览(&B)...
box 请选择安装目录
answer ok
field 1 C:\\QevWizard\\Host\\Product
type 1
click 安装(&I)
box 请先填写好完整的安装路径后再执行下一步操作！ 检查1-安装向导
answer ok
click 上一步(&P)
wait "~欢迎使用 检查 1"
button 上一步(&P) hidden
click 取消(&C)
box ~是否退出安装？
answer yes
exit 6
""")
h.check(not os.path.exists(os.path.join(base, "中文目录")), "checks: nothing installed")

# ---- every choice switched off: Next on the welcome page installs ----
installer, _, _ = h.package("direct", """
[product]
name = 直接
version = 3
install_dir = C:\\QevWizard\\Direct
previous_location = no
components_page = no
directory_page = no
[package]
output = wizard-direct.exe
""", PRODUCT)

drive_wizard("direct", installer, """
window 直接3-安装向导
click 下一步(&N)
wait 完成(&F) 120
click 完成(&F)
exit 0
""")
h.check(os.path.isfile(os.path.join(base, "Direct", "app.exe")), "direct: installed from the welcome page")

display.close()
shutil.rmtree(base, ignore_errors=True)
sys.exit(h.exit_code())
