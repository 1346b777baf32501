#pragma once

#include <functional>

class QDialog;

// Every modal dialog of the configuration pages runs through here, so a test
// can stand in for the user (inspect the dialog, fill it, accept or reject)
// instead of blocking in QDialog::exec().
namespace ModalRun {

// Runs the dialog modally; the QDialog::DialogCode of the run.
int exec(QDialog* dialog);

// Replaces exec() for every later run; an empty function restores it.
void setRunner(std::function<int(QDialog*)> runner);

} // namespace ModalRun
