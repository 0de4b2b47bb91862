// The "serve" command of the ctrlsch program: the session of the command
// line behind a local web page.
#pragma once

#include <string>
#include <vector>

namespace app {

// ctrlsch serve [FILE.dxf] [--port N]: opens a session as the interactive
// command line does (a new drawing, or FILE) and serves it on 127.0.0.1,
// port N or, without --port or with 0, a free port the system chooses. The
// first line on stdout is the page's address with its access token
// (http://127.0.0.1:PORT/?token=TOKEN, 32 hex digits from the system's
// random source); every request must carry the token (query token= or
// header X-Ctrlsch-Token) and name the server by 127.0.0.1:PORT or
// localhost:PORT as its Host, or it is refused (403).
//
//   GET  /                  the page: drawing, command input, transcript
//   GET  /api/drawing.svg   the model space as SVG
//   POST /api/command       {"line": "..."}: the line as typed at the
//                           command prompt; answers {"output": "..."}, what
//                           the command line printed until it asked for
//                           the next line
//   GET  /api/transcript    {"transcript": "..."}, all it printed so far
//
// The host and the module live on the calling thread only; requests hand
// it their work and wait. QUIT, the end of the session, SIGINT and SIGTERM
// stop the server (the drawing is not saved). Returns an exit status.
int serveCommand(const std::vector<std::string>& args);

} // namespace app
