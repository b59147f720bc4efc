#!/usr/bin/env python3
# stashbook-cli add-account on a terminal: the password is asked twice with
# echo off (neither typing shows), is never on the command line (ps), and is
# what the accounts file then holds.
import os, pty, signal, sys, tempfile

cli, secret = sys.argv[1], b"s3cret-Pw"
folder = tempfile.mkdtemp()
for name, text in (("SB-Sites.DaT", b'"News","n"\r\n'), ("SB-Acnts.DaT", b"")):
    open(os.path.join(folder, name), "wb").write(text)
signal.alarm(20)  # a prompt that loses what was typed waits forever
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli, "--data-dir", folder, "add-account", "News", "zed"])
shown = b""
for prompt in (b"Password: ", b"Password again: "):
    while not shown.endswith(prompt):
        shown += os.read(fd, 100)
    argv = open(f"/proc/{pid}/cmdline", "rb").read()
    assert secret not in argv, argv
    os.write(fd, secret + b"\n")
while True:
    try:
        chunk = os.read(fd, 100)
    except OSError:
        break
    if not chunk:
        break
    shown += chunk
status = os.waitpid(pid, 0)[1]
assert os.waitstatus_to_exitcode(status) == 0, shown
assert secret not in shown, shown
assert shown.endswith(b"Added account 'zed' to 'News'.\r\n"), shown
assert open(os.path.join(folder, "SB-Acnts.DaT"), "rb").read() == b'"News","zed","s3cret-Pw",""\r\n'
