#pragma once

#include <QPointer>
#include <QWidget>

#include "core/app/dialogs.h"

namespace tovakin::gui {

// Information boxes as window-modal message boxes over the main window. The
// call returns at once (core never waits for the operator's OK), and may come
// from any thread: the box is opened on the GUI thread.
class QtDialogs final : public app::Dialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    void showMessage(const std::string& title, const std::string& text) override;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace tovakin::gui
