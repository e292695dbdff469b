#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace platform::ui {

inline const QString applicationTitle = QStringLiteral("TALVOR - Patient Brelmontaxis");

struct ShownMessage {
    QString caption;
    QString text;
};

// Message boxes with an OK button only and no icon, captioned with the application's title.
// Tests install a responder: the message is then recorded and handed to it instead of shown.
class MessageBox {
public:
    static void show(QWidget *parent, const QString &text);
    // The box `show` puts up, not yet shown; wide enough for its whole caption.
    static std::unique_ptr<QMessageBox> build(QWidget *parent, const QString &text);
    static int minimumWidth();

    using Responder = std::function<void(const ShownMessage &)>;
    static void setResponder(Responder responder); // empty: real message boxes again
};

} // namespace platform::ui
