"""Runs the scripts of this folder for a test program, many times from one
Python that has ezdxf loaded already: a test program starts one server and
sends it every tool run it needs, instead of starting Python (and importing
ezdxf, most of the cost) for each.

usage: tool_server.py   (requests on stdin, answers on stdout)

First it writes one line: "ready ezdxf=1" (or "ezdxf=0" when ezdxf cannot
be imported). Then, for each request until stdin ends:
  request: "LENGTH\\n" and LENGTH bytes of fields separated by NUL: the
           tool's name (NAME.py beside this script), the folder to run in,
           its arguments as a shell would take them (quotes as the shell's),
           then the environment as NAME=VALUE entries;
  answer:  "STATUS LENGTH\\n" and LENGTH bytes: what the tool wrote on its
           standard output and error, in one stream.
Each run is a child process forked from the server: it has the modules
loaded, and what one run changes (ezdxf's options, the folder, the
environment) the next one does not see, as with a process of its own.
"""
import os
import runpy
import shlex
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))

try:
    # What the tools import, loaded once.
    import ezdxf  # noqa: F401
    import ezdxf.enums  # noqa: F401
    import ezdxf.filemanagement  # noqa: F401
    import ezdxf.recover  # noqa: F401

    HAVE_EZDXF = True
except ImportError:
    HAVE_EZDXF = False


def run_tool(fields):
    """In the forked child: runs the tool with its output on fd 1; returns
    the exit status."""
    name, cwd, args = (os.fsdecode(f) for f in fields[:3])
    os.chdir(cwd)
    os.environ.clear()
    for entry in fields[3:]:
        key, _, value = entry.partition(b"=")
        os.environb[key] = value
    script = os.path.join(HERE, name + ".py")
    sys.argv = [script] + shlex.split(args)
    sys.path[0] = HERE
    try:
        runpy.run_path(script, run_name="__main__")
    except SystemExit as e:
        if e.code is None:
            return 0
        if isinstance(e.code, int):
            return e.code
        print(e.code, file=sys.stderr)
        return 1
    except BaseException:  # noqa: BLE001 - reported as the interpreter would
        traceback.print_exc()
        return 1
    return 0


def serve(requests, answers):
    answers.write(b"ready ezdxf=%d\n" % HAVE_EZDXF)
    answers.flush()
    while True:
        header = requests.readline()
        if not header:
            return
        fields = requests.read(int(header)).split(b"\0")
        read_end, write_end = os.pipe()
        sys.stdout.flush()
        sys.stderr.flush()
        pid = os.fork()
        if pid == 0:
            status = 1
            try:
                os.close(read_end)
                null = os.open(os.devnull, os.O_RDONLY)
                os.dup2(null, 0)
                os.dup2(write_end, 1)
                os.dup2(write_end, 2)
                status = run_tool(fields)
            except BaseException:  # noqa: BLE001
                traceback.print_exc()
            finally:
                try:
                    sys.stdout.flush()
                    sys.stderr.flush()
                finally:
                    os._exit(status & 0xFF)
        os.close(write_end)
        chunks = []
        while True:
            chunk = os.read(read_end, 1 << 16)
            if not chunk:
                break
            chunks.append(chunk)
        os.close(read_end)
        _, wait_status = os.waitpid(pid, 0)
        status = os.waitstatus_to_exitcode(wait_status)
        if status < 0:
            status = 128 - status  # as a shell reports a signal
        output = b"".join(chunks)
        answers.write(b"%d %d\n" % (status, len(output)))
        answers.write(output)
        answers.flush()


if __name__ == "__main__":
    # The answers go out on the real stdout; the tools' own output never
    # reaches it (each run has fd 1 and 2 of its own).
    answers = os.fdopen(os.dup(1), "wb")
    os.dup2(2, 1)
    serve(sys.stdin.buffer, answers)
