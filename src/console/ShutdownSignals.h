#pragma once
// SIGTERM, SIGINT and SIGHUP close the window as its close box does: the
// running pass stops safely, the port is released and the program ends with
// status 0, instead of leaving the programmer mid-cycle.

#include <QWidget>

namespace quennel {

void CloseOnShutdownSignals(QWidget& window);

} // namespace quennel
