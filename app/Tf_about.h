#pragma once

#include <QDialog>
#include <QLabel>

#include <functional>

#include "widgets/LumoGradient.h"
#include "widgets/LumoLabel.h"
#include "widgets/LumoStatebmp.h"

// The about window: the program's name and words over a gradient, its web address as a
// link, and buttons to check for an update and to close.
class Tf_about : public QDialog {
public:
    // The web address the link shows and starts (without a scheme).
    static constexpr const char* kAddress = "www.harbrook.example";

    explicit Tf_about(QWidget* parent = nullptr);

    TLumo_gradient* Lumo_gradient1;
    QLabel* Label1;
    QLabel* Label2;
    TLumo_label* Lumo_label1;
    TLumo_statebmp* Lumo_statebmp1;
    TLumo_statebmp* bitmap1;
    // Shows the update window modally (set by the program entry).
    std::function<void()> ShowUpdate;
};
