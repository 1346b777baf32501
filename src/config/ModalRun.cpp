#include "ModalRun.h"

#include <QDialog>

namespace ModalRun {

namespace {
std::function<int(QDialog*)>& runner()
{
    static std::function<int(QDialog*)> r;
    return r;
}
} // namespace

int exec(QDialog* dialog)
{
    if (runner())
        return runner()(dialog);
    return dialog->exec();
}

void setRunner(std::function<int(QDialog*)> r)
{
    runner() = std::move(r);
}

} // namespace ModalRun
