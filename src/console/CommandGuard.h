#pragma once
// One handler at a time. Every handler of the window runs through Run, and
// none runs inside another's message pump: while one pumps, a click, key,
// accelerator or wheel turn that arrives for the window is kept, and handed
// on in the order it came once the handler has returned; a handler asked for
// from inside the pump (a focus change, a timer) waits its turn likewise.
// What a handler does itself (a focus it moves, a box it opens) runs on at
// once, as part of it.
//
// While a command that works the programmer runs (a device operation, the
// programmer search), what the operator does in the window is dropped
// instead: it was aimed at a window that looked busy, and acting on it
// afterwards would start something nobody asked for at that moment.
// Repaints, timers, the close box and whatever goes to another window (a
// box, a file dialog) pass as usual.

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>

class QEvent;
class QWidget;

namespace quennel {

class CommandGuard : public QObject {
public:
    // Guards the input of window and of every control in it.
    explicit CommandGuard(QWidget& window);
    ~CommandGuard() override;
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;

    // Runs handler at once, unless it was asked for from inside the pump of
    // a handler that runs: then it waits its turn (Queue) or is not run at
    // all (Refuse, for a caller that needs its result there and then).
    // Returns whether it ran now.
    enum class WhenBusy { Queue, Refuse };
    bool Run(const std::function<void()>& handler, WhenBusy whenBusy = WhenBusy::Queue);

    // From here to the end of the handler in hand, the operator's input is
    // dropped rather than kept; input kept before goes too.
    void DeviceCommandStarted();

    // Brackets a handler's message pump.
    class Pump {
    public:
        explicit Pump(CommandGuard& guard) : Guard(guard) { ++Guard.PumpDepth; }
        ~Pump() { --Guard.PumpDepth; }
        Pump(const Pump&) = delete;
        Pump& operator=(const Pump&) = delete;

    private:
        CommandGuard& Guard;
    };

    bool HandlerRunning() const { return Depth > 0; }

    // Runs after every handler that ran at once, when none runs any more.
    std::function<void()> AfterHandler;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Waiting {
        QPointer<QObject> Receiver;    // an input event's receiver
        std::unique_ptr<QEvent> Event; // the kept copy of the event; empty for a handler
        std::function<void()> Handler;
    };

    bool IsOperatorInputForWindow(QObject* watched, const QEvent* event) const;
    // Inside the pump of a handler that runs, or in a box's loop it opened.
    bool InsideAPump() const;
    // Hands on what waits, one at a time: from the event loop, or at once
    // when new input arrives behind it.
    void ScheduleTurn();
    void TakeTurn();

    QWidget& Window;
    int Depth = 0;
    int PumpDepth = 0;
    int OuterLoopLevel = 0; // the thread's event-loop level when the outermost handler began
    bool DropInput = false;
    int DeviceCommands = 0; // counts the device commands begun
    bool TurnScheduled = false;
    const QEvent* HandingOn = nullptr; // the kept event being handed on
    std::deque<Waiting> Queue;
};

} // namespace quennel
