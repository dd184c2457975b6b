#pragma once

#include "ui/popover_model.h"

#include <QWidget>

namespace twk::ui {

/// The minutes-left bar: a thin capsule track with a filled part.
class UsageBarWidget : public QWidget {
public:
    explicit UsageBarWidget(QWidget* parent = nullptr);
    void setBar(UsageBar bar);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UsageBar bar_;
};

} // namespace twk::ui
