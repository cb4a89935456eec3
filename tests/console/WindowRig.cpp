#include "WindowRig.h"

#include "device/Catalogue.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <algorithm>

namespace quennel::test {

WindowRig::WindowRig(bool programmerAttached) : PreviousDirectory(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(Folder.Path.string()));
    if (programmerAttached)
        Bus.Attach(0x378, Programmer);
    Window = std::make_unique<TMainForm>(Bus, Dialogs, &Trace, Realtime);
    Window->StartUpOnActivate = false;
    Window->OnDeviceSeated = [this](int32_t deviceClass) { Programmer.Width = DataBitsOfClass(deviceClass); };
    Window->show();
}

WindowRig::~WindowRig() {
    Window->close();
    Window.reset();
    QDir::setCurrent(PreviousDirectory);
}

std::string WindowRig::Text(const char* name) {
    QWidget* control = Find<QWidget>(name);
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text().toStdString();
    return {};
}

QColor WindowRig::StatusColour() {
    QWidget* status = Find<QWidget>("StaticText3");
    return status->palette().color(QPalette::Window);
}

void WindowRig::StartUp() {
    Window->Deliver([this] { Window->FormActivate(); });
}

void WindowRig::Click(const char* name) {
    QWidget* control = Find<QWidget>(name);
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

void WindowRig::ChooseDeviceRow(int row) {
    auto* list = Find<QListWidget>("Device_Box");
    list->scrollToItem(list->item(row));
    const QRect place = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
}

void WindowRig::CloseDuringPulse(size_t pulses) {
    Closer = std::make_unique<QTimer>();
    Closer->setInterval(1);
    QObject::connect(Closer.get(), &QTimer::timeout, [this, pulses] {
        if (Programmer.PulseOn() && Programmer.Pulses().size() >= pulses) {
            Closer->stop();
            Window->close();
        }
    });
    Closer->start();
}

void WindowRig::ExpectNothingAfterTheRelease() {
    const auto& events = Trace.Events();
    auto release = std::find_if(events.rbegin(), events.rend(), [](const BusEvent& event) {
        return event.What == BusEvent::Kind::Call && event.Call == "DisablePorts";
    });
    ASSERT_NE(release, events.rend()) << "the port was never given back";
    for (auto later = events.rbegin(); later != release; ++later)
        EXPECT_TRUE(later->What == BusEvent::Kind::Call || later->Address == 0x378 + 0x402)
            << BusTrace::Format(*later);
}

} // namespace quennel::test
