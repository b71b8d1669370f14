#pragma once

#include <QEnterEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <string>

#include "platform/LumoComponent.h"

using TNotifyHandler = std::function<void(QWidget& sender)>;

// The kit's visual bases: a revision text and the pointer enter/leave events.
template <typename Base>
class TLumo_Custom : public Base {
public:
    using Base::Base;
    virtual std::string Version() const = 0;
    void SetVersion(const std::string&) {}
    TNotifyHandler OnMouseEnter;
    TNotifyHandler OnMouseLeave;

protected:
    void enterEvent(QEnterEvent* event) override {
        Base::enterEvent(event);
        MouseEntered();
    }
    void leaveEvent(QEvent* event) override {
        Base::leaveEvent(event);
        MouseLeft();
    }
    // Controls add their looks here and call these to fire the events.
    virtual void MouseEntered() { fireEnter(); }
    virtual void MouseLeft() { fireLeave(); }
    void fireEnter() {
        if (OnMouseEnter) {
            OnMouseEnter(*this);
        }
    }
    void fireLeave() {
        if (OnMouseLeave) {
            OnMouseLeave(*this);
        }
    }
};

class TLumo_Custom_PaintBox : public TLumo_Custom<QWidget> {
public:
    using TLumo_Custom<QWidget>::TLumo_Custom;
};
class TLumo_Custom_Panel : public TLumo_Custom<QFrame> {
public:
    using TLumo_Custom<QFrame>::TLumo_Custom;
};
class TLumo_Custom_Edit : public TLumo_Custom<QLineEdit> {
public:
    using TLumo_Custom<QLineEdit>::TLumo_Custom;
};
class TLumo_Custom_Label : public TLumo_Custom<QLabel> {
public:
    using TLumo_Custom<QLabel>::TLumo_Custom;
};
