// quennel-window-picture: renders the window, as an operator sees it after
// choosing a device, checking it blank and opening the buffer editor on a
// small image, into a PNG file for the README.
// It runs on Qt's offscreen platform over the simulated programmer, with every
// box answered OK.

#include "console/MainForm.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <iostream>

namespace {

class AnswerOk : public quennel::DialogSeam {
public:
    void ShowBox(const quennel::MessageBoxRequest&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseOpenFile(const quennel::FileDialogRequest&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const quennel::FileDialogRequest&) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quennel-window-picture FILE.png\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");
    // The window's start-up and close read and write a settings file in the
    // current folder: a scratch folder of its own keeps the operator's.
    const QString picture = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::cerr << "quennel-window-picture: no scratch folder\n";
        return 1;
    }

    quennel::SimulatedProgrammer programmer;
    quennel::SimulatedBus bus;
    bus.Attach(0x378, programmer);
    AnswerOk dialogs;
    quennel::TMainForm form(bus, dialogs);
    form.StartUpOnActivate = false;
    form.show();
    form.Deliver([&] { form.FormActivate(); });
    form.Deliver([&] { form.DeviceClick(); });
    form.Device_Box->setCurrentRow(7);
    form.Deliver([&] { form.Device_BoxClick(); });
    form.Deliver([&] { form.Blank_ChkClick(); });
    // A little image in the buffer, on view in the editor.
    const char text[] = "Quennel: fuse PROM programmer on the printer port.";
    for (int i = 0; i < 256; ++i)
        form.State().DataBuffer[static_cast<size_t>(i)] = i < 0x40 ? static_cast<uint8_t>(i * 7 + 1)
                                                          : i < 0x40 + int(sizeof text) - 1 ? text[i - 0x40]
                                                                                            : 0xFF;
    form.Deliver([&] { form.EditClick(); });
    QCoreApplication::processEvents();

    if (!form.grab().save(picture, "PNG")) {
        std::cerr << "quennel-window-picture: cannot write " << argv[1] << '\n';
        return 1;
    }
    form.close();
    return 0;
}
