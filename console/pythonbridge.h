// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The one embedded Python interpreter of the process, seen from Qt code.
// No Python header is included here, so any file may include this one.
#include <QString>

#include <functional>

class PythonVeltoObject;
class PythonVeltoObjectAWG;

namespace PythonBridge {

// Where a statement's output and tracebacks go; `error` marks standard error.
using OutputSink = std::function<void(const QString &text, bool error)>;

enum class Outcome {
    Done,        // ran to its end
    Failed,      // raised; the traceback went to the sink
    Exit,        // raised SystemExit: the program is asked to end
    Busy,        // another statement is running; nothing was run
    Unavailable, // the interpreter could not start; nothing was run
};

// Starts the interpreter the first time it is called; later calls return at
// once. The interpreter lives until finalize(): PyQt5 cannot be imported into
// a second one. False (and a log line) when it cannot start.
bool initialize();
bool isInitialized();
// The version of the embedded Python, "3.11.2" say.
QString versionText();
// Ends the interpreter. Called once at the end of the process, after every
// widget a script could have connected a Python function to is gone.
void finalize();

// Publishes the two script objects in the main module as `velto` and
// `veltoAWG`. A name whose object is deleted later raises RuntimeError when
// called instead of reaching freed memory.
void publish(PythonVeltoObject *velto, PythonVeltoObjectAWG *awg);

// The sink of output written while no statement of a console runs (a Python
// function connected to a button, say); null sends it to the log.
void setIdleSink(const OutputSink &sink);

// Runs `code` as a statement sequence in the main module; `fileName` names
// it in tracebacks.
Outcome runStatements(const QString &code, const QString &fileName, const OutputSink &sink);
// Runs the text of the script file at `path` (absolute) in the main module,
// with `__file__` set to `path` and its folder first on `sys.path`. The
// working folder of the process is not touched.
Outcome runScript(const QString &code, const QString &path, const OutputSink &sink);
// After Exit: the status SystemExit asked for; after Failed: 1.
int exitStatus();
// After Failed: the traceback shown; after Exit: the text SystemExit was
// given instead of a status, or empty.
QString lastErrorText();
// One line typed at the prompt; `needMore` tells whether the statement goes on.
Outcome pushLine(const QString &line, const OutputSink &sink, bool *needMore);
// Forgets a statement typed half-way.
void resetInput();

bool isRunning();
// Raises KeyboardInterrupt in the running statement at its next step.
void interrupt();
// Raises SystemExit(status) in the running statement at its next step: the
// program is ending. Nothing when no statement runs.
void requestExit(int status);
// Waits `milliseconds` with the window alive; false when interrupted or an
// exit is requested.
bool waitInterruptibly(unsigned long long milliseconds);

} // namespace PythonBridge
