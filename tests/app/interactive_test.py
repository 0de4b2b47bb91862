#!/usr/bin/env python3
"""The interactive command line in a pseudo-terminal, as a user types at it.

ctrlsch runs on a pty with a settings file of a temporary folder. Checked:
the line editor's prompt is the host's ("命令: "), so a line recalled with
Up and redrawn with Ctrl-L stands after the prompt; Ctrl-C at a waiting
prompt cancels it (the program goes on), and at the command prompt shows a
fresh one; QUIT after a change asks whether to save, C goes back to the
command prompt, Ctrl-D there asks again, and N quits with status 0. Every read has a deadline; the whole test ends within 30 s.

Usage: interactive_test.py PATH/TO/ctrlsch. Exit status 77 (skipped) when
no pseudo-terminal can be opened.
"""
import os
import select
import signal
import struct
import sys
import tempfile
import time

SKIP = 77
OVERALL_SECONDS = 30
PROMPT = "命令: ".encode()


class Failure(Exception):
    pass


class Terminal:
    """The program on a pty: what it wrote, and keys to type."""

    def __init__(self, program, env):
        import fcntl
        import pty
        import termios

        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            try:
                # 24 rows of 120 columns, set before the program asks.
                fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 120, 0, 0))
                os.execve(program, [program], env)
            finally:
                os._exit(127)
        self.output = b""
        self.status = None

    def type(self, keys):
        os.write(self.fd, keys.encode() if isinstance(keys, str) else keys)

    def read_until(self, wanted, start, seconds=10.0):
        """Reads until wanted is in the output after offset start; returns
        the offset just after it."""
        deadline = time.monotonic() + seconds
        while True:
            at = self.output.find(wanted, start)
            if at >= 0:
                return at + len(wanted)
            left = deadline - time.monotonic()
            if left <= 0 or not self._read(left):
                raise Failure("waited for %r after offset %d; the terminal shows:\n%s"
                              % (wanted, start, self.output[start:].decode(errors="replace")))

    def _read(self, seconds):
        ready, _, _ = select.select([self.fd], [], [], seconds)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 4096)
        except OSError:  # EIO: the program closed the terminal
            return False
        self.output += data
        return bool(data)

    def wait_exit(self, seconds=10.0):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = status
                return status
            self._read(0.1)
        raise Failure("the program did not end; the terminal shows:\n"
                      + self.output.decode(errors="replace"))

    def kill(self):
        if self.status is None:
            try:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
            except OSError:
                pass
        os.close(self.fd)


def check(condition, message, term):
    if not condition:
        raise Failure(message + "; the terminal shows:\n" + term.output.decode(errors="replace"))


def session(term):
    at = term.read_until(PROMPT, 0, 20.0)

    # A line typed and run.
    term.type('(getvar "pickbox")\r')
    at = term.read_until(b"3\r\n", at)
    at = term.read_until(PROMPT, at)

    # Up recalls it; Ctrl-L clears the screen and draws the line again:
    # the prompt, then the recalled line after it.
    term.type(b"\x1b[A")
    at = term.read_until(b'(getvar "pickbox")', at)
    term.type(b"\x0c")
    at = term.read_until(PROMPT + b'(getvar "pickbox")', at)
    term.type("\r")
    at = term.read_until(b"3\r\n", at)
    at = term.read_until(PROMPT, at)

    # Ctrl-C at a prompt that waits for a point cancels it; the program
    # answers the next command.
    term.type("PLINE\r")
    at = term.read_until("指定起点: ".encode(), at)
    term.type("1,")
    term.read_until(b"1,", at)
    term.type(b"\x03")
    at = term.read_until("^C\r\n*取消*\r\n".encode(), at)
    at = term.read_until(PROMPT, at)
    term.type('(getvar "pickbox")\r')
    at = term.read_until(b"3\r\n", at)
    at = term.read_until(PROMPT, at)

    # Ctrl-C at the command prompt, with text typed: a fresh prompt.
    term.type("FROB")
    term.read_until(b"FROB", at)
    term.type(b"\x03")
    at = term.read_until("*取消*\r\n".encode() + PROMPT, at)
    check("未知命令".encode() not in term.output, "the cancelled text ran", term)

    # A change, then QUIT asks whether to save it; N quits.
    term.type("PLINE 0,0 10,0\r")
    at = term.read_until(b"10,0\r\n", at)
    term.type("\r")
    at = term.read_until(PROMPT, at)
    question = "是否将改动保存到 Drawing1.dwg？[是(Y)/否(N)/取消(C)] <是>: ".encode()
    term.type("QUIT\r")
    at = term.read_until(question, at)
    # Cancel: back at the command prompt, where Ctrl-D is QUIT.
    term.type("C\r")
    at = term.read_until(PROMPT, at)
    term.type(b"\x04")
    at = term.read_until(PROMPT + b"QUIT\r\n" + question, at - len(PROMPT))
    term.type("N\r")
    status = term.wait_exit()
    check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0,
          "the program ended with status %r" % status, term)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as folder:
        # No bracketed-paste marks around each line read: the transcript
        # is the text.
        inputrc = os.path.join(folder, "inputrc")
        with open(inputrc, "w") as f:
            f.write("set enable-bracketed-paste off\n")
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": folder,
            "TERM": "xterm",
            "LANG": "C.UTF-8",
            "INPUTRC": inputrc,
            "CTRLSCH_SETTINGS": os.path.join(folder, "settings.json"),
        }
        for name in ("CTRLSCH_MODULE", "LD_LIBRARY_PATH"):
            if name in os.environ:
                env[name] = os.environ[name]
        try:
            term = Terminal(program, env)
        except (OSError, ImportError) as e:
            print("SKIPPED: no pseudo-terminal can be opened here: %s" % e)
            return SKIP

        def overdue(signum, frame):
            raise Failure("the session took longer than %d s" % OVERALL_SECONDS)

        signal.signal(signal.SIGALRM, overdue)
        signal.alarm(OVERALL_SECONDS)
        try:
            session(term)
        except Failure as e:
            print("FAILED:", e)
            return 1
        finally:
            signal.alarm(0)
            term.kill()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
