// Python's headers come before any Qt header: Qt's `slots` macro breaks them.
#include <pybind11/embed.h>
#include <pybind11/functional.h>

#include "console/pythonbridge.h"

#include "base/logging.h"
#include "console/pythonveltoobject.h"
#include "console/pythonveltoobjectawg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QThread>

#include <atomic>
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
std::atomic<int> runDepth{0};
std::atomic<bool> interruptRequested{false};
PythonBridge::OutputSink currentSink;
PythonBridge::OutputSink idleSink;

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

void pump()
{
    if (!interruptRequested.exchange(false))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (interruptRequested.exchange(false)) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
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

void emitOutput(const QString &text, bool error)
{
    if (currentSink)
        currentSink(text, error);
    else if (idleSink)
        idleSink(text, error);
    else
        VELTO_LOG(QStringLiteral("Python: ") + text.trimmed(), error ? 2 : 1);
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
// console is closed raises instead of reaching freed memory.
template <typename T> struct Handle {
    QPointer<T> object;
    T *get() const
    {
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

void raiseIfInterrupted(bool completed)
{
    if (!completed) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
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
        .def("sleep", [](const VeltoHandle &h, unsigned long sec) { raiseIfInterrupted(h.get()->sleep(sec)); })
        .def("msleep", [](const VeltoHandle &h, unsigned long msec) { raiseIfInterrupted(h.get()->msleep(msec)); })
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
velto_console.interactive = code.InteractiveConsole(__main__.__dict__, "<console>")

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
        if (runDepth == 0)
            interruptRequested = false;
    }

private:
    PythonBridge::OutputSink previous;
};

// Shows the traceback of the error in flight, or says that it asks to exit.
PythonBridge::Outcome report(py::error_already_set &error)
{
    if (error.matches(PyExc_SystemExit))
        return PythonBridge::Outcome::Exit;
    error.restore();
    PyErr_Print();
    return PythonBridge::Outcome::Failed;
}

} // namespace

bool PythonBridge::initialize()
{
    if (started)
        return true;
    if (startFailed)
        return false;
    VELTO_LOG(QStringLiteral("Init Python"), 0);
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
    watchdog.mainThread = pthread_self();
    // A system call the signal interrupts in Velto's own code is restarted.
    struct sigaction action = {};
    if (sigaction(SIGUSR2, nullptr, &action) == 0) {
        action.sa_flags |= SA_RESTART;
        sigaction(SIGUSR2, &action, nullptr);
    }
    watchdog.thread = new std::thread(watchdogLoop);
    started = true;
    return true;
}

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
    Py_FinalizeEx();
    started = false;
    // PyQt5 cannot be imported into a second interpreter.
    startFailed = true;
}

void PythonBridge::publish(PythonVeltoObject *velto, PythonVeltoObjectAWG *awg)
{
    if (!started)
        return;
    py::dict globals = py::module_::import("__main__").attr("__dict__");
    globals["velto"] = VeltoHandle{velto};
    globals["veltoAWG"] = AwgHandle{awg};
}

void PythonBridge::setIdleSink(const OutputSink &sink)
{
    idleSink = sink;
}

PythonBridge::Outcome PythonBridge::runStatements(const QString &code, const QString &fileName, const OutputSink &sink)
{
    if (!started)
        return Outcome::Unavailable;
    if (runDepth > 0)
        return Outcome::Busy;
    RunScope scope(sink);
    try {
        py::object globals = py::module_::import("__main__").attr("__dict__");
        py::object compiled = py::module_::import("builtins")
                                  .attr("compile")(code.toUtf8().constData(), fileName.toUtf8().constData(), "exec");
        py::module_::import("builtins").attr("exec")(compiled, globals);
    } catch (py::error_already_set &error) {
        return report(error);
    }
    return Outcome::Done;
}

PythonBridge::Outcome PythonBridge::pushLine(const QString &line, const OutputSink &sink, bool *needMore)
{
    *needMore = false;
    if (!started)
        return Outcome::Unavailable;
    if (runDepth > 0)
        return Outcome::Busy;
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
        if (interruptRequested.exchange(false))
            return false;
        const long long left = static_cast<long long>(milliseconds) - clock.elapsed();
        if (left <= 0)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(std::min(left, 20LL)));
    }
}
