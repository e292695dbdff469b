#include "platform/ui/MessageBox.h"

#include "platform/ui/ProgramIcon.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace platform::ui {

namespace {
MessageBox::Responder &responder()
{
    static MessageBox::Responder r;
    return r;
}

// What a title bar needs beside its caption: the window's icon and its buttons.
constexpr int titleBarExtras = 120;
} // namespace

int MessageBox::minimumWidth()
{
    // Title bars commonly use a bold face of the desktop's font; measuring in it leaves room
    // for the whole caption, which the window system would otherwise cut in the middle.
    QFont title = QApplication::font();
    title.setBold(true);
    return QFontMetrics(title).horizontalAdvance(applicationTitle) + titleBarExtras;
}

std::unique_ptr<QMessageBox> MessageBox::build(QWidget *parent, const QString &text)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, applicationTitle, text, QMessageBox::Ok, parent);
    if (!parent)
        box->setWindowIcon(programIcon());
    // A message box sizes itself to its text and ignores a minimum width; a spacer across its
    // layout is what it does take into account.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
        grid->addItem(new QSpacerItem(minimumWidth(), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void MessageBox::show(QWidget *parent, const QString &text)
{
    if (responder()) {
        responder()(ShownMessage{applicationTitle, text});
        return;
    }
    build(parent, text)->exec();
}

void MessageBox::setResponder(Responder r)
{
    responder() = std::move(r);
}

} // namespace platform::ui
