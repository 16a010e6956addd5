// SPDX-License-Identifier: GPL-3.0-only
// Python's headers come before any Qt header: Qt's `slots` macro breaks them.
#include <pybind11/embed.h>
#include <pybind11/functional.h>

#include "console/pythonbridge.h"

#include "base/logging.h"
#include "console/pythonveltoobject.h"
#include "console/pythonveltoobjectawg.h"
#include "core/decode/decoderlibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <climits>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <pthread.h>
#include <mutex>
#include <thread>
#include <vector>

namespace py = pybind11;

// Python's str and Qt's text, both ways, through UTF-8.
namespace pybind11 {
namespace detail {
template <> struct type_caster<QString> {
    PYBIND11_TYPE_CASTER(QString, const_name("str"));
    bool load(handle source, bool)
    {
        if (!source || !PyUnicode_Check(source.ptr()))
            return false;
        Py_ssize_t size = 0;
        const char *text = PyUnicode_AsUTF8AndSize(source.ptr(), &size);
        if (!text) {
            PyErr_Clear();
            return false;
        }
        value = QString::fromUtf8(text, static_cast<int>(size));
        return true;
    }
    static handle cast(const QString &text, return_value_policy, handle)
    {
        const QByteArray bytes = text.toUtf8();
        return PyUnicode_FromStringAndSize(bytes.constData(), bytes.size());
    }
};
} // namespace detail
} // namespace pybind11

namespace {

// --- State of the one interpreter -------------------------------------------

bool started = false;
bool startFailed = false;
// The interpreter was started by the decoder library, which also ends it;
// otherwise the console started it and keeps the main thread's state here
// while the main thread runs no Python.
bool attached = false;
PyThreadState *mainThreadState = nullptr;
std::atomic<int> runDepth{0};
std::atomic<bool> interruptRequested{false};
// The status the running statement is to leave with (SystemExit), or noExit.
constexpr int noExit = -1;
std::atomic<int> exitRequested{noExit};
PythonBridge::OutputSink currentSink;
PythonBridge::OutputSink idleSink;
// How the last statement ended when it raised.
int lastStatus = 0;
QString lastError;

// While a statement runs, a helper thread has the interpreter call `pump`
// every 100 ms between two of its steps: the window stays painted, its
// timers tick, and an interrupt typed in the console is raised in the
// statement. The call travels as SIGUSR2 sent to the main thread, whose
// handler is Python's; a blocking call it interrupts is retried.
struct Watchdog {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread *thread = nullptr;
    pthread_t mainThread;
} watchdog;

bool stopPending()
{
    return interruptRequested || exitRequested != noExit;
}

// Sets the Python error of a pending exit or interrupt; false when none is pending.
bool setPendingStop()
{
    const int status = exitRequested.exchange(noExit);
    if (status != noExit) {
        PyErr_SetObject(PyExc_SystemExit, py::int_(status).ptr());
        return true;
    }
    if (interruptRequested.exchange(false)) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return true;
    }
    return false;
}

void pump()
{
    if (!stopPending()) {
        // The decoders' thread runs Python too: the window's events are
        // handled with the GIL free (a Python slot takes it back itself).
        py::gil_scoped_release release;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (setPendingStop())
        throw py::error_already_set();
}

// Run by the interpreter at its next step once requestExit asked for it.
int raisePendingExit(void *)
{
    if (runDepth == 0 || exitRequested == noExit)
        return 0;
    return setPendingStop() ? -1 : 0;
}

bool onMainThread()
{
    return pthread_equal(pthread_self(), watchdog.mainThread) != 0;
}

void watchdogLoop()
{
    std::unique_lock<std::mutex> lock(watchdog.mutex);
    while (!watchdog.stop) {
        watchdog.wake.wait_for(lock, std::chrono::milliseconds(100));
        // To the main thread itself: a signal Python notes on another thread
        // waits until something else stops its loop.
        if (!watchdog.stop && runDepth > 0)
            pthread_kill(watchdog.mainThread, SIGUSR2);
    }
}

void deliver(const PythonBridge::OutputSink &sink, const QString &text, bool error)
{
    if (sink)
        sink(text, error);
    else if (idleSink)
        idleSink(text, error);
    else
        VELTO_LOG(QStringLiteral("Python: ") + text.trimmed(), error ? 2 : 1);
}

void emitOutput(const QString &text, bool error)
{
    // A Python thread of a script prints too: its text is shown from the
    // main thread, in order, where the widgets live.
    if (!onMainThread()) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [text, error] { emitOutput(text, error); }, Qt::QueuedConnection);
        return;
    }
    deliver(currentSink, text, error);
}

