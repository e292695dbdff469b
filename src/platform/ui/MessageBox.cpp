#include "platform/ui/MessageBox.h"

#include <QMessageBox>

namespace platform::ui {

namespace {
MessageBox::Responder &responder()
{
    static MessageBox::Responder r;
    return r;
}
} // namespace

void MessageBox::show(QWidget *parent, const QString &text)
{
    if (responder()) {
        responder()(ShownMessage{applicationTitle, text});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, applicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void MessageBox::setResponder(Responder r)
{
    responder() = std::move(r);
}

} // namespace platform::ui
