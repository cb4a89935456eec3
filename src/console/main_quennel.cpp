// quennel: the window over the programmer on the machine's printer ports.

#include "console/MainForm.h"
#include "console/QtDialogs.h"
#include "console/ShutdownSignals.h"
#include "link/Detection.h"
#include "link/LinuxSystem.h"
#include "link/PortAccess.h"
#include "link/PpdevPort.h"

#include <QApplication>
#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "quennel " << QUENNEL_VERSION << '\n';
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << "Usage: quennel [--help | --version]\n\n"
                         "The bench window: reads, blank-checks, verifies and programs bipolar fuse\n"
                         "PROMs through the programmer on a printer port: 0x278, 0x378 or 0x3BC,\n"
                         "or any other port the kernel lists (a port card). quennel-sim runs the\n"
                         "same window over a simulated programmer.\n\n"
                         "Options:\n"
                         "  --help     show this text\n"
                         "  --version  show the version\n";
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");
    std::unique_ptr<quennel::PortBackEnd> hardware = quennel::MakeHardwareBackEnd();
    quennel::QtDialogs dialogs;
    quennel::TMainForm form(*hardware, dialogs);
    form.PortAccessProblem = [&hardware] {
        return quennel::FindPortAccessProblem(quennel::HostSystem(),
                                              quennel::SearchOrder(hardware->ListedPorts()));
    };
    quennel::CloseOnShutdownSignals(form);
    form.show();
    return QApplication::exec();
}