// --- Qt objects as PyQt5 objects ------------------------------------------

// The PyQt5 wrapper of `object`, of the most specific toolkit class it
// derives from; None for a null pointer.
py::object toPyQt(QObject *object)
{
    if (!object)
        return py::none();
    py::module_ sip = py::module_::import("PyQt5.sip");
    const py::module_ modules[] = {py::module_::import("PyQt5.QtWidgets"), py::module_::import("PyQt5.QtGui"),
                                   py::module_::import("PyQt5.QtCore")};
    for (const QMetaObject *meta = object->metaObject(); meta; meta = meta->superClass()) {
        const char *name = meta->className();
        for (const py::module_ &module : modules) {
            if (py::hasattr(module, name))
                return sip.attr("wrapinstance")(reinterpret_cast<std::uintptr_t>(object), module.attr(name));
        }
    }
    return py::none();
}

// The QObject behind a PyQt5 object; a TypeError for anything else.
QObject *fromPyQt(const py::handle &value, const char *slot)
{
    py::module_ sip = py::module_::import("PyQt5.sip");
    py::object qobject = py::module_::import("PyQt5.QtCore").attr("QObject");
    if (!py::isinstance(value, qobject))
        throw py::type_error(std::string(slot) + "(): the first argument must be a Qt object, not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    if (sip.attr("isdeleted")(value).cast<bool>())
        throw py::value_error(std::string(slot) + "(): the Qt object has been deleted");
    return reinterpret_cast<QObject *>(sip.attr("unwrapinstance")(value).cast<std::uintptr_t>());
}

// A script's handle on an object the console owns: calling it after the
// console is closed raises instead of reaching freed memory. The objects
// drive widgets, which live on the main thread: a script's own Python
// thread is refused.
template <typename T> struct Handle {
    QPointer<T> object;
    T *get() const
    {
        if (!onMainThread())
            throw std::runtime_error("Velto's objects can only be used from the script's main thread");
        if (!object)
            throw std::runtime_error("the Python console that published this object is closed");
        return object.data();
    }
};
using VeltoHandle = Handle<PythonVeltoObject>;
using AwgHandle = Handle<PythonVeltoObjectAWG>;

double finite(double value, const char *slot)
{
    if (!std::isfinite(value))
        throw py::value_error(std::string(slot) + "(): the value must be a finite number");
    return value;
}

// Waits through `wait` with the interpreter free for the script's other
// threads; a wait cut short raises what cut it: Ctrl+C or the window's Exit.
template <typename Wait> void waitReleased(const VeltoHandle &handle, Wait wait)
{
    PythonVeltoObject *velto = handle.get();
    bool completed = false;
    {
        py::gil_scoped_release release;
        completed = wait(velto);
    }
    if (completed)
        return;
    if (!setPendingStop())
        PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
}

} // namespace

