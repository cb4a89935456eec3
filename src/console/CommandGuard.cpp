#include "console/CommandGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QWidget>

namespace quennel {

namespace {

// What the operator does with the mouse, the keyboard or a touch screen.
bool IsOperatorInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

CommandGuard::CommandGuard(QWidget& window) : Window(window) {
    QCoreApplication::instance()->installEventFilter(this);
}

CommandGuard::~CommandGuard() {
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool CommandGuard::InsideAPump() const {
    return PumpDepth > 0 || QThread::currentThread()->loopLevel() > OuterLoopLevel;
}

bool CommandGuard::Run(const std::function<void()>& handler, WhenBusy whenBusy) {
    if (Depth > 0 && InsideAPump()) {
        if (!DropInput && whenBusy == WhenBusy::Queue)
            Queue.push_back({{}, nullptr, handler});
        return false;
    }
    struct Level {
        CommandGuard& Guard;
        explicit Level(CommandGuard& guard) : Guard(guard) {
            if (Guard.Depth++ == 0)
                Guard.OuterLoopLevel = QThread::currentThread()->loopLevel();
        }
        ~Level() { --Guard.Depth; }
    };
    {
        const Level level(*this);
        handler();
    }
    if (Depth == 0) {
        DropInput = false;
        if (AfterHandler)
            AfterHandler();
        ScheduleTurn();
    }
    return true;
}

void CommandGuard::DeviceCommandStarted() {
    DropInput = true;
    ++DeviceCommands;
    std::erase_if(Queue, [](const Waiting& waiting) { return waiting.Event != nullptr; });
}

bool CommandGuard::IsOperatorInputForWindow(QObject* watched, const QEvent* event) const {
    if (event == HandingOn || !IsOperatorInput(event->type()) || !watched->isWidgetType())
        return false;
    // A box or a dialog is what the operator answers now.
    return static_cast<QWidget*>(watched)->window() == &Window;
}

bool CommandGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!IsOperatorInputForWindow(watched, event))
        return QObject::eventFilter(watched, event);
    if (Depth > 0) {
        if (!DropInput)
            Queue.push_back({watched, std::unique_ptr<QEvent>(event->clone()), {}});
        return true;
    }
    if (Queue.empty())
        return QObject::eventFilter(watched, event);
    // What waits came first: it is handed on before this. Should it start a
    // device command, this was aimed at a window that was busy by then.
    const int commandsBefore = DeviceCommands;
    while (!Queue.empty() && Depth == 0)
        TakeTurn();
    return DeviceCommands != commandsBefore;
}

// The turn is taken from the event loop, never from inside a handler or a
// key stroke still being handled, so that what waits cannot overtake it.
void CommandGuard::ScheduleTurn() {
    if (TurnScheduled || Queue.empty() || Depth > 0)
        return;
    TurnScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            TurnScheduled = false;
            TakeTurn();
        },
        Qt::QueuedConnection);
}

void CommandGuard::TakeTurn() {
    if (Depth > 0 || Queue.empty())
        return; // the handler in hand schedules the next turn when it ends
    Waiting next = std::move(Queue.front());
    Queue.pop_front();
    if (next.Event) {
        const QEvent* outer = HandingOn;
        HandingOn = next.Event.get();
        if (next.Receiver)
            QCoreApplication::sendEvent(next.Receiver, next.Event.get());
        HandingOn = outer;
    } else {
        Run(next.Handler);
    }
    ScheduleTurn();
}

} // namespace quennel
