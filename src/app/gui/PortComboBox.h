#pragma once
// The port list: a drop-down that refreshes its entries each time the person opens it.

#include <QComboBox>
#include <functional>

namespace korrgui {

class PortComboBox final : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;  // cbCommPortDropDown

    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};

}  // namespace korrgui