PYBIND11_EMBEDDED_MODULE(velto_console, m)
{
    m.def("emit", [](const QString &text, bool error) { emitOutput(text, error); });
    m.def("pump", &pump);

    py::class_<VeltoHandle>(m, "PythonVeltoObject")
        .def("getMainModule", [](const VeltoHandle &) { return py::module_::import("__main__"); })
        .def("createWindow", [](const VeltoHandle &h) { return toPyQt(h.get()->createWindow()); })
        .def("findChild",
             [](const VeltoHandle &h, const py::object &o, const QString &name) {
                 return toPyQt(h.get()->findChild(fromPyQt(o, "findChild"), name));
             })
        .def("refresh", [](const VeltoHandle &h) { h.get()->refresh(); })
        .def("sleep",
             [](const VeltoHandle &h, double sec) {
                 if (!(sec >= 0) || !std::isfinite(sec))
                     throw py::value_error("sleep(): the seconds must be a finite number, 0 or more");
                 waitReleased(h, [sec](PythonVeltoObject *velto) { return velto->sleep(sec); });
             })
        .def("msleep",
             [](const VeltoHandle &h, unsigned long msec) {
                 waitReleased(h, [msec](PythonVeltoObject *velto) { return velto->msleep(msec); });
             })
        .def("getVersion", [](const VeltoHandle &h) { return h.get()->getVersion(); })
        .def("getBufferSize", [](const VeltoHandle &h) { return h.get()->getBufferSize(); })
        // Beyond the window's own methods: the window itself, so that a script
        // can look up its controls (and trigger its "Exit").
        .def("mainWindow", [](const VeltoHandle &h) { return toPyQt(h.get()->mainWindow()); });

    py::class_<AwgHandle> awg(m, "PythonVeltoObjectAWG");
    awg.def("getMainModule", [](const AwgHandle &) { return py::module_::import("__main__"); })
        .def("findChild", [](const AwgHandle &h, const py::object &o, const QString &name) {
            return toPyQt(h.get()->findChild(fromPyQt(o, "findChild"), name));
        });
    using Click = void (PythonVeltoObjectAWG::*)();
    const std::pair<const char *, Click> clicks[] = {
        {"setWaveformSquare", &PythonVeltoObjectAWG::setWaveformSquare},
        {"setWaveformSine", &PythonVeltoObjectAWG::setWaveformSine},
        {"setWaveformExpo", &PythonVeltoObjectAWG::setWaveformExpo},
        {"setWaveformTriangle", &PythonVeltoObjectAWG::setWaveformTriangle},
        {"setWaveformConstant", &PythonVeltoObjectAWG::setWaveformConstant},
        {"setWaveformCustom", &PythonVeltoObjectAWG::setWaveformCustom},
        {"setWaveformWhiteNoise", &PythonVeltoObjectAWG::setWaveformWhiteNoise},
        {"setWaveformPinkNoise", &PythonVeltoObjectAWG::setWaveformPinkNoise},
        {"setSweepTypeFrequency", &PythonVeltoObjectAWG::setSweepTypeFrequency},
        {"setSweepTypeAmplitude", &PythonVeltoObjectAWG::setSweepTypeAmplitude},
        {"setSweepTypeDutyCycle", &PythonVeltoObjectAWG::setSweepTypeDutyCycle},
        {"setSweepTypeOffset", &PythonVeltoObjectAWG::setSweepTypeOffset},
        {"setSweepDirectionRising", &PythonVeltoObjectAWG::setSweepDirectionRising},
        {"setSweepDirectionPingPong", &PythonVeltoObjectAWG::setSweepDirectionPingPong},
        {"setSweepDirectionFaling", &PythonVeltoObjectAWG::setSweepDirectionFaling},
    };
    for (const auto &click : clicks) {
        const Click slot = click.second;
        awg.def(click.first, [slot](const AwgHandle &h) { (h.get()->*slot)(); });
    }
    using Number = void (PythonVeltoObjectAWG::*)(double);
    const std::pair<const char *, Number> numbers[] = {
        {"setFrequency", &PythonVeltoObjectAWG::setFrequency},
        {"setLevelsAmplitude", &PythonVeltoObjectAWG::setLevelsAmplitude},
        {"setLevelsDutyCycle", &PythonVeltoObjectAWG::setLevelsDutyCycle},
        {"setLevelsOffset", &PythonVeltoObjectAWG::setLevelsOffset},
        {"setSweepStart", &PythonVeltoObjectAWG::setSweepStart},
        {"setSweepEnd", &PythonVeltoObjectAWG::setSweepEnd},
    };
    for (const auto &number : numbers) {
        const Number slot = number.second;
        const char *name = number.first;
        awg.def(name, [slot, name](const AwgHandle &h, double value) { (h.get()->*slot)(finite(value, name)); });
    }
    awg.def("setSweepEnabled", [](const AwgHandle &h, bool enabled) { h.get()->setSweepEnabled(enabled); })
        .def("setSweepSpeed", [](const AwgHandle &h, int value) { h.get()->setSweepSpeed(value); });
}

namespace {

// Standard output and error go to the console; `code` keeps the state of a
// statement typed over several lines.
const char *setupCode = R"(
import sys, code, __main__
import velto_console

class _ConsoleStream:
    encoding = "utf-8"
    def __init__(self, error):
        self._error = error
    def write(self, text):
        velto_console.emit(text, self._error)
        return len(text)
    def flush(self):
        pass
    def isatty(self):
        return False

sys.stdout = _ConsoleStream(False)
sys.stderr = _ConsoleStream(True)
# A statement's traceback starts at what the user typed: the console's own
# frame is left out, also while sys.excepthook is ours (the library's console
# passes it the whole traceback then).
class _Console(code.InteractiveConsole):
    def showtraceback(self):
        import traceback
        kind, value, trace = sys.exc_info()
        sys.last_type, sys.last_value, sys.last_traceback = kind, value, trace
        self.write("".join(traceback.format_exception(kind, value, trace.tb_next if trace else None)))

velto_console.interactive = _Console(__main__.__dict__, "<console>")

# An error in a Python function called by the toolkit (a slot, a timer) is
# shown, not made fatal: PyQt5 aborts the process when the hook is Python's own.
def _show_exception(kind, value, trace):
    import traceback
    sys.stderr.write("".join(traceback.format_exception(kind, value, trace)))
sys.excepthook = _show_exception

import signal
signal.signal(signal.SIGUSR2, lambda signum, frame: velto_console.pump())
)";

// Marks a statement as running, routes its output, and gives back the
// previous sink when it ends.
class RunScope
{
public:
    explicit RunScope(const PythonBridge::OutputSink &sink) : previous(currentSink)
    {
        currentSink = sink;
        if (runDepth++ == 0)
            interruptRequested = false;
    }
    ~RunScope()
    {
        --runDepth;
        currentSink = previous;
        if (runDepth == 0) {
            interruptRequested = false;
            exitRequested = noExit;
        }
    }

private:
    PythonBridge::OutputSink previous;
};

// The status SystemExit asks for, as the python program would leave: None
// is 0, a number that number, anything else is shown and 1.
int exitStatus(py::error_already_set &error)
{
    try {
        const py::object code = error.value().attr("code");
        if (code.is_none())
            return 0;
        if (PyLong_Check(code.ptr()))
            return code.cast<int>();
        lastError = QString::fromStdString(py::str(code).cast<std::string>()) + QStringLiteral("\n");
        emitOutput(lastError, true);
    } catch (py::error_already_set &) {
    } catch (py::cast_error &) {
    }
    return 1;
}

// Shows the traceback of the error in flight and keeps its text, or says
// that it asks to exit.
PythonBridge::Outcome report(py::error_already_set &error)
{
    lastError.clear();
    if (error.matches(PyExc_SystemExit)) {
        lastStatus = exitStatus(error);
        return PythonBridge::Outcome::Exit;
    }
    lastStatus = 1;
    const PythonBridge::OutputSink sink = currentSink;
    currentSink = [sink](const QString &text, bool isError) {
        lastError += text;
        deliver(sink, text, isError);
    };
    error.restore();
    PyErr_Print();
    currentSink = sink;
    return PythonBridge::Outcome::Failed;
}

} // namespace

namespace {
bool startOwnInterpreter();
void setUp();
} // namespace

bool PythonBridge::initialize()
{
    if (started)
        return true;
    if (startFailed)
        return false;
    VELTO_LOG(QStringLiteral("Init Python"), 0);
    watchdog.mainThread = pthread_self();
    // One interpreter for the console and the protocol decoders: the decoder
    // library must start it (it registers its module first) and the console
    // attaches to it; only when the library cannot start does the console
    // start Python itself.
    Decode::Library::initialize();
    attached = Py_IsInitialized();
    if (!attached && !startOwnInterpreter())
        return false;
    {
        py::gil_scoped_acquire gil;
        setUp();
    }
    if (!attached)
        mainThreadState = PyEval_SaveThread();
    watchdog.thread = new std::thread(watchdogLoop);
    started = true;
    return true;
}

namespace {
bool startOwnInterpreter()
{
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    // Velto's own Python, whatever python3 comes first on the path: PyQt5 is
    // installed for this one only. No signal handlers: Qt owns the process's.
    config.install_signal_handlers = 0;
    PyStatus status = PyConfig_SetBytesString(&config, &config.home, VELTO_PYTHON_HOME);
    if (!PyStatus_Exception(status))
        status = PyConfig_SetBytesString(&config, &config.program_name, "velto");
    if (!PyStatus_Exception(status))
        status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) {
        VELTO_LOG(QStringLiteral("Python cannot start: %1").arg(QString::fromUtf8(status.err_msg ? status.err_msg : "")),
                  3);
        startFailed = true;
        return false;
    }
    return true;
}

void setUp()
{
    try {
        // In a namespace of its own: a script's main module starts empty.
        py::exec(setupCode, py::dict());
        // The wrappers find the running QApplication; importing them now
        // reports a missing PyQt5 once, here, instead of in every script.
        py::module_::import("PyQt5.QtWidgets");
    } catch (py::error_already_set &error) {
        VELTO_LOG(QStringLiteral("Python started without its console streams or PyQt5: %1")
                      .arg(QString::fromUtf8(error.what())),
                  3);
    }
    // A system call the signal interrupts in Velto's own code is restarted.
    struct sigaction action = {};
    if (sigaction(SIGUSR2, nullptr, &action) == 0) {
        action.sa_flags |= SA_RESTART;
        sigaction(SIGUSR2, &action, nullptr);
    }
}
} // namespace

bool PythonBridge::isInitialized()
{
    return started;
}

QString PythonBridge::versionText()
{
    return QString::fromLatin1(PY_VERSION);
}

void PythonBridge::finalize()
{
    if (!started)
        return;
    {
        std::lock_guard<std::mutex> lock(watchdog.mutex);
        watchdog.stop = true;
    }
    watchdog.wake.notify_all();
    watchdog.thread->join();
    delete watchdog.thread;
    watchdog.thread = nullptr;
    idleSink = nullptr;
    if (!attached) {
        PyEval_RestoreThread(mainThreadState);
        Py_FinalizeEx();
    }
    // Else the decoder library, which started the interpreter, ends it.
    started = false;
    // PyQt5 cannot be imported into a second interpreter.
    startFailed = true;
}

void PythonBridge::publish(PythonVeltoObject *velto, PythonVeltoObjectAWG *awg)
{
    if (!started)
        return;
    py::gil_scoped_acquire gil;
    py::dict globals = py::module_::import("__main__").attr("__dict__");
    globals["velto"] = VeltoHandle{velto};
    globals["veltoAWG"] = AwgHandle{awg};
}

void PythonBridge::setIdleSink(const OutputSink &sink)
{
    idleSink = sink;
}

namespace {
// The folder of the last script run, first on the module search path.
QString scriptFolder;

PythonBridge::Outcome run(const QString &code, const QString &fileName, const PythonBridge::OutputSink &sink,
                          const QString &scriptPath)
{
    if (!started)
        return PythonBridge::Outcome::Unavailable;
    if (runDepth > 0)
        return PythonBridge::Outcome::Busy;
    py::gil_scoped_acquire gil;
    RunScope scope(sink);
    lastError.clear();
    try {
        py::object globals = py::module_::import("__main__").attr("__dict__");
        if (!scriptPath.isEmpty()) {
            // As python runs a script: its folder first on sys.path, its
            // path in __file__. The process's working folder stays.
            py::list path = py::module_::import("sys").attr("path");
            if (!scriptFolder.isEmpty() && path.contains(scriptFolder))
                path.attr("remove")(scriptFolder);
            scriptFolder = QFileInfo(scriptPath).absolutePath();
            path.insert(0, scriptFolder);
            globals["__file__"] = scriptPath;
        }
        py::object compiled = py::module_::import("builtins")
                                  .attr("compile")(code.toUtf8().constData(), fileName.toUtf8().constData(), "exec");
        py::module_::import("builtins").attr("exec")(compiled, globals);
    } catch (py::error_already_set &error) {
        return report(error);
    }
    return PythonBridge::Outcome::Done;
}
} // namespace

PythonBridge::Outcome PythonBridge::runStatements(const QString &code, const QString &fileName, const OutputSink &sink)
{
    return run(code, fileName, sink, QString());
}

PythonBridge::Outcome PythonBridge::runScript(const QString &code, const QString &path, const OutputSink &sink)
{
    return run(code, path, sink, path);
}

int PythonBridge::exitStatus()
{
    return lastStatus;
}

QString PythonBridge::lastErrorText()
{
    return lastError;
}

void PythonBridge::requestExit(int status)
{
    if (runDepth == 0)
        return;
    exitRequested = status;
    Py_AddPendingCall(raisePendingExit, nullptr);
}

PythonBridge::Outcome PythonBridge::pushLine(const QString &line, const OutputSink &sink, bool *needMore)
{
    *needMore = false;
    if (!started)
        return Outcome::Unavailable;
    if (runDepth > 0)
        return Outcome::Busy;
    py::gil_scoped_acquire gil;
    RunScope scope(sink);
    try {
        // The console shows a statement's error itself; only SystemExit
        // comes through.
        *needMore = py::module_::import("velto_console").attr("interactive").attr("push")(line).cast<bool>();
    } catch (py::error_already_set &error) {
        resetInput();
        return report(error);
    }
    return Outcome::Done;
}

void PythonBridge::resetInput()
{
    if (!started)
        return;
    py::gil_scoped_acquire gil;
    try {
        py::module_::import("velto_console").attr("interactive").attr("resetbuffer")();
    } catch (py::error_already_set &) {
        PyErr_Clear();
    }
}

bool PythonBridge::isRunning()
{
    return runDepth > 0;
}

void PythonBridge::interrupt()
{
    if (runDepth > 0)
        interruptRequested = true;
}

bool PythonBridge::waitInterruptibly(unsigned long long milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (true) {
        if (stopPending())
            return false;
        const long long left =
            static_cast<long long>(std::min<unsigned long long>(milliseconds, LLONG_MAX / 2)) - clock.elapsed();
        if (left <= 0)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(std::min(left, 20LL)));
    }
}
